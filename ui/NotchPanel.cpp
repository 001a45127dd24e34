#include "NotchPanel.h"

#include <QCheckBox>
#include <QDial>
#include <QGridLayout>

namespace orvex::ui {

NotchPanel::NotchPanel(app::ControlsController& controls, app::ValuesController& values,
                       QWidget* parent)
    : HoverFrame("Notch / NR", values, app::PanelFrame::frNotch, parent), m_controls(controls) {
    setObjectName("frNotch");
    m_on = MakeCheck(this, "chkNotchOn",
                     [this](bool on) { m_controls.setCheck(ChainCheck::NotchOn, on); });
    m_type = MakeCheck(this, "chkNotchType",
                       [this](bool on) { m_controls.setCheck(ChainCheck::NotchType, on); });
    m_modes = new OptionButtons(
        controls.state().optNotch, "optNotch", [this](int i) { m_controls.optNotch_Click(i); },
        Qt::Horizontal, this);
    m_centre = new ValueLabelWidget(values, app::WheelEntry::NotchCentre, "Notch centre", this);
    m_centre->setObjectName("lblNotchC");
    m_centre->setToolTip("Notch centre, Hz (wheel, right click resets)");
    m_width = new ValueLabelWidget(values, app::WheelEntry::NotchWidth, "Notch width", this);
    m_width->setObjectName("lblNotchW");
    m_width->setToolTip("Notch width, Hz (wheel, right click resets)");
    m_sldCentre = new PanelSlider(Qt::Horizontal, "sldNotch", "Notch centre slider", this);
    connect(m_sldCentre, &QSlider::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::sldNotch, 0, v); });
    m_sldWidth = new PanelSlider(Qt::Horizontal, "sldNotchWidth", "Notch width slider", this);
    connect(m_sldWidth, &QSlider::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::sldNotchWidth, 0, v); });
    m_readout = new QLabel(this);
    m_readout->setObjectName("lblNotch");
    m_readout->setAccessibleName("Notch centre frequency");

    m_nb = MakeCheck(this, "chkNB", [this](bool on) { m_controls.setCheck(ChainCheck::NB, on); });
    m_nbLevel =
        new ValueLabelWidget(values, app::WheelEntry::NoiseReducer, "Noise reducer level", this);
    m_nbLevel->setObjectName("lblNB");
    m_nbLevel->setToolTip("Noise reducer threshold (wheel, right click resets)");
    m_sldNB = new PanelSlider(Qt::Horizontal, "sldNB", "Noise reducer slider", this);
    connect(m_sldNB, &QSlider::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::sldNB, 0, v); });
    m_sldNB->onRightButton = [this] { m_controls.sliderRightButton(app::ChainControl::sldNB); };
    m_dialNB = new QDial(this);
    m_dialNB->setObjectName("dialNB");
    m_dialNB->setAccessibleName("Noise reducer knob");
    m_dialNB->setFixedSize(40, 40);
    connect(m_dialNB, &QDial::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::dialNB, 0, v); });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    grid->addWidget(m_on, 0, 0);
    grid->addWidget(m_type, 0, 1);
    grid->addWidget(m_modes, 0, 2);
    grid->addWidget(new QLabel("Centre", this), 1, 0);
    grid->addWidget(m_centre, 1, 1);
    grid->addWidget(m_sldCentre, 1, 2);
    grid->addWidget(new QLabel("Width", this), 2, 0);
    grid->addWidget(m_width, 2, 1);
    grid->addWidget(m_sldWidth, 2, 2);
    grid->addWidget(m_readout, 3, 2, Qt::AlignRight);
    grid->addWidget(m_nb, 4, 0);
    grid->addWidget(m_nbLevel, 4, 1);
    grid->addWidget(m_sldNB, 4, 2);
    grid->addWidget(m_dialNB, 3, 0, 1, 2, Qt::AlignLeft);
    grid->setRowStretch(5, 1);
    connect(&controls, &app::ControlsController::changed, this, &NotchPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &NotchPanel::refresh);
    refresh();
}

void NotchPanel::refresh() {
    refreshColour();
    const auto& s = m_controls.state();
    RefreshCheck(m_on, s.chkNotchOn);
    RefreshCheck(m_type, s.chkNotchType);
    m_modes->refresh(s.optNotch);
    m_centre->refresh();
    m_width->refresh();
    RefreshSlider(m_sldCentre, s.sldNotch);
    RefreshSlider(m_sldWidth, s.sldNotchWidth);
    SetText(m_readout, s.lblNotch);
    RefreshCheck(m_nb, s.chkNB);
    m_nbLevel->refresh();
    RefreshSlider(m_sldNB, s.sldNB);
    RefreshSlider(m_dialNB, s.dialNB);
}

} // namespace orvex::ui
