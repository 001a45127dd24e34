// AGC (frame "AGC"): on/off, Off / Fast / Normal / Slow, the delay and ramp times as
// wheel-adjustable labels and as sliders.
#pragma once

#include "PanelWidgets.h"

class QCheckBox;

namespace orvex::ui {

class AGCPanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit AGCPanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);

private:
    app::ReceiverCore& m_core;
    QCheckBox* m_on;
    OptionButtons* m_modes;
    ValueLabelWidget* m_attack;
    ValueLabelWidget* m_decay;
    PanelSlider* m_sldAttack;
    PanelSlider* m_sldDecay;
};

} // namespace orvex::ui
