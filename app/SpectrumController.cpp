// The spectrum display's controls: start-up configuration of the analyser, the mode and
// source choices, the switches, the display window and its labels, the gain slider, the
// pointer's read-out, wheel tuning and click-to-tune over the picture, and the redraw after
// each block.
#include "SpectrumController.h"

#include "app/RadioSession.h"
#include "app/ValuesController.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"
#include "dsp/DisplayPorts.h"
#include "radio/ad9951.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace orvex::app {
namespace {

constexpr std::int32_t kSampleRate = 48000;
constexpr std::int32_t kOrder = 11; // 2048 points
constexpr const char* kSection = "SpectrumAnalyser";
// The width and centre entries count 1024ths of the axis: FFT bins on the radio axis (24 kHz
// of IF), a quarter bin each on the audio axis of "AF Out" (6 kHz).
constexpr double kWindowSteps = 1024.0;
constexpr std::int32_t kGainSliderMax = 20;    // 2^-10 .. 2^10: -60 .. +60 dB
constexpr double kWheelStepFloorMHz = 0.00001; // 10 Hz

void SetButtons(ButtonGroup& group, std::initializer_list<std::pair<const char*, const char*>> b) {
    group.Buttons.clear();
    for (const auto& [caption, tip] : b)
        group.Buttons.push_back(PanelButton{caption, tip, kColourResting, true});
}

CheckBox Check(const char* caption, const char* tip, bool value = false) {
    CheckBox c;
    c.Caption = caption;
    c.ToolTip = tip;
    c.Value = value;
    return c;
}

} // namespace

SpectrumController::SpectrumController(RadioSession& session, ValuesController& values,
                                       SettingsStore& store, const LifeCycle& life)
    : m_session(session), m_values(values), m_store(store), m_life(life) {
    connect(&m_session, &RadioSession::spectrumRedrawDue, this,
            [this] { tmrSpectrumDisplay_Timer(); });
    // The hover reset hides the read-out.
    m_values.addHoverReset([this] {
        if (m_view.ReadoutOn == ScopeSurface::None) return;
        m_view.ReadoutOn = ScopeSurface::None;
        Q_EMIT changed();
    });
}

void SpectrumController::attach(SpectrumDisplay* analyser, WaterfallDisplay* waterfall) {
    m_analyser = analyser;
    m_waterfall = waterfall;
}

void SpectrumController::detach() {
    m_analyser = nullptr;
    m_waterfall = nullptr;
}

void SpectrumController::saveSettings() {
    if (m_waterfall) m_waterfall->SaveSettings();
    if (!m_analyser) return;
    m_analyser->SaveSettings();
    const ValueTable& t = m_values.table();
    m_store.save(kSection, "SweepWidth", SingleText(t.label(WheelEntry::ScopeWidth).Value));
    m_store.save(kSection, "SweepCentre", SingleText(t.label(WheelEntry::ScopeCentre).Value));
    m_store.save(kSection, "SpectrumSmooth", IntText(m_analyser->SpectrumSmooth()));
    m_store.save(kSection, "TraceGain", SingleText(m_analyser->Gain()));
}

// The display window, the smoothing and the trace gain as the last run left them; a value that
// cannot be read or lies outside its control's range is ignored.
void SpectrumController::restoreControls() {
    ValueTable& t = m_values.table();
    const auto number = [this](const char* key, double lo, double hi) -> std::optional<double> {
        const auto v = ParseNumber(m_store.get(kSection, key, ""));
        if (v && std::isfinite(*v) && *v >= lo && *v <= hi) return v;
        return std::nullopt;
    };
    for (const auto& [key, entry] : {std::pair{"SweepWidth", WheelEntry::ScopeWidth},
                                     std::pair{"SweepCentre", WheelEntry::ScopeCentre},
                                     std::pair{"SpectrumSmooth", WheelEntry::SpectrumSmooth}}) {
        ValueLabel& l = t.label(entry);
        if (const auto v = number(key, l.Min, l.Max)) l.Value = static_cast<float>(*v);
    }
    if (m_analyser)
        m_analyser->setSpectrumSmooth(RoundHalfEven32(t.label(WheelEntry::SpectrumSmooth).Value));
    t.showCaption(WheelEntry::SpectrumSmooth);
    // The gain slider doubles or halves the traces per step from 0 dB half way.
    const double steps = m_view.sldSpectrumGain.Max / 2.0;
    if (const auto g = number("TraceGain", std::pow(2.0, -steps), std::pow(2.0, steps)))
        setTraceGain(m_view.sldSpectrumGain.Max / 2 - RoundHalfEven32(std::log2(*g)));
}

void SpectrumController::setTraceGain(std::int32_t position) {
    Slider& g = m_view.sldSpectrumGain;
    g.Value = std::clamp(position, g.Min, g.Max);
    const double gain = std::pow(2.0, g.Max / 2.0 - g.Value);
    if (m_analyser) m_analyser->setGain(static_cast<float>(gain));
    g.ToolTip = "YGain : " + FormatNumber(20.0 * std::log10(gain), "#0 dB");
}

// ---- start-up ----------------------------------------------------------------------------------

void SpectrumController::defineValues() {
    ValueTable& t = m_values.table();
    t.define(WheelEntry::Chn1Gain, 0, 99, 1, 0.01f, 0.1f, 1, "#0.0", true);
    t.define(WheelEntry::Chn1Shift, -100, 100, 0, 0.1f, 1, 10, "#0", true);
    t.define(WheelEntry::Chn2Gain, 0, 99, 1, 0.01f, 0.1f, 1, "#0.0", true);
    t.define(WheelEntry::Chn2Shift, -100, 100, 0, 0.1f, 1, 10, "#0", true);
    t.define(WheelEntry::ScopeWidth, 10, 1023, 1023, 1, 10, 50, "#,###", false);
    t.define(WheelEntry::ScopeCentre, 0, 1023, 511, 1, 10, 50, "#,###", false);
    t.define(WheelEntry::SpectrumSmooth, 1, 24, 8, 1, 1, 4, "#0", true);
    t.label(WheelEntry::Chn1Gain).Value = 1;
    t.label(WheelEntry::Chn2Gain).Value = 1;
    t.label(WheelEntry::ScopeWidth).Value = 1023;
    t.label(WheelEntry::ScopeCentre).Value = 511;
    t.label(WheelEntry::SpectrumSmooth).Value = 8;
    for (WheelEntry n :
         {WheelEntry::Chn1Gain, WheelEntry::Chn1Shift, WheelEntry::Chn2Gain, WheelEntry::Chn2Shift,
          WheelEntry::ScopeWidth, WheelEntry::ScopeCentre, WheelEntry::SpectrumSmooth})
        t.showCaption(n);
}

void SpectrumController::setUp() {
    SpectrumControlsView& c = m_view;
    SetButtons(
        c.chkScopeMode,
        {{"Freq", "Spectrum Analyser"}, {"Time", "Oscilloscope"}, {"Phase", "Lissajous Y1:Y2"}});
    SetButtons(c.optSpectrumSource, {{"IF in", "IF Input"},
                                     {"Pre Demod", "After IF & Notch Filters"},
                                     {"Post Demod", "Unfiltered Demodulation"},
                                     {"AF Out", "What you hear"}});
    c.optSpectrumSource.Choose(m_session.state().SpectrumSource);
    c.chkChn1On = Check("Y1 On", "Show channel 1");
    c.chkChn2On = Check("Y2 On", "Show channel 2");
    c.chkTrigOn = {Check("Trigger on Y1", "Trigger on Y1"),
                   Check("Trigger on Y2", "Trigger on Y2")};
    c.chkSmoothSpectrum = Check("Fast", "Realtime Display");
    c.chkLog = Check("Lin", "Linear Y Scale");
    c.chkSpectrumAutoGain = Check("AutoGain", "Scale each trace to fill the display");
    c.chkScopeShowFilters = Check("Show Fltr", "Show Filter Curve");
    c.chkWaterfall = Check("Waterfall", "Show the waterfall under the spectrum");
    c.sldXWidth = Slider{10, 1023, 1023, "", "", true, true};
    c.sldXCentre = Slider{0, 1023, 511, "", "", true, true};
    c.sldSpectrumGain =
        Slider{0, kGainSliderMax, kGainSliderMax / 2, "YGain : 0 dB", "", true, true};

    ValueTable& t = m_values.table();
    const auto channel = [this](WheelEntry n, void (SpectrumDisplay::*set)(float)) {
        return [this, n, set] {
            if (m_analyser) (m_analyser->*set)(m_values.table().label(n).Value);
        };
    };
    t.entry(WheelEntry::Chn1Gain).Apply =
        channel(WheelEntry::Chn1Gain, &SpectrumDisplay::setChn1Gain);
    t.entry(WheelEntry::Chn1Shift).Apply =
        channel(WheelEntry::Chn1Shift, &SpectrumDisplay::setChn1Shift);
    t.entry(WheelEntry::Chn2Gain).Apply =
        channel(WheelEntry::Chn2Gain, &SpectrumDisplay::setChn2Gain);
    t.entry(WheelEntry::Chn2Shift).Apply =
        channel(WheelEntry::Chn2Shift, &SpectrumDisplay::setChn2Shift);
    t.entry(WheelEntry::ScopeWidth).Apply = [this] { applyDisplayWindow(); };
    t.entry(WheelEntry::ScopeCentre).Apply = [this] { applyDisplayWindow(); };
    t.entry(WheelEntry::SpectrumSmooth).Apply = [this] {
        if (m_analyser)
            m_analyser->setSpectrumSmooth(
                RoundHalfEven32(m_values.table().label(WheelEntry::SpectrumSmooth).Value));
    };
    t.label(WheelEntry::Chn1Gain).ToolTip = "Y1 Gain Adjust";
    t.label(WheelEntry::Chn1Shift).ToolTip = "Y1 Shift Adjust";
    t.label(WheelEntry::Chn2Gain).ToolTip = "Y2 Gain Adjust";
    t.label(WheelEntry::Chn2Shift).ToolTip = "Y2 Shift Adjust";
    t.label(WheelEntry::ScopeWidth).ToolTip = "Sweep Adjust";
    t.label(WheelEntry::ScopeCentre).ToolTip = "Centre Offset Adjust";
    t.label(WheelEntry::SpectrumSmooth).ToolTip = "Spectrum Smoothing";

    // The waterfall's range: the darkest and the reddest level, dBFS.
    t.define(WheelEntry::WaterfallMin, -200, 20, -120, 1, 5, 10, "#0 dB", true);
    t.define(WheelEntry::WaterfallMax, -200, 21, -20, 1, 5, 10, "#0 dB", true);
    t.label(WheelEntry::WaterfallMin).ToolTip = "Waterfall: level of the darkest colour";
    t.label(WheelEntry::WaterfallMax).ToolTip = "Waterfall: level shown red";
    const auto range = [this](WheelEntry n, bool low) {
        return [this, n, low] {
            ValueLabel& l = m_values.table().label(n);
            if (!m_waterfall) return;
            // The waterfall keeps its levels at least 1 dB apart; the label shows what it took.
            if (low) {
                m_waterfall->setMinDb(l.Value);
                l.Value = m_waterfall->MinDb();
            } else {
                m_waterfall->setMaxDb(l.Value);
                l.Value = m_waterfall->MaxDb();
            }
            m_values.table().showCaption(n);
        };
    };
    t.entry(WheelEntry::WaterfallMin).Apply = range(WheelEntry::WaterfallMin, true);
    t.entry(WheelEntry::WaterfallMax).Apply = range(WheelEntry::WaterfallMax, false);
    if (m_waterfall) {
        t.label(WheelEntry::WaterfallMin).Value = m_waterfall->MinDb();
        t.label(WheelEntry::WaterfallMax).Value = m_waterfall->MaxDb();
    }
    if (m_analyser)
        t.label(WheelEntry::SpectrumSmooth).Value =
            static_cast<float>(m_analyser->SpectrumSmooth());
    for (WheelEntry n :
         {WheelEntry::SpectrumSmooth, WheelEntry::WaterfallMin, WheelEntry::WaterfallMax})
        t.showCaption(n);

    SpectrumDisplay* d = m_analyser;
    if (d == nullptr) return;
    d->setFSampling(kSampleRate);
    d->setOrder(kOrder);
    d->setStartBin(0);
    d->setStopBin(1024);
    d->setFStart(0);
    d->setFEnd(kSampleRate / 2);
    centreOnTunedFrequency();
    d->setActive(runs());
    c.chkScopeShowFilters.Value = d->ShowFilter();
    c.chkSpectrumAutoGain.Value = d->AutoGain();
    c.sldSpectrumGain.Enabled = !d->AutoGain();
    c.chkWaterfall.Value = m_waterfall && m_waterfall->Enabled();
    // The marker shows only while the notch is on, whatever was saved.
    d->setShowNotch(m_session.state().ShowNotch);
    // The mode box of the restored mode is cleared and ticked: its set-up runs once, and
    // writing the mode runs init through SetupDisplay; then init once more.
    const std::int32_t mode = d->Mode();
    restoreControls();
    c.chkScopeMode.Selected = -1;
    chkScopeMode_Click(mode);
    d->init();
    setTraceGain(c.sldSpectrumGain.Value);
    // init measures the window from FStart and FEnd; the oscilloscope, and a window narrowed
    // in the last run, keep their own.
    const ValueLabel& width = t.label(WheelEntry::ScopeWidth);
    const ValueLabel& centre = t.label(WheelEntry::ScopeCentre);
    if (mode == 1 || width.Value != width.Default || centre.Value != centre.Default)
        applyDisplayWindow();
    refreshCaptions();
}

void SpectrumController::centreOnTunedFrequency() {
    if (!m_analyser) return;
    m_analyser->setFOffset(RoundHalfEven32(m_session.tunedMHz() * 1e6 -
                                           (m_analyser->FEnd() - m_analyser->FStart()) / 2.0));
}

// ---- running -----------------------------------------------------------------------------------

void SpectrumController::setAnalyserOn(bool on) {
    m_view.chkSpectrumAnalyser = on;
    applyRuns();
    Q_EMIT changed();
}

void SpectrumController::setShownBySize(bool shown) {
    m_shownBySize = shown;
    applyRuns();
}

void SpectrumController::applyRuns() {
    SpectrumDisplay* d = m_analyser;
    if (d == nullptr) return;
    const bool on = runs();
    if (d->Active() == on) return;
    d->setActive(on);
    if (!on) d->SetupDisplay(); // an empty graticule, not a frozen picture
}

void SpectrumController::tmrSpectrumDisplay_Timer() {
    SpectrumDisplay* d = m_analyser;
    if (d == nullptr || m_life.unloaded || !runs()) return;
    // One frame per block: a second redraw for the same block would show nothing new.
    const std::int64_t block = m_session.total().blocks;
    if (block == m_lastBlock) return;
    m_lastBlock = block;
    showNotchMarker();
    d->Display();
    ++m_frames;
    // The taps move the axis with the tuning; the labels that name frequencies follow.
    if (d->FOffset() != m_captionOffset || d->ReverseSpectrum() != m_captionReverse) {
        refreshCaptions();
        m_values.refresh();
        Q_EMIT changed();
    }
}

// The notch marker stands where the notch acts on the signal shown. An IF notch acts on the IF
// taps at its own frequency. An audio notch acts on the audio at its frequency f, and on the IF
// it removes what the detector turns into f: 12 kHz + f in USB, 12 kHz - f in LSB, both in AM
// (the two sidebands). FM and DRM have no such place, nor has the "Post Demod" tap: there the
// marker would name nothing drawn and is not shown.
void SpectrumController::showNotchMarker() {
    const ReceiveState& s = m_session.state();
    constexpr float kIFCentre = kSampleRate / 4.0f;
    const auto f = static_cast<float>(s.NotchCentre);
    const bool ifTap = s.SpectrumSource == 0 || s.SpectrumSource == 1;
    float first = -1.0f, second = -1.0f;
    if (s.NotchType == 1 && ifTap) {
        first = f;
    } else if (s.NotchType == 0 && s.SpectrumSource == 3) {
        first = f;
    } else if (s.NotchType == 0 && ifTap) {
        if (s.CurrentDemodMode == kModeUSB) first = kIFCentre + f;
        if (s.CurrentDemodMode == kModeLSB) first = kIFCentre - f;
        if (s.CurrentDemodMode == kModeAM || s.CurrentDemodMode == kModeBC) {
            first = kIFCentre - f;
            second = kIFCentre + f;
        }
    }
    const bool show = s.ShowNotch && first >= 0.0f;
    if (show) {
        m_analyser->setNotchCentre(first);
        m_analyser->setSecondNotchCentre(second);
        m_analyser->setNotchWidth(static_cast<float>(s.NotchWidth));
    }
    if (m_analyser->ShowNotch() != show) m_analyser->setShowNotch(show);
}

// ---- the controls ------------------------------------------------------------------------------

void SpectrumController::chkScopeMode_Click(std::int32_t index) {
    SpectrumDisplay* d = m_analyser;
    if (m_modeBusy || index < 0 || index > 2) return;
    m_modeBusy = true;
    SpectrumControlsView& c = m_view;
    ValueTable& t = m_values.table();
    if (d) d->setMode(index);
    c.frScopeSweepVisible = c.frScopeYModeVisible = false;
    c.TriggerVisible = false;
    c.ShowFiltersVisible = c.CentreVisible = false;
    c.chkScopeMode.Choose(index);
    ValueLabel& width = t.label(WheelEntry::ScopeWidth);
    if (index == 0) {
        c.frScopeYModeVisible = c.frScopeYModeEnabled = true;
        c.frScopeSweepVisible = true;
        c.frScopeSweepCaption = "Sweep";
        c.lblScopeCtl[6] = "Hz/Div";
        width.Format = "#,###";
        c.ShowFiltersVisible = c.CentreVisible = true;
    } else {
        // The oscilloscope and the X-Y display show every sample: no averaging, linear.
        if (d) {
            d->setFastMode(true);
            d->setLogMode(false);
        }
        c.frScopeYModeVisible = c.frScopeYModeEnabled = false;
        if (index == 1) {
            c.frScopeSweepVisible = true;
            c.frScopeSweepCaption = "Timebase";
            c.lblScopeCtl[6] = "ms/Div";
            width.Format = "0.000";
            c.TriggerVisible = true;
        }
    }
    // The controls take the settings of the new mode; each shift is written again so that
    // its offset follows the mode's Y range.
    // The X-Y display always draws both channels: their boxes show that, greyed.
    c.chkChn1On.Enabled = c.chkChn2On.Enabled = index != 2;
    if (d) {
        c.chkChn1On.Value = d->Chn1Enabled();
        c.chkChn2On.Value = d->Chn2Enabled();
        c.chkTrigOn[0].Value = d->Chn1Trig();
        c.chkTrigOn[1].Value = d->Chn2Trig();
        c.chkLog.Value = !d->LogMode();
        c.chkSmoothSpectrum.Value = d->FastMode();
        const float values[4] = {d->Chn1Gain(), d->Chn1Shift(), d->Chn2Gain(), d->Chn2Shift()};
        const WheelEntry entries[4] = {WheelEntry::Chn1Gain, WheelEntry::Chn1Shift,
                                       WheelEntry::Chn2Gain, WheelEntry::Chn2Shift};
        for (int n = 0; n < 4; ++n) {
            t.label(entries[n]).Value = values[n];
            t.showCaption(entries[n]);
        }
        d->setChn1Shift(d->Chn1Shift());
        d->setChn2Shift(d->Chn2Shift());
        c.WaterfallVisible = index == 0 && m_waterfall && m_waterfall->Enabled();
    }
    c.SmoothLabelVisible = !c.chkSmoothSpectrum.Value;
    c.sldXCentre.Visible = c.CentreVisible;
    applyDisplayWindow();
    if (d) d->SetupDisplay();
    m_modeBusy = false;
    m_values.refresh();
    Q_EMIT changed();
}

void SpectrumController::optSpectrumSource_Click(std::int32_t index) {
    if (index < 0 || index > 3) return;
    m_session.setSpectrumSource(index);
    m_view.optSpectrumSource.Choose(index);
    if (SpectrumDisplay* d = m_analyser) {
        d->setFStart(0);
        if (index < 3) {
            // A radio axis around the tuned frequency.
            d->setFEnd(RoundHalfEven32(d->FSampling() / 2.0));
            centreOnTunedFrequency();
        } else {
            // The audio a listener hears, 0 Hz at the left and rising to the right.
            d->setFEnd(d->FSampling() / 8);
            d->setFOffset(0);
            d->setReverseSpectrum(true);
        }
        // The display window spans the new axis (FStart to FEnd), so the trace fills it.
        applyDisplayWindow();
        d->SetupDisplay();
    }
    m_values.refresh();
    Q_EMIT changed();
}

void SpectrumController::chkTrigOn_Click(std::int32_t index) {
    if (m_trigBusy || (index != 1 && index != 2)) return;
    m_trigBusy = true;
    // Clicking the ticked box keeps it ticked: one trigger channel is always chosen.
    m_view.chkTrigOn[0].Value = index == 1;
    m_view.chkTrigOn[1].Value = index == 2;
    if (m_analyser) m_analyser->setTriggerChn(static_cast<std::int16_t>(index));
    m_trigBusy = false;
    Q_EMIT changed();
}

void SpectrumController::scopeCheckClick(ScopeCheck box, bool ticked) {
    SpectrumControlsView& c = m_view;
    SpectrumDisplay* d = m_analyser;
    switch (box) {
    case ScopeCheck::chkChn1On:
        c.chkChn1On.Value = ticked;
        if (d) d->setChn1Enabled(ticked);
        break;
    case ScopeCheck::chkChn2On:
        c.chkChn2On.Value = ticked;
        if (d) d->setChn2Enabled(ticked);
        break;
    case ScopeCheck::chkSpectrumAutoGain:
        c.chkSpectrumAutoGain.Value = ticked;
        c.sldSpectrumGain.Enabled = !ticked;
        if (d) d->setAutoGain(ticked);
        break;
    case ScopeCheck::chkScopeShowFilters:
        c.chkScopeShowFilters.Value = ticked;
        if (d) d->setShowFilter(ticked);
        break;
    case ScopeCheck::chkLog:
        c.chkLog.Value = ticked;
        if (d) {
            d->setLogMode(!ticked);
            // The scales change with the mode's Y axis, and the offsets with them.
            d->setMode(d->Mode());
            d->setChn1Shift(d->Chn1Shift());
            d->setChn2Shift(d->Chn2Shift());
        }
        break;
    case ScopeCheck::chkSmoothSpectrum:
        c.chkSmoothSpectrum.Value = ticked;
        c.SmoothLabelVisible = !ticked;
        if (d) {
            d->setSmoothSpectrum(!ticked);
            d->setFastMode(ticked);
        }
        break;
    case ScopeCheck::chkWaterfall:
        c.chkWaterfall.Value = ticked;
        if (m_waterfall) {
            m_waterfall->setEnabled(ticked);
            c.WaterfallVisible = ticked && d && d->Mode() == 0;
        }
        break;
    }
    Q_EMIT changed();
}

void SpectrumController::scopeSliderChanged(ScopeSlider slider, std::int32_t position) {
    SpectrumControlsView& c = m_view;
    switch (slider) {
    case ScopeSlider::sldXWidth:
    case ScopeSlider::sldXCentre: {
        const WheelEntry n =
            slider == ScopeSlider::sldXWidth ? WheelEntry::ScopeWidth : WheelEntry::ScopeCentre;
        ValueLabel& l = m_values.table().label(n);
        l.Value = std::clamp(static_cast<float>(position), l.Min, l.Max);
        applyDisplayWindow();
        m_values.refresh();
        break;
    }
    case ScopeSlider::sldSpectrumGain:
        // Half way is 0 dB; every step doubles or halves the traces.
        if (!c.sldSpectrumGain.Enabled) return;
        setTraceGain(position);
        break;
    }
    Q_EMIT changed();
}

void SpectrumController::scopeSliderRightButton(ScopeSlider slider) {
    if (slider == ScopeSlider::sldSpectrumGain) {
        scopeSliderChanged(slider, m_view.sldSpectrumGain.Max / 2);
        return;
    }
    const WheelEntry n =
        slider == ScopeSlider::sldXWidth ? WheelEntry::ScopeWidth : WheelEntry::ScopeCentre;
    scopeSliderChanged(slider, RoundHalfEven32(m_values.table().label(n).Default));
}

// The display window from the centre and the width entries: bins in Frequency mode, samples in
// Time mode; the Phase display keeps all it has.
void SpectrumController::applyDisplayWindow() {
    SpectrumControlsView& c = m_view;
    const ValueLabel& width = m_values.table().label(WheelEntry::ScopeWidth);
    const ValueLabel& centre = m_values.table().label(WheelEntry::ScopeCentre);
    const std::int32_t W = RoundHalfEven32(width.Value);
    const std::int32_t C = RoundHalfEven32(centre.Value);
    c.sldXWidth.Value = W;
    c.sldXCentre.Value = C;
    SpectrumDisplay* d = m_analyser;
    if (d == nullptr) return;
    if (d->Mode() == 0) {
        // The entries count 1024ths of the axis from FStart to FEnd (bins at the IF taps).
        const double k =
            d->HzPerBin() > 0.0f ? (d->FEnd() - d->FStart()) / d->HzPerBin() / kWindowSteps : 1.0;
        const auto bins = [k](double steps) { return RoundHalfEven32(steps * k); };
        const std::int32_t top = bins(width.Max);
        d->setStartBin(std::max(0, bins(C - W / 2)));
        d->setStopBin(std::min(bins(C + static_cast<std::int32_t>(W * 0.5 + 0.5)), top));
    } else if (d->Mode() == 1) {
        const std::int32_t lo = RoundHalfEven32(width.Min);
        const std::int32_t hi = RoundHalfEven32(width.Max);
        const std::int32_t w = std::clamp(W - lo, 10, hi - lo);
        d->setScreenWidth(w);
        d->setStartBin(0);
        d->setStopBin(w - 1);
    }
    refreshCaptions();
}

// The captions that name frequencies or times: the width label (per division), the centre
// label (the frequency on the centre line, as drawn) and the sliders' tool tips.
void SpectrumController::refreshCaptions() {
    SpectrumDisplay* d = m_analyser;
    if (d == nullptr) return;
    SpectrumControlsView& c = m_view;
    ValueLabel& width = m_values.table().label(WheelEntry::ScopeWidth);
    ValueLabel& centre = m_values.table().label(WheelEntry::ScopeCentre);
    const double span = d->StopBin() - d->StartBin();
    m_captionOffset = d->FOffset();
    m_captionReverse = d->ReverseSpectrum();
    if (d->Mode() == 0) {
        const double perDivision = d->HzPerBin() * (span + 1.0) / 12.0;
        width.Caption = FormatNumber(perDivision, "#,###");
        const double centreHz = d->FrequencyAtX((d->DisplayWidth() - 1.0) / 2.0);
        centre.Caption = FormatNumber(centreHz, "#,###");
        c.sldXWidth.ToolTip =
            "Spectrum Width : " + FormatNumber(d->HzPerBin() / 12.0 * span, "#,##0 Hz/div");
        c.sldXCentre.ToolTip = "Center Frequency : " + FormatNumber(centreHz, "#,0 Hz");
    } else if (d->Mode() == 1) {
        // The time one division of the twelve spans: the samples drawn across at the
        // sample rate.
        const double msPerDivision = span * 1000.0 / d->FSampling() / 12.0;
        width.Caption = FormatNumber(msPerDivision, "0.000");
        c.sldXWidth.ToolTip = "Timebase : " + FormatNumber(msPerDivision, "00.00 mS/div");
    }
}

// ---- the pointer over the picture -------------------------------------------------------------

void SpectrumController::scopeHover(ScopeSurface surface, double x, double y, double height) {
    SpectrumDisplay* d = m_analyser;
    if (d == nullptr || surface == ScopeSurface::None || m_life.unloaded) return;
    // Only the Frequency mode has a frequency axis; the oscilloscope and the X-Y display
    // show no read-out.
    const bool readout = d->Mode() == 0;
    std::string text = readout ? d->FrequencyReadout(x) : std::string();
    bool targetMoved = false;
    if (m_wheelOverScope) {
        // The wheel tunes; over the trace the height chooses its step: 10 Hz at the bottom,
        // then 100 Hz per tenth of the height up to 1 kHz at the top.
        targetMoved = m_values.setTarget(WheelEntry::ScopeTuning);
        ad9951& v = m_session.vfo();
        if (surface == ScopeSurface::Display && height > 1.0) {
            const double up = std::clamp((height - 1.0 - y) / (height - 1.0), 0.0, 1.0);
            double step = std::floor(up * 10.0 + 0.5) * 0.001 / 10.0;
            if (step < kWheelStepFloorMHz) step = kWheelStepFloorMHz;
            v.setTuneStep(step);
            v.setTuneStepLSD(step);
        }
        text += " : " + FormatNumber(v.TuneStep() * 1e6, "###0");
    } else {
        targetMoved = m_values.setTarget(WheelEntry::None);
    }
    const ScopeSurface shown = readout ? surface : ScopeSurface::None;
    if (targetMoved) m_values.refresh();
    if (text == m_view.lblSpectrumFreq && shown == m_view.ReadoutOn) return;
    m_view.lblSpectrumFreq = text;
    m_view.ReadoutOn = shown;
    Q_EMIT changed();
}

void SpectrumController::scopeLeave() {
    const bool targetMoved = m_values.setTarget(WheelEntry::None);
    if (targetMoved) m_values.refresh();
    if (m_view.ReadoutOn == ScopeSurface::None) return;
    m_view.ReadoutOn = ScopeSurface::None;
    Q_EMIT changed();
}

bool SpectrumController::scopeClick(double x, bool leftButton) {
    if (!leftButton || m_analyser == nullptr || m_life.unloaded) return false;
    const std::optional<double> mhz = m_analyser->ClickTuneMHz(x);
    return mhz && m_session.tune(*mhz);
}

} // namespace orvex::app
