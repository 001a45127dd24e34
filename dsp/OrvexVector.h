// The receiver's portable vector library: every bulk operation of the signal chain, in plain
// C++. Entry names are operation, type and form: type S single, D double, 16/Int16 16-bit,
// Int32 32-bit; form 1 works in place on one vector (a scalar may come first), form 2 reads
// one vector or pair and writes another, form 3 reads two vectors and writes a third. A
// trailing _P takes the transform order log2 N instead of N.
//
// Vectors are caller-owned arrays passed as a pointer to their first element with a separate
// element count n; n <= 0 does nothing (reductions then return 0). Unless an entry says
// otherwise, source and destination may be the same array for element-wise entries, but
// distinct arrays must not partly overlap.
//
// This library is also the reference for the optimised back end (SplBackend.h): every
// operation routed there is tested against the entry here.
#pragma once

#include <cstdint>
#include <functional>

namespace orvex::dll {

// ---- Conversions and interleaving ----------------------------------------------------------

/// dst[i] = src[i], no scaling (full scale stays +-32767).
void Int16ToFloat_S_2(const std::int16_t* src, float* dst, std::int32_t n);
/// dst[i] = src[i] rounded to the nearest integer, halves to even, saturated to -32768..32767;
/// NaN becomes 0. No scaling.
void FloatToInt16_S_2(const float* src, std::int16_t* dst, std::int32_t n);
/// dst[i] = src[i] in single precision (round to nearest).
void DoubleToSingle_D_2(const double* src, float* dst, std::int32_t n);
/// a[i] = src[2i], b[i] = src[2i+1] for i < n.
void DeInterlace_16_2(const std::int16_t* src, std::int16_t* a, std::int16_t* b, std::int32_t n);
/// Splits n source elements: even[i] = src[2i], odd[i] = src[2i+1] for i < n/2.
void DeInterlace_S_2(const float* src, float* even, float* odd, std::int32_t n);
/// dst[2i] = a[i], dst[2i+1] = b[i] for i < n.
void Interlace_16_2(const std::int16_t* a, const std::int16_t* b, std::int16_t* dst,
                    std::int32_t n);
/// aOut = a, bOut = b over n elements.
void Copy_S_2(const float* a, const float* b, float* aOut, float* bOut, std::int32_t n);
/// x[i] = c.
void SetMemory_S(float* x, std::int32_t n, float c);
/// x[i] = start + (end - start) * i / n: x[0] is start and the last entry stops one step short
/// of end, so a ramp over the next block that starts at end continues the same straight line.
void VectorRamp_S_1(float start, float end, float* x, std::int32_t n);

// ---- Element-wise arithmetic ---------------------------------------------------------------

void Abs_S_1(float* x, std::int32_t n);                   ///< x = |x|
void Negate_S(float* x, std::int32_t n);                  ///< x = -x
void NegateAndDiv_S_1(float d, float* x, std::int32_t n); ///< x = -x / d
void Add_S_1(float c, float* x, std::int32_t n);          ///< x = x + c
void Sub_S_1(float c, float* x, std::int32_t n);          ///< x = x - c
void Mpy_S_1(float c, float* x, std::int32_t n);          ///< x = c * x
void Mpy_D_1(double c, double* x, std::int32_t n);        ///< x = c * x
void Add_S_2(const float* a, float* x, std::int32_t n);   ///< x = x + a
void Add_D_2(const double* a, double* x, std::int32_t n);
void Mpy_S_2(const float* a, float* x, std::int32_t n); ///< x = a * x
void Mpy_D_2(const double* a, double* x, std::int32_t n);
void Add_S_3(const float* a, const float* b, float* dst, std::int32_t n); ///< dst = a + b
void Sub_S_3(const float* a, const float* b, float* dst, std::int32_t n); ///< dst = a - b
void Mpy_S_3(const float* a, const float* b, float* dst, std::int32_t n); ///< dst = a * b

// ---- Reductions ----------------------------------------------------------------------------

float Sum_S_1(const float* x, std::int32_t n);
double Sum_D_1(const double* x, std::int32_t n);
/// Sum in 32 bits (cannot overflow for n below 65536).
std::int32_t Sum_Int16_1(const std::int16_t* x, std::int32_t n);
/// Sum, saturated to the 32-bit range.
std::int32_t Sum_Int32_1(const std::int32_t* x, std::int32_t n);
float MaxValue_S(const float* x, std::int32_t n);                ///< largest element
std::int16_t MaxValue_16(const std::int16_t* x, std::int32_t n); ///< largest element
float MaxValueAbs_S(const float* x, std::int32_t n);             ///< largest |x|
/// 0-based index of the largest element; on ties the first such index; 0 for n <= 0.
std::int32_t MaxIndex_S(const float* x, std::int32_t n);

// ---- Shifts, thresholds, spectra ----------------------------------------------------------

/// x[i] = x[i-1] for i = n-1..1 (x[0] keeps its value).
void ShiftVectorRight_S_1(float* x, std::int32_t n);
/// x = min(x, level). `reserved` is kept for the call form and must be 0.
void HiThresh_S_1(float* x, std::int32_t reserved, float level, std::int32_t n);
/// x = max(x, level). `reserved` is kept for the call form and must be 0.
void LowThresh_S_1(float* x, std::int32_t reserved, float level, std::int32_t n);
/// Elements strictly below level are multiplied by fraction (0..1); the rest are unchanged.
/// With level 0 nothing changes, as magnitudes are never below 0.
void LowThreshFract_S_1(float* x, float level, float fraction, std::int32_t n);
/// dst = re^2 + im^2.
void PowerSpectrum_S_2(const float* re, const float* im, float* dst, std::int32_t n);
/// mag = sqrt(re^2 + im^2), ph = atan2(im, re) in radians (-pi..pi).
void CartToPolar_S_2(const float* re, const float* im, float* mag, float* ph, std::int32_t n);
/// re = mag cos(ph), im = mag sin(ph).
void PolarToCart_S_2(const float* mag, const float* ph, float* re, float* im, std::int32_t n);

/// Mixes the real IF block down by a quarter of the sample rate:
///   i[k] = src[k] * cos(pi k / 2) = src[k] * (1, 0, -1, 0, ...)
///   q[k] = src[k] * sin(pi k / 2) = src[k] * (0, 1, 0, -1, ...)
/// counting k from 0 at the start of every block (blocks of a multiple of 4 samples keep the
/// oscillator continuous). A tone A cos at fs/4 + f gives i = A/2 cos(wk), q = -A/2 sin(wk)
/// (w = 2 pi f / fs) beside images near fs/2; a tone at fs/4 - f gives q = +A/2 sin(wk). The
/// quadrature kernel of the band-pass pair turns sin into cos, so after the pair the upper
/// sideband is i - q and the lower sideband i + q, each cancelling the other sideband.
void MixerIQ_S_S_1(const float* src, float* i, float* q, std::int32_t n);

// ---- Transforms ----------------------------------------------------------------------------

/// Builds the library's twiddle tables; called by clsFFT::FFTInit so that no transform has to
/// build them. Safe to call repeatedly. Complex transforms of up to 2^kMaxFFTOrder points, and
/// real ones of up to 2^kMaxFFTOrder samples, have tables.
inline constexpr std::int32_t kMaxFFTOrder = 15;
void FFT_Prepare();

/// Unscaled forward complex transform X[k] = sum x[m] e^(-j 2 pi k m / n) in natural order.
/// bitRev is the table of indices with their low `order` bits reversed; the cosine and sine
/// tables (per-stage twiddle steps, indices 1..order) are accepted for the call form, while
/// the butterflies use the library's own exact twiddle tables. Inputs are not changed; the
/// outputs must not overlap the inputs. n must be 2^order with order <= kMaxFFTOrder.
void FFT_S_2(const float* reIn, const float* imIn, float* reOut, float* imOut, std::int32_t n,
             std::int32_t order, const std::int32_t* bitRev, const float* cosTable,
             const float* sinTable);
/// Completes the n-bin spectrum of a real block of n samples from the n/2-point complex
/// transform of its even (real part) and odd (imaginary part) samples held in bins 0..n/2-1 of
/// re/im, which must have room for n bins. In place.
void FFT_Real_S_1(float* re, float* im, std::int32_t n, std::int32_t order);
/// Fills the negative-frequency half of a spectrum of 2^order bins with the conjugates of the
/// positive half: re[k] = re[N-k], im[k] = -im[N-k] for k = N/2+1..N-1.
void MakeNegFreq_S_1_P(float* re, float* im, std::int32_t order);

// ---- Filters -------------------------------------------------------------------------------

/// X = X * H over n complex bins (split real and imaginary vectors).
void Convolve_Cart_S_2(const float* hRe, const float* hIm, float* xRe, float* xIm, std::int32_t n);
/// Y = X * H over n bins into separate outputs (Y may be X).
void Filter_S_Cart_2(const float* xRe, const float* xIm, const float* hRe, const float* hIm,
                     float* yRe, float* yIm, std::int32_t n);
/// Window of p coefficients into w (p+1 entries; w[p] is left alone): type 0 rectangular,
/// 1 Hamming, 2 Blackman, with M = p-1 in the cosine arguments.
void CalcWindowCoeffs_D(std::int32_t p, double* w, std::int32_t windowType);
/// Windowless band-pass kernel of p taps between wL and wH (radians per sample), centred on
/// tap (p-1) div 2; with qPhase the quadrature (+90 degree) companion. Tap p-1 stays 0 for
/// even p. h needs p entries.
void CalcBPFilterCoeffs(std::int32_t p, double* h, double wH, double wL, bool qPhase);
/// Windowed band-stop kernel of p taps centred on tap p/2, built from two normalised low-pass
/// kernels at wL and wH: out = hL / sum(hL) - hH / sum(hH) + unit impulse. hH is a work vector
/// of p entries (it receives the windowed upper low-pass kernel); window holds p coefficients.
void CalcBSFilterCoeffs(std::int32_t p, double* hH, float* out, const double* window, double wH,
                        double wL, bool qPhase);

// ---- Hilbert transformer and callbacks ---------------------------------------------------

/// out[i] = sum_{k=0..taps-1} kernel[k] * work[taps + i - k] for i < n, where work holds
/// `taps` history samples followed by the n samples of the block.
void sHilbert(const float* work, const float* kernel, float* out, std::int32_t taps,
              std::int32_t n);

/// The wheel hook's callback: calls the installed handler with value (nothing when none).
void CallBack(std::int32_t value);
/// Installs the handler CallBack invokes; returns the previous one.
std::function<void(std::int32_t)> SetCallBack(std::function<void(std::int32_t)> handler);

} // namespace orvex::dll
