// Power (frame "Power"): "On" starts receiving, "Off" stops, "&Close" ends the program (shown
// only while the receiver is off).
#pragma once

#include "PanelWidgets.h"

#include <array>

class QPushButton;

namespace orvex::ui {

class PowerPanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit PowerPanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);
    QPushButton* button(int i) const { return m_buttons[static_cast<std::size_t>(i)]; }

private:
    app::ReceiverCore& m_core;
    std::array<QPushButton*, 3> m_buttons{};
};

} // namespace orvex::ui
