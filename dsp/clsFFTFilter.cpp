#include "clsFFTFilter.h"

#include "OrvexVector.h"
#include "VectorOps.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"

#include <cmath>
#include <string>

namespace orvex {
namespace {
constexpr double kPi = 3.14159265358979;
constexpr double kTwoPi = 6.28318530717958;

// Windowed low-pass prototype tap (sin(n w)/(n pi), w/pi at the centre).
double SincTap(std::int32_t n, double w) {
    return n == 0 ? w / kPi : std::sin(n * w) / (n * kPi);
}
} // namespace

clsFFTFilter::clsFFTFilter() = default;
clsFFTFilter::~clsFFTFilter() = default;

void clsFFTFilter::setUseSPL(bool on) {
    m_useSPL = on;
    vec::SetUseSPL(on);
}

Status clsFFTFilter::requireInit() const {
    if (m_initialised) return Status::Ok;
    ShowMessage(kFFTNotInitialisedMessage);
    return Status::NotInitialised;
}

Status clsFFTFilter::init(std::int32_t NumPoints) {
    std::string fault;
    if (!IsPowerOfTwo(NumPoints) || NumPoints < 2 || NumPoints > 16384)
        fault = std::to_string(NumPoints) + " points is not a power of two from 2 to 16384";
    else if (SegmentSize != 2 * NumPoints)
        fault = "SegmentSize " + std::to_string(SegmentSize) + " must be twice Points (" +
                std::to_string(2 * NumPoints) + ")";
    else if (FSampling <= 0)
        fault = "sample rate " + std::to_string(FSampling) + " Hz must be above 0";
    if (!fault.empty()) {
        ShowMessage("clsFFTFilter: " + fault, MessageIcon::Critical);
        m_initialised = false;
        return Status::InvalidArgument;
    }
    Points = NumPoints;
    Order = RoundHalfEven32(std::log(static_cast<double>(Points)) / 0.693147180559945);
    HzPerBin = static_cast<float>(FSampling) / static_cast<float>(SegmentSize);
    const auto size = static_cast<std::size_t>(2 * Points + 1);
    m_dKernel.assign(size, 0.0);
    m_dKernel2.assign(size, 0.0);
    m_sKernel.assign(size, 0.0f);
    m_sKernelIm.assign(size, 0.0f);
    m_respRe.assign(size, 0.0f);
    m_respIm.assign(size, 0.0f);
    m_respMag.assign(size, 0.0f);
    m_respPhase.assign(size, 0.0f);
    m_specRe.assign(size, 0.0f);
    m_specIm.assign(size, 0.0f);
    m_overlap.assign(size, 0.0f);
    m_window.assign(static_cast<std::size_t>(Points) + 1, 0.0);
    if (m_fft.FFTInit(2 * Points) != Status::Ok || m_fftReal.FFTInit(2 * Points) != Status::Ok) {
        m_initialised = false;
        return Status::InvalidArgument;
    }
    m_initialised = true;
    return CalcWindowCoeffs(WindowType);
}

Status clsFFTFilter::MakeFilter() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    if (FHigh > FSampling / 2) FHigh = FSampling / 2;
    if (FLow < 0.1) FLow = 0;
    BinFLow = static_cast<std::int32_t>(std::floor(FLow / HzPerBin));
    BinFHigh = static_cast<std::int32_t>(std::floor(FHigh / HzPerBin + 0.5));
    BinFCount = BinFHigh - BinFLow;
    FHRadians = FHigh * kTwoPi / FSampling;
    FLRadians = FLow * kTwoPi / FSampling;
    const Status s = BandReject ? CalcBandStop_PAS() : CalcBandPass();
    if (s != Status::Ok) return s;
    responseFromKernel();
    return Status::Ok;
}

void clsFFTFilter::responseFromKernel() {
    const std::int32_t p = Points;
    vec::ZeroSingle(m_sKernel.data() + p, p);
    vec::ZeroSingle(m_sKernelIm.data(), 2 * p);
    m_fft.FFT_S_2(m_sKernel.data(), m_sKernelIm.data(), m_respRe.data(), m_respIm.data());
    polarFromCartesian();
}

void clsFFTFilter::polarFromCartesian() {
    vec::CartToPolar(m_respRe.data(), m_respIm.data(), m_respMag.data(), m_respPhase.data(),
                     SegmentSize);
}

Status clsFFTFilter::Filter_FFT_S_1(float* SamplesInOut) {
    if (!m_initialised) return requireInit();
    const std::int32_t p = Points;
    vec::ZeroSingle(SamplesInOut + p, p);
    m_fftReal.FFT_Real_S_2(SamplesInOut, m_specRe.data(), m_specIm.data());
    // The inverse real transform reads bins 0..SegmentSize/2 only and rebuilds the rest as
    // their conjugates, so the upper bins need not be multiplied.
    dll::Convolve_Cart_S_2(m_respRe.data(), m_respIm.data(), m_specRe.data(), m_specIm.data(),
                           SegmentSize / 2 + 1);
    m_fftReal.IFFT_Real_S_2(m_specRe.data(), m_specIm.data(), SamplesInOut);
    // A block of P samples through a kernel of up to P taps is at most 2P-1 long: the P-1
    // samples after the block are the tail that overlaps the next block.
    vec::AddInPlace(m_overlap.data(), SamplesInOut, p - 1);
    vec::CopySingle(SamplesInOut + p, m_overlap.data(), p - 1);
    return Status::Ok;
}

Status clsFFTFilter::Filter_S_Cart_1(float* RealInOut, float* IMagInOut) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    dll::Convolve_Cart_S_2(m_respRe.data(), m_respIm.data(), RealInOut, IMagInOut, SegmentSize);
    return Status::Ok;
}

Status clsFFTFilter::Filter_S_Cart_2(const float* RealIn, const float* IMagIn, float* RealOut,
                                     float* IMagOut) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    dll::Filter_S_Cart_2(RealIn, IMagIn, m_respRe.data(), m_respIm.data(), RealOut, IMagOut,
                         SegmentSize);
    return Status::Ok;
}

Status clsFFTFilter::Filter_S_Cart_2_VB(const float* RealIn, const float* IMagIn, float* RealOut,
                                        float* IMagOut) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    for (std::int32_t i = 0; i < SegmentSize; ++i) {
        const float a = RealIn[i], b = IMagIn[i];
        const float c = m_respRe[static_cast<std::size_t>(i)],
                    d = m_respIm[static_cast<std::size_t>(i)];
        RealOut[i] = a * c - b * d;
        IMagOut[i] = b * c + a * d;
    }
    return Status::Ok;
}

Status clsFFTFilter::Filter_S_Polar_1(float* MagInOut, float* PhaseInOut) {
    return Filter_S_Polar_2(MagInOut, PhaseInOut, MagInOut, PhaseInOut);
}

Status clsFFTFilter::Filter_S_Polar_2(const float* MagIn, const float* PhaseIn, float* MagOut,
                                      float* PhaseOut) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    for (std::int32_t i = 0; i < SegmentSize; ++i) {
        MagOut[i] = MagIn[i] * m_respMag[static_cast<std::size_t>(i)];
        PhaseOut[i] = PhaseIn[i] + m_respPhase[static_cast<std::size_t>(i)];
    }
    return Status::Ok;
}

Status clsFFTFilter::CalcWindowCoeffs(std::int32_t Type) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    dll::CalcWindowCoeffs_D(Points, m_window.data(), Type);
    return Status::Ok;
}

void clsFFTFilter::CalcWindowCoeffs_VB(double* WindowCoeffs, std::int32_t NumPoints,
                                       std::int32_t Type) {
    const std::int32_t m = NumPoints - 1;
    for (std::int32_t i = 0; i <= m; ++i) {
        double w = 1.0;
        if (m > 0 && Type == 1) w = 0.54 - 0.46 * std::cos(kTwoPi * i / m);
        if (m > 0 && Type == 2)
            w = 0.42 - 0.5 * std::cos(kTwoPi * i / m) + 0.08 * std::cos(12.56637061435916 * i / m);
        WindowCoeffs[i] = w;
    }
}

void clsFFTFilter::applyNormaliseGain(double divisor) {
    if (!NormaliseGain) return;
    const double s = dll::Sum_D_1(m_dKernel.data(), Points);
    dll::Mpy_D_1(s / divisor + 1.0, m_dKernel.data(), Points);
}

Status clsFFTFilter::CalcBandPass() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    dll::CalcBPFilterCoeffs(Points, m_dKernel.data(), FHRadians, FLRadians, QPhase);
    dll::Mpy_D_2(m_window.data(), m_dKernel.data(), Points);
    applyNormaliseGain(Points);
    dll::DoubleToSingle_D_2(m_dKernel.data(), m_sKernel.data(), Points);
    return Status::Ok;
}

Status clsFFTFilter::CalcBandPass_VB() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    const std::int32_t half = (Points - 1) / 2;
    for (std::int32_t k = 0; k < Points; ++k)
        m_dKernel[static_cast<std::size_t>(k)] = 0.0;
    for (std::int32_t k = 0; k <= 2 * half; ++k) {
        const std::int32_t n = k - half;
        double h;
        if (n == 0)
            h = QPhase ? 0.0 : (FHRadians - FLRadians) / kPi;
        else if (QPhase)
            h = (std::cos(n * FHRadians) - std::cos(n * FLRadians)) / (n * kPi);
        else
            h = (std::sin(n * FHRadians) - std::sin(n * FLRadians)) / (n * kPi);
        m_dKernel[static_cast<std::size_t>(k)] = h * m_window[static_cast<std::size_t>(k)];
    }
    applyNormaliseGain(Points - 1);
    for (std::int32_t k = 0; k < Points; ++k)
        m_sKernel[static_cast<std::size_t>(k)] =
            static_cast<float>(m_dKernel[static_cast<std::size_t>(k)]);
    return Status::Ok;
}

Status clsFFTFilter::CalcBandPass_Smith() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    // Band-pass = spectral inversion of the band-stop made of a low-pass at FLow and a
    // high-pass at FHigh, which reduces to the upper low-pass minus the lower one, each
    // normalised to unit gain at 0 Hz. The quadrature form has no gain at 0 Hz to normalise.
    const std::int32_t half = (Points - 1) / 2;
    auto& lo = m_dKernel2;
    auto& hi = m_dKernel;
    double sumLo = 0.0, sumHi = 0.0;
    for (std::int32_t k = 0; k < Points; ++k) {
        const auto i = static_cast<std::size_t>(k);
        lo[i] = hi[i] = 0.0;
        if (k > 2 * half) continue;
        const std::int32_t n = k - half;
        if (QPhase) {
            lo[i] = n == 0 ? 0.0 : std::cos(n * FLRadians) / (n * kPi);
            hi[i] = n == 0 ? 0.0 : std::cos(n * FHRadians) / (n * kPi);
        } else {
            lo[i] = SincTap(n, FLRadians);
            hi[i] = SincTap(n, FHRadians);
        }
        lo[i] *= m_window[i];
        hi[i] *= m_window[i];
        sumLo += lo[i];
        sumHi += hi[i];
    }
    for (std::int32_t k = 0; k < Points; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const double l = (!QPhase && sumLo != 0.0) ? lo[i] / sumLo : lo[i];
        const double h = (!QPhase && sumHi != 0.0) ? hi[i] / sumHi : hi[i];
        hi[i] = h - l;
    }
    applyNormaliseGain(Points);
    dll::DoubleToSingle_D_2(m_dKernel.data(), m_sKernel.data(), Points);
    return Status::Ok;
}

Status clsFFTFilter::CalcBandStop_PAS() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    dll::CalcBSFilterCoeffs(Points, m_dKernel2.data(), m_sKernel.data(), m_window.data(), FHRadians,
                            FLRadians, QPhase);
    for (std::int32_t k = 0; k < Points; ++k)
        m_dKernel[static_cast<std::size_t>(k)] = m_sKernel[static_cast<std::size_t>(k)];
    return Status::Ok;
}

Status clsFFTFilter::CalcBandStop() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    const std::int32_t c = Points / 2;
    auto& hL = m_dKernel;
    auto& hH = m_dKernel2;
    double sumL = 0.0, sumH = 0.0;
    for (std::int32_t i = 0; i < Points; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const std::int32_t n = i - c;
        if (n == 0) {
            hL[k] = QPhase ? 0.0 : FLRadians;
            hH[k] = QPhase ? 0.0 : FHRadians;
        } else if (QPhase) {
            hL[k] = std::cos(n * FLRadians) / n;
            hH[k] = std::cos(n * FHRadians) / n;
        } else {
            hL[k] = std::sin(n * FLRadians) / n;
            hH[k] = std::sin(n * FHRadians) / n;
        }
        hL[k] *= m_window[k];
        hH[k] *= m_window[k];
        sumL += hL[k];
        sumH += hH[k];
    }
    for (std::int32_t i = 0; i < Points; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (sumL != 0.0) hL[k] /= sumL;
        if (sumH != 0.0) hH[k] = -hH[k] / sumH;
    }
    hH[static_cast<std::size_t>(c)] += 1.0;
    for (std::int32_t i = 0; i < Points; ++i) {
        const auto k = static_cast<std::size_t>(i);
        hL[k] = hH[k] + hL[k];
        m_sKernel[k] = static_cast<float>(hL[k]);
    }
    return Status::Ok;
}

Status clsFFTFilter::CalcBandStop_Smith() {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    // Low-pass at FLow plus the spectral inversion (negate, add 1 at the centre) of a low-pass
    // at FHigh, both normalised to unit gain at 0 Hz.
    const std::int32_t c = Points / 2;
    auto& lo = m_dKernel2;
    auto& out = m_dKernel;
    double sumLo = 0.0, sumHi = 0.0;
    for (std::int32_t i = 0; i < Points; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const std::int32_t n = i - c;
        if (QPhase) {
            lo[k] = n == 0 ? 0.0 : std::cos(n * FLRadians) / (n * kPi);
            out[k] = n == 0 ? 0.0 : std::cos(n * FHRadians) / (n * kPi);
        } else {
            lo[k] = SincTap(n, FLRadians);
            out[k] = SincTap(n, FHRadians);
        }
        lo[k] *= m_window[k];
        out[k] *= m_window[k];
        sumLo += lo[k];
        sumHi += out[k];
    }
    for (std::int32_t i = 0; i < Points; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double l = sumLo != 0.0 ? lo[k] / sumLo : lo[k];
        double h = sumHi != 0.0 ? out[k] / sumHi : out[k];
        h = -h + (i == c ? 1.0 : 0.0);
        out[k] = l + h;
        m_sKernel[k] = static_cast<float>(out[k]);
    }
    return Status::Ok;
}

Status clsFFTFilter::GetFilterCoeffs_T_S(float* Destination) const {
    return GetFilterTCoeffs_S(Destination);
}

Status clsFFTFilter::GetFilterTCoeffs_S(float* Destination) const {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopySingle(m_sKernel.data(), Destination, Points);
    return Status::Ok;
}

Status clsFFTFilter::GetFilterTCoeffs_D(double* Destination) const {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopyDouble(m_dKernel.data(), Destination, Points);
    return Status::Ok;
}

Status clsFFTFilter::GetFilterCoeffs_F_S(float* Magnitude, float* Phase) const {
    return GetFilterPCoeffs_S(Magnitude, Phase);
}

Status clsFFTFilter::GetFilterPCoeffs_S(float* Magnitude, float* Phase) const {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopySingle(m_respMag.data(), Magnitude, Points);
    vec::CopySingle(m_respPhase.data(), Phase, Points);
    return Status::Ok;
}

Status clsFFTFilter::GetFilterFCoeffs_S(float* Real, float* Imaginary) const {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopySingle(m_respRe.data(), Real, SegmentSize);
    vec::CopySingle(m_respIm.data(), Imaginary, SegmentSize);
    return Status::Ok;
}

Status clsFFTFilter::PutFilterTCoeffs_S(const float* Source) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopySingle(Source, m_sKernel.data(), Points);
    for (std::int32_t k = 0; k < Points; ++k)
        m_dKernel[static_cast<std::size_t>(k)] = m_sKernel[static_cast<std::size_t>(k)];
    responseFromKernel();
    return Status::Ok;
}

Status clsFFTFilter::PutFilterTCoeffs_D(const double* Source) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopyDouble(Source, m_dKernel.data(), Points);
    dll::DoubleToSingle_D_2(m_dKernel.data(), m_sKernel.data(), Points);
    responseFromKernel();
    return Status::Ok;
}

Status clsFFTFilter::PutFilterFCoeffs_S(const float* Real, const float* Imaginary) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    vec::CopySingle(Real, m_respRe.data(), SegmentSize);
    vec::CopySingle(Imaginary, m_respIm.data(), SegmentSize);
    polarFromCartesian();
    return Status::Ok;
}

Status clsFFTFilter::PutFilterPCoeffs_S(const float* Magnitude, const float* Phase) {
    if (const Status s = requireInit(); s != Status::Ok) return s;
    const std::int32_t p = Points;
    const std::int32_t n = SegmentSize;
    for (std::int32_t k = 0; k < p; ++k) {
        m_respMag[static_cast<std::size_t>(k)] = Magnitude[k];
        m_respPhase[static_cast<std::size_t>(k)] = Phase[k];
    }
    // Bin P (half the sample rate) is not in the P-bin form: take it from its neighbour's
    // magnitude with zero phase; bins above it mirror the lower half as conjugates.
    m_respMag[static_cast<std::size_t>(p)] = Magnitude[p - 1];
    m_respPhase[static_cast<std::size_t>(p)] = 0.0f;
    for (std::int32_t k = p + 1; k < n; ++k) {
        m_respMag[static_cast<std::size_t>(k)] = m_respMag[static_cast<std::size_t>(n - k)];
        m_respPhase[static_cast<std::size_t>(k)] = -m_respPhase[static_cast<std::size_t>(n - k)];
    }
    dll::PolarToCart_S_2(m_respMag.data(), m_respPhase.data(), m_respRe.data(), m_respIm.data(), n);
    return Status::Ok;
}

} // namespace orvex
