#include "ClockPanel.h"

#include "app/ReceiverCore.h"

#include <QGridLayout>

namespace orvex::ui {

ClockPanel::ClockPanel(app::ReceiverCore& core, QWidget* parent) : QWidget(parent), m_core(core) {
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
    auto* version = new QLabel(QString("Version ") + app::ReceiverCore::kVersion, this);
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
    refresh(app::kAreaAll);
}

void ClockPanel::refresh(unsigned areas) {
    const auto& p = m_core.panel();
    if (areas & app::kAreaClock) {
        SetText(m_clock, p.lblClock);
        m_clock->setAccessibleDescription(m_clock->text());
    }
    if (areas & app::kAreaCaption) {
        SetText(m_clk, p.lblCLKINFreq);
        SetText(m_if, p.lblIFFreq);
        m_clk->setAccessibleDescription(m_clk->text());
        m_if->setAccessibleDescription(m_if->text());
    }
}

} // namespace orvex::ui
