// A receive chain with recording ports, driven block by block as the sound card drives it,
// with the statistics timer run after every block.
#pragma once

#include "dsp/ReceiveChain.h"
#include "dsp/SignalMeasure.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace orvex::test {

constexpr double kFs = 48000.0;
constexpr std::size_t kBlock = 2048;

/// Keeps every queued block and every attenuation the chain asks for.
class CaptureCard final : public SoundCardPort {
public:
    void Output(const std::int16_t* Channel1, const std::int16_t*,
                std::int32_t NumSamples) override {
        out.insert(out.end(), Channel1, Channel1 + NumSamples);
        queuedAttenuation.push_back(attenuation);
    }
    void setOutputAttenuation(std::int32_t v) override { attenuation = v < -10000 ? -10000 : v; }
    std::int32_t OutputAttenuation() const override { return attenuation; }
    bool Prepared() const override { return prepared; }
    void PrepareDevices() override {
        ++prepareCalls;
        prepared = true;
    }
    void StartSound() override { ++startCalls; }

    std::vector<std::int16_t> out;
    std::vector<std::int32_t> queuedAttenuation;
    std::int32_t attenuation = 0;
    bool prepared = true;
    int prepareCalls = 0;
    int startCalls = 0;
};

class CountingTimers final : public ChainTimers {
public:
    void ArmSpectrumTimer(std::int32_t ms) override { spectrumMs.push_back(ms); }
    void ArmStatsTimer(std::int32_t ms) override {
        statsMs.push_back(ms);
        statsArmed = true;
    }
    std::vector<std::int32_t> spectrumMs, statsMs;
    bool statsArmed = false;
};

struct Harness {
    ReceiveChain chain;
    CaptureCard card;
    CountingTimers timers;

    Harness() {
        chain.AttachSoundCard(&card);
        chain.AttachTimers(&timers);
        chain.RestoreDefaults();
        chain.CompleteStartup();
    }
    ReceiveState& s() { return chain.State(); }

    /// Applies pending panel changes as the statistics timer does.
    void settle() { chain.tmrPerfStats_Timer(); }

    /// Runs a signal (whole blocks; values rounded to 16 bits) and returns the audio out.
    std::vector<float> run(const std::vector<float>& in) {
        std::vector<float> result;
        std::vector<std::int16_t> ch1(kBlock), ch2(kBlock);
        for (std::size_t pos = 0; pos + kBlock <= in.size(); pos += kBlock) {
            for (std::size_t k = 0; k < kBlock; ++k) {
                const double v = std::nearbyint(in[pos + k]);
                ch1[k] = static_cast<std::int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
            }
            ch2 = ch1;
            const std::size_t before = card.out.size();
            chain.SoundCard_DataReady(ch1.data(), ch2.data(), static_cast<std::int32_t>(kBlock));
            for (std::size_t k = before; k < card.out.size(); ++k)
                result.push_back(card.out[k]);
            if (timers.statsArmed) {
                timers.statsArmed = false;
                chain.tmrPerfStats_Timer();
            }
        }
        return result;
    }
};

/// Sum of tones: {frequency Hz, amplitude} over n samples.
inline std::vector<float> Tones(std::size_t n,
                                std::initializer_list<std::pair<double, double>> tones) {
    std::vector<float> x(n, 0.0f);
    for (const auto& [f, a] : tones) {
        const auto t = measure::MakeTone(n, f, kFs, a);
        for (std::size_t i = 0; i < n; ++i)
            x[i] += t[i];
    }
    return x;
}

/// Level of the tone at f in out, skipping the first `skipBlocks` blocks (filter delays).
inline double ToneLevel(const std::vector<float>& out, double f, std::size_t skipBlocks = 4) {
    const std::size_t skip = skipBlocks * kBlock;
    return measure::MeasureTone(out.data() + skip, out.size() - skip, f, kFs).amplitude;
}

/// Strongest frequency between lo and hi Hz in 4096 samples after the first `skipBlocks`.
inline double StrongestFrequency(const std::vector<float>& out, double lo, double hi,
                                 std::size_t skipBlocks = 4) {
    return measure::PeakFrequency(out.data() + skipBlocks * kBlock, 2 * kBlock, kFs, lo, hi);
}

/// Largest |x| of the blocks from `fromBlock` to `toBlock` (exclusive).
inline double PeakOf(const std::vector<float>& x, std::size_t fromBlock, std::size_t toBlock) {
    double p = 0.0;
    for (std::size_t i = fromBlock * kBlock; i < toBlock * kBlock && i < x.size(); ++i)
        p = std::max(p, static_cast<double>(std::fabs(x[i])));
    return p;
}

} // namespace orvex::test
