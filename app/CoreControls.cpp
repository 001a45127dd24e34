// Control events of the front panel: buttons, sliders, check boxes, the wheel-adjustable
// values, the frequency readout, hover highlights and the statistics panel.
#include "ReceiverCore.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "dsp/ReceiveChain.h"
#include "radio/ShaftEncoder.h"
#include "radio/ad9951.h"

#include <cmath>

namespace orvex::app {

void ReceiverCore::setUpValueTable() {
    ReceiveChain& chain = m_session.chain();
    auto& s = chain.State();
    ValueTable& t = m_values;
    auto steps = [&](int n, float fine, float normal, float coarse, bool show) {
        ValueEntry& e = t.entry(n);
        e.FineStep = fine;
        e.NormalStep = normal;
        e.CoarseStep = coarse;
        e.ShowValue = show;
    };
    auto bindChain = [&](int n, ChainLabel which, float fine, float normal, float coarse,
                         bool show) {
        t.bind(n, chain.Label(which));
        steps(n, fine, normal, coarse, show);
        t.entry(n).Apply = [&chain, which] { chain.ApplyLabel(which); };
        t.entry(n).Reset = [&chain, which] { chain.ResetLabel(which); };
    };
    // 1: the frequency readout; one tuning step per wheel message that acts.
    t.entry(1).Apply = [this] {
        ad9951& v = m_session.vfo();
        if (m_values.entry(1).LastMessage.forward)
            v.Inc_Freq(0.0);
        else
            v.Dec_Freq(0.0);
        m_tuning->ShowTunedFreq();
    };
    // 2 to 6, 15 and 19 belong to the spectrum display, which gives them their apply.
    t.define(2, 0, 99, 1, 0.01f, 0.1f, 1, "#0.0", true);
    t.define(3, -100, 100, 0, 0.1f, 1, 10, "#0", true);
    t.define(4, 0, 99, 1, 0.01f, 0.1f, 1, "#0.0", true);
    t.define(5, -100, 100, 0, 0.1f, 1, 10, "#0", true);
    t.define(6, 10, 1023, 1023, 1, 10, 50, "#,###", false);
    t.define(15, 0, 1023, 511, 1, 10, 50, "#,###", false);
    t.define(19, 1, 24, 8, 1, 1, 4, "#0", true);
    for (int n : {2, 4})
        t.entry(n).Label->Value = 1;
    t.entry(6).Label->Value = 1023;
    t.entry(15).Label->Value = 511;
    t.entry(19).Label->Value = 8;
    for (int n : {2, 3, 4, 5, 6, 15, 19})
        t.ShowCaption(n);
    bindChain(7, ChainLabel::FilterHi, 1, 10, 50, true);
    bindChain(8, ChainLabel::FilterLo, 1, 10, 50, true);
    bindChain(9, ChainLabel::NB, 1, 10, 50, false);
    bindChain(10, ChainLabel::OutVol, 10, 50, 200, false);
    bindChain(11, ChainLabel::NotchC, 1, 10, 50, false);
    bindChain(12, ChainLabel::NotchW, 1, 10, 50, false);
    bindChain(13, ChainLabel::AGCAttack, 1, 1, 10, false);
    bindChain(14, ChainLabel::AGCDecay, 1, 10, 50, false);
    // 16: wheel tuning over the spectrum display raises a pending step for tmrTune.
    t.entry(16).Apply = [this] {
        const bool up = m_values.entry(16).LastMessage.forward;
        m_tuning->TuneUpPending = up;
        m_tuning->TuneDownPending = !up;
    };
    bindChain(17, ChainLabel::IFHi, 1, 10, 50, true);
    bindChain(18, ChainLabel::IFLo, 1, 10, 50, true);
    (void)s;
}

// ---- buttons, sliders, check boxes -------------------------------------------------------------

void ReceiverCore::Click(Control control, std::int32_t index) {
    ReceiveChain& chain = m_session.chain();
    unsigned areas = kAreaChain;
    switch (control) {
    case Control::optMode:
        if (index >= 0 && index <= 5) chain.optMode_Click(index);
        break;
    case Control::optFilter:
        if (index >= 0 && index <= 4) chain.optFilter_Click(index);
        break;
    case Control::optIFFilter:
        if (index >= 0 && index <= 2) chain.optIFFilter_Click(index);
        break;
    case Control::optNotch:
        if (index >= 0 && index <= 1) chain.optNotch_Click(index);
        break;
    case Control::optAGC:
        if (index >= 0 && index <= 3) chain.optAGC_Click(index);
        break;
    case Control::optDisplaySize:
        if (index < 0 || index > 3) return;
        for (std::int32_t i = 0; i < 4; ++i)
            m_panel.optDisplaySize[static_cast<std::size_t>(i)] = i == index;
        applyDisplaySize(index);
        areas |= kAreaLayout | kAreaStats;
        break;
    case Control::cmdCalibrateSMeter:
        chain.cmdCalibrateSMeter_Click();
        break;
    default:
        return;
    }
    emitChanged(areas);
}

void ReceiverCore::SliderChanged(Control control, std::int32_t index, std::int32_t position) {
    ReceiveChain& chain = m_session.chain();
    switch (control) {
    case Control::sldBW:
        if (index == 0 || index == 1) chain.sldBW_Change(index, position);
        break;
    case Control::sldNotch:
        chain.sldNotch_Change(position);
        break;
    case Control::sldNotchWidth:
        chain.sldNotchWidth_Change(position);
        break;
    case Control::sldNB:
        chain.sldNB_Change(position);
        break;
    case Control::dialNB:
        chain.dialNB_Change(position);
        break;
    case Control::sldAGCAttack:
        chain.sldAGCAttack_Change(position);
        break;
    case Control::sldAGCDecay:
        chain.sldAGCDecay_Change(position);
        break;
    case Control::sldOutVolume:
        chain.sldOutVolume_Change(position);
        break;
    case Control::dialOutVol:
        chain.dialOutVol_Change(position);
        break;
    default:
        return;
    }
    emitChanged(kAreaChain);
}

void ReceiverCore::SliderRightButton(Control control, std::int32_t index) {
    ReceiveChain& chain = m_session.chain();
    if (control == Control::sldBW && (index == 0 || index == 1))
        chain.sldBW_RightButton(index);
    else if (control == Control::sldNB)
        chain.sldNB_RightButton();
    else if (control == Control::sldOutVolume)
        chain.sldOutVolume_RightButton();
    else
        return;
    emitChanged(kAreaChain);
}

void ReceiverCore::SliderMouseMove(std::int32_t index, std::int32_t y, std::int32_t length) {
    if (index != 0 && index != 1) return;
    m_session.chain().sldBW_MouseMove(index, y, length);
    emitChanged(kAreaChain | kAreaHover);
}

void ReceiverCore::SliderLostFocus(std::int32_t index) {
    if (index != 0 && index != 1) return;
    m_session.chain().sldBW_LostFocus(index);
    emitChanged(kAreaChain | kAreaHover);
}

void ReceiverCore::SetCheck(ChainCheck box, bool ticked) {
    m_session.chain().SetCheck(box, ticked);
    unsigned areas = kAreaChain;
    if (box == ChainCheck::Image) {
        // The controller keeps the image setting (saved, and used by the calibration).
        m_session.vfo().setTuneImage(m_session.chain().State().chkImage.Value);
        m_tuning->ShowTunedFreq();
        areas |= kAreaFrequency;
    }
    if (box == ChainCheck::PerfStats) areas |= kAreaStats;
    emitChanged(areas);
}

void ReceiverCore::setSpectrumAnalyserOn(bool on) {
    m_panel.chkSpectrumAnalyser = on;
    applySpectrumRuns();
    emitChanged(kAreaLayout);
}

void ReceiverCore::setEnableShaftEncoder(bool on) {
    m_panel.EnableShaftEncoder = on;
    if (m_encoder) m_encoder->EnableShaftEncoder = on;
}

void ReceiverCore::setShaftAutoRate(bool on) {
    m_panel.ShaftAutoRate = on;
    if (m_encoder) m_encoder->ShaftAutoRate = on;
}

void ReceiverCore::setScrollWheelEnableOverScope(bool on) {
    m_panel.ScrollWheelEnableOverScope = on;
}

void ReceiverCore::setAutoDDSRefresh(bool on) {
    if (m_tuning) m_tuning->AutoDDSRefresh = on;
}

void ReceiverCore::applyDisplaySize(std::int32_t index) {
    ReceiveChain& chain = m_session.chain();
    auto& s = chain.State();
    m_panel.optDisplaySizeColour.fill(kColourResting);
    m_panel.optDisplaySizeColour[static_cast<std::size_t>(index)] = kColourSelected;
    m_panel.DisplaySize = index;
    if (index == 0 || index == 3) {
        chain.chkPerfStatsOn_Click();
    } else {
        // The small sizes hide statistics and spectrum, so neither runs.
        s.PerfStatsOn = false;
    }
    applySpectrumRuns();
}

bool ReceiverCore::spectrumRuns() const {
    return m_panel.chkSpectrumAnalyser && m_panel.DisplaySize != 1 && m_panel.DisplaySize != 2;
}

// ---- wheel-adjustable values -------------------------------------------------------------------

namespace {
// The frame a value label sits in, whose caption goes back to rest while the label is lit.
PanelFrame FrameOfValue(std::int32_t n) {
    switch (n) {
    case 7:
    case 8:
        return PanelFrame::frFilters;
    case 11:
    case 12:
        return PanelFrame::frNotch;
    case 13:
    case 14:
        return PanelFrame::frAGC;
    case 17:
    case 18:
        return PanelFrame::frIFFilter;
    default:
        return PanelFrame::Count;
    }
}
} // namespace

void ReceiverCore::ValueHover(std::int32_t n) {
    const std::int16_t before = m_values.Target();
    m_values.setTarget(static_cast<std::int16_t>(n));
    const PanelFrame frame = FrameOfValue(n);
    bool lit = false;
    if (frame != PanelFrame::Count) {
        ValueLabel& l = *m_values.entry(n).Label;
        lit = l.Colour != kColourSelected;
        l.Colour = kColourSelected;
        m_panel.FrameColour[static_cast<std::size_t>(frame)] = kColourResting;
    }
    if (before != m_values.Target() || lit) emitChanged(kAreaHover | kAreaChain);
}

void ReceiverCore::ValueWheel(std::int32_t n, const WheelMessage& message) {
    m_values.Wheel(n, message);
    emitChanged(n == 1 ? kAreaFrequency : kAreaChain);
}

void ReceiverCore::ValueRightClick(std::int32_t n) {
    if (n == 1 || n == 16) return;
    m_values.RightClick(n);
    emitChanged(kAreaChain);
}

void ReceiverCore::ValueSet(std::int32_t n, float value) {
    if (n == 1 || n == 16 || !std::isfinite(value)) return;
    m_values.Set(n, value);
    emitChanged(kAreaChain);
}

bool ReceiverCore::WheelHook(const WheelMessage& message) {
    if (m_wheelBusy || !m_loaded || m_unloaded) return false;
    m_wheelBusy = true;
    bool acted = false;
    const std::int16_t target = m_values.Target();
    if (target > 0 && m_gear.Pass(m_session.vfo().MouseWheelGearRatio())) {
        ValueWheel(target, message);
        acted = true;
    }
    m_wheelBusy = false;
    return acted;
}

// ---- the frequency readout ---------------------------------------------------------------------

void ReceiverCore::DigitHover(std::int32_t i) {
    m_values.setTarget(1);
    const std::int32_t before = m_tuning->Highlighted;
    m_tuning->DigitHover(i);
    if (before != m_tuning->Highlighted) emitChanged(kAreaFrequency);
}

void ReceiverCore::DigitClick(std::int32_t i) {
    m_tuning->DigitClick(i);
    emitChanged(kAreaFrequency);
}

void ReceiverCore::DigitDoubleClick(std::int32_t i) {
    m_tuning->DigitDoubleClick(i);
    emitChanged(kAreaFrequency);
}

void ReceiverCore::VFOMenu(std::int32_t digit, std::int32_t item) {
    m_tuning->DigitRightButton(digit);
    m_tuning->mnuVFOControlSub_Click(item);
    emitChanged(kAreaFrequency);
}

void ReceiverCore::TuningRateClick() {
    m_tuning->lblTuningRate_Click();
    emitChanged(kAreaFrequency);
}

void ReceiverCore::DialRateClick() {
    m_tuning->DialRate_Click();
    emitChanged(kAreaFrequency);
}

void ReceiverCore::ReadoutHover() {
    if (m_values.Target() == 0) return;
    m_values.setTarget(0);
    emitChanged(kAreaHover);
}

void ReceiverCore::ReadoutKeyPress(std::int32_t keyCode) {
    m_tuning->KeyPress(keyCode);
    if (m_tmrTune.interval() != m_tuning->tmrTuneInterval)
        m_tmrTune.setInterval(m_tuning->tmrTuneInterval);
    emitChanged(kAreaFrequency);
}

void ReceiverCore::ReadoutKeyRelease() {
    m_tuning->KeyRelease();
}

void ReceiverCore::ReadoutMouseUp(bool leftButton) {
    m_tuning->MouseUp(leftButton);
}

void ReceiverCore::ScaleClick(std::int32_t k) {
    m_tuning->lblScale_Click(k);
    emitChanged(kAreaFrequency);
}

void ReceiverCore::KnobChanged(std::int32_t position) {
    m_tuning->dialtuner_Change(position);
    m_tuning->ShowTunedFreq();
    emitChanged(kAreaFrequency);
}

double ReceiverCore::MaxTunableFreq() {
    return m_session.MaxTunableFreq();
}

bool ReceiverCore::TuneTo(double mhz, std::string* why) {
    const double top = MaxTunableFreq();
    if (!std::isfinite(mhz) || mhz < 0.0 || mhz > top) {
        if (why)
            *why = "The receiver tunes from 0 to " + FormatNumber(top, "#,##0.000 000") +
                   " MHz with this synthesiser clock and IF.";
        return false;
    }
    m_session.vfo().setTunedFreq(mhz);
    m_tuning->ShowTunedFreq();
    emitChanged(kAreaFrequency);
    return true;
}

// ---- hover ---------------------------------------------------------------------------------

void ReceiverCore::DarkenControls() {
    auto& s = m_session.chain().State();
    for (ValueLabel* l : {&s.lblFilterHi, &s.lblFilterLo, &s.lblNotchC, &s.lblNotchW,
                          &s.lblAGCAttack, &s.lblAGCDecay, &s.lblIFHi, &s.lblIFLo})
        l->Colour = kColourResting;
    s.lblFLoColour = s.lblFHiColour = s.lblFloDescColour = s.lblFHiDescColour = kColourResting;
    m_panel.FrameColour.fill(kColourResting);
    m_values.setTarget(0);
    m_scope.ReadoutOn = ScopeSurface::None;
    const bool bands = hideBandPickers();
    emitChanged(kAreaHover | kAreaChain | (bands ? kAreaBands : 0u));
}

void ReceiverCore::FrameHover(PanelFrame f, int x, int y, int w, int h) {
    if (f == PanelFrame::Count) return;
    // Twips (1/15 pixel at 96 dpi): the caption lights only well inside the frame.
    constexpr int kTwipsPerPixel = 15;
    const int X = x * kTwipsPerPixel, Y = y * kTwipsPerPixel;
    const int W = w * kTwipsPerPixel, H = h * kTwipsPerPixel;
    const auto before = m_panel.FrameColour;
    const auto target = m_values.Target();
    DarkenControls();
    const bool inside = X > 50 && X < W - 50 && Y > 50 && Y < H - 50;
    m_panel.FrameColour[static_cast<std::size_t>(f)] = inside ? kColourSelected : kColourResting;
    if (before != m_panel.FrameColour || target != m_values.Target())
        emitChanged(kAreaHover | kAreaChain);
}

// ---- statistics --------------------------------------------------------------------------------

void ReceiverCore::StatisticsUpdated() {
    const auto& s = m_session.chain().State();
    unsigned areas = kAreaMeter;
    if (s.PerfStatsOn) {
        updateStatsTexts();
        areas |= kAreaStats;
    }
    if (s.DynFilterOn || s.NotchMode == 1) areas |= kAreaChain;
    emitChanged(areas);
}

void ReceiverCore::updateStatsTexts() {
    const auto& s = m_session.chain().State();
    auto peak = [](double average) {
        return FormatNumber(average, "##,##0  ") +
               FormatNumber(20.0 * Log10Abs(average / 32767.0), "###,##0 dB");
    };
    m_panel.lblStatsVal[0] = peak(s.AvgPeakIn);
    m_panel.lblStatsVal[1] = peak(s.AvgPeakOut);
    m_panel.lblStatsVal[2] =
        FormatNumber(s.AGCGain, "#0.00  ") + FormatNumber(20.0 * Log10Abs(s.AGCGain), "#0.0 dB");
    m_panel.lblStatsVal[4] = FormatNumber(s.AvgLoad, "#0%");
    m_panel.CPUColour = s.AvgLoad > 0.9 ? kColourRed : kColourGreen;
    m_panel.lblStatsVal[5] = FormatNumber(s.AvgBlockTime, "#,##0 uS");
}

} // namespace orvex::app
