#include "PowerPanel.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace orvex::ui {

PowerPanel::PowerPanel(app::PowerController& power, app::ValuesController& values, QWidget* parent)
    : HoverFrame("Power", values, app::PanelFrame::frPower, parent), m_power(power) {
    setObjectName("frPower");
    const char* captions[3] = {"On", "Off", "&Close"};
    const char* tips[3] = {"Start Receiving", "Stop Receiving", "Close OrvexSDR"};
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 4);
    box->setSpacing(3);
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(captions[i], this);
        b->setObjectName(QString("optPwr%1").arg(i));
        b->setToolTip(tips[i]);
        b->setAccessibleName(QString(captions[i]).remove('&'));
        b->setEnabled(false);
        b->setMinimumWidth(56);
        connect(b, &QPushButton::clicked, this, [this, i] { m_power.optPwr_Click(i); });
        box->addWidget(b);
        m_buttons[static_cast<std::size_t>(i)] = b;
    }
    box->addStretch();
    connect(&power, &app::PowerController::changed, this, &PowerPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &PowerPanel::refreshColour);
    refresh();
}

void PowerPanel::refresh() {
    refreshColour();
    const app::PowerView& p = m_power.view();
    SetTextColour(m_buttons[0], p.OnColour);
    SetTextColour(m_buttons[1], p.OffColour);
    for (auto* b : m_buttons)
        if (b->isEnabled() != p.PowerEnabled) b->setEnabled(p.PowerEnabled);
    // The close button is hidden, not removed, so the panel keeps its size.
    QSizePolicy policy = m_buttons[2]->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_buttons[2]->setSizePolicy(policy);
    if (m_buttons[2]->isHidden() == p.CloseVisible) m_buttons[2]->setHidden(!p.CloseVisible);
}

} // namespace orvex::ui
