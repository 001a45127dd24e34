#include "Numeric.h"

#include <cmath>
#include <limits>

namespace orvex {

std::int64_t RoundHalfEven(double x) {
    if (std::isnan(x)) return 0;
    constexpr double kMax = 9.2233720368547748e18; // 2^63
    if (x >= kMax) return std::numeric_limits<std::int64_t>::max();
    if (x <= -kMax) return std::numeric_limits<std::int64_t>::min();
    double whole = std::floor(x);
    const double frac = x - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return static_cast<std::int64_t>(whole);
}

std::int64_t FloorToInt64(double x) {
    if (std::isnan(x)) return 0;
    constexpr double kMax = 9.2233720368547748e18; // 2^63
    if (x >= kMax) return std::numeric_limits<std::int64_t>::max();
    if (x <= -kMax) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::floor(x));
}

std::int32_t RoundHalfEven32(double x) {
    const std::int64_t r = RoundHalfEven(x);
    if (r > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (r < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

double Log10Abs(double x) {
    if (x == 0.0 || std::isnan(x)) return 0.0;
    return std::log10(std::fabs(x));
}

} // namespace orvex
