// Display size (frame "Display"): Ext, Std, Comp, Full choose how much of the panel shows.
#pragma once

#include "PanelWidgets.h"
#include "app/WindowController.h"

#include <array>

class QRadioButton;

namespace orvex::ui {

class DisplaySizePanel final : public HoverFrame {
    Q_OBJECT
public:
    DisplaySizePanel(app::WindowController& window, app::ValuesController& values,
                     QWidget* parent = nullptr);
    void refresh();
    QRadioButton* option(int i) const { return m_options[static_cast<std::size_t>(i)]; }

private:
    app::WindowController& m_window;
    std::array<QRadioButton*, 4> m_options{};
};

} // namespace orvex::ui
