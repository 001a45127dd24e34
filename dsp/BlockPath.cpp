// The per-block path: the sound card's DataReady handler and DoDSP with every stage in order.
#include "Demodulators.h"
#include "OrvexVector.h"
#include "ReceiveChain.h"
#include "VectorOps.h"
#include "core/Numeric.h"
#include "core/YieldHook.h"

#include <algorithm>
#include <cmath>

namespace orvex {

void ReceiveChain::advanceRing(std::int32_t& pos) {
    // The position returns to 0 once it passes 46.875 (47 entries, about one second).
    ++pos;
    if (pos > 46) pos = 0;
}

void ReceiveChain::setDisplayOffset() {
    const double tunedHz = m_tuner ? m_tuner->TunedFreq() * 1000000.0 : 0.0;
    const double span = m_spectrum->FEnd() - m_spectrum->FStart();
    m_spectrum->setFOffset(RoundHalfEven32(tunedHz - span / 2.0));
}

void ReceiveChain::tapSamples(const float* ch1, const float* ch2) {
    m_spectrum->LoadSamples_S(ch1, ch2);
    m_spectrum->setReverseSpectrum(true);
    setDisplayOffset();
}

void ReceiveChain::SoundCard_DataReady(std::int16_t* Channel1, std::int16_t* Channel2,
                                       std::int32_t /*NumSamples*/) {
    auto& s = m_s;
    if (m_dataReadyBusy) {
        // Still in the previous block (a yield let this notification in): drop it, so its
        // playback slot stays silent.
        ++m_droppedBlocks;
        return;
    }
    m_dataReadyBusy = true;
    m_blockProfiler.StartTiming();
    const bool display = m_spectrum != nullptr && m_spectrum->Active();
    if (display && s.SpectrumSource == 0) {
        m_spectrum->LoadSamples_INT16(Channel1, Channel2);
        m_spectrum->setReverseSpectrum(true);
        setDisplayOffset();
    }
    if (s.PerfStatsOn) {
        s.InPeakRing[static_cast<std::size_t>(s.InPeakPos)] =
            dll::MaxValue_16(Channel1, kBlockSamples);
        advanceRing(s.InPeakPos);
    }
    DoDSP(Channel1, Channel2, kBlockSamples);
    if (s.PerfStatsOn) {
        s.OutPeakRing[static_cast<std::size_t>(s.OutPeakPos)] =
            dll::MaxValue_16(Channel1, kBlockSamples);
        advanceRing(s.OutPeakPos);
    }
    if (m_soundCard) {
        if (s.MuteOn) m_soundCard->setOutputAttenuation(-40000);
        m_soundCard->Output(Channel1, Channel1, kBlockSamples);
    }
    if (m_spectrum != nullptr && m_spectrum->Active() && s.SpectrumSource == 3)
        m_spectrum->LoadSamples_INT16(Channel1, Channel2);

    m_blockProfiler.StopTiming();
    s.DSPLoad = static_cast<float>(m_blockProfiler.Duration / 1000000.0 / kBlockPeriod);
    if (s.DSPLoad > 0.9f) YieldToUser();
    if (s.PerfStatsOn) {
        s.BlockTimeRing[static_cast<std::size_t>(s.BlockTimePos)] =
            RoundHalfEven32(m_blockProfiler.Duration);
        advanceRing(s.BlockTimePos);
    } else {
        s.BlockTimePos = 0;
    }
    if (m_timers) {
        m_timers->ArmSpectrumTimer(4);
        m_timers->ArmStatsTimer(1);
    }
    m_dataReadyBusy = false;
}

void ReceiveChain::DoDSP(std::int16_t* Channel1, std::int16_t* /*Channel2*/,
                         std::int32_t /*NumSamples*/) {
    auto& s = m_s;
    s.DSPBusy = true;
    float* ifBlock = m_IFBlock.data();
    dll::Int16ToFloat_S_2(Channel1, ifBlock, kBlockSamples);
    const bool display = m_spectrum != nullptr && m_spectrum->Active();
    if (m_spectrum != nullptr && m_spectrum->Chn2Enabled())
        vec::CopySingle(ifBlock, m_IFBlockCopy.data(), kBlockSamples);

    if (s.chkNB.Value) noiseReducer();
    if (m_IFFilter.Active) m_IFFilter.Filter_FFT_S_1(ifBlock);
    if (m_NotchFilter.Active && s.NotchType == 1) m_NotchFilter.Filter_FFT_S_1(ifBlock);
    if (display && s.SpectrumSource == 1) tapSamples(ifBlock, m_IFBlockCopy.data());

    prepareIQ();

    // Signal strength for the meter: mean I/Q power of the block, newest first.
    dll::PowerSpectrum_S_2(m_IBlock.data(), m_QBlock.data(), m_SpecPower.data(), kBlockSamples);
    for (std::size_t k = s.SMeterPower.size() - 1; k > 0; --k)
        s.SMeterPower[k] = s.SMeterPower[k - 1];
    s.SMeterPower[0] =
        dll::Sum_S_1(m_SpecPower.data(), kBlockSamples) / static_cast<float>(kBlockSamples);

    if (display && s.SpectrumSource == 2) tapSamples(m_IBlock.data(), m_QBlock.data());

    demodulate();
    if (m_NotchFilter.Active || s.DynFilterOn) audioSpectrum();
    if (m_AFFilter.Active) m_AFFilter.Filter_FFT_S_1(m_AFBlock.data());
    agcStage();
    outputLevelStage();

    // Limiter: no block leaves with a peak above 16384; a louder block is scaled down whole.
    float* af = m_AFBlock.data();
    const float peak = vec::BlockPeak(af, kBlockSamples);
    if (peak > kLimiterPeak) vec::Scale(kLimiterPeak / peak, af, kBlockSamples);
    dll::FloatToInt16_S_2(af, Channel1, kBlockSamples);
    s.DSPBusy = false;
}

void ReceiveChain::noiseReducer() {
    auto& s = m_s;
    float* ifBlock = m_IFBlock.data();
    float* re = m_SpecRe.data();
    float* im = m_SpecIm.data();
    // The transform covers the block and a zero half. The half above the block may still hold
    // the previous block's filter tail, which is no part of this block's spectrum.
    vec::ZeroSingle(ifBlock + kBlockSamples, kSegmentSamples - kBlockSamples);
    m_FFTReal.FFT_Real_S_2(ifBlock, re, im);
    // Within the IF filter's pass band, bins whose magnitude is below NB times the strongest
    // bin's are scaled by NB / 3. Scaling a bin's real and imaginary parts scales its magnitude
    // and keeps its phase, so the comparison runs on squared magnitudes and no polar form is
    // needed. The inverse transform reads bins 0..N/2 only.
    const std::int32_t bins = kSegmentSamples / 2 + 1;
    const std::int32_t b0 = std::clamp(m_IFFilter.BinFLow, 0, bins);
    const std::int32_t n = std::clamp(m_IFFilter.BinFCount, 0, bins - b0);
    if (n > 0 && s.NB > 0.0f) {
        float* power = m_SpecPower.data() + b0;
        dll::PowerSpectrum_S_2(re + b0, im + b0, power, n);
        const float level = s.NB * std::sqrt(dll::MaxValue_S(power, n));
        const float levelSquared = level * level;
        const float fraction = s.NB / 3.0f;
        for (std::int32_t k = 0; k < n; ++k) {
            if (power[k] < levelSquared) {
                re[b0 + k] *= fraction;
                im[b0 + k] *= fraction;
            }
        }
    }
    m_FFTReal.IFFT_Real_S_2(re, im, ifBlock);
}

void ReceiveChain::prepareIQ() {
    const float* ifBlock = m_IFBlock.data();
    float* i = m_IBlock.data();
    float* q = m_QBlock.data();
    switch (m_s.CurrentDemodMode) {
    case kModeAM:
        vec::CopySingle(ifBlock, i, kBlockSamples);
        vec::CopySingle(ifBlock, q, kBlockSamples);
        m_AMFilterI.Filter_FFT_S_1(i);
        m_AMFilterQ.Filter_FFT_S_1(q);
        break;
    case kModeUSB:
    case kModeLSB:
        dll::MixerIQ_S_S_1(ifBlock, i, q, kBlockSamples);
        break;
    case kModeFM:
        m_HilbertTransform.sTransform(ifBlock, q, kBlockSamples);
        m_HilbertDelay.sDelaySamples(ifBlock, i, kBlockSamples);
        dll::HiThresh_S_1(i, 0, kLimiterPeak, kBlockSamples);
        dll::LowThresh_S_1(i, 0, -kLimiterPeak, kBlockSamples);
        dll::HiThresh_S_1(q, 0, kLimiterPeak, kBlockSamples);
        dll::LowThresh_S_1(q, 0, -kLimiterPeak, kBlockSamples);
        break;
    default:
        vec::CopySingle(ifBlock, i, kBlockSamples);
        vec::CopySingle(ifBlock, q, kBlockSamples);
        break;
    }
}

void ReceiveChain::demodulate() {
    float* i = m_IBlock.data();
    float* q = m_QBlock.data();
    float* af = m_AFBlock.data();
    switch (m_s.CurrentDemodMode) {
    case kModeAM:
        DetectAM(i, q, af, kBlockSamples);
        m_AFDemodFilter.Filter_FFT_S_1(af);
        break;
    case kModeUSB:
    case kModeLSB:
        m_SSBFilterI.Filter_FFT_S_1(i);
        m_SSBFilterQ.Filter_FFT_S_1(q);
        DetectSSB(i, q, af, kBlockSamples, m_s.CurrentDemodMode == kModeUSB);
        break;
    case kModeFM:
        DetectFM(i, q, af, m_SpecPower.data(), m_SpecPhase.data(), kBlockSamples, m_FMLastPhase);
        m_AFDemodFilter.Filter_FFT_S_1(af);
        break;
    case kModeBC:
        DetectBC(i, af, kBlockSamples, m_BCHistory);
        break;
    default: // DRM: the IF block, after the noise reducer, IF filter and IF notch, goes out
        vec::CopySingle(i, af, kBlockSamples);
        break;
    }
}

void ReceiveChain::audioSpectrum() {
    auto& s = m_s;
    float* af = m_AFBlock.data();
    vec::ZeroSingle(af + kBlockSamples, kSegmentSamples - kBlockSamples);
    m_FFTReal.FFT_Real_S_2(af, m_SpecRe.data(), m_SpecIm.data());
    dll::PowerSpectrum_S_2(m_SpecRe.data(), m_SpecIm.data(), m_SpecPower.data(), kBlockSamples);

    // Strongest bin of the audio band, counted from the band's first bin.
    const std::int32_t b = std::max(1, RoundHalfEven32(m_AFFilter.HzPerBin));
    const std::int32_t first = std::clamp(s.FilterLo / b, 0, kBlockSamples - 1);
    const std::int32_t count = std::clamp((s.FilterHi - s.FilterLo) / b, 1, kBlockSamples - first);
    s.PeakBinHistory[static_cast<std::size_t>(s.PeakBinPos)] =
        dll::MaxIndex_S(m_SpecPower.data() + first, count);
    if (++s.PeakBinPos > kPeakBinHistoryUpper) s.PeakBinPos = 0;

    if (m_NotchFilter.Active && s.NotchType == 0) {
        // Audio notch by its own overlap-add on the spectrum already at hand. The band-stop
        // kernel has P taps, so the tail after the block is P-1 samples long.
        constexpr std::int32_t tail = kBlockSamples - 1;
        m_NotchFilter.Filter_S_Cart_1(m_SpecRe.data(), m_SpecIm.data());
        m_FFTReal.IFFT_Real_S_2(m_SpecRe.data(), m_SpecIm.data(), af);
        vec::AddInPlace(m_NotchOverlap.data(), af, tail);
        vec::CopySingle(af + kBlockSamples, m_NotchOverlap.data(), tail);
    }
}

void ReceiveChain::agcStage() {
    auto& s = m_s;
    float* af = m_AFBlock.data();
    const float p = vec::BlockPeak(af, kBlockSamples);
    const std::int32_t n = s.AGCHistoryLength;
    float g = 1.0f;
    if (n > 0) {
        float* history = m_AGCPeakHistory.data();
        // A silent block leaves the history, and so the gain, as it was.
        if (p != 0.0f) {
            dll::ShiftVectorRight_S_1(history, n);
            history[0] = p;
        }
        vec::Multiply(m_AGCWeights.data(), history, m_AGCWeighted.data(), n);
        const float m = dll::MaxValue_S(m_AGCWeighted.data(), n);
        g = m > 0.0f ? kAGCTargetPeak / m : s.AGCPrevGain;
    }
    // With no history (mode "Off": delay 0) the gain is unity.
    if (s.AGCON) {
        const std::int32_t r = std::clamp(s.AGCRampLength, 0, kBlockSamples);
        if (r > 0) {
            dll::VectorRamp_S_1(s.AGCPrevGain, g, m_AGCRamp.data(), r);
            vec::MultiplyInPlace(m_AGCRamp.data(), af, r);
        }
        vec::Scale(g, af + r, kBlockSamples - r);
    }
    s.AGCPrevGain = g;
    s.AGCGain = g;
}

void ReceiveChain::outputLevelStage() {
    const float level = m_s.OutputAttenuation;
    if (level > 0.0f) {
        vec::Scale(level, m_AFBlock.data(), kBlockSamples);
        if (m_soundCard) m_soundCard->setOutputAttenuation(0);
    } else if (m_soundCard) {
        m_soundCard->setOutputAttenuation(RoundHalfEven32(level));
    }
}

} // namespace orvex
