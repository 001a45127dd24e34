// Linear-phase FIR filter by fast convolution: a windowed-sinc band-pass or band-stop kernel
// between two edges, applied one block at a time by overlap-add on real FFTs of twice the
// block length.
#pragma once

#include "core/Error.h"
#include "dsp/AlignedVector.h"
#include "dsp/clsFFT.h"

#include <cstdint>

namespace orvex {

/// Life: set SegmentSize, Points, FSampling, WindowType, QPhase, NormaliseGain, BandReject,
/// FLow, FHigh; init(P); MakeFilter(); then Filter_FFT_S_1 once per block. Edges may change
/// at any time and take effect at the next MakeFilter (which keeps the overlap tail, so the
/// output stays continuous); WindowType, SegmentSize and FSampling take effect at init.
///
/// Nothing allocates after init. Vector arguments are caller-owned: blocks have at least 2·P
/// entries (the block in 0..P-1, room for the transform after it), spectra SegmentSize bins,
/// kernels P taps, polar responses P bins unless stated.
class clsFFTFilter {
public:
    clsFFTFilter();
    ~clsFFTFilter();
    clsFFTFilter(const clsFFTFilter&) = delete;
    clsFFTFilter& operator=(const clsFFTFilter&) = delete;

    std::int32_t Points = 0; ///< block length P = kernel and window length (power of two, 2..16384)
    std::int32_t Order = 0;  ///< log2 P
    std::int32_t SegmentSize = 0;   ///< FFT length; must be 2·P
    std::int32_t FSampling = 48000; ///< sample rate, Hz
    std::int32_t FLow = 0;          ///< lower edge, Hz (0..FSampling/2)
    double FLRadians = 0.0;         ///< lower edge, radians per sample
    std::int32_t FHigh = 0;         ///< upper edge, Hz (0..FSampling/2)
    double FHRadians = 0.0;         ///< upper edge, radians per sample
    std::int32_t WindowType = 2;    ///< 0 rectangular, 1 Hamming, 2 Blackman
    float HzPerBin = 0.0f;          ///< FSampling / SegmentSize
    std::int32_t BinFLow = 0;       ///< bin of the lower edge (rounded down)
    std::int32_t BinFHigh = 0;      ///< bin of the upper edge (rounded)
    std::int32_t BinFCount = 0;     ///< BinFHigh - BinFLow
    bool QPhase = false;            ///< design the quadrature (+90 degree) kernel
    bool NormaliseGain = false;     ///< scale the band-pass kernel by (1 + mean tap)
    bool Active = false;            ///< on/off flag kept for the caller; not read here
    bool BandReject = false;        ///< band-stop instead of band-pass

    bool UseSPL() const { return m_useSPL; }
    void setUseSPL(bool on);

    /// True after a successful init.
    bool IsInitialised() const { return m_initialised; }

    /// Sets the sizes, creates the transforms and computes the window. P must be a power of two
    /// from 2 to 16384 with SegmentSize = 2·P and FSampling > 0; otherwise a message names the
    /// fault and InvalidArgument is returned with the filter left uninitialised.
    Status init(std::int32_t NumPoints);
    /// Designs the kernel and its responses from the members (FHigh above FSampling/2 is
    /// lowered to it, FLow below 0.1 becomes 0). Band-stop with BandReject, band-pass otherwise.
    Status MakeFilter();
    /// Filters the block in entries 0..P-1 of SamplesInOut (2·P entries) in place. The output
    /// is the convolution with the kernel, delayed by its centre tap, continuous across blocks.
    Status Filter_FFT_S_1(float* SamplesInOut);

    /// X = X·H over SegmentSize bins.
    Status Filter_S_Cart_1(float* RealInOut, float* IMagInOut);
    /// Y = X·H over SegmentSize bins (Y may be X).
    Status Filter_S_Cart_2(const float* RealIn, const float* IMagIn, float* RealOut,
                           float* IMagOut);
    Status Filter_S_Cart_2_VB(const float* RealIn, const float* IMagIn, float* RealOut,
                              float* IMagOut);
    /// Magnitude × |H| and phase + angle(H) over SegmentSize bins.
    Status Filter_S_Polar_1(float* MagInOut, float* PhaseInOut);
    Status Filter_S_Polar_2(const float* MagIn, const float* PhaseIn, float* MagOut,
                            float* PhaseOut);

    /// Window of P coefficients for WindowType (library form / in-process form into
    /// WindowCoeffs, which needs NumPoints entries).
    Status CalcWindowCoeffs(std::int32_t Type);
    static void CalcWindowCoeffs_VB(double* WindowCoeffs, std::int32_t NumPoints,
                                    std::int32_t Type);

    /// Band-pass designs: library form, in-process form (mean over P-1 taps in the gain
    /// normalisation), and the form from two normalised low-pass kernels.
    Status CalcBandPass();
    Status CalcBandPass_VB();
    Status CalcBandPass_Smith();
    /// Band-stop designs: library form (the one MakeFilter uses), in-process form, and the form
    /// built by spectral inversion.
    Status CalcBandStop_PAS();
    Status CalcBandStop();
    Status CalcBandStop_Smith();

    /// Copy the P-tap kernel out.
    Status GetFilterCoeffs_T_S(float* Destination) const;
    Status GetFilterTCoeffs_S(float* Destination) const;
    Status GetFilterTCoeffs_D(double* Destination) const;
    /// Copy the P-bin polar response out (magnitude, phase in radians).
    Status GetFilterCoeffs_F_S(float* Magnitude, float* Phase) const;
    Status GetFilterPCoeffs_S(float* Magnitude, float* Phase) const;
    /// Copy the SegmentSize-bin cartesian response out.
    Status GetFilterFCoeffs_S(float* Real, float* Imaginary) const;
    /// Load a P-tap kernel and recompute both responses.
    Status PutFilterTCoeffs_S(const float* Source);
    Status PutFilterTCoeffs_D(const double* Source);
    /// Load a SegmentSize-bin cartesian response and recompute the polar one.
    Status PutFilterFCoeffs_S(const float* Real, const float* Imaginary);
    /// Load a P-bin polar response of a real kernel; bins P..2P-1 follow as conjugates, and
    /// the cartesian response is recomputed so both forms agree.
    Status PutFilterPCoeffs_S(const float* Magnitude, const float* Phase);

    /// Read-only views for the display and tests.
    const float* KernelTaps() const { return m_sKernel.data(); }
    const float* ResponseReal() const { return m_respRe.data(); }
    const float* ResponseImag() const { return m_respIm.data(); }

private:
    Status requireInit() const;
    void applyNormaliseGain(double divisor);
    void responseFromKernel();
    void polarFromCartesian();

    clsFFT m_fft;
    clsFFTReal m_fftReal;
    DoubleVector m_dKernel;  // kernel, double (2P+1)
    DoubleVector m_dKernel2; // second kernel of the band-stop design
    FloatVector m_sKernel;   // kernel, single; taps P..2P-1 zero
    FloatVector m_sKernelIm; // zero imaginary companion
    FloatVector m_respRe;    // cartesian response, 2P bins
    FloatVector m_respIm;
    FloatVector m_respMag; // polar response, 2P bins (P of them exported)
    FloatVector m_respPhase;
    FloatVector m_specRe; // spectrum of the block being filtered
    FloatVector m_specIm;
    FloatVector m_overlap; // convolution tail carried to the next block
    DoubleVector m_window; // P+1
    bool m_initialised = false;
    bool m_useSPL = false;
};

} // namespace orvex
