// The AGC switch, mode buttons, the delay and ramp labels and their sliders.
#include "OrvexVector.h"
#include "ReceiveChain.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"

#include <algorithm>

namespace orvex {
namespace {

// R = the ramp in samples: 48 per millisecond.
std::int32_t RampLength(std::int32_t smoothMs) {
    return std::clamp(RoundHalfEven32(smoothMs / 1000.0 * kBlockSamples / kBlockPeriod), 0,
                      kBlockSamples);
}

} // namespace

void ReceiveChain::setAGCHistoryLength(float delaySeconds) {
    auto& s = m_s;
    s.AGCHistoryLength =
        std::clamp(RoundHalfEven32(delaySeconds * kBlocksPerSecond), 0, kAGCHistoryCapacity);
    // The newest peak counts fully, the oldest one hardly at all.
    dll::VectorRamp_S_1(1.0f, 0.0f, m_AGCWeights.data(), s.AGCHistoryLength);
}

void ReceiveChain::ResetAGCHistory() {
    dll::SetMemory_S(m_AGCPeakHistory.data(), m_s.AGCHistoryLength, kAGCTargetPeak);
}

void ReceiveChain::chkAGC_Click() {
    auto& s = m_s;
    const bool on = s.chkAGC.Value;
    s.chkAGC.Colour = on ? kColourSelected : kColourResting;
    s.AGCON = on;
    for (auto& b : s.optAGC.Buttons)
        b.Enabled = on;
    s.sldAGCAttack.Enabled = on;
    s.sldAGCDecay.Enabled = on;
}

void ReceiveChain::optAGC_Click(std::int32_t Index) {
    auto& s = m_s;
    if (m_optAGCBusy || Index < 0 || Index >= static_cast<std::int32_t>(s.AGCModes.size())) return;
    m_optAGCBusy = true;
    s.optAGC.Choose(Index);
    s.AGCMode = Index;
    const AGCModeRecord& m = s.AGCModes[static_cast<std::size_t>(Index)];
    s.lblAGCAttack.Value = static_cast<float>(m.CurrentDelay);
    s.lblAGCAttack.Default = static_cast<float>(m.DefaultDelay);
    s.lblAGCDecay.Value = static_cast<float>(m.CurrentRamp);
    s.lblAGCDecay.Default = static_cast<float>(m.DefaultRamp);
    ApplyLabel(ChainLabel::AGCAttack);
    ApplyLabel(ChainLabel::AGCDecay);
    m_optAGCBusy = false;
}

// The delay and ramp each have a label and a slider over the same range: both always show
// the time in force, and either one sets it (for the selected AGC mode, and for a restart).
void ReceiveChain::lblAGCAttack_Wheel() {
    auto& s = m_s;
    const float d = s.lblAGCAttack.Value;
    s.AGCDelayTime = d / 10.0f;
    setAGCHistoryLength(s.AGCDelayTime);
    s.lblAGCAttack.Caption = FormatNumber(s.AGCDelayTime, s.lblAGCAttack.Format);
    if (s.AGCMode >= 0 && s.AGCMode < static_cast<std::int32_t>(s.AGCModes.size()))
        s.AGCModes[static_cast<std::size_t>(s.AGCMode)].CurrentDelay = RoundHalfEven32(d);
    s.sldAGCAttack.Value = RoundHalfEven32(d);
    s.sldAGCAttack.ToolTip = "AGC Decay=" + SingleText(s.AGCDelayTime) + " S";
}

void ReceiveChain::lblAGCDecay_Wheel() {
    auto& s = m_s;
    const float v = s.lblAGCDecay.Value;
    s.AGCSmoothTime = RoundHalfEven32(v / 10.0);
    s.AGCRampLength = RampLength(s.AGCSmoothTime);
    s.lblAGCDecay.Caption = FormatNumber(s.AGCSmoothTime, s.lblAGCDecay.Format);
    if (s.AGCMode >= 0 && s.AGCMode < static_cast<std::int32_t>(s.AGCModes.size()))
        s.AGCModes[static_cast<std::size_t>(s.AGCMode)].CurrentRamp = RoundHalfEven32(v);
    s.sldAGCDecay.Value = RoundHalfEven32(v);
    s.sldAGCDecay.ToolTip = "AGC Attack=" + IntText(s.AGCSmoothTime) + " mS";
}

void ReceiveChain::sldAGCAttack_Change(std::int32_t Position) {
    auto& s = m_s;
    if (m_sldAGCBusy) return;
    m_sldAGCBusy = true;
    s.lblAGCAttack.Value = static_cast<float>(Position);
    ApplyLabel(ChainLabel::AGCAttack);
    m_sldAGCBusy = false;
}

void ReceiveChain::sldAGCDecay_Change(std::int32_t Position) {
    auto& s = m_s;
    if (m_sldAGCBusy) return;
    m_sldAGCBusy = true;
    s.lblAGCDecay.Value = static_cast<float>(Position);
    ApplyLabel(ChainLabel::AGCDecay);
    m_sldAGCBusy = false;
}

} // namespace orvex
