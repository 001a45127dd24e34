// Display size (frame "Display"): Ext, Std, Comp, Full choose how much of the panel shows.
#pragma once

#include "PanelWidgets.h"

#include <array>

class QRadioButton;

namespace orvex::ui {

class DisplaySizePanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit DisplaySizePanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);
    QRadioButton* option(int i) const { return m_options[static_cast<std::size_t>(i)]; }

private:
    app::ReceiverCore& m_core;
    std::array<QRadioButton*, 4> m_options{};
};

} // namespace orvex::ui
