// IF filter (frame "IF Filter"): on/off, Off / Man / Track, and the wheel-adjustable edges
// above and below the IF centre.
#pragma once

#include "PanelWidgets.h"
#include "app/ControlsController.h"

class QCheckBox;

namespace orvex::ui {

class IFFilterPanel final : public HoverFrame {
    Q_OBJECT
public:
    IFFilterPanel(app::ControlsController& controls, app::ValuesController& values,
                  QWidget* parent = nullptr);
    void refresh();

private:
    app::ControlsController& m_controls;
    QCheckBox* m_on;
    OptionButtons* m_modes;
    ValueLabelWidget* m_hi;
    ValueLabelWidget* m_lo;
};

} // namespace orvex::ui
