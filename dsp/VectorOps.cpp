#include "VectorOps.h"

#include "OrvexVector.h"
#include "SplBackend.h"

#include <cstring>

namespace orvex::vec {
namespace {
bool g_useSPL = false;
} // namespace

bool UseSPL() {
    return g_useSPL;
}
void SetUseSPL(bool on) {
    g_useSPL = on && spl::IsAvailable();
}

void CopyInt16(const std::int16_t* src, std::int16_t* dst, std::int32_t n) {
    if (g_useSPL) return spl::CopyInt16(src, dst, n);
    if (n > 0 && src != dst) std::memmove(dst, src, static_cast<std::size_t>(n) * 2);
}

void CopySingle(const float* src, float* dst, std::int32_t n) {
    if (g_useSPL) return spl::CopySingle(src, dst, n);
    if (n > 0 && src != dst) std::memmove(dst, src, static_cast<std::size_t>(n) * 4);
}

void CopyDouble(const double* src, double* dst, std::int32_t n) {
    if (n > 0 && src != dst) std::memmove(dst, src, static_cast<std::size_t>(n) * 8);
}

void ZeroInt16(std::int16_t* x, std::int32_t n) {
    if (g_useSPL) return spl::ZeroInt16(x, n);
    if (n > 0) std::memset(x, 0, static_cast<std::size_t>(n) * 2);
}

void ZeroSingle(float* x, std::int32_t n) {
    if (g_useSPL) return spl::ZeroSingle(x, n);
    if (n > 0) std::memset(x, 0, static_cast<std::size_t>(n) * 4);
}

void CartToPolar(const float* re, const float* im, float* mag, float* ph, std::int32_t n) {
    if (g_useSPL) return spl::CartToPolar(re, im, mag, ph, n);
    dll::CartToPolar_S_2(re, im, mag, ph, n);
}

void Scale(float c, float* x, std::int32_t n) {
    if (g_useSPL) return spl::Scale(c, x, n);
    dll::Mpy_S_1(c, x, n);
}

void MultiplyInPlace(const float* a, float* x, std::int32_t n) {
    if (n <= 0) return;
    if (g_useSPL) return spl::MultiplyInPlace(a, x, n);
    dll::Mpy_S_2(a, x, n);
}

void Multiply(const float* a, const float* b, float* dst, std::int32_t n) {
    if (g_useSPL) return spl::Multiply(a, b, dst, n);
    dll::Mpy_S_3(a, b, dst, n);
}

void AddInPlace(const float* a, float* x, std::int32_t n) {
    if (g_useSPL) return spl::AddInPlace(a, x, n);
    dll::Add_S_2(a, x, n);
}

float BlockPeak(const float* x, std::int32_t n) {
    if (g_useSPL) return spl::Peak(x, n);
    return dll::MaxValueAbs_S(x, n);
}

} // namespace orvex::vec
