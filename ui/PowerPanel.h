// Power (frame "Power"): "On" starts receiving, "Off" stops, "&Close" ends the program (shown
// only while the receiver is off).
#pragma once

#include "PanelWidgets.h"
#include "app/PowerController.h"

#include <array>

class QPushButton;

namespace orvex::ui {

class PowerPanel final : public HoverFrame {
    Q_OBJECT
public:
    PowerPanel(app::PowerController& power, app::ValuesController& values,
               QWidget* parent = nullptr);
    void refresh();
    QPushButton* button(int i) const { return m_buttons[static_cast<std::size_t>(i)]; }

private:
    app::PowerController& m_power;
    std::array<QPushButton*, 3> m_buttons{};
};

} // namespace orvex::ui
