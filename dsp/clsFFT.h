// Radix-2 complex FFT of a fixed size, and the real FFT built on a half-size complex FFT.
#pragma once

#include "core/Error.h"
#include "dsp/AlignedVector.h"

#include <cstdint>
#include <memory>

namespace orvex {

namespace spl {
class ComplexFFT;
}

/// The message every transform shows when used before FFTInit.
inline constexpr const char* kFFTNotInitialisedMessage =
    "clsFFT not initialised, you must call Init first";

/// Complex FFT of Points = 2^Order points (1 to 16384) on split real and imaginary vectors.
/// Life: construct, FFTInit(N) (may be called again to change the size), then transforms.
/// Transforms allocate nothing; every vector argument has at least Points elements.
class clsFFT {
public:
    clsFFT();
    ~clsFFT();
    clsFFT(const clsFFT&) = delete;
    clsFFT& operator=(const clsFFT&) = delete;

    bool IsInitialised = false; ///< set by a successful FFTInit
    std::int32_t Points = 0;    ///< transform size N
    std::int32_t Order = 0;     ///< log2 N

    /// Reading returns this object's copy; assigning stores it and sets the program-wide
    /// switch that routes transforms to the optimised back end.
    bool UseSPL() const { return m_useSPL; }
    void setUseSPL(bool on);

    /// Sets the size and builds the tables. A size that is not a power of two gives
    /// InvalidArgument and 32768 points or more Overflow (the stage length is a 16-bit value);
    /// both show a message and leave the object as it was.
    Status FFTInit(std::int32_t NumPoints);

    /// Unscaled forward transform X[k] = sum x[n] e^(-j 2 pi k n / N), natural order. Inputs
    /// unchanged; outputs must not overlap the inputs.
    Status FFT_S_2(const float* RealIn, const float* IMagIn, float* RealOut, float* IMagOut);
    /// Inverse transform scaled by 1/N. IMagIn is negated in place and left negated.
    Status IFFT_S_2(const float* RealIn, float* IMagIn, float* RealOut, float* IMagOut);
    /// The in-process transform that defines the library's result: bit-reversed copy, then
    /// butterflies with the per-stage twiddle recurrences of the cosine and sine tables, all in
    /// single precision.
    Status FFT_S_2_VB(const float* RealIn, const float* IMagIn, float* RealOut, float* IMagOut);

    /// Table entries, for tests and the in-process forms.
    std::int32_t BitReversed(std::int32_t i) const { return m_bitRev[static_cast<std::size_t>(i)]; }
    float CosineStep(std::int32_t stage) const { return m_cos[static_cast<std::size_t>(stage)]; }
    float SineStep(std::int32_t stage) const { return m_sin[static_cast<std::size_t>(stage)]; }

private:
    AlignedVector<std::int32_t> m_bitRev;
    FloatVector m_cos;
    FloatVector m_sin;
    std::unique_ptr<spl::ComplexFFT> m_spl;
    bool m_useSPL = false;
};

/// Real FFT of Points = N samples (2 to 32768) through one complex FFT of N/2 points (even
/// samples as real part, odd samples as imaginary part) and a linear pass. Spectra have N bins;
/// bins N/2+1..N-1 are the conjugates of bins N/2-1..1.
class clsFFTReal {
public:
    clsFFTReal();
    ~clsFFTReal();
    clsFFTReal(const clsFFTReal&) = delete;
    clsFFTReal& operator=(const clsFFTReal&) = delete;

    bool IsInitialised = false;
    std::int32_t Points = 0; ///< real block length N
    std::int32_t Order = 0;  ///< log2 N

    bool UseSPL() const { return m_useSPL; }
    void setUseSPL(bool on);

    /// Sets N, sizes the owned complex FFT to N/2 and the work vectors to N+1 entries. Sizes
    /// that are not a power of two of at least 2 give InvalidArgument with a message.
    Status FFTInit(std::int32_t NumPoints);
    /// N real samples to the N-bin spectrum. No initialisation check of its own: an
    /// uninitialised object reaches the message through the owned complex FFT.
    Status FFT_Real_S_2(const float* SamplesIn, float* RealOut, float* IMagOut);
    /// Spectrum (bins 0..N/2 are read) to N real samples. RealIn and IMagIn are left modified
    /// (negative frequencies filled in, RealIn += IMagIn). RealOut must not be RealIn.
    Status IFFT_Real_S_2(float* RealIn, float* IMagIn, float* RealOut);
    /// FFT_Real_S_2 with the completing pass computed in-process (twiddles in double).
    Status FFT_Real_S_2_VB(const float* SamplesIn, float* RealOut, float* IMagOut);

    clsFFT& ComplexFFT() { return *m_fft; }

private:
    std::unique_ptr<clsFFT> m_fft;
    FloatVector m_even;
    FloatVector m_odd;
    FloatVector m_scratch;
    FloatVector m_spare;
    bool m_useSPL = false;
};

} // namespace orvex
