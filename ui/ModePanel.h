// Demodulation mode (frame "Mode"): AM, USB, LSB, DRM, FM, BC and the image check box.
#pragma once

#include "PanelWidgets.h"
#include "app/ControlsController.h"

class QCheckBox;

namespace orvex::ui {

class ModePanel final : public HoverFrame {
    Q_OBJECT
public:
    ModePanel(app::ControlsController& controls, app::ValuesController& values,
              QWidget* parent = nullptr);
    void refresh();
    OptionButtons* modes() const { return m_modes; }
    QCheckBox* image() const { return m_image; }

private:
    app::ControlsController& m_controls;
    OptionButtons* m_modes;
    QCheckBox* m_image;
};

} // namespace orvex::ui
