#include "clHilbert.h"

#include "OrvexVector.h"
#include "VectorOps.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"

#include <cmath>
#include <cstring>
#include <string>

namespace orvex {

Status clHilbert::Load(std::int32_t Taps, std::int32_t NumSamples) {
    if (Taps < 2 || Taps > 4096 || NumSamples < Taps) {
        ShowMessage("clHilbert: cannot load " + std::to_string(Taps) + " taps for blocks of " +
                        std::to_string(NumSamples) +
                        " samples (taps 2 to 4096, block at least as long as the kernel)",
                    MessageIcon::Critical);
        return Status::InvalidArgument;
    }
    m_taps = Taps;
    m_maxSamples = NumSamples;
    Nzeros = Taps;
    Delay = RoundHalfEven32(Taps / 2.0);
    m_dKernel.assign(static_cast<std::size_t>(Taps) + 1, 0.0);
    m_sKernel.assign(static_cast<std::size_t>(Taps) + 1, 0.0f);
    m_work.assign(static_cast<std::size_t>(Taps + NumSamples + 2), 0.0f);
    m_delay.assign(static_cast<std::size_t>(Delay), 0.0f);
    m_delayNext.assign(static_cast<std::size_t>(Delay), 0.0f);
    m_dDelay.assign(static_cast<std::size_t>(Delay), 0.0);
    m_dDelayNext.assign(static_cast<std::size_t>(Delay), 0.0);
    double g = 0.0;
    CalcCoefficients(Taps, m_dKernel.data(), g);
    Gain = g != 0.0 ? 1.0 / g : 0.0;
    sGain = static_cast<float>(Gain);
    dll::DoubleToSingle_D_2(m_dKernel.data(), m_sKernel.data(), Taps);
    return Status::Ok;
}

void clHilbert::CalcCoefficients(std::int32_t Points, double* HCoeffs, double& Gain) {
    const std::int32_t m = Points - 1;
    const std::int32_t c = RoundHalfEven32(m / 2.0);
    for (std::int32_t i = 0; i < Points; ++i)
        HCoeffs[i] = 0.0;
    // Ideal Hilbert taps fall as 1/i at odd offsets and vanish at even ones; a Hamming window
    // centred on the kernel tapers them. Positive offsets take the negative sign.
    constexpr double kTwoPi = 6.28318530717958;
    for (std::int32_t i = 1; i <= c - 1; ++i) {
        const double f = (i % 2 == 1) ? 1.0 / i : 0.0;
        const double w = m > 0 ? 0.54 - 0.46 * std::cos(kTwoPi * (c + i) / m) : 1.0;
        if (c + i < Points) HCoeffs[c + i] = -f * w;
        if (c - i >= 0) HCoeffs[c - i] = f * w;
    }
    // Gain at a quarter of the sample rate: the odd taps alternate in sign against the phasor
    // e^(-j pi k / 2), so their alternating sum (times 2 for both sides) is the response there.
    double sum = 0.0;
    std::int32_t terms = 0;
    for (std::int32_t j = 1; j <= c - 1; j += 2) {
        ++terms;
        if (terms % 2 == 1)
            sum -= HCoeffs[j];
        else
            sum += HCoeffs[j];
    }
    if (terms % 2 == 1) sum = -sum;
    Gain = 2.0 * sum;
}

Status clHilbert::checkBlock(std::int32_t n) const {
    if (m_taps == 0) {
        ShowMessage("clHilbert: Load must be called before the first block", MessageIcon::Critical);
        return Status::NotInitialised;
    }
    if (n > m_maxSamples || n < Nzeros || n < Delay) return Status::InvalidArgument;
    return Status::Ok;
}

Status clHilbert::sTransform(const float* SamplesIn, float* SamplesOut, std::int32_t NumSamples) {
    if (const Status s = checkBlock(NumSamples); s != Status::Ok) return s;
    float* work = m_work.data();
    std::memcpy(work + Nzeros, SamplesIn, sizeof(float) * static_cast<std::size_t>(NumSamples));
    dll::sHilbert(work, m_sKernel.data(), SamplesOut, Nzeros, NumSamples);
    // The block's last Nzeros samples become the history of the next block.
    std::memmove(work, work + NumSamples, sizeof(float) * static_cast<std::size_t>(Nzeros));
    vec::Scale(sGain, SamplesOut, NumSamples);
    return Status::Ok;
}

Status clHilbert::sDelaySamples(const float* SamplesIn, float* SamplesOut,
                                std::int32_t NumSamples) {
    if (const Status s = checkBlock(NumSamples); s != Status::Ok) return s;
    const auto d = static_cast<std::size_t>(Delay);
    const auto n = static_cast<std::size_t>(NumSamples);
    // Keep the block's tail before the output (which may be the input) is written.
    std::memcpy(m_delayNext.data(), SamplesIn + (n - d), sizeof(float) * d);
    std::memmove(SamplesOut + d, SamplesIn, sizeof(float) * (n - d));
    std::memcpy(SamplesOut, m_delay.data(), sizeof(float) * d);
    m_delay.swap(m_delayNext);
    return Status::Ok;
}

Status clHilbert::DelaySamples(const double* SamplesIn, double* SamplesOut,
                               std::int32_t NumSamples) {
    if (const Status s = checkBlock(NumSamples); s != Status::Ok) return s;
    const auto d = static_cast<std::size_t>(Delay);
    const auto n = static_cast<std::size_t>(NumSamples);
    std::memcpy(m_dDelayNext.data(), SamplesIn + (n - d), sizeof(double) * d);
    std::memmove(SamplesOut + d, SamplesIn, sizeof(double) * (n - d));
    std::memcpy(SamplesOut, m_dDelay.data(), sizeof(double) * d);
    m_dDelay.swap(m_dDelayNext);
    return Status::Ok;
}

Status clHilbert::checkTaps(std::int32_t taps) const {
    if (m_taps == 0) return Status::NotInitialised;
    if (taps < 0 || taps > m_taps) return Status::InvalidArgument;
    return Status::Ok;
}

Status clHilbert::GetCoefs(double* Coefficients, std::int32_t Taps) const {
    if (const Status s = checkTaps(Taps); s != Status::Ok) return s;
    vec::CopyDouble(m_dKernel.data(), Coefficients, Taps);
    return Status::Ok;
}

Status clHilbert::dSetCoefs(const double* Coefficients, std::int32_t Taps) {
    if (const Status s = checkTaps(Taps); s != Status::Ok) return s;
    vec::CopyDouble(Coefficients, m_dKernel.data(), Taps);
    dll::DoubleToSingle_D_2(m_dKernel.data(), m_sKernel.data(), Taps);
    return Status::Ok;
}

Status clHilbert::sGetCoefs(float* Coefficients, std::int32_t Taps) const {
    if (const Status s = checkTaps(Taps); s != Status::Ok) return s;
    vec::CopySingle(m_sKernel.data(), Coefficients, Taps);
    return Status::Ok;
}

Status clHilbert::sSetCoefs(const float* Coefficients, std::int32_t Taps) {
    if (const Status s = checkTaps(Taps); s != Status::Ok) return s;
    vec::CopySingle(Coefficients, m_sKernel.data(), Taps);
    for (std::int32_t k = 0; k < Taps; ++k)
        m_dKernel[static_cast<std::size_t>(k)] = m_sKernel[static_cast<std::size_t>(k)];
    return Status::Ok;
}

} // namespace orvex
