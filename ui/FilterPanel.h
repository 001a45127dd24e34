// Audio filter (frame "AF Filter"): the five presets, the dynamic filter and music mode, the
// variable edges on two sliders with their read-outs, and the wheel-adjustable edge labels.
#pragma once

#include "PanelWidgets.h"
#include "app/ControlsController.h"

#include <array>

class QCheckBox;

namespace orvex::ui {

class FilterPanel final : public HoverFrame {
    Q_OBJECT
public:
    FilterPanel(app::ControlsController& controls, app::ValuesController& values,
                QWidget* parent = nullptr);
    void refresh();
    OptionButtons* presets() const { return m_presets; }
    ValueLabelWidget* filterHi() const { return m_hi; }
    ValueLabelWidget* filterLo() const { return m_lo; }
    PanelSlider* slider(int i) const { return m_sld[static_cast<std::size_t>(i)]; }

private:
    app::ControlsController& m_controls;
    OptionButtons* m_presets;
    QCheckBox* m_dyn;
    QCheckBox* m_music;
    std::array<PanelSlider*, 2> m_sld{};
    std::array<QLabel*, 2> m_desc{}; ///< "FLo", "FHi"
    std::array<QLabel*, 2> m_edge{}; ///< lblFLo, lblFHi
    ValueLabelWidget* m_hi;
    ValueLabelWidget* m_lo;
};

} // namespace orvex::ui
