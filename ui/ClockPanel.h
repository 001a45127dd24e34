// The UTC clock, the version, and the synthesiser's clock and IF as the controller holds them
// (a low-side IF shows in parentheses).
#pragma once

#include "PanelWidgets.h"

namespace orvex::ui {

class ClockPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ClockPanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);
    QLabel* clock() const { return m_clock; }
    QLabel* ifFreq() const { return m_if; }

private:
    app::ReceiverCore& m_core;
    QLabel* m_clock;
    QLabel* m_clk;
    QLabel* m_if;
};

} // namespace orvex::ui
