// Rounding and logarithm helpers shared by every layer of the receiver.
#pragma once

#include <cstdint>

namespace orvex {

/// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
/// This is the rounding the receiver uses wherever a real value becomes an integer.
/// NaN gives 0; values beyond the 64-bit range saturate.
std::int64_t RoundHalfEven(double x);

/// RoundHalfEven clamped to the 32-bit range, for values the settings and controls hold
/// as 32-bit integers.
std::int32_t RoundHalfEven32(double x);

/// floor(x) as a 64-bit integer (Int() of the settings arithmetic), saturated at the 64-bit
/// range; NaN gives 0. Never an out-of-range conversion.
std::int64_t FloorToInt64(double x);

/// True when x is a number within lo..hi (inclusive). Every conversion of a value from a file
/// or the command line to an integer checks this first.
constexpr bool InRange(double x, double lo, double hi) {
    return x >= lo && x <= hi; // false for NaN
}

/// log10 of |x|, and 0 when x is 0 (or not a number), so a silent channel reads 0 dB
/// instead of minus infinity.
double Log10Abs(double x);

/// True when n is a power of two (1, 2, 4, ...).
constexpr bool IsPowerOfTwo(std::int64_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

} // namespace orvex
