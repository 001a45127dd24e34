// Messages for the user as message boxes over the front panel.
#pragma once

#include "core/MessageSink.h"

namespace orvex::ui {

class MessageBoxSink final : public MessageSink {
public:
    void showMessage(const Message& message) override;
};

} // namespace orvex::ui
