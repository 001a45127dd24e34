// Notch and noise reducer (frame "Notch / NR"): notch on, at IF or audio, manual or automatic,
// centre and width (labels and sliders) with the centre read-out; the noise reducer switch
// with its level label, slider and knob.
#pragma once

#include "PanelWidgets.h"
#include "app/ControlsController.h"

class QCheckBox;
class QDial;

namespace orvex::ui {

class NotchPanel final : public HoverFrame {
    Q_OBJECT
public:
    NotchPanel(app::ControlsController& controls, app::ValuesController& values,
               QWidget* parent = nullptr);
    void refresh();

private:
    app::ControlsController& m_controls;
    QCheckBox* m_on;
    QCheckBox* m_type;
    OptionButtons* m_modes;
    ValueLabelWidget* m_centre;
    ValueLabelWidget* m_width;
    PanelSlider* m_sldCentre;
    PanelSlider* m_sldWidth;
    QLabel* m_readout;
    QCheckBox* m_nb;
    ValueLabelWidget* m_nbLevel;
    PanelSlider* m_sldNB;
    QDial* m_dialNB;
};

} // namespace orvex::ui
