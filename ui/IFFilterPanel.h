// IF filter (frame "IF Filter"): on/off, Off / Man / Track, and the wheel-adjustable edges
// above and below the IF centre.
#pragma once

#include "PanelWidgets.h"

class QCheckBox;

namespace orvex::ui {

class IFFilterPanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit IFFilterPanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);

private:
    app::ReceiverCore& m_core;
    QCheckBox* m_on;
    OptionButtons* m_modes;
    ValueLabelWidget* m_hi;
    ValueLabelWidget* m_lo;
};

} // namespace orvex::ui
