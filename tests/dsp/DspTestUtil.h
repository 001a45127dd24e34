// Shared helpers of the DSP tests: references in double precision and signal generators.
#pragma once

#include "dsp/AlignedVector.h"

#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <vector>

namespace orvex::testutil {

using cd = std::complex<double>;

/// Forward DFT in double precision: direct sum for small n, recursive radix-2 otherwise.
inline std::vector<cd> ReferenceDft(const std::vector<cd>& x) {
    const std::size_t n = x.size();
    if (n <= 64) {
        std::vector<cd> out(n);
        for (std::size_t k = 0; k < n; ++k) {
            cd acc = 0.0;
            for (std::size_t m = 0; m < n; ++m)
                acc += x[m] * std::polar(1.0, -2.0 * M_PI * static_cast<double>((k * m) % n) / n);
            out[k] = acc;
        }
        return out;
    }
    std::vector<cd> even(n / 2), odd(n / 2);
    for (std::size_t i = 0; i < n / 2; ++i) {
        even[i] = x[2 * i];
        odd[i] = x[2 * i + 1];
    }
    const auto e = ReferenceDft(even);
    const auto o = ReferenceDft(odd);
    std::vector<cd> out(n);
    for (std::size_t k = 0; k < n / 2; ++k) {
        const cd t = std::polar(1.0, -2.0 * M_PI * static_cast<double>(k) / n) * o[k];
        out[k] = e[k] + t;
        out[k + n / 2] = e[k] - t;
    }
    return out;
}

/// Error energy of (re, im) against ref, as a fraction of ref's energy.
inline double RelativeErrorEnergy(const float* re, const float* im, const std::vector<cd>& ref) {
    double err = 0.0, energy = 0.0;
    for (std::size_t k = 0; k < ref.size(); ++k) {
        err += std::norm(cd(re[k], im ? im[k] : 0.0) - ref[k]);
        energy += std::norm(ref[k]);
    }
    return energy > 0.0 ? err / energy : err;
}

inline FloatVector RandomVector(std::size_t n, unsigned seed, float sigma = 1000.0f) {
    FloatVector v(n);
    std::mt19937 rng(seed);
    std::normal_distribution<float> d(0.0f, sigma);
    for (auto& x : v)
        x = d(rng);
    return v;
}

/// Degrees wrapped to -180..180.
inline double WrapDegrees(double deg) {
    while (deg > 180.0)
        deg -= 360.0;
    while (deg <= -180.0)
        deg += 360.0;
    return deg;
}

} // namespace orvex::testutil
