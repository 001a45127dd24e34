// Audio output level (frame "AF Out Level"): the level label, slider and knob, and mute.
#pragma once

#include "PanelWidgets.h"
#include "app/ControlsController.h"

class QCheckBox;
class QDial;

namespace orvex::ui {

class LevelPanel final : public HoverFrame {
    Q_OBJECT
public:
    LevelPanel(app::ControlsController& controls, app::ValuesController& values,
               QWidget* parent = nullptr);
    void refresh();

private:
    app::ControlsController& m_controls;
    ValueLabelWidget* m_level;
    PanelSlider* m_slider;
    QDial* m_dial;
    QCheckBox* m_mute;
};

} // namespace orvex::ui
