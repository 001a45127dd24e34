#include "LevelPanel.h"

#include <QCheckBox>
#include <QDial>
#include <QGridLayout>

namespace orvex::ui {

LevelPanel::LevelPanel(app::ControlsController& controls, app::ValuesController& values,
                       QWidget* parent)
    : HoverFrame("AF Out Level", values, app::PanelFrame::frAF, parent), m_controls(controls) {
    setObjectName("frAF");
    m_level = new ValueLabelWidget(values, app::WheelEntry::OutputLevel, "Output level", this);
    m_level->setObjectName("lblOutVol");
    m_level->setToolTip("Output level, dB (wheel, right click for 0 dB)");
    m_slider = new PanelSlider(Qt::Vertical, "sldOutVolume", "Output level slider", this);
    m_slider->setMinimumHeight(70);
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::sldOutVolume, 0, v); });
    m_slider->onRightButton = [this] {
        m_controls.sliderRightButton(app::ChainControl::sldOutVolume);
    };
    m_slider->onPointer = [this](int, int) {
        if (!m_slider->hasFocus()) m_slider->setFocus(Qt::MouseFocusReason);
    };
    m_dial = new QDial(this);
    m_dial->setObjectName("dialOutVol");
    m_dial->setAccessibleName("Output level knob");
    m_dial->setFixedSize(48, 48);
    connect(m_dial, &QDial::valueChanged, this,
            [this](int v) { m_controls.sliderChanged(app::ChainControl::dialOutVol, 0, v); });
    m_mute =
        MakeCheck(this, "chkMute", [this](bool on) { m_controls.setCheck(ChainCheck::Mute, on); });
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    grid->addWidget(m_slider, 0, 0, 3, 1, Qt::AlignHCenter);
    grid->addWidget(m_dial, 0, 1, Qt::AlignHCenter);
    grid->addWidget(m_level, 1, 1);
    grid->addWidget(m_mute, 2, 1);
    grid->setRowStretch(3, 1);
    connect(&controls, &app::ControlsController::changed, this, &LevelPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &LevelPanel::refresh);
    refresh();
}

void LevelPanel::refresh() {
    refreshColour();
    const auto& s = m_controls.state();
    m_level->refresh();
    RefreshSlider(m_slider, s.sldOutVolume);
    RefreshSlider(m_dial, s.dialOutVol);
    RefreshCheck(m_mute, s.chkMute);
}

} // namespace orvex::ui
