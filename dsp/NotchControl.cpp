// The notch controls (on/off, audio or IF, manual or automatic, centre and width) and the
// noise reducer controls.
#include "ReceiveChain.h"
#include "core/Format.h"
#include "core/Numeric.h"

#include <algorithm>
#include <cmath>

namespace orvex {

void ReceiveChain::chkNotchOn_Click() {
    auto& s = m_s;
    if (s.chkNotchOn.Value) {
        s.NotchActive = true;
        s.NotchMode = s.optNotch.Selected == 1 ? 1 : 0;
        m_NotchFilter.Active = true;
        s.NotchChanged = true;
        s.ShowNotch = true;
    } else {
        s.NotchActive = false;
        m_NotchFilter.Active = false;
        s.ShowNotch = false;
    }
    if (m_spectrum) m_spectrum->setShowNotch(s.ShowNotch);
}

void ReceiveChain::chkNotchType_Click() {
    auto& s = m_s;
    // The centre label keeps one remembered centre and range per type: leaving a type saves
    // the label's centre for it, entering one restores that type's centre and range.
    const bool toIF = s.chkNotchType.Value;
    NotchRange& leaving = s.NotchRanges[toIF ? 0 : 1];
    const NotchRange& entering = s.NotchRanges[toIF ? 1 : 0];
    leaving.Centre = s.lblNotchC.Value;
    s.lblNotchC.Value = entering.Centre;
    s.lblNotchC.Max = entering.Max;
    s.lblNotchC.Min = entering.Min;
    s.NotchType = toIF ? 1 : 0;
    ApplyLabel(ChainLabel::NotchC);
    showNotchCentre();
}

void ReceiveChain::optNotch_Click(std::int32_t Index) {
    auto& s = m_s;
    if (!s.NotchActive || m_optNotchBusy) return;
    m_optNotchBusy = true;
    s.optNotch.Choose(Index);
    s.NotchMode = Index;
    if (Index == 0) {
        m_NotchFilter.Active = true;
        s.NotchChanged = true;
        s.ShowNotch = true;
        chkNotchType_Click();
    } else if (Index == 1) {
        s.NotchRanges[1] = NotchRange{s.lblNotchC.Max, s.lblNotchC.Min, s.lblNotchC.Value};
        s.lblNotchC.Value = s.NotchRanges[0].Centre;
        s.lblNotchC.Max = s.NotchRanges[0].Max;
        s.lblNotchC.Min = s.NotchRanges[0].Min;
        m_NotchFilter.Active = true;
        s.NotchChanged = true;
        s.ShowNotch = true;
        showNotchCentre();
    }
    if (m_spectrum) m_spectrum->setShowNotch(s.ShowNotch);
    m_optNotchBusy = false;
}

void ReceiveChain::recomputeNotchEdges(bool lowClamp) {
    auto& s = m_s;
    s.NotchHi = s.NotchCentre + s.NotchWidth / 2;
    s.NotchLo = s.NotchCentre - s.NotchWidth / 2;
    if (lowClamp && s.NotchLo < 1) s.NotchLo = 0;
}

void ReceiveChain::lblNotchC_Wheel() {
    auto& s = m_s;
    if (m_notchCentreBusy) return;
    m_notchCentreBusy = true;
    // At IF the label is an offset from the IF centre; at audio a frequency.
    const double x = s.NotchType == 1 ? s.lblNotchC.Value + 12000.0 : std::fabs(s.lblNotchC.Value);
    s.NotchCentre = RoundHalfEven32(x);
    recomputeNotchEdges(false);
    if (m_NotchFilter.Active) s.NotchChanged = true;
    s.lblNotchC.Caption = FormatNumber(s.lblNotchC.Value, s.lblNotchC.Format);
    showNotchCentre();
    m_notchCentreBusy = false;
}

// The centre slider is the centre label's other face: the same range (an IF notch is an
// offset from the IF centre, -6000..6000 Hz; an audio notch a frequency, 0..6000 Hz) and the
// same value. The readout and the tool tip say where the notch filter sits in its own scale.
void ReceiveChain::showNotchCentre() {
    auto& s = m_s;
    s.sldNotch.Min = RoundHalfEven32(s.lblNotchC.Min);
    s.sldNotch.Max = RoundHalfEven32(s.lblNotchC.Max);
    s.sldNotch.Value =
        std::clamp(RoundHalfEven32(s.lblNotchC.Value), s.sldNotch.Min, s.sldNotch.Max);
    s.lblNotch = FormatNumber(s.NotchCentre, "###0");
    s.sldNotch.ToolTip = "Notch Centre : " + FormatNumber(s.NotchCentre, "#,###0 Hz");
}

void ReceiveChain::lblNotchW_Wheel() {
    auto& s = m_s;
    s.NotchPrevWidth = s.NotchWidth;
    s.NotchWidth = RoundHalfEven32(s.lblNotchW.Value);
    recomputeNotchEdges(true);
    s.NotchChanged = true;
    s.lblNotchW.Caption = FormatNumber(s.lblNotchW.Value, s.lblNotchW.Format);
}

// The slider sets the centre label's value (an offset from the IF for an IF notch), which puts
// the notch where the label says.
void ReceiveChain::sldNotch_Change(std::int32_t Position) {
    auto& s = m_s;
    s.lblNotchC.Value = std::clamp(static_cast<float>(Position), s.lblNotchC.Min, s.lblNotchC.Max);
    ApplyLabel(ChainLabel::NotchC);
    recomputeNotchEdges(true);
}

void ReceiveChain::sldNotchWidth_Change(std::int32_t Position) {
    auto& s = m_s;
    s.sldNotchWidth.Value = Position;
    s.NotchPrevWidth = s.NotchWidth;
    s.NotchWidth = Position;
    recomputeNotchEdges(true);
    if (m_NotchFilter.Active) s.NotchChanged = true;
    s.sldNotchWidth.ToolTip = "Notch Width : " + FormatNumber(s.NotchWidth, "#,###0 Hz");
    s.lblNotchW.Value = static_cast<float>(s.NotchWidth);
    s.lblNotchW.Caption = FormatNumber(s.lblNotchW.Value, s.lblNotchW.Format);
}

// ---- Noise reducer -------------------------------------------------------------------------

void ReceiveChain::chkNB_Click() {
    auto& s = m_s;
    const bool on = s.chkNB.Value;
    s.NBOn = on;
    s.dialNB.Visible = on;
    s.sldNB.Enabled = on;
    s.lblNB.Enabled = on;
}

void ReceiveChain::applyNBLevel(float level) {
    auto& s = m_s;
    // The full level range 0..10000 gives thresholds 0..0.2 of the strongest bin.
    s.NB = level / ((s.lblNB.Max - s.lblNB.Min) * 5.0f);
    s.lblNB.Caption = FormatNumber(s.NB * 100.0, "#0.00");
}

void ReceiveChain::lblNB_Wheel() {
    auto& s = m_s;
    s.sldNB.Value = RoundHalfEven32(s.lblNB.Value);
    s.dialNB.Value = s.sldNB.Value;
    applyNBLevel(s.lblNB.Value);
}

void ReceiveChain::sldNB_Change(std::int32_t Position) {
    auto& s = m_s;
    s.sldNB.Value = Position;
    s.dialNB.Value = Position;
    s.lblNB.Value = static_cast<float>(Position);
    applyNBLevel(s.lblNB.Value);
}

void ReceiveChain::dialNB_Change(std::int32_t Position) {
    auto& s = m_s;
    s.dialNB.Value = Position;
    s.sldNB.Value = Position;
    s.lblNB.Value = static_cast<float>(Position);
    applyNBLevel(s.lblNB.Value);
}

void ReceiveChain::sldNB_RightButton() {
    ResetLabel(ChainLabel::NB);
}

} // namespace orvex
