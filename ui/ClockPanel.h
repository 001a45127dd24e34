// The UTC clock, the version, and the synthesiser's clock and IF as the controller holds them
// (a low-side IF shows in parentheses).
#pragma once

#include "PanelWidgets.h"
#include "app/WindowController.h"

namespace orvex::ui {

class ClockPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ClockPanel(app::WindowController& window, QWidget* parent = nullptr);
    void refresh();
    QLabel* clock() const { return m_clock; }
    QLabel* ifFreq() const { return m_if; }

private:
    app::WindowController& m_window;
    QLabel* m_clock;
    QLabel* m_clk;
    QLabel* m_if;
};

} // namespace orvex::ui
