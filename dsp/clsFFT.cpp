#include "clsFFT.h"

#include "OrvexVector.h"
#include "SplBackend.h"
#include "VectorOps.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"

#include <cmath>
#include <string>

namespace orvex {
namespace {

std::int32_t Log2Exact(std::int32_t n) {
    std::int32_t order = 0;
    while ((std::int32_t{1} << order) < n)
        ++order;
    return order;
}

} // namespace

// ---- clsFFT --------------------------------------------------------------------------------

clsFFT::clsFFT() = default;
clsFFT::~clsFFT() = default;

void clsFFT::setUseSPL(bool on) {
    m_useSPL = on;
    vec::SetUseSPL(on);
}

Status clsFFT::FFTInit(std::int32_t NumPoints) {
    if (!IsPowerOfTwo(NumPoints)) {
        ShowMessage(
            "clsFFT: " + std::to_string(NumPoints) +
                " points is not a power of two; the transform size must be 1, 2, 4, ... 16384",
            MessageIcon::Critical);
        return Status::InvalidArgument;
    }
    if (NumPoints >= 32768) {
        // The stage length 2^Order is held in 16 bits, so 2^15 overflows.
        ShowMessage("clsFFT: Overflow - " + std::to_string(NumPoints) +
                        " points is more than the largest transform of 16384 points",
                    MessageIcon::Critical);
        return Status::Overflow;
    }
    const std::int32_t order = Log2Exact(NumPoints);
    std::unique_ptr<spl::ComplexFFT> plan;
    if (spl::IsAvailable()) {
        try {
            plan = std::make_unique<spl::ComplexFFT>(NumPoints);
        } catch (const std::exception&) {
            plan.reset(); // the portable transform still serves
        }
    }
    Points = NumPoints;
    Order = order;
    m_bitRev.assign(static_cast<std::size_t>(Points), 0);
    for (std::int32_t i = 0; i < Points; ++i) {
        std::int32_t rev = 0;
        std::int32_t k = i;
        for (std::int32_t b = 0; b < Order; ++b) {
            rev = 2 * rev + (k % 2);
            k /= 2;
        }
        m_bitRev[static_cast<std::size_t>(i)] = rev;
    }
    m_cos.assign(static_cast<std::size_t>(Order) + 1, 0.0f);
    m_sin.assign(static_cast<std::size_t>(Order) + 1, 0.0f);
    for (std::int32_t L = 1; L <= Order; ++L) {
        const std::int16_t le = static_cast<std::int16_t>(1 << L);
        const std::int32_t le2 = le / 2;
        const float angle = 3.1415927f / static_cast<float>(le2);
        m_cos[static_cast<std::size_t>(L)] = std::cos(angle);
        m_sin[static_cast<std::size_t>(L)] = -std::sin(angle);
    }
    m_spl = std::move(plan);
    dll::FFT_Prepare();
    IsInitialised = true;
    return Status::Ok;
}

Status clsFFT::FFT_S_2(const float* RealIn, const float* IMagIn, float* RealOut, float* IMagOut) {
    if (!IsInitialised) {
        ShowMessage(kFFTNotInitialisedMessage);
        return Status::NotInitialised;
    }
    if (vec::UseSPL() && m_spl) {
        m_spl->execute(RealIn, IMagIn, RealOut, IMagOut);
    } else {
        dll::FFT_S_2(RealIn, IMagIn, RealOut, IMagOut, Points, Order, m_bitRev.data(), m_cos.data(),
                     m_sin.data());
    }
    return Status::Ok;
}

Status clsFFT::IFFT_S_2(const float* RealIn, float* IMagIn, float* RealOut, float* IMagOut) {
    if (!IsInitialised) {
        ShowMessage(kFFTNotInitialisedMessage);
        return Status::NotInitialised;
    }
    // Conjugate, transform forward, conjugate and scale.
    dll::Negate_S(IMagIn, Points);
    FFT_S_2(RealIn, IMagIn, RealOut, IMagOut);
    const float scale = 1.0f / static_cast<float>(Points);
    vec::Scale(scale, RealOut, Points);
    vec::Scale(-scale, IMagOut, Points);
    return Status::Ok;
}

Status clsFFT::FFT_S_2_VB(const float* RealIn, const float* IMagIn, float* RealOut,
                          float* IMagOut) {
    if (!IsInitialised) {
        ShowMessage(kFFTNotInitialisedMessage);
        return Status::NotInitialised;
    }
    const std::int32_t n = Points;
    for (std::int32_t i = 0; i < n; ++i) {
        RealOut[m_bitRev[static_cast<std::size_t>(i)]] = RealIn[i];
        IMagOut[m_bitRev[static_cast<std::size_t>(i)]] = IMagIn[i];
    }
    for (std::int32_t L = 1; L <= Order; ++L) {
        const std::int32_t le = 1 << L;
        const std::int32_t le2 = le / 2;
        float ur = 1.0f;
        float ui = 0.0f;
        const float sr = m_cos[static_cast<std::size_t>(L)];
        const float si = m_sin[static_cast<std::size_t>(L)];
        for (std::int32_t j = 0; j < le2; ++j) {
            for (std::int32_t i = j; i <= n - 1; i += le) {
                const std::int32_t ip = i + le2;
                const float tr = RealOut[ip] * ur - IMagOut[ip] * ui;
                const float ti = RealOut[ip] * ui + IMagOut[ip] * ur;
                RealOut[ip] = RealOut[i] - tr;
                IMagOut[ip] = IMagOut[i] - ti;
                RealOut[i] += tr;
                IMagOut[i] += ti;
            }
            const float nr = ur * sr - ui * si;
            ui = ur * si + ui * sr;
            ur = nr;
        }
    }
    return Status::Ok;
}

// ---- clsFFTReal ----------------------------------------------------------------------------

clsFFTReal::clsFFTReal() : m_fft(std::make_unique<clsFFT>()) {}
clsFFTReal::~clsFFTReal() = default;

void clsFFTReal::setUseSPL(bool on) {
    m_useSPL = on;
    vec::SetUseSPL(on);
}

Status clsFFTReal::FFTInit(std::int32_t NumPoints) {
    if (!IsPowerOfTwo(NumPoints) || NumPoints < 2) {
        ShowMessage("clsFFTReal: " + std::to_string(NumPoints) +
                        " points is not a power of two of at least 2",
                    MessageIcon::Critical);
        return Status::InvalidArgument;
    }
    const Status s = m_fft->FFTInit(NumPoints / 2);
    if (s != Status::Ok) return s;
    Points = NumPoints;
    Order = Log2Exact(NumPoints);
    const auto size = static_cast<std::size_t>(Points) + 1;
    m_even.assign(size, 0.0f);
    m_odd.assign(size, 0.0f);
    m_scratch.assign(size, 0.0f);
    m_spare.assign(size, 0.0f);
    IsInitialised = true;
    return Status::Ok;
}

Status clsFFTReal::FFT_Real_S_2(const float* SamplesIn, float* RealOut, float* IMagOut) {
    dll::DeInterlace_S_2(SamplesIn, m_even.data(), m_odd.data(), Points);
    const Status s = m_fft->FFT_S_2(m_even.data(), m_odd.data(), RealOut, IMagOut);
    if (s != Status::Ok) return s;
    dll::FFT_Real_S_1(RealOut, IMagOut, Points, Order);
    return Status::Ok;
}

Status clsFFTReal::IFFT_Real_S_2(float* RealIn, float* IMagIn, float* RealOut) {
    if (!m_fft->IsInitialised) {
        ShowMessage(kFFTNotInitialisedMessage);
        return Status::NotInitialised;
    }
    // A real block's inverse through a forward transform: with X = A + jB (A even, B odd),
    // the forward transform Y of A + B gives N x = Re Y + Im Y.
    dll::MakeNegFreq_S_1_P(RealIn, IMagIn, Order);
    vec::AddInPlace(IMagIn, RealIn, Points);
    const Status s = FFT_Real_S_2(RealIn, RealOut, m_scratch.data());
    if (s != Status::Ok) return s;
    vec::AddInPlace(m_scratch.data(), RealOut, Points);
    vec::Scale(1.0f / static_cast<float>(Points), RealOut, Points);
    return Status::Ok;
}

Status clsFFTReal::FFT_Real_S_2_VB(const float* SamplesIn, float* RealOut, float* IMagOut) {
    if (!IsInitialised) {
        ShowMessage(kFFTNotInitialisedMessage);
        return Status::NotInitialised;
    }
    dll::DeInterlace_S_2(SamplesIn, m_even.data(), m_odd.data(), Points);
    const Status s = m_fft->FFT_S_2(m_even.data(), m_odd.data(), RealOut, IMagOut);
    if (s != Status::Ok) return s;
    float* re = RealOut;
    float* im = IMagOut;
    const std::int32_t n = Points;
    const std::int32_t nd2 = n / 2;
    // Separate the spectra of the even samples (bins 0..N/2-1) and the odd samples (bins
    // N/2..N-1).
    for (std::int32_t i = 1; i <= n / 4 - 1; ++i) {
        const std::int32_t imr = nd2 - i;
        const std::int32_t ip2 = i + nd2;
        const std::int32_t ipm = imr + nd2;
        re[ip2] = (im[i] + im[imr]) / 2;
        re[ipm] = re[ip2];
        im[ip2] = -(re[i] - re[imr]) / 2;
        im[ipm] = -im[ip2];
        re[i] = (re[i] + re[imr]) / 2;
        re[imr] = re[i];
        im[i] = (im[i] - im[imr]) / 2;
        im[imr] = -im[i];
    }
    if (n >= 4) {
        re[3 * n / 4] = im[n / 4];
        re[nd2] = im[0];
        im[3 * n / 4] = 0.0f;
        im[nd2] = 0.0f;
        im[n / 4] = 0.0f;
        im[0] = 0.0f;
    } else {
        re[nd2] = im[0];
        im[nd2] = 0.0f;
        im[0] = 0.0f;
    }
    // The last butterfly stage of an N-point transform, twiddles in double precision.
    const std::int32_t le = n;
    const std::int32_t le2 = n / 2;
    constexpr double kPi = 3.14159265358979;
    const double sr = std::cos(kPi / le2);
    const double si = -std::sin(kPi / le2);
    double ur = 1.0;
    double ui = 0.0;
    for (std::int32_t j = 1; j <= le2; ++j) {
        for (std::int32_t i = j - 1; i <= n - 1; i += le) {
            const std::int32_t ip = i + le2;
            const float tr = static_cast<float>(re[ip] * ur - im[ip] * ui);
            const float ti = static_cast<float>(re[ip] * ui + im[ip] * ur);
            re[ip] = re[i] - tr;
            im[ip] = im[i] - ti;
            re[i] = re[i] + tr;
            im[i] = im[i] + ti;
        }
        const double nr = ur * sr - ui * si;
        ui = ur * si + ui * sr;
        ur = nr;
    }
    return Status::Ok;
}

} // namespace orvex
