// Messages for the user as message boxes over the front panel. Every message is also written
// to stderr as one line, so that what the program said is found in a desktop session's log.
//
// A box waits for OK, and nothing may wait for a person once the program is ending (a logout
// waits for the program, and nobody may be there to press OK): once closing() holds, or after
// setNonBlocking(true), a message goes to stderr and to onUnattended only.
#pragma once

#include "core/MessageSink.h"

#include <functional>

class QWidget;

namespace orvex::ui {

class MessageBoxSink final : public MessageSink {
public:
    void showMessage(const Message& message) override;

    /// True while the program is ending (the window's shutdown has begun).
    std::function<bool()> closing;
    /// Gets the text of each message that was not shown in a box (the trace log).
    std::function<void(const std::string&)> onUnattended;
    /// From now on no message waits for the user (a signal asked the program to end).
    void setNonBlocking(bool on) { m_nonBlocking = on; }

    /// Shows a message in a box that does not wait: the caller goes on at once and the box
    /// stays until the user closes it (or the program ends). Written to stderr too.
    static void ShowWithoutWaiting(const Message& message, QWidget* parent);

private:
    bool m_nonBlocking = false;
};

} // namespace orvex::ui
