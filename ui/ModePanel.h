// Demodulation mode (frame "Mode"): AM, USB, LSB, DRM, FM, BC and the image check box.
#pragma once

#include "PanelWidgets.h"

class QCheckBox;

namespace orvex::ui {

class ModePanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit ModePanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);
    OptionButtons* modes() const { return m_modes; }
    QCheckBox* image() const { return m_image; }

private:
    app::ReceiverCore& m_core;
    OptionButtons* m_modes;
    QCheckBox* m_image;
};

} // namespace orvex::ui
