// The detectors of the receive chain: each turns the in-phase and quadrature block (I, Q) of
// one mode into audio. The filters that go with them (the sideband phasing pair, the audio
// band-pass after AM and FM) are applied by the chain around these calls.
#pragma once

#include <array>
#include <cstdint>

namespace orvex {

/// AM square-law detector: af = i^2 + q^2 (the squared envelope; no square root is taken, the
/// audio band-pass that follows removes the DC term). af may not overlap i or q.
void DetectAM(const float* i, const float* q, float* af, std::int32_t n);

/// Sideband phasing after the I/Q mixer and the band-pass pair: the upper sideband is i - q,
/// the lower i + q; each cancels the opposite sideband. af may be i or q.
void DetectSSB(const float* i, const float* q, float* af, std::int32_t n, bool upperSideband);

/// FM phase-difference discriminator. mag and phase are n-entry work vectors (phase keeps the
/// block's phase in radians). Each sample's phase step is taken as its principal value
/// (-pi..pi]; af = (|step| - pi/2) * 4096, so a carrier at the IF (a quarter of the sample
/// rate, pi/2 per sample) gives 0 and a deviation d Hz gives 2 pi d / fs * 4096 with the sign of
/// the deviation's effect on |step|. lastPhase carries the last phase to the next block.
void DetectFM(const float* i, const float* q, float* af, float* mag, float* phase, std::int32_t n,
              float& lastPhase);

/// Broadcast AM rectifier: i = |i| in place, then af[k] = mean of the last 10 |i| values, the
/// history carried between blocks (zeros at start, so the first nine outputs ramp up).
void DetectBC(float* i, float* af, std::int32_t n, std::array<float, 10>& history);

} // namespace orvex
