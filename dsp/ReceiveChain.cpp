// Construction, start-up defaults and the generic control wiring of the receive chain.
#include "ReceiveChain.h"

#include "OrvexVector.h"
#include "VectorOps.h"
#include "core/Format.h"
#include "core/Numeric.h"

namespace orvex {

void ButtonGroup::Choose(std::int32_t index) {
    for (auto& b : Buttons)
        b.Colour = kColourResting;
    if (index >= 0 && index < static_cast<std::int32_t>(Buttons.size())) {
        Buttons[static_cast<std::size_t>(index)].Colour = kColourSelected;
        Selected = index;
    }
}

namespace {

ValueLabel MakeLabel(float value, float min, float max, float reset, const char* format,
                     const char* toolTip = "") {
    ValueLabel l;
    l.Value = value;
    l.Min = min;
    l.Max = max;
    l.Default = reset;
    l.Format = format;
    l.ToolTip = toolTip;
    return l;
}

Slider MakeSlider(std::int32_t min, std::int32_t max, std::int32_t value) {
    Slider s;
    s.Min = min;
    s.Max = max;
    s.Value = value;
    return s;
}

ButtonGroup MakeButtons(std::initializer_list<std::pair<const char*, const char*>> items) {
    ButtonGroup g;
    for (const auto& [caption, tip] : items)
        g.Buttons.push_back(PanelButton{caption, tip});
    return g;
}

CheckBox MakeCheck(const char* caption, const char* toolTip) {
    CheckBox c;
    c.Caption = caption;
    c.ToolTip = toolTip;
    return c;
}

} // namespace

ReceiveChain::ReceiveChain() {
    const auto size = static_cast<std::size_t>(kSegmentSamples + 1);
    for (FloatVector* v : {&m_IFBlock, &m_IFBlockCopy, &m_IBlock, &m_QBlock, &m_AFBlock, &m_SpecRe,
                           &m_SpecIm, &m_SpecPower, &m_SpecPhase})
        v->assign(size, 0.0f);
    m_NotchOverlap.assign(kBlockSamples, 0.0f);
    m_AGCRamp.assign(kBlockSamples, 0.0f);
    m_filterTaps.assign(kBlockSamples, 0.0f);
    m_AGCPeakHistory.assign(kAGCHistoryCapacity, 0.0f);
    m_AGCWeights.assign(kAGCHistoryCapacity, 0.0f);
    m_AGCWeighted.assign(kAGCHistoryCapacity, 0.0f);
    setDefaults();
    createFilters();
}

void ReceiveChain::setUpFilter(clsFFTFilter& f, std::int32_t window, bool qPhase, bool normalise,
                               bool bandReject, std::int32_t lo, std::int32_t hi) {
    f.SegmentSize = kSegmentSamples;
    f.Points = kBlockSamples;
    f.FSampling = kChainSampleRate;
    f.WindowType = window;
    f.QPhase = qPhase;
    f.NormaliseGain = normalise;
    f.BandReject = bandReject;
    f.FLow = lo;
    f.FHigh = hi;
    f.init(kBlockSamples);
    f.MakeFilter();
}

void ReceiveChain::createFilters() {
    m_FFTReal.FFTInit(kSegmentSamples);
    // Audio band-pass after the AM and FM detectors, and the dynamic audio filter.
    setUpFilter(m_AFDemodFilter, 2, false, true, false, 100, 4500);
    setUpFilter(m_AFFilter, 2, false, true, false, 100, 4500);
    // Optional IF band-pass on the captured block: 12000 +- 4500 Hz.
    setUpFilter(m_IFFilter, 0, false, false, false, 7500, 16500);
    // Quadrature pair around the IF that makes the analytic signal for AM.
    setUpFilter(m_AMFilterI, 2, false, true, false, 2000, 22000);
    setUpFilter(m_AMFilterQ, 2, true, true, false, 2000, 22000);
    // Phasing pair of the sideband modes, at baseband after the mixer.
    setUpFilter(m_SSBFilterI, 2, false, true, false, 300, 2300);
    setUpFilter(m_SSBFilterQ, 2, true, true, false, 300, 2300);
    setUpFilter(m_NotchFilter, 1, false, true, true, 950, 1050);
    m_HilbertDelay.Load(128, kBlockSamples);
    m_HilbertTransform.Load(128, kBlockSamples);
}

void ReceiveChain::setDefaults() {
    auto& s = m_s;
    s.optMode =
        MakeButtons({{"&AM", "AM Demodulation"},
                     {"&USB", "Single Sideband - Upper Sideband"},
                     {"&LSB", "Single Sideband - Lower Sideband"},
                     {"&DRM", "DRM mode - Select, then start the DRM decoder (Dream) manually"},
                     {"&FM", "Frequency Demodulation"},
                     {"&BC", "AM Demodulation "}});
    s.chkImage = MakeCheck("Image", "Click to try other Image freq. can remove interference");
    s.chkImage.Colour = kColourDarkRed;

    // AF filter presets: low and high edges, Hz.
    static constexpr std::int32_t kPresetLo[5] = {50, 200, 300, 300, 240};
    static constexpr std::int32_t kPresetHi[5] = {5000, 600, 2300, 3000, 4000};
    for (std::size_t i = 0; i < 5; ++i) {
        auto& p = s.FilterPresets[i];
        p.DefaultLo = p.CurrentLo = p.SavedLo = kPresetLo[i];
        p.DefaultHi = p.CurrentHi = p.SavedHi = kPresetHi[i];
        p.Music = false;
    }
    s.optFilter = MakeButtons(
        {{"5.0 KHz", ""}, {"400 Hz", ""}, {"2.4 KHz", ""}, {"3.2 KHz", ""}, {"4.0 KHz", ""}});
    s.optIFFilter = MakeButtons(
        {{"Off", "OFF"}, {"Man", "Passband Tuning Mode"}, {"Track", "Tracks Main Filters"}});
    s.chkIFFilter = MakeCheck("IF", "IF Filter On/Off");
    s.chkDynFilter = MakeCheck("Dyn", "AF Filter centered on the Strongest Peak Frequency");
    s.chkMusic = MakeCheck("&Music", "Set LO frequ. cutoff to 50Hz, Bass Boost");
    s.CurrentIFFilterMode = 1;
    s.IFFilterActive = false;
    s.lblFilterHi = MakeLabel(5000, 0, 6000, 5000, "#0");
    s.lblFilterLo = MakeLabel(50, 0, 1999, 50, "#0");
    s.lblIFHi = MakeLabel(6000, 0, 6000, 6000, "#0");
    s.lblIFLo = MakeLabel(0, 0, 6000, 0, "#0");
    s.sldBW[0] = MakeSlider(0, 1999, 1999 - 50);
    s.sldBW[1] = MakeSlider(0, 6000, 6000 - 5000);
    s.sldBW[0].Tag = "50";
    s.sldBW[1].Tag = "5000";

    // Notch: audio record 0..6000 Hz, IF record -6000..6000 Hz around the IF centre.
    s.NotchRanges[0] = NotchRange{6000.0f, 0.0f, 1000.0f};
    s.NotchRanges[1] = NotchRange{6000.0f, -6000.0f, 1000.0f};
    s.chkNotchOn = MakeCheck("Notch", "Notch On/Off");
    s.chkNotchType = MakeCheck("IF", "AF or IF Notch");
    s.optNotch = MakeButtons({{"Man", "Manual Notch"}, {"Auto", "Auto Notch"}});
    s.optNotch.Selected = 0;
    // Label values are those an empty settings store restores (centre 1000, width 50); the
    // right-button reset values are the labels' start values (1000, 100).
    s.lblNotchC = MakeLabel(1000, 0, 6000, 1000, "0");
    s.lblNotchW = MakeLabel(50, 0, 5000, 100, "0");
    s.sldNotch = MakeSlider(0, 6000, 1000);
    s.sldNotchWidth = MakeSlider(0, 5000, 200);

    s.chkNB = MakeCheck("NB", "Experimental Noise Reducer");
    s.lblNB = MakeLabel(0, 0, 10000, 0, "#0.00");
    s.lblNB.Enabled = false;
    s.sldNB = MakeSlider(0, 10000, 0);
    s.sldNB.Enabled = false;
    s.dialNB = MakeSlider(0, 10000, 0);
    s.dialNB.Visible = false;

    // AGC modes from the label maxima 100 (delay) and 200 (ramp): a quarter, a half, all.
    static constexpr std::int32_t kDelay[5] = {0, 25, 50, 100, 0};
    static constexpr std::int32_t kRamp[5] = {0, 50, 100, 200, 0};
    for (std::size_t i = 0; i < 5; ++i) {
        auto& m = s.AGCModes[i];
        m.DefaultDelay = m.CurrentDelay = m.SavedDelay = kDelay[i];
        m.DefaultRamp = m.CurrentRamp = m.SavedRamp = kRamp[i];
    }
    s.optAGC = MakeButtons({{"Off", "AGC OFF"},
                            {"Fast", "Fast (CW)"},
                            {"Normal", "Normal (AM)"},
                            {"Slow", "Slow (SSB)"},
                            {"", ""}});
    s.chkAGC = MakeCheck("AGC", "AGC On/off");
    s.AGCON = false;
    s.AGCMode = 1;
    s.lblAGCAttack = MakeLabel(5, 5, 100, 5, "#0.0", "Attack");
    s.lblAGCDecay = MakeLabel(5, 10, 200, 5, "#0.0", "Decay");
    s.sldAGCAttack = MakeSlider(5, 100, 5);
    s.sldAGCDecay = MakeSlider(10, 200, 10);
    setAGCHistoryLength(s.AGCDelayTime);

    s.lblOutVol = MakeLabel(0, -10000, 8000, 0, "0.0");
    s.sldOutVolume = MakeSlider(-10000, 8000, 0);
    s.dialOutVol = MakeSlider(-10000, 8000, 0);
    s.chkMute = MakeCheck("Mute", "Mute AF Output");

    s.chkPerfStatsOn = MakeCheck("Stats", "Click  Turn on Radio Stats");
}

void ReceiveChain::RestoreDefaults() {
    auto& s = m_s;
    s.chkAGC.Value = s.AGCON;
    optAGC_Click(s.AGCMode);
    chkAGC_Click();
    SetLabel(ChainLabel::OutVol, 0.0f);
    SetLabel(ChainLabel::FilterHi, 5000.0f);
    SetLabel(ChainLabel::FilterLo, 50.0f);
    SetLabel(ChainLabel::NotchC, 1000.0f);
    SetLabel(ChainLabel::NotchW, 50.0f);
}

void ReceiveChain::CompleteStartup(const std::function<void(StartupStep)>& step) {
    auto at = [&](StartupStep point) {
        if (step) step(point);
    };
    auto& s = m_s;
    ApplyLabel(ChainLabel::OutVol);
    // Switches take their restored values; a switch that changes runs its click handler.
    s.optNotch.Choose(s.NotchMode);
    SetCheck(ChainCheck::NotchType, s.NotchType == 1);
    SetCheck(ChainCheck::NotchOn, s.NotchActive);
    s.optIFFilter.Choose(s.CurrentIFFilterMode);
    SetCheck(ChainCheck::IFFilter, s.IFFilterActive);
    if (s.CurrentIFFilterMode >= 0 && s.CurrentIFFilterMode <= 2) {
        const auto& setting = s.IFFilterSettings[static_cast<std::size_t>(s.CurrentIFFilterMode)];
        s.lblIFHi.Value = static_cast<float>(setting.CurrentHi);
        s.lblIFLo.Value = static_cast<float>(setting.CurrentLo);
        lblIFHi_Wheel();
        lblIFLo_Wheel();
    }
    // The start-up captions of the AF filter buttons 2 and 3.
    for (std::size_t i : {2u, 3u})
        if (i < s.optFilter.Buttons.size())
            s.optFilter.Buttons[i].Caption = FormatNumber(static_cast<double>(i), "0.0 kHz");
    at(StartupStep::Mode);
    optMode_Click(s.CurrentDemodMode);
    at(StartupStep::Filter);
    // The preset shows its own edges on the labels; the restored edges then take over.
    const float restoredHi = s.lblFilterHi.Value, restoredLo = s.lblFilterLo.Value;
    optFilter_Click(s.CurrentFilterMode);
    at(StartupStep::AfterFilter);
    ResetAGCHistory();
    at(StartupStep::FilterEdges);
    s.lblFilterHi.Value = restoredHi;
    s.lblFilterLo.Value = restoredLo;
    s.FilterLo = RoundHalfEven32(restoredLo); // applying the high edge shows both
    lblFilterHi_Wheel();
    lblFilterLo_Wheel();
    at(StartupStep::Statistics);
    tmrPerfStats_Timer();
}

// ---- Generic wiring ------------------------------------------------------------------------

void ReceiveChain::SetCheck(ChainCheck box, bool ticked) {
    CheckBox* cb = nullptr;
    void (ReceiveChain::*handler)() = nullptr;
    switch (box) {
    case ChainCheck::AGC:
        cb = &m_s.chkAGC;
        handler = &ReceiveChain::chkAGC_Click;
        break;
    case ChainCheck::NotchOn:
        cb = &m_s.chkNotchOn;
        handler = &ReceiveChain::chkNotchOn_Click;
        break;
    case ChainCheck::NotchType:
        cb = &m_s.chkNotchType;
        handler = &ReceiveChain::chkNotchType_Click;
        break;
    case ChainCheck::NB:
        cb = &m_s.chkNB;
        handler = &ReceiveChain::chkNB_Click;
        break;
    case ChainCheck::IFFilter:
        cb = &m_s.chkIFFilter;
        handler = &ReceiveChain::chkIFFilter_Click;
        break;
    case ChainCheck::DynFilter:
        cb = &m_s.chkDynFilter;
        handler = &ReceiveChain::chkDynFilter_Click;
        break;
    case ChainCheck::Music:
        cb = &m_s.chkMusic;
        handler = &ReceiveChain::chkMusic_Click;
        break;
    case ChainCheck::Mute:
        cb = &m_s.chkMute;
        handler = &ReceiveChain::chkMute_Click;
        break;
    case ChainCheck::Image:
        cb = &m_s.chkImage;
        handler = &ReceiveChain::chkImage_Click;
        break;
    case ChainCheck::PerfStats:
        cb = &m_s.chkPerfStatsOn;
        handler = &ReceiveChain::chkPerfStatsOn_Click;
        break;
    }
    if (cb == nullptr || cb->Value == ticked) return;
    cb->Value = ticked;
    (this->*handler)();
}

ValueLabel& ReceiveChain::Label(ChainLabel label) {
    switch (label) {
    case ChainLabel::FilterHi:
        return m_s.lblFilterHi;
    case ChainLabel::FilterLo:
        return m_s.lblFilterLo;
    case ChainLabel::IFHi:
        return m_s.lblIFHi;
    case ChainLabel::IFLo:
        return m_s.lblIFLo;
    case ChainLabel::NotchC:
        return m_s.lblNotchC;
    case ChainLabel::NotchW:
        return m_s.lblNotchW;
    case ChainLabel::NB:
        return m_s.lblNB;
    case ChainLabel::OutVol:
        return m_s.lblOutVol;
    case ChainLabel::AGCAttack:
        return m_s.lblAGCAttack;
    case ChainLabel::AGCDecay:
        return m_s.lblAGCDecay;
    }
    return m_s.lblFilterHi;
}

void ReceiveChain::ApplyLabel(ChainLabel label) {
    // Each apply procedure ignores a call made while it is already running (a control it
    // changes can raise its own event).
    const auto index = static_cast<std::size_t>(label);
    if (index >= m_labelBusy.size()) return;
    bool& busy = m_labelBusy[index];
    if (busy) return;
    busy = true;
    switch (label) {
    case ChainLabel::FilterHi:
        lblFilterHi_Wheel();
        break;
    case ChainLabel::FilterLo:
        lblFilterLo_Wheel();
        break;
    case ChainLabel::IFHi:
        lblIFHi_Wheel();
        break;
    case ChainLabel::IFLo:
        lblIFLo_Wheel();
        break;
    case ChainLabel::NotchC:
        lblNotchC_Wheel();
        break;
    case ChainLabel::NotchW:
        lblNotchW_Wheel();
        break;
    case ChainLabel::NB:
        lblNB_Wheel();
        break;
    case ChainLabel::OutVol:
        lblOutVol_Wheel();
        break;
    case ChainLabel::AGCAttack:
        lblAGCAttack_Wheel();
        break;
    case ChainLabel::AGCDecay:
        lblAGCDecay_Wheel();
        break;
    }
    busy = false;
}

void ReceiveChain::SetLabel(ChainLabel label, float value) {
    Label(label).Value = value;
    ApplyLabel(label);
}

void ReceiveChain::ResetLabel(ChainLabel label) {
    ValueLabel& l = Label(label);
    float value = l.Default;
    const auto mode = m_s.CurrentFilterMode;
    const bool preset = mode >= 0 && mode < static_cast<std::int32_t>(m_s.FilterPresets.size());
    if (label == ChainLabel::FilterHi && preset)
        value = static_cast<float>(m_s.FilterPresets[static_cast<std::size_t>(mode)].DefaultHi);
    else if (label == ChainLabel::FilterLo && preset)
        value = static_cast<float>(m_s.FilterPresets[static_cast<std::size_t>(mode)].DefaultLo);
    else if (label == ChainLabel::IFLo && m_s.CurrentDemodMode == kModeAM)
        value = l.Max;
    SetLabel(label, value);
}

} // namespace orvex
