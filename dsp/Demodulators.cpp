#include "Demodulators.h"

#include "OrvexVector.h"
#include "VectorOps.h"

#include <cmath>

namespace orvex {
namespace {
constexpr float kPi = 3.14159265f;
constexpr float kTwoPi = 6.28318531f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kFMScale = 4096.0f;
} // namespace

void DetectAM(const float* i, const float* q, float* af, std::int32_t n) {
    dll::PowerSpectrum_S_2(i, q, af, n);
}

void DetectSSB(const float* i, const float* q, float* af, std::int32_t n, bool upperSideband) {
    if (upperSideband)
        dll::Sub_S_3(i, q, af, n);
    else
        dll::Add_S_3(i, q, af, n);
}

void DetectFM(const float* i, const float* q, float* af, float* mag, float* phase, std::int32_t n,
              float& lastPhase) {
    if (n <= 0) return;
    vec::CartToPolar(i, q, mag, phase, n);
    // A carrier near the IF turns by about a quarter turn per sample, so the raw difference of
    // two wrapped phases is either about +-pi/2 or, once per cycle where the phase wraps, about
    // -+3 pi/2. Only the principal value of the step measures the frequency: taking |step|
    // of the wrapped one would add a spike every cycle, whose sampled pattern aliases into the
    // audio band at four times the deviation.
    float prev = lastPhase;
    for (std::int32_t k = 0; k < n; ++k) {
        float step = phase[k] - prev;
        if (step > kPi)
            step -= kTwoPi;
        else if (step <= -kPi)
            step += kTwoPi;
        prev = phase[k];
        af[k] = (std::fabs(step) - kHalfPi) * kFMScale;
    }
    lastPhase = phase[n - 1];
}

void DetectBC(float* i, float* af, std::int32_t n, std::array<float, 10>& history) {
    dll::Abs_S_1(i, n);
    for (std::int32_t k = 0; k < n; ++k) {
        for (std::size_t h = history.size() - 1; h > 0; --h)
            history[h] = history[h - 1];
        history[0] = i[k];
        float sum = 0.0f;
        for (float v : history)
            sum += v;
        af[k] = sum / 10.0f;
    }
}

} // namespace orvex
