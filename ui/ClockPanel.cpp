#include "ClockPanel.h"

#include <QGridLayout>

namespace orvex::ui {

ClockPanel::ClockPanel(app::WindowController& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    m_clock = new QLabel(this);
    m_clock->setObjectName("lblClock");
    m_clock->setAccessibleName("UTC time");
    QFont big = m_clock->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_clock->setFont(big);
    m_clk = new QLabel(this);
    m_clk->setObjectName("lblCLKINFreq");
    m_clk->setAccessibleName("Synthesiser clock, MHz");
    m_clk->setToolTip("Synthesiser clock, MHz");
    m_if = new QLabel(this);
    m_if->setObjectName("lblIFFreq");
    m_if->setAccessibleName("Intermediate frequency, MHz");
    m_if->setToolTip("First IF, MHz (in parentheses: the oscillator is below the signal)");
    auto* version = new QLabel(QString("Version ") + app::kVersion, this);
    version->setObjectName("lblVersion");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setVerticalSpacing(1);
    grid->addWidget(new QLabel("UTC", this), 0, 0);
    grid->addWidget(m_clock, 0, 1);
    grid->addWidget(new QLabel("CLK", this), 1, 0);
    grid->addWidget(m_clk, 1, 1);
    grid->addWidget(new QLabel("IF", this), 2, 0);
    grid->addWidget(m_if, 2, 1);
    grid->addWidget(version, 3, 0, 1, 2);
    connect(&window, &app::WindowController::changed, this, &ClockPanel::refresh);
    refresh();
}

void ClockPanel::refresh() {
    const app::WindowView& p = m_window.view();
    SetText(m_clock, p.lblClock);
    SetText(m_clk, p.lblCLKINFreq);
    SetText(m_if, p.lblIFFreq);
    for (QLabel* l : {m_clock, m_clk, m_if})
        if (l->accessibleDescription() != l->text()) l->setAccessibleDescription(l->text());
}

} // namespace orvex::ui
