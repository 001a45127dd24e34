// The spectrum display (frame "Spectrum", row 3 of the panel): the switch, the mode and
// source choices, the Y mode (averaging, linear scale, smoothing), auto gain, the filter
// curve and the waterfall switches, the two channels with their gain, shift and trigger, the
// sweep (width and centre labels and sliders), the trace gain slider, the display surface and
// the waterfall under it with its level range. Everything goes to the spectrum controller; the
// panel shows its controls' view and the engines' pictures.
#pragma once

#include "PanelWidgets.h"
#include "app/SpectrumController.h"

#include <array>

class QCheckBox;

namespace orvex {
class clsSpectrumAnalyser;
class Waterfall;
} // namespace orvex

namespace orvex::ui {

class SpectrumView;
class WaterfallView;

class SpectrumPanel final : public HoverFrame {
    Q_OBJECT
public:
    SpectrumPanel(app::SpectrumController& spectrum, app::ValuesController& values,
                  clsSpectrumAnalyser& analyser, Waterfall& waterfall, QWidget* parent = nullptr);
    void refresh();

    SpectrumView* display() const { return m_display; }
    WaterfallView* waterfall() const { return m_waterfall; }
    QCheckBox* onOff() const { return m_on; }
    OptionButtons* modes() const { return m_modes; }
    OptionButtons* sources() const { return m_sources; }
    ValueLabelWidget* value(app::WheelEntry entry) const;
    PanelSlider* gainSlider() const { return m_sldGain; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    app::SpectrumController& m_spectrum;
    QCheckBox* m_on;
    OptionButtons* m_modes;
    OptionButtons* m_sources;
    QGroupBox* m_yMode;
    QCheckBox* m_fast;
    QCheckBox* m_lin;
    QCheckBox* m_autoGain;
    QCheckBox* m_showFilters;
    QCheckBox* m_waterfallOn;
    std::array<QCheckBox*, 2> m_chnOn{};
    std::array<QCheckBox*, 2> m_trigOn{};
    std::array<QLabel*, 8> m_ctl{}; ///< lblScopeCtl 0..7
    QGroupBox* m_sweep;
    PanelSlider* m_sldWidth;
    PanelSlider* m_sldCentre;
    PanelSlider* m_sldGain;
    std::vector<ValueLabelWidget*> m_values;
    QWidget* m_waterfallRange;
    SpectrumView* m_display;
    WaterfallView* m_waterfall;
};

} // namespace orvex::ui
