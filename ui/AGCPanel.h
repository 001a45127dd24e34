// AGC (frame "AGC"): on/off, Off / Fast / Normal / Slow, the delay and ramp times as
// wheel-adjustable labels and as sliders.
#pragma once

#include "PanelWidgets.h"
#include "app/ControlsController.h"

class QCheckBox;

namespace orvex::ui {

class AGCPanel final : public HoverFrame {
    Q_OBJECT
public:
    AGCPanel(app::ControlsController& controls, app::ValuesController& values,
             QWidget* parent = nullptr);
    void refresh();

private:
    app::ControlsController& m_controls;
    QCheckBox* m_on;
    OptionButtons* m_modes;
    ValueLabelWidget* m_attack;
    ValueLabelWidget* m_decay;
    PanelSlider* m_sldAttack;
    PanelSlider* m_sldDecay;
};

} // namespace orvex::ui
