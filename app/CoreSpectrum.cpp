// The spectrum display's controls: start-up configuration of the analyser, the mode and
// source choices, the switches, the display window and its labels, the gain slider, the
// pointer's read-out, wheel tuning and click-to-tune over the picture, and the redraw after
// each block.
#include "ReceiverCore.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "dsp/ReceiveChain.h"
#include "radio/ad9951.h"

#include <algorithm>
#include <cmath>

namespace orvex::app {
namespace {

constexpr std::int32_t kSampleRate = 48000;
constexpr std::int32_t kOrder = 11;            // 2048 points
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

// ---- start-up ----------------------------------------------------------------------------------

void ReceiverCore::setUpSpectrum() {
    SpectrumControls& c = m_scope;
    SetButtons(
        c.chkScopeMode,
        {{"Freq", "Spectrum Analyser"}, {"Time", "Oscilloscope"}, {"Phase", "Lissajous Y1:Y2"}});
    SetButtons(c.optSpectrumSource, {{"IF in", "IF Input"},
                                     {"Pre Demod", "After IF & Notch Filters"},
                                     {"Post Demod", "Unfiltered Demodulation"},
                                     {"AF Out", "What you hear"}});
    c.optSpectrumSource.Choose(m_session.chain().State().SpectrumSource);
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
    setUpSpectrumValues();
    connect(this, &ReceiverCore::spectrumRedrawDue, this, [this] { tmrSpectrumDisplay_Timer(); });

    SpectrumDisplay* d = m_spectrum.get();
    if (d == nullptr) return;
    d->setFSampling(kSampleRate);
    d->setOrder(kOrder);
    d->setStartBin(0);
    d->setStopBin(1024);
    d->setFStart(0);
    d->setFEnd(kSampleRate / 2);
    d->setFOffset(
        RoundHalfEven32(m_session.vfo().TunedFreq() * 1e6 - (d->FEnd() - d->FStart()) / 2.0));
    d->setActive(spectrumRuns());
    c.chkScopeShowFilters.Value = d->ShowFilter();
    c.chkSpectrumAutoGain.Value = d->AutoGain();
    c.sldSpectrumGain.Enabled = !d->AutoGain();
    c.chkWaterfall.Value = d->WaterfallOn();
    // The marker shows only while the notch is on, whatever was saved.
    d->setShowNotch(state().ShowNotch);
    // The mode box of the restored mode is cleared and ticked: its set-up runs once, and
    // writing the mode runs init through SetupDisplay; then init once more.
    const std::int32_t mode = d->Mode();
    c.chkScopeMode.Selected = -1;
    chkScopeMode_Click(mode);
    d->init();
    d->setGain(1.0f);
    // init measures the window from FStart and FEnd; the oscilloscope keeps its own.
    if (mode == 1) applyDisplayWindow();
    refreshScopeCaptions();
}

void ReceiverCore::setUpSpectrumValues() {
    ValueTable& t = m_values;
    t.entry(2).Apply = [this] {
        if (m_spectrum) m_spectrum->setChn1Gain(m_values.entry(2).Label->Value);
    };
    t.entry(3).Apply = [this] {
        if (m_spectrum) m_spectrum->setChn1Shift(m_values.entry(3).Label->Value);
    };
    t.entry(4).Apply = [this] {
        if (m_spectrum) m_spectrum->setChn2Gain(m_values.entry(4).Label->Value);
    };
    t.entry(5).Apply = [this] {
        if (m_spectrum) m_spectrum->setChn2Shift(m_values.entry(5).Label->Value);
    };
    t.entry(6).Apply = [this] { applyDisplayWindow(); };
    t.entry(15).Apply = [this] { applyDisplayWindow(); };
    t.entry(19).Apply = [this] {
        if (m_spectrum)
            m_spectrum->setSpectrumSmooth(RoundHalfEven32(m_values.entry(19).Label->Value));
    };
    t.entry(2).Label->ToolTip = "Y1 Gain Adjust";
    t.entry(3).Label->ToolTip = "Y1 Shift Adjust";
    t.entry(4).Label->ToolTip = "Y2 Gain Adjust";
    t.entry(5).Label->ToolTip = "Y2 Shift Adjust";
    t.entry(6).Label->ToolTip = "Sweep Adjust";
    t.entry(15).Label->ToolTip = "Centre Offset Adjust";
    t.entry(19).Label->ToolTip = "Spectrum Smoothing";

    // The waterfall's range: the darkest and the reddest level, dBFS.
    t.define(kEntryWaterfallMin, -200, 20, -120, 1, 5, 10, "#0 dB", true);
    t.define(kEntryWaterfallMax, -200, 21, -20, 1, 5, 10, "#0 dB", true);
    t.entry(kEntryWaterfallMin).Label->ToolTip = "Waterfall: level of the darkest colour";
    t.entry(kEntryWaterfallMax).Label->ToolTip = "Waterfall: level shown red";
    const auto range = [this](int n, bool low) {
        return [this, n, low] {
            ValueLabel& l = *m_values.entry(n).Label;
            if (!m_spectrum) return;
            // The waterfall keeps its levels at least 1 dB apart; the label shows what it took.
            if (low) {
                m_spectrum->setWaterfallMinDb(l.Value);
                l.Value = m_spectrum->WaterfallMinDb();
            } else {
                m_spectrum->setWaterfallMaxDb(l.Value);
                l.Value = m_spectrum->WaterfallMaxDb();
            }
            m_values.ShowCaption(n);
        };
    };
    t.entry(kEntryWaterfallMin).Apply = range(kEntryWaterfallMin, true);
    t.entry(kEntryWaterfallMax).Apply = range(kEntryWaterfallMax, false);
    if (m_spectrum) {
        t.entry(kEntryWaterfallMin).Label->Value = m_spectrum->WaterfallMinDb();
        t.entry(kEntryWaterfallMax).Label->Value = m_spectrum->WaterfallMaxDb();
        t.entry(19).Label->Value = static_cast<float>(m_spectrum->SpectrumSmooth());
    }
    for (int n : {19, kEntryWaterfallMin, kEntryWaterfallMax})
        t.ShowCaption(n);
}

// ---- running -----------------------------------------------------------------------------------

void ReceiverCore::applySpectrumRuns() {
    SpectrumDisplay* d = m_spectrum.get();
    if (d == nullptr) return;
    const bool runs = spectrumRuns();
    if (d->Active() == runs) return;
    d->setActive(runs);
    if (!runs) d->SetupDisplay(); // an empty graticule, not a frozen picture
}

void ReceiverCore::tmrSpectrumDisplay_Timer() {
    SpectrumDisplay* d = m_spectrum.get();
    if (d == nullptr || m_unloaded || !spectrumRuns()) return;
    // One frame per block: a second redraw for the same block would show nothing new.
    const std::int64_t block = m_session.total().blocks;
    if (block == m_scopeLastBlock) return;
    m_scopeLastBlock = block;
    showNotchMarker();
    d->Display();
    ++m_scopeFrames;
    // The taps move the axis with the tuning; the labels that name frequencies follow.
    if (d->FOffset() != m_scopeCaptionOffset || d->ReverseSpectrum() != m_scopeCaptionReverse) {
        refreshScopeCaptions();
        emitChanged(kAreaChain);
    }
}

// The notch marker stands where the notch acts on the signal shown: an IF notch on the IF
// taps, an audio notch on the audio output. Elsewhere its frequency would name nothing drawn.
void ReceiverCore::showNotchMarker() {
    const ReceiveState& s = state();
    const bool onIF = s.NotchType == 1 && (s.SpectrumSource == 0 || s.SpectrumSource == 1);
    const bool onAudio = s.NotchType == 0 && s.SpectrumSource == 3;
    const bool show = s.ShowNotch && (onIF || onAudio);
    if (show) {
        m_spectrum->setNotchCentre(static_cast<float>(s.NotchCentre));
        m_spectrum->setNotchWidth(static_cast<float>(s.NotchWidth));
    }
    if (m_spectrum->ShowNotch() != show) m_spectrum->setShowNotch(show);
}

// ---- the controls ------------------------------------------------------------------------------

void ReceiverCore::chkScopeMode_Click(std::int32_t index) {
    SpectrumDisplay* d = m_spectrum.get();
    if (m_scopeModeBusy || index < 0 || index > 2) return;
    m_scopeModeBusy = true;
    SpectrumControls& c = m_scope;
    if (d) d->setMode(index);
    c.frScopeSweepVisible = c.frScopeYModeVisible = false;
    c.TriggerVisible = false;
    c.ShowFiltersVisible = c.CentreVisible = false;
    c.chkScopeMode.Choose(index);
    ValueLabel& width = *m_values.entry(6).Label;
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
        for (int n = 2; n <= 5; ++n) {
            m_values.entry(n).Label->Value = values[n - 2];
            m_values.ShowCaption(n);
        }
        d->setChn1Shift(d->Chn1Shift());
        d->setChn2Shift(d->Chn2Shift());
        c.WaterfallVisible = index == 0 && d->WaterfallOn();
    }
    c.SmoothLabelVisible = !c.chkSmoothSpectrum.Value;
    c.sldXCentre.Visible = c.CentreVisible;
    applyDisplayWindow();
    if (d) d->SetupDisplay();
    m_scopeModeBusy = false;
    emitChanged(kAreaChain);
}

void ReceiverCore::optSpectrumSource_Click(std::int32_t index) {
    if (index < 0 || index > 3) return;
    ReceiveState& s = m_session.chain().State();
    s.SpectrumSource = index;
    m_scope.optSpectrumSource.Choose(index);
    if (SpectrumDisplay* d = m_spectrum.get()) {
        d->setFStart(0);
        if (index < 3) {
            // A radio axis around the tuned frequency.
            d->setFEnd(RoundHalfEven32(d->FSampling() / 2.0));
            d->setFOffset(RoundHalfEven32(m_session.vfo().TunedFreq() * 1e6 -
                                          (d->FEnd() - d->FStart()) / 2.0));
        } else {
            // The audio a listener hears, 0 Hz at the left and rising to the right.
            d->setFEnd(d->FSampling() / 8);
            d->setFOffset(0);
            d->setReverseSpectrum(true);
        }
        refreshScopeCaptions();
        d->SetupDisplay();
    }
    // The filters, and with them the analyser's filter curve, are rebuilt after the block.
    s.FiltersChanged = true;
    emitChanged(kAreaChain);
}

void ReceiverCore::chkTrigOn_Click(std::int32_t index) {
    if (m_trigBusy || (index != 1 && index != 2)) return;
    m_trigBusy = true;
    // Clicking the ticked box keeps it ticked: one trigger channel is always chosen.
    m_scope.chkTrigOn[0].Value = index == 1;
    m_scope.chkTrigOn[1].Value = index == 2;
    if (m_spectrum) m_spectrum->setTriggerChn(static_cast<std::int16_t>(index));
    m_trigBusy = false;
    emitChanged(kAreaChain);
}

void ReceiverCore::ScopeCheckClick(ScopeCheck box, bool ticked) {
    SpectrumControls& c = m_scope;
    SpectrumDisplay* d = m_spectrum.get();
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
        if (d) {
            d->setWaterfallOn(ticked);
            c.WaterfallVisible = ticked && d->Mode() == 0;
        }
        break;
    }
    emitChanged(kAreaChain);
}

void ReceiverCore::ScopeSliderChanged(ScopeSlider slider, std::int32_t position) {
    SpectrumControls& c = m_scope;
    switch (slider) {
    case ScopeSlider::sldXWidth:
    case ScopeSlider::sldXCentre: {
        const int n = slider == ScopeSlider::sldXWidth ? 6 : 15;
        ValueLabel& l = *m_values.entry(n).Label;
        l.Value = std::clamp(static_cast<float>(position), l.Min, l.Max);
        applyDisplayWindow();
        break;
    }
    case ScopeSlider::sldSpectrumGain: {
        if (!c.sldSpectrumGain.Enabled) return;
        c.sldSpectrumGain.Value =
            std::clamp(position, c.sldSpectrumGain.Min, c.sldSpectrumGain.Max);
        // Half way is 0 dB; every step doubles or halves the traces.
        const double v = c.sldSpectrumGain.Max / 2.0 - c.sldSpectrumGain.Value;
        const double gain = std::pow(2.0, v);
        if (m_spectrum) m_spectrum->setGain(static_cast<float>(gain));
        c.sldSpectrumGain.ToolTip = "YGain : " + FormatNumber(20.0 * std::log10(gain), "#0 dB");
        break;
    }
    }
    emitChanged(kAreaChain);
}

void ReceiverCore::ScopeSliderRightButton(ScopeSlider slider) {
    if (slider == ScopeSlider::sldSpectrumGain) {
        ScopeSliderChanged(slider, m_scope.sldSpectrumGain.Max / 2);
        return;
    }
    const int n = slider == ScopeSlider::sldXWidth ? 6 : 15;
    ScopeSliderChanged(slider, RoundHalfEven32(m_values.entry(n).Label->Default));
}

// The display window from the centre (entry 15) and the width (entry 6): bins in Frequency
// mode, samples in Time mode; the Phase display keeps all it has.
void ReceiverCore::applyDisplayWindow() {
    SpectrumControls& c = m_scope;
    ValueLabel& width = *m_values.entry(6).Label;
    ValueLabel& centre = *m_values.entry(15).Label;
    const std::int32_t W = RoundHalfEven32(width.Value);
    const std::int32_t C = RoundHalfEven32(centre.Value);
    c.sldXWidth.Value = W;
    c.sldXCentre.Value = C;
    SpectrumDisplay* d = m_spectrum.get();
    if (d == nullptr) return;
    if (d->Mode() == 0) {
        const std::int32_t top = RoundHalfEven32(width.Max);
        d->setStartBin(std::max(0, C - W / 2));
        d->setStopBin(std::min(C + static_cast<std::int32_t>(W * 0.5 + 0.5), top));
    } else if (d->Mode() == 1) {
        const std::int32_t lo = RoundHalfEven32(width.Min);
        const std::int32_t hi = RoundHalfEven32(width.Max);
        const std::int32_t w = std::clamp(W - lo, 10, hi - lo);
        d->setScreenWidth(w);
        d->setStartBin(0);
        d->setStopBin(w - 1);
    }
    refreshScopeCaptions();
}

// The captions that name frequencies or times: the width label (per division), the centre
// label (the frequency on the centre line, as drawn) and the sliders' tool tips.
void ReceiverCore::refreshScopeCaptions() {
    SpectrumDisplay* d = m_spectrum.get();
    if (d == nullptr) return;
    SpectrumControls& c = m_scope;
    ValueLabel& width = *m_values.entry(6).Label;
    ValueLabel& centre = *m_values.entry(15).Label;
    const double span = d->StopBin() - d->StartBin();
    m_scopeCaptionOffset = d->FOffset();
    m_scopeCaptionReverse = d->ReverseSpectrum();
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

void ReceiverCore::ScopeHover(ScopeSurface surface, double x, double y, double height) {
    SpectrumDisplay* d = m_spectrum.get();
    if (d == nullptr || surface == ScopeSurface::None) return;
    const std::int16_t target = m_values.Target();
    // Only the Frequency mode has a frequency axis; the oscilloscope and the X-Y display
    // show no read-out.
    const bool readout = d->Mode() == 0;
    std::string text = readout ? d->FrequencyReadout(x) : std::string();
    if (m_panel.ScrollWheelEnableOverScope) {
        // The wheel tunes; over the trace the height chooses its step: 10 Hz at the bottom,
        // then 100 Hz per tenth of the height up to 1 kHz at the top.
        m_values.setTarget(16);
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
        m_values.setTarget(0);
    }
    const ScopeSurface shown = readout ? surface : ScopeSurface::None;
    if (text == m_scope.lblSpectrumFreq && shown == m_scope.ReadoutOn &&
        target == m_values.Target())
        return;
    m_scope.lblSpectrumFreq = text;
    m_scope.ReadoutOn = shown;
    emitChanged(kAreaHover);
}

void ReceiverCore::ScopeLeave() {
    if (m_scope.ReadoutOn == ScopeSurface::None && m_values.Target() == 0) return;
    m_scope.ReadoutOn = ScopeSurface::None;
    m_values.setTarget(0);
    emitChanged(kAreaHover);
}

bool ReceiverCore::ScopeClick(double x, bool leftButton) {
    if (!leftButton || m_spectrum == nullptr) return false;
    const std::optional<double> mhz = m_spectrum->ClickTuneMHz(x);
    if (!mhz) return false;
    std::string why;
    if (TuneTo(*mhz, &why)) return true;
    m_panel.StatusText = why;
    emitChanged(kAreaCaption);
    return false;
}

} // namespace orvex::app
