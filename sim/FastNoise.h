// Cheap random numbers for the simulated receiver: a xorshift generator and a Gaussian-like
// deviate made from the sum of four uniform 16-bit values (Irwin-Hall). The sum has unit
// variance, a bell-shaped density and tails that stop at +-3.46 sigma, which is all receiver
// noise needs; one 64-bit step per deviate, no logarithms or square roots.
#pragma once

#include <cstdint>

namespace orvex::sim {

class FastNoise {
public:
    /// Any seed works; 0 is replaced by a fixed non-zero state.
    explicit FastNoise(std::uint64_t seed = 1) { reseed(seed); }

    void reseed(std::uint64_t seed) {
        // SplitMix64 step so that neighbouring seeds give unrelated sequences.
        std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        m_state = (z ^ (z >> 31)) | 1ull;
    }

    /// 64 random bits (xorshift64*).
    std::uint64_t next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }

    /// Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    /// Uniform integer in [lo, hi].
    int range(int lo, int hi) {
        if (hi <= lo) return lo;
        return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }

    /// Zero mean, unit variance, roughly Gaussian.
    float gaussian() {
        const std::uint64_t r = next();
        const std::int32_t sum =
            static_cast<std::int32_t>(r & 0xFFFF) + static_cast<std::int32_t>((r >> 16) & 0xFFFF) +
            static_cast<std::int32_t>((r >> 32) & 0xFFFF) + static_cast<std::int32_t>(r >> 48);
        // Four uniforms on 0..65535: mean 131070, variance 4 x 65536^2 / 12.
        constexpr float kScale = 1.0f / 37837.23f; // 1 / (65536 / sqrt(3))
        return static_cast<float>(sum - 131070) * kScale;
    }

private:
    std::uint64_t m_state = 1;
};

} // namespace orvex::sim
