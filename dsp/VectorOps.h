// The one thin layer between the receiver and its two vector back ends. The program-wide
// switch UseSPL sends the operations below to the optimised back end (FFTW/VOLK); otherwise
// they go to the portable library or to a plain memory copy or clear. Every other vector
// entry is called directly from OrvexVector.h.
#pragma once

#include <cstdint>

namespace orvex::vec {

/// The program-wide switch, off at start-up. Switching it on has no effect unless the
/// optimised back end passed its probe (spl::Probe).
bool UseSPL();
void SetUseSPL(bool on);

void CopyInt16(const std::int16_t* src, std::int16_t* dst, std::int32_t n);
void CopySingle(const float* src, float* dst, std::int32_t n);
/// Double vectors are always copied in memory.
void CopyDouble(const double* src, double* dst, std::int32_t n);
void ZeroInt16(std::int16_t* x, std::int32_t n);
void ZeroSingle(float* x, std::int32_t n);
/// Cartesian to polar, phase in radians.
void CartToPolar(const float* re, const float* im, float* mag, float* ph, std::int32_t n);
/// x = c * x.
void Scale(float c, float* x, std::int32_t n);
/// x = a * x.
void MultiplyInPlace(const float* a, float* x, std::int32_t n);
/// dst = a * b.
void Multiply(const float* a, const float* b, float* dst, std::int32_t n);
/// x = x + a.
void AddInPlace(const float* a, float* x, std::int32_t n);
/// The peak of a block: its largest |x| on both back ends.
float BlockPeak(const float* x, std::int32_t n);

} // namespace orvex::vec
