// The spectrum display area of the window: the analyser's switch, its mode (spectrum,
// oscilloscope, X-Y) and source, the Y mode, auto gain, the filter curve, the channels with
// their gain, shift and trigger, the display window (width and centre), the trace gain, the
// waterfall's switch and level range, the frequency read-out under the pointer, wheel tuning
// and click-to-tune over the picture, and the redraw after each block (at most one frame per
// block).
//
// The window creates and owns the drawing engines; attach() hands this controller non-owning
// pointers, saveSettings() asks them to write their settings (before the settings file is
// written) and detach() lets go of them before they go. Runs on the user-interface thread.
#pragma once

#include "app/LifeCycle.h"
#include "dsp/ReceiveState.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <string>

namespace orvex {
class SettingsStore;
class SpectrumDisplay;
class WaterfallDisplay;
} // namespace orvex

namespace orvex::app {

class RadioSession;
class ValuesController;

/// Check boxes of the spectrum panel whose click the controller handles.
enum class ScopeCheck {
    chkChn1On,
    chkChn2On,
    chkSpectrumAutoGain,
    chkScopeShowFilters,
    chkLog,            ///< ticked: linear Y scale
    chkSmoothSpectrum, ///< ticked: no averaging ("Fast")
    chkWaterfall,      ///< the waterfall shown and fed
};

/// Sliders of the spectrum panel.
enum class ScopeSlider { sldXWidth, sldXCentre, sldSpectrumGain };

/// Which surface shows the frequency read-out.
enum class ScopeSurface { None, Display, Waterfall };

/// What the spectrum panel shows of the display's controls (the engines keep the display
/// settings themselves).
struct SpectrumControlsView {
    bool chkSpectrumAnalyser = false; ///< the display's switch
    ButtonGroup chkScopeMode;         ///< 0 "Freq", 1 "Time", 2 "Phase": one is chosen
    ButtonGroup optSpectrumSource;    ///< 0 "IF in", 1 "Pre Demod", 2 "Post Demod", 3 "AF Out"
    CheckBox chkChn1On, chkChn2On;
    std::array<CheckBox, 2> chkTrigOn; ///< "Trigger on Y1", "Trigger on Y2"
    CheckBox chkSmoothSpectrum, chkLog, chkSpectrumAutoGain, chkScopeShowFilters;
    CheckBox chkWaterfall;
    Slider sldXWidth, sldXCentre, sldSpectrumGain;

    // What the chosen mode shows.
    bool frScopeYModeVisible = true;
    bool frScopeYModeEnabled = true;
    bool frScopeSweepVisible = true;
    std::string frScopeSweepCaption = "Sweep";
    bool TriggerVisible = false;    ///< chkTrigOn(1, 2) and their captions
    bool ShowFiltersVisible = true; ///< chkScopeShowFilters
    bool CentreVisible = true;      ///< lblScopeXCentre and its caption
    bool SmoothLabelVisible = true; ///< lblSpectrumSmooth (hidden while "Fast")
    bool WaterfallVisible = true;   ///< Frequency mode with the waterfall switched on
    /// Caption labels: 0 "Gain", 1 "Shift", 2 "Trig" (Y1); 3 "Trig", 4 "Shift", 5 "Gain" (Y2);
    /// 6 the width unit ("Hz/Div" or "ms/Div"); 7 "Hz" (the centre).
    std::array<std::string, 8> lblScopeCtl{"Gain",  "Shift", "Trig",   "Trig",
                                           "Shift", "Gain",  "Hz/Div", "Hz"};

    // The frequency under the pointer.
    std::string lblSpectrumFreq;
    ScopeSurface ReadoutOn = ScopeSurface::None;
};

class SpectrumController final : public QObject {
    Q_OBJECT
public:
    /// `store` holds the display's settings (section "SpectrumAnalyser"); it must outlive the
    /// controller.
    SpectrumController(RadioSession& session, ValuesController& values, SettingsStore& store,
                       const LifeCycle& life);

    /// "Form_Load : New clsSpectrumAnalyser": the window's engines (either may be null).
    void attach(SpectrumDisplay* analyser, WaterfallDisplay* waterfall);
    /// "Form_Load : Initialising MouseOverS": the display's entries of the wheel table.
    void defineValues();
    /// "Form_Load : Initialising SpectrumAnalyser": the analyser configured, the controls
    /// show its settings, and the display window, trace gain and smoothing of the last run
    /// come back (keys "SweepWidth", "SweepCentre", "TraceGain", "SpectrumSmooth").
    void setUp();
    /// The axis around the tuned frequency (start-up, after the band in use is shown).
    void centreOnTunedFrequency();
    /// The engines write their settings into the store, and this area its own keys.
    void saveSettings();
    /// Lets go of the engines; nothing draws or is drawn on from here.
    void detach();

    const SpectrumControlsView& view() const { return m_view; }
    /// The display runs: its switch is on and the display size shows it.
    bool runs() const { return m_view.chkSpectrumAnalyser && m_shownBySize; }
    /// The display's switch (chkSpectrumAnalyser).
    bool analyserOn() const { return m_view.chkSpectrumAnalyser; }
    void setAnalyserOn(bool on);
    /// Whether the display size shows the spectrum.
    void setShownBySize(bool shown);
    /// The wheel tunes over the display (option "ScrollWheelEnableOverScope").
    bool wheelOverScope() const { return m_wheelOverScope; }
    void setWheelOverScope(bool on) { m_wheelOverScope = on; }

    /// Mode choice 0 Freq, 1 Time, 2 Phase: shows that mode's controls and loads its settings.
    void chkScopeMode_Click(std::int32_t index);
    /// Source 0 "IF in", 1 "Pre Demod", 2 "Post Demod", 3 "AF Out".
    void optSpectrumSource_Click(std::int32_t index);
    /// Trigger channel 1 or 2 (one is always chosen).
    void chkTrigOn_Click(std::int32_t index);
    void scopeCheckClick(ScopeCheck box, bool ticked);
    void scopeSliderChanged(ScopeSlider slider, std::int32_t position);
    /// Right button on a slider: back to its default.
    void scopeSliderRightButton(ScopeSlider slider);
    /// The pointer at (x, y) logical pixels over a surface `height` pixels high: the read-out,
    /// and with wheel tuning over the scope the wheel target and (over the display) the step.
    void scopeHover(ScopeSurface surface, double x, double y, double height);
    /// The pointer left the surfaces: read-out hidden, wheel target cleared.
    void scopeLeave();
    /// A click at x on a surface: the left button tunes there while the axis shows radio
    /// frequency. True when it tuned.
    bool scopeClick(double x, bool leftButton);
    /// The redraw after a block (tmrSpectrumDisplay): at most one frame per block.
    void tmrSpectrumDisplay_Timer();
    /// Frames drawn since start-up.
    std::int64_t frames() const { return m_frames; }

    /// Repaints what shows this area (start-up, a change made outside its handlers).
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();

private:
    void applyRuns();
    void restoreControls();
    void setTraceGain(std::int32_t position);
    void applyDisplayWindow();
    void refreshCaptions();
    void showNotchMarker();

    RadioSession& m_session;
    ValuesController& m_values;
    SettingsStore& m_store;
    const LifeCycle& m_life;
    SpectrumDisplay* m_analyser = nullptr;
    WaterfallDisplay* m_waterfall = nullptr;
    SpectrumControlsView m_view;
    bool m_shownBySize = false;
    bool m_wheelOverScope = false;
    bool m_modeBusy = false;
    bool m_trigBusy = false;
    std::int64_t m_frames = 0;
    std::int64_t m_lastBlock = -1;
    std::int32_t m_captionOffset = 0;
    bool m_captionReverse = false;
};

} // namespace orvex::app
