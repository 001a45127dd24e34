// The optimised back end of the vector operations: FFTW3 (single precision) for the complex
// transform and VOLK kernels for element-wise work: the optional signal-processing library the
// user may switch on (UseSPL). The portable library in OrvexVector.h is its reference.
#pragma once

#include <cstdint>
#include <memory>

namespace orvex::spl {

/// Start-up probe: runs a trial addition of ten 16-bit values and a trial transform and marks
/// the back end available only when both answer correctly. Idempotent; never switches UseSPL
/// on. Returns the availability.
bool Probe();
/// True after a successful Probe.
bool IsAvailable();
/// What the probe found, for the log and the configuration dialog.
const char* Description();

// Element-wise operations. Same effects and aliasing rules as the portable entries named
// beside them.
void CopyInt16(const std::int16_t* src, std::int16_t* dst, std::int32_t n);
void CopySingle(const float* src, float* dst, std::int32_t n);
void ZeroInt16(std::int16_t* x, std::int32_t n);
void ZeroSingle(float* x, std::int32_t n);
void CartToPolar(const float* re, const float* im, float* mag, float* ph, std::int32_t n);
void Scale(float c, float* x, std::int32_t n);                             // Mpy_S_1
void MultiplyInPlace(const float* a, float* x, std::int32_t n);            // Mpy_S_2
void Multiply(const float* a, const float* b, float* dst, std::int32_t n); // Mpy_S_3
void AddInPlace(const float* a, float* x, std::int32_t n);                 // Add_S_2
/// Largest |x| of the block (the same figure as MaxValueAbs_S).
float Peak(const float* x, std::int32_t n);

/// A forward complex transform of one size on split real and imaginary vectors, planned once
/// on buffers of its own. Execution allocates nothing.
class ComplexFFT {
public:
    /// Plans a transform of n points (a power of two, 1..16384). Throws OrvexError when FFTW
    /// cannot plan it.
    explicit ComplexFFT(std::int32_t n);
    ~ComplexFFT();
    ComplexFFT(const ComplexFFT&) = delete;
    ComplexFFT& operator=(const ComplexFFT&) = delete;

    std::int32_t size() const { return m_n; }
    /// Unscaled forward transform, natural order. Inputs unchanged; outputs may be the inputs.
    void execute(const float* reIn, const float* imIn, float* reOut, float* imOut);

private:
    struct Impl;
    std::int32_t m_n;
    std::unique_ptr<Impl> m_impl;
};

} // namespace orvex::spl
