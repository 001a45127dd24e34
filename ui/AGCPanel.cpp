#include "AGCPanel.h"

#include <QCheckBox>
#include <QGridLayout>

namespace orvex::ui {

AGCPanel::AGCPanel(app::ControlsController& controls, app::ValuesController& values,
                   QWidget* parent)
    : HoverFrame("AGC", values, app::PanelFrame::frAGC, parent), m_controls(controls) {
    setObjectName("frAGC");
    m_on = MakeCheck(this, "chkAGC", [this](bool on) { m_controls.setCheck(ChainCheck::AGC, on); });
    m_modes = new OptionButtons(
        controls.state().optAGC, "optAGC", [this](int i) { m_controls.optAGC_Click(i); },
        Qt::Vertical, this);
    m_attack = new ValueLabelWidget(values, app::WheelEntry::AGCDelay, "AGC delay time", this);
    m_attack->setObjectName("lblAGCAttack");
    m_decay = new ValueLabelWidget(values, app::WheelEntry::AGCRamp, "AGC ramp time", this);
    m_decay->setObjectName("lblAGCDecay");
    m_sldAttack = new PanelSlider(Qt::Horizontal, "sldAGCAttack", "AGC delay slider", this);
    connect(m_sldAttack, &QSlider::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::sldAGCAttack, 0, v); });
    m_sldDecay = new PanelSlider(Qt::Horizontal, "sldAGCDecay", "AGC ramp slider", this);
    connect(m_sldDecay, &QSlider::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::sldAGCDecay, 0, v); });
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    grid->addWidget(m_on, 0, 0, 1, 2);
    grid->addWidget(m_modes, 1, 0, 4, 1);
    grid->addWidget(new QLabel("Delay s", this), 1, 1);
    grid->addWidget(m_attack, 2, 1);
    grid->addWidget(new QLabel("Ramp ms", this), 3, 1);
    grid->addWidget(m_decay, 4, 1);
    grid->addWidget(m_sldAttack, 5, 0, 1, 2);
    grid->addWidget(m_sldDecay, 6, 0, 1, 2);
    grid->setRowStretch(7, 1);
    connect(&controls, &app::ControlsController::changed, this, &AGCPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &AGCPanel::refresh);
    refresh();
}

void AGCPanel::refresh() {
    refreshColour();
    const auto& s = m_controls.state();
    RefreshCheck(m_on, s.chkAGC);
    m_modes->refresh(s.optAGC);
    m_attack->refresh();
    m_decay->refresh();
    RefreshSlider(m_sldAttack, s.sldAGCAttack);
    RefreshSlider(m_sldDecay, s.sldAGCDecay);
}

} // namespace orvex::ui
