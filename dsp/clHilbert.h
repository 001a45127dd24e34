// FIR Hilbert transformer (90 degree phase shifter) with its companion delay line. The receive
// chain holds two: one turns the IF block by 90 degrees, the other delays the same block by the
// transformer's group delay, and together they form the analytic signal FM demodulation uses.
#pragma once

#include "core/Error.h"
#include "dsp/AlignedVector.h"

#include <cstdint>

namespace orvex {

/// Life: Load(Taps, NumSamples), then sTransform or sDelaySamples once per block; each object
/// carries its history from block to block, and Load again resets it. Block calls allocate
/// nothing; the block length n must be at most the NumSamples given to Load and at least
/// Taps. Input and output of a block call may be the same array.
class clHilbert {
public:
    double Gain = 0.0;       ///< 1/G, G the kernel's gain at a quarter of the sample rate
    std::int32_t Delay = 0;  ///< group delay in samples: Taps/2, rounded half to even
    std::int32_t Nzeros = 0; ///< history kept between blocks (= Taps)
    float sGain = 0.0f;      ///< Gain in single precision, applied to every output

    /// Sizes the vectors, designs the kernel and resets history and delay line. Taps from 2 to
    /// 4096 and NumSamples >= Taps; otherwise a message and InvalidArgument.
    Status Load(std::int32_t Taps, std::int32_t NumSamples);
    /// Designs a Points-tap Hamming-windowed Hilbert kernel into HCoeffs (Points entries) and
    /// returns its gain G at a quarter of the sample rate in Gain.
    static void CalcCoefficients(std::int32_t Points, double* HCoeffs, double& Gain);

    /// Hilbert-transforms one block: a sine at a quarter of the sample rate comes out with
    /// unit amplitude, turned by 90 degrees, delayed by Delay samples.
    Status sTransform(const float* SamplesIn, float* SamplesOut, std::int32_t NumSamples);
    /// Delays one block by Delay samples (single / double precision, separate delay lines).
    Status sDelaySamples(const float* SamplesIn, float* SamplesOut, std::int32_t NumSamples);
    Status DelaySamples(const double* SamplesIn, double* SamplesOut, std::int32_t NumSamples);

    /// Copy Taps coefficients out or in (double / single kernel). Setting one precision also
    /// sets the other, so the transform always uses the coefficients last set.
    Status GetCoefs(double* Coefficients, std::int32_t Taps) const;
    Status dSetCoefs(const double* Coefficients, std::int32_t Taps);
    Status sGetCoefs(float* Coefficients, std::int32_t Taps) const;
    Status sSetCoefs(const float* Coefficients, std::int32_t Taps);

    bool IsLoaded() const { return m_taps > 0; }

private:
    Status checkBlock(std::int32_t n) const;
    Status checkTaps(std::int32_t taps) const;

    std::int32_t m_taps = 0;
    std::int32_t m_maxSamples = 0;
    DoubleVector m_dKernel;
    FloatVector m_sKernel;
    FloatVector m_work;  // Nzeros history followed by the current block
    FloatVector m_delay; // single delay line
    FloatVector m_delayNext;
    DoubleVector m_dDelay; // double delay line
    DoubleVector m_dDelayNext;
};

} // namespace orvex
