#include "OrvexVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#define ORVEX_RESTRICT __restrict__

// The hottest loops are built twice on x86-64, for AVX2 and for the baseline, and the loader
// picks the one the processor runs; elsewhere they are built once.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) &&                             \
    !defined(__SANITIZE_ADDRESS__)
#define ORVEX_HOT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ORVEX_HOT_CLONES
#endif

namespace orvex::dll {
namespace {

// Per-stage twiddle factors e^(-j pi J / LE2), J < LE2 = 2^(L-1), for stages L = 1..kMaxFFTOrder,
// laid out one stage after another so each stage reads a contiguous run. Computed in double
// precision from the exact angle, so no error builds up along a stage.
struct TwiddleTables {
    float re[(1 << kMaxFFTOrder) - 1];
    float im[(1 << kMaxFFTOrder) - 1];
    TwiddleTables() {
        for (int L = 1; L <= kMaxFFTOrder; ++L) {
            const int le2 = 1 << (L - 1);
            const int offset = le2 - 1;
            for (int j = 0; j < le2; ++j) {
                const double angle = -M_PI * j / le2;
                re[offset + j] = static_cast<float>(std::cos(angle));
                im[offset + j] = static_cast<float>(std::sin(angle));
            }
        }
    }
    const float* stageRe(int L) const { return re + ((1 << (L - 1)) - 1); }
    const float* stageIm(int L) const { return im + ((1 << (L - 1)) - 1); }
};

const TwiddleTables& Twiddles() {
    static const TwiddleTables tables;
    return tables;
}

std::function<void(std::int32_t)>& CallBackHandler() {
    static std::function<void(std::int32_t)> handler;
    return handler;
}

// Upper half of a real block's spectrum from the half-size complex transform z (see
// FFT_Real_S_1): hr/hi[k] = X[m+k] for k = 1..m-1.
ORVEX_HOT_CLONES
void UpperHalfFromHalfSpectrum(const float* ORVEX_RESTRICT zr, const float* ORVEX_RESTRICT zi,
                               const float* ORVEX_RESTRICT wr, const float* ORVEX_RESTRICT wi,
                               float* ORVEX_RESTRICT hr, float* ORVEX_RESTRICT hi, std::int32_t m) {
    for (std::int32_t k = 1; k < m; ++k) {
        const float a = zr[k], b = zi[k], c = zr[m - k], d = zi[m - k];
        const float er = 0.5f * (a + c), ei = 0.5f * (b - d);
        const float orr = 0.5f * (b + d), oi = -0.5f * (a - c);
        const float tr = orr * wr[k] - oi * wi[k];
        const float ti = orr * wi[k] + oi * wr[k];
        hr[k] = er - tr;
        hi[k] = ei - ti;
    }
}

// X[k] = conj X[n-k] for k = 1..n/2-1.
ORVEX_HOT_CLONES
void MirrorLowerHalf(float* ORVEX_RESTRICT re, float* ORVEX_RESTRICT im, std::int32_t n) {
    const std::int32_t m = n / 2;
    const float* ORVEX_RESTRICT sr = re + m;
    const float* ORVEX_RESTRICT si = im + m;
    float* ORVEX_RESTRICT dr = re;
    float* ORVEX_RESTRICT di = im;
    for (std::int32_t k = 1; k < m; ++k) {
        dr[k] = sr[m - k];
        di[k] = -si[m - k];
    }
}

} // namespace

// ---- Conversions and interleaving ----------------------------------------------------------

void Int16ToFloat_S_2(const std::int16_t* ORVEX_RESTRICT src, float* ORVEX_RESTRICT dst,
                      std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

void FloatToInt16_S_2(const float* ORVEX_RESTRICT src, std::int16_t* ORVEX_RESTRICT dst,
                      std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const float v = src[i];
        if (!(v == v))
            dst[i] = 0;
        else if (v >= 32767.0f)
            dst[i] = 32767;
        else if (v <= -32768.0f)
            dst[i] = -32768;
        else
            dst[i] = static_cast<std::int16_t>(std::nearbyint(v));
    }
}

void DoubleToSingle_D_2(const double* ORVEX_RESTRICT src, float* ORVEX_RESTRICT dst,
                        std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

void DeInterlace_16_2(const std::int16_t* ORVEX_RESTRICT src, std::int16_t* ORVEX_RESTRICT a,
                      std::int16_t* ORVEX_RESTRICT b, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        a[i] = src[2 * i];
        b[i] = src[2 * i + 1];
    }
}

ORVEX_HOT_CLONES
void DeInterlace_S_2(const float* ORVEX_RESTRICT src, float* ORVEX_RESTRICT even,
                     float* ORVEX_RESTRICT odd, std::int32_t n) {
    const std::int32_t half = n / 2;
    for (std::int32_t i = 0; i < half; ++i) {
        even[i] = src[2 * i];
        odd[i] = src[2 * i + 1];
    }
}

void Interlace_16_2(const std::int16_t* ORVEX_RESTRICT a, const std::int16_t* ORVEX_RESTRICT b,
                    std::int16_t* ORVEX_RESTRICT dst, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        dst[2 * i] = a[i];
        dst[2 * i + 1] = b[i];
    }
}

void Copy_S_2(const float* a, const float* b, float* aOut, float* bOut, std::int32_t n) {
    if (n <= 0) return;
    const auto bytes = static_cast<std::size_t>(n) * sizeof(float);
    if (aOut != a) std::memmove(aOut, a, bytes);
    if (bOut != b) std::memmove(bOut, b, bytes);
}

void SetMemory_S(float* x, std::int32_t n, float c) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = c;
}

void VectorRamp_S_1(float start, float end, float* x, std::int32_t n) {
    if (n <= 0) return;
    const double step = (static_cast<double>(end) - start) / n;
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(start + step * i);
}

// ---- Element-wise arithmetic ---------------------------------------------------------------

void Abs_S_1(float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = std::fabs(x[i]);
}
void Negate_S(float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = -x[i];
}
void NegateAndDiv_S_1(float d, float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = -x[i] / d;
}
void Add_S_1(float c, float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] += c;
}
void Sub_S_1(float c, float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] -= c;
}
void Mpy_S_1(float c, float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] *= c;
}
void Mpy_D_1(double c, double* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] *= c;
}
void Add_S_2(const float* a, float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] += a[i];
}
void Add_D_2(const double* a, double* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] += a[i];
}
void Mpy_S_2(const float* a, float* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] *= a[i];
}
void Mpy_D_2(const double* a, double* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] *= a[i];
}
void Add_S_3(const float* a, const float* b, float* dst, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = a[i] + b[i];
}
void Sub_S_3(const float* a, const float* b, float* dst, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = a[i] - b[i];
}
void Mpy_S_3(const float* a, const float* b, float* dst, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = a[i] * b[i];
}

// ---- Reductions ----------------------------------------------------------------------------

float Sum_S_1(const float* x, std::int32_t n) {
    double s = 0.0;
    for (std::int32_t i = 0; i < n; ++i)
        s += x[i];
    return static_cast<float>(s);
}

double Sum_D_1(const double* x, std::int32_t n) {
    double s = 0.0;
    for (std::int32_t i = 0; i < n; ++i)
        s += x[i];
    return s;
}

std::int32_t Sum_Int16_1(const std::int16_t* x, std::int32_t n) {
    std::int64_t s = 0;
    for (std::int32_t i = 0; i < n; ++i)
        s += x[i];
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        s, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t Sum_Int32_1(const std::int32_t* x, std::int32_t n) {
    std::int64_t s = 0;
    for (std::int32_t i = 0; i < n; ++i)
        s += x[i];
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        s, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

float MaxValue_S(const float* x, std::int32_t n) {
    if (n <= 0) return 0.0f;
    float m = x[0];
    for (std::int32_t i = 1; i < n; ++i)
        m = x[i] > m ? x[i] : m;
    return m;
}

std::int16_t MaxValue_16(const std::int16_t* x, std::int32_t n) {
    if (n <= 0) return 0;
    std::int16_t m = x[0];
    for (std::int32_t i = 1; i < n; ++i)
        m = x[i] > m ? x[i] : m;
    return m;
}

float MaxValueAbs_S(const float* x, std::int32_t n) {
    float m = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        const float a = std::fabs(x[i]);
        m = a > m ? a : m;
    }
    return m;
}

std::int32_t MaxIndex_S(const float* x, std::int32_t n) {
    std::int32_t best = 0;
    for (std::int32_t i = 1; i < n; ++i)
        if (x[i] > x[best]) best = i;
    return best;
}

// ---- Shifts, thresholds, spectra ----------------------------------------------------------

void ShiftVectorRight_S_1(float* x, std::int32_t n) {
    if (n <= 1) return;
    std::memmove(x + 1, x, static_cast<std::size_t>(n - 1) * sizeof(float));
}

void HiThresh_S_1(float* x, std::int32_t, float level, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = x[i] > level ? level : x[i];
}

void LowThresh_S_1(float* x, std::int32_t, float level, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        x[i] = x[i] < level ? level : x[i];
}

void LowThreshFract_S_1(float* x, float level, float fraction, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        if (x[i] < level) x[i] *= fraction;
}

ORVEX_HOT_CLONES
void PowerSpectrum_S_2(const float* ORVEX_RESTRICT re, const float* ORVEX_RESTRICT im, float* dst,
                       std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = re[i] * re[i] + im[i] * im[i];
}

void CartToPolar_S_2(const float* re, const float* im, float* mag, float* ph, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const float r = re[i];
        const float q = im[i];
        mag[i] = std::sqrt(r * r + q * q);
        ph[i] = std::atan2(q, r);
    }
}

void PolarToCart_S_2(const float* mag, const float* ph, float* re, float* im, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const float m = mag[i];
        const float p = ph[i];
        re[i] = m * std::cos(p);
        im[i] = m * std::sin(p);
    }
}

ORVEX_HOT_CLONES
void MixerIQ_S_S_1(const float* ORVEX_RESTRICT src, float* ORVEX_RESTRICT i,
                   float* ORVEX_RESTRICT q, std::int32_t n) {
    // cos and sin of pi k / 2 take the values (1, 0, -1, 0) and (0, 1, 0, -1).
    std::int32_t k = 0;
    for (; k + 3 < n; k += 4) {
        i[k] = src[k];
        q[k] = 0.0f;
        i[k + 1] = 0.0f;
        q[k + 1] = src[k + 1];
        i[k + 2] = -src[k + 2];
        q[k + 2] = 0.0f;
        i[k + 3] = 0.0f;
        q[k + 3] = -src[k + 3];
    }
    static constexpr float kCos[4] = {1.0f, 0.0f, -1.0f, 0.0f};
    static constexpr float kSin[4] = {0.0f, 1.0f, 0.0f, -1.0f};
    for (; k < n; ++k) {
        i[k] = src[k] * kCos[k & 3];
        q[k] = src[k] * kSin[k & 3];
    }
}

// ---- Transforms ----------------------------------------------------------------------------

void FFT_Prepare() {
    (void)Twiddles();
}

ORVEX_HOT_CLONES
void FFT_S_2(const float* ORVEX_RESTRICT reIn, const float* ORVEX_RESTRICT imIn,
             float* ORVEX_RESTRICT re, float* ORVEX_RESTRICT im, std::int32_t n, std::int32_t order,
             const std::int32_t* bitRev, const float*, const float*) {
    if (n <= 0 || order < 0 || order > kMaxFFTOrder || n != (1 << order)) return;
    for (std::int32_t i = 0; i < n; ++i) {
        re[bitRev[i]] = reIn[i];
        im[bitRev[i]] = imIn[i];
    }
    if (order >= 1) {
        // Stage 1: butterflies of neighbours, twiddle 1.
        for (std::int32_t i = 0; i < n; i += 2) {
            const float ar = re[i], ai = im[i], br = re[i + 1], bi = im[i + 1];
            re[i] = ar + br;
            im[i] = ai + bi;
            re[i + 1] = ar - br;
            im[i + 1] = ai - bi;
        }
    }
    if (order >= 2) {
        // Stage 2: twiddles 1 and -j.
        for (std::int32_t i = 0; i < n; i += 4) {
            float ar = re[i], ai = im[i], br = re[i + 2], bi = im[i + 2];
            re[i] = ar + br;
            im[i] = ai + bi;
            re[i + 2] = ar - br;
            im[i + 2] = ai - bi;
            ar = re[i + 1];
            ai = im[i + 1];
            const float tr = im[i + 3]; // (x + jy)(-j) = y - jx
            const float ti = -re[i + 3];
            re[i + 1] = ar + tr;
            im[i + 1] = ai + ti;
            re[i + 3] = ar - tr;
            im[i + 3] = ai - ti;
        }
    }
    const TwiddleTables& tw = Twiddles();
    for (std::int32_t L = 3; L <= order; ++L) {
        const std::int32_t le2 = 1 << (L - 1);
        const std::int32_t le = le2 << 1;
        const float* ORVEX_RESTRICT wr = tw.stageRe(L);
        const float* ORVEX_RESTRICT wi = tw.stageIm(L);
        for (std::int32_t g = 0; g < n; g += le) {
            float* ORVEX_RESTRICT r0 = re + g;
            float* ORVEX_RESTRICT i0 = im + g;
            float* ORVEX_RESTRICT r1 = re + g + le2;
            float* ORVEX_RESTRICT i1 = im + g + le2;
            for (std::int32_t j = 0; j < le2; ++j) {
                const float tr = r1[j] * wr[j] - i1[j] * wi[j];
                const float ti = r1[j] * wi[j] + i1[j] * wr[j];
                const float ar = r0[j], ai = i0[j];
                r1[j] = ar - tr;
                i1[j] = ai - ti;
                r0[j] = ar + tr;
                i0[j] = ai + ti;
            }
        }
    }
}

void FFT_Real_S_1(float* ORVEX_RESTRICT re, float* ORVEX_RESTRICT im, std::int32_t n,
                  std::int32_t order) {
    if (n < 4 || order < 2 || order > kMaxFFTOrder || n != (1 << order)) {
        if (n == 2) {
            // Two samples: the half-size transform is one point, z = x0 + j x1.
            const float e = re[0], o = im[0];
            re[0] = e + o;
            re[1] = e - o;
            im[0] = im[1] = 0.0f;
        }
        return;
    }
    const std::int32_t m = n / 2; // half-size transform length
    // z[k] (bins 0..m-1) is the transform of even + j odd samples. With E[k] = (z[k] +
    // conj z[m-k]) / 2 and O[k] = (z[k] - conj z[m-k]) / 2j the spectra of the even and odd
    // samples, X[k] = E[k] + W^k O[k] and X[k+m] = E[k] - W^k O[k], W = e^(-j 2 pi / n).
    // First the upper half X[m+1..n-1] from the untouched lower half, then the lower half as
    // the conjugate mirror X[k] = conj X[n-k]; both passes run straight through the arrays.
    const float* ORVEX_RESTRICT wr = Twiddles().stageRe(order);
    const float* ORVEX_RESTRICT wi = Twiddles().stageIm(order);
    const float* ORVEX_RESTRICT zr = re;
    const float* ORVEX_RESTRICT zi = im;
    float* ORVEX_RESTRICT hr = re + m;
    float* ORVEX_RESTRICT hi = im + m;
    UpperHalfFromHalfSpectrum(zr, zi, wr, wi, hr, hi, m);
    const float e0 = re[0], o0 = im[0];
    MirrorLowerHalf(re, im, n);
    re[0] = e0 + o0;
    im[0] = 0.0f;
    re[m] = e0 - o0;
    im[m] = 0.0f;
}

void MakeNegFreq_S_1_P(float* re, float* im, std::int32_t order) {
    if (order < 1 || order > 30) return;
    const std::int32_t n = 1 << order;
    for (std::int32_t k = n / 2 + 1; k < n; ++k) {
        re[k] = re[n - k];
        im[k] = -im[n - k];
    }
}

// ---- Filters -------------------------------------------------------------------------------

ORVEX_HOT_CLONES
void Convolve_Cart_S_2(const float* ORVEX_RESTRICT hRe, const float* ORVEX_RESTRICT hIm,
                       float* ORVEX_RESTRICT xRe, float* ORVEX_RESTRICT xIm, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const float a = xRe[i], b = xIm[i], c = hRe[i], d = hIm[i];
        xRe[i] = a * c - b * d;
        xIm[i] = b * c + a * d;
    }
}

ORVEX_HOT_CLONES
void Filter_S_Cart_2(const float* xRe, const float* xIm, const float* hRe, const float* hIm,
                     float* yRe, float* yIm, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const float a = xRe[i], b = xIm[i], c = hRe[i], d = hIm[i];
        yRe[i] = a * c - b * d;
        yIm[i] = b * c + a * d;
    }
}

void CalcWindowCoeffs_D(std::int32_t p, double* w, std::int32_t windowType) {
    if (p <= 0) return;
    constexpr double kTwoPi = 6.28318530717958;
    constexpr double kFourPi = 12.56637061435916;
    const double m = p - 1;
    for (std::int32_t i = 0; i < p; ++i) {
        if (m == 0.0 || windowType == 0) {
            w[i] = 1.0;
        } else if (windowType == 1) {
            w[i] = 0.54 - 0.46 * std::cos(kTwoPi * i / m);
        } else if (windowType == 2) {
            w[i] = 0.42 - 0.5 * std::cos(kTwoPi * i / m) + 0.08 * std::cos(kFourPi * i / m);
        } else {
            w[i] = 1.0;
        }
    }
}

void CalcBPFilterCoeffs(std::int32_t p, double* h, double wH, double wL, bool qPhase) {
    if (p <= 0) return;
    constexpr double kPi = 3.14159265358979;
    const std::int32_t half = (p - 1) / 2;
    for (std::int32_t k = 0; k < p; ++k)
        h[k] = 0.0;
    for (std::int32_t k = 0; k <= 2 * half; ++k) {
        const std::int32_t n = k - half;
        if (n == 0) {
            h[k] = qPhase ? 0.0 : (wH - wL) / kPi;
        } else if (qPhase) {
            h[k] = (std::cos(n * wH) - std::cos(n * wL)) / (n * kPi);
        } else {
            h[k] = (std::sin(n * wH) - std::sin(n * wL)) / (n * kPi);
        }
    }
}

namespace {
// Low-pass prototype of the band-stop design: sin(n w)/n (w at the centre), or cos(n w)/n
// (0 at the centre) for the quadrature form.
double LowPassTap(std::int32_t n, double w, bool qPhase) {
    if (n == 0) return qPhase ? 0.0 : w;
    return qPhase ? std::cos(n * w) / n : std::sin(n * w) / n;
}
} // namespace

void CalcBSFilterCoeffs(std::int32_t p, double* hH, float* out, const double* window, double wH,
                        double wL, bool qPhase) {
    if (p <= 0) return;
    const std::int32_t c = p / 2;
    double sumL = 0.0;
    double sumH = 0.0;
    for (std::int32_t i = 0; i < p; ++i) {
        hH[i] = LowPassTap(i - c, wH, qPhase) * window[i];
        sumH += hH[i];
        sumL += LowPassTap(i - c, wL, qPhase) * window[i];
    }
    for (std::int32_t i = 0; i < p; ++i) {
        double low = LowPassTap(i - c, wL, qPhase) * window[i];
        if (sumL != 0.0) low /= sumL;
        if (sumH != 0.0) hH[i] = -hH[i] / sumH;
        if (i == c) hH[i] += 1.0;
        out[i] = static_cast<float>(hH[i] + low);
    }
}

// ---- Hilbert transformer and callbacks ---------------------------------------------------

ORVEX_HOT_CLONES
void sHilbert(const float* ORVEX_RESTRICT work, const float* ORVEX_RESTRICT kernel,
              float* ORVEX_RESTRICT out, std::int32_t taps, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        out[i] = 0.0f;
    for (std::int32_t k = 0; k < taps; ++k) {
        const float c = kernel[k];
        if (c == 0.0f) continue; // a Hilbert kernel is zero at every even offset
        const float* ORVEX_RESTRICT src = work + taps - k;
        for (std::int32_t i = 0; i < n; ++i)
            out[i] += c * src[i];
    }
}

void CallBack(std::int32_t value) {
    if (auto& handler = CallBackHandler()) handler(value);
}

std::function<void(std::int32_t)> SetCallBack(std::function<void(std::int32_t)> handler) {
    return std::exchange(CallBackHandler(), std::move(handler));
}

} // namespace orvex::dll
