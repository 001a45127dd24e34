// The demodulation mode buttons and the image check box.
#include "ReceiveChain.h"

namespace orvex {

void ReceiveChain::optMode_Click(std::int32_t Index) {
    auto& s = m_s;
    if (m_optModeBusy) return;
    m_optModeBusy = true;
    const std::int32_t previous = s.CurrentDemodMode;
    s.optMode.Choose(Index);
    s.CurrentDemodMode = Index;
    switch (Index) {
    case kModeAM:
    case kModeFM:
    case kModeBC:
        m_AFDemodFilter.Active = true;
        m_AMFilterI.Active = true;
        m_AMFilterQ.Active = true;
        m_SSBFilterI.Active = false;
        m_SSBFilterQ.Active = false;
        break;
    case kModeUSB:
    case kModeLSB:
        m_AFDemodFilter.Active = false;
        m_SSBFilterI.Active = true;
        m_SSBFilterQ.Active = true;
        break;
    default:
        m_AFDemodFilter.Active = false;
        m_SSBFilterI.Active = false;
        m_SSBFilterQ.Active = false;
        break;
    }
    s.FiltersChanged = true;
    if (previous == kModeDRM) {
        // Leaving DRM: make sure the receiver's own sound path runs again if it was released
        // for the outside decoder, and put the audio filter choice back.
        if (m_soundCard && !m_soundCard->Prepared() && s.PowerOn) {
            m_soundCard->PrepareDevices();
            m_soundCard->StartSound();
        }
        optFilter_Click(s.CurrentFilterMode);
    }
    optIFFilter_Click(s.CurrentIFFilterMode);
    m_optModeBusy = false;
}

void ReceiveChain::chkImage_Click() {
    auto& s = m_s;
    s.chkImage.Colour = s.chkImage.Value ? kColourRed : kColourDarkRed;
    s.FiltersChanged = true;
    // Writing the tuned frequency back loads the synthesiser again, now for the other image.
    if (m_tuner) {
        m_tuner->setTunedFreq(m_tuner->TunedFreq());
        s.FrequencyReadout = m_tuner->FormattedTunedFreq();
    }
}

} // namespace orvex
