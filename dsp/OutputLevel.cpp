// The output level controls (label, slider, knob) with the level law, and mute.
#include "ReceiveChain.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "core/YieldHook.h"

#include <cmath>

namespace orvex {

void ReceiveChain::applyLevelLaw(float level) {
    auto& s = m_s;
    if (level > 1.0f) {
        // Above unity: a digital gain from just above 1 up to 9, shown in dB of gain.
        s.OutputAttenuation = level / 1000.0f + 1.0f;
        s.lblOutVol.Caption =
            std::string("+").append(FormatNumber(20.0 * std::log10(s.OutputAttenuation), "0.0"));
    } else if (level < -50.0f) {
        // Below: the sound card's attenuation in hundredths of a dB.
        s.OutputAttenuation = level;
        s.lblOutVol.Caption =
            std::string("-").append(FormatNumber(std::fabs(level) / 100.0, "0.0"));
    } else {
        // -50..1 (under half a decibel either way) is unity.
        s.OutputAttenuation = 0.0f;
        s.lblOutVol.Caption = "0.0";
    }
}

void ReceiveChain::lblOutVol_Wheel() {
    auto& s = m_s;
    const float level = s.lblOutVol.Value;
    s.dialOutVol.Value = RoundHalfEven32(level);
    YieldToUser();
    s.sldOutVolume.Value = RoundHalfEven32(level);
    YieldToUser();
    applyLevelLaw(level);
}

void ReceiveChain::sldOutVolume_Change(std::int32_t Position) {
    auto& s = m_s;
    if (m_sldOutBusy) return;
    m_sldOutBusy = true;
    s.sldOutVolume.Value = Position;
    s.lblOutVol.Value = static_cast<float>(Position);
    YieldToUser();
    s.dialOutVol.Value = Position;
    applyLevelLaw(s.lblOutVol.Value);
    m_sldOutBusy = false;
}

void ReceiveChain::sldOutVolume_RightButton() {
    ResetLabel(ChainLabel::OutVol);
}

void ReceiveChain::dialOutVol_Change(std::int32_t Position) {
    auto& s = m_s;
    if (m_dialOutBusy) return;
    m_dialOutBusy = true;
    s.dialOutVol.Value = Position;
    s.lblOutVol.Value = static_cast<float>(Position);
    YieldToUser();
    // Moving the slider runs its change handler, which applies the level.
    sldOutVolume_Change(Position);
    m_dialOutBusy = false;
}

void ReceiveChain::chkMute_Click() {
    auto& s = m_s;
    s.MuteOn = s.chkMute.Value;
    s.chkMute.Colour = s.MuteOn ? kColourSelected : kColourResting;
}

} // namespace orvex
