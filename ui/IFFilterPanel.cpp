#include "IFFilterPanel.h"

#include <QCheckBox>
#include <QGridLayout>

namespace orvex::ui {

IFFilterPanel::IFFilterPanel(app::ControlsController& controls, app::ValuesController& values,
                             QWidget* parent)
    : HoverFrame("IF Filter", values, app::PanelFrame::frIFFilter, parent), m_controls(controls) {
    setObjectName("frIFFilter");
    m_on = MakeCheck(this, "chkIFFilter",
                     [this](bool on) { m_controls.setCheck(ChainCheck::IFFilter, on); });
    m_modes = new OptionButtons(
        controls.state().optIFFilter, "optIFFilter",
        [this](int i) { m_controls.optIFFilter_Click(i); }, Qt::Horizontal, this);
    m_hi = new ValueLabelWidget(values, app::WheelEntry::IFHi, "IF filter high edge", this);
    m_hi->setObjectName("lblIFHi");
    m_hi->setToolTip("Pass band above the IF centre, Hz (wheel, right click resets)");
    m_lo = new ValueLabelWidget(values, app::WheelEntry::IFLo, "IF filter low edge", this);
    m_lo->setObjectName("lblIFLo");
    m_lo->setToolTip("Pass band below the IF centre, Hz (wheel, right click resets)");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    grid->addWidget(m_on, 0, 0);
    grid->addWidget(m_modes, 1, 0, 1, 2);
    grid->addWidget(new QLabel("Lo", this), 2, 0, Qt::AlignRight);
    grid->addWidget(m_lo, 2, 1);
    grid->addWidget(new QLabel("Hi", this), 3, 0, Qt::AlignRight);
    grid->addWidget(m_hi, 3, 1);
    grid->setRowStretch(4, 1);
    connect(&controls, &app::ControlsController::changed, this, &IFFilterPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &IFFilterPanel::refresh);
    refresh();
}

void IFFilterPanel::refresh() {
    refreshColour();
    const auto& s = m_controls.state();
    RefreshCheck(m_on, s.chkIFFilter);
    m_modes->refresh(s.optIFFilter);
    m_hi->refresh();
    m_lo->refresh();
}

} // namespace orvex::ui
