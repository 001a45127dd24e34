// Audio output level (frame "AF Out Level"): the level label, slider and knob, and mute.
#pragma once

#include "PanelWidgets.h"

class QCheckBox;
class QDial;

namespace orvex::ui {

class LevelPanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit LevelPanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);

private:
    app::ReceiverCore& m_core;
    ValueLabelWidget* m_level;
    PanelSlider* m_slider;
    QDial* m_dial;
    QCheckBox* m_mute;
};

} // namespace orvex::ui
