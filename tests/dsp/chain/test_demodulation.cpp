// Synthetic IF in, audio out: each mode turns what it should into audio and rejects the rest.
#include "ChainHarness.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace orvex;
using namespace orvex::test;

namespace {

constexpr std::size_t kBlocks = 24;
constexpr std::size_t kLen = kBlocks * kBlock;

std::vector<float> RunMode(std::int32_t mode, const std::vector<float>& in) {
    Harness h;
    h.chain.optMode_Click(mode);
    h.settle();
    return h.run(in);
}

// An AM signal: carrier at the IF with a 1 kHz modulation of depth m.
std::vector<float> AmSignal(double carrier, double m) {
    std::vector<float> x(kLen);
    for (std::size_t k = 0; k < kLen; ++k) {
        const double t = static_cast<double>(k) / kFs;
        x[k] = static_cast<float>(carrier * (1.0 + m * std::cos(2 * std::numbers::pi * 1000 * t)) *
                                  std::cos(2 * std::numbers::pi * 12000 * t));
    }
    return x;
}

} // namespace

TEST(Demodulation, SidebandModesTranslateAndRejectTheOtherSideband) {
    for (double f : {700.0, 1500.0, 3100.0}) {
        const auto upper = Tones(kLen, {{12000 + f, 4000}});
        const auto lower = Tones(kLen, {{12000 - f, 4000}});
        const double usbWanted = ToneLevel(RunMode(kModeUSB, upper), f);
        const double usbImage = ToneLevel(RunMode(kModeUSB, lower), f);
        const double lsbWanted = ToneLevel(RunMode(kModeLSB, lower), f);
        const double lsbImage = ToneLevel(RunMode(kModeLSB, upper), f);
        // The mixer halves each branch; the phasing sum restores the IF amplitude.
        EXPECT_NEAR(measure::Db(usbWanted, 4000), 0.0, 0.5) << f;
        EXPECT_NEAR(measure::Db(lsbWanted, 4000), 0.0, 0.5) << f;
        EXPECT_LT(measure::Db(usbImage, usbWanted), -40.0) << "USB at " << f << " Hz";
        EXPECT_LT(measure::Db(lsbImage, lsbWanted), -40.0) << "LSB at " << f << " Hz";
    }
    // The tone comes out at the offset from the IF, not elsewhere.
    const auto out = RunMode(kModeUSB, Tones(kLen, {{13234, 4000}}));
    EXPECT_NEAR(StrongestFrequency(out, 50, 6000), 1234.0, 1.0);
}

TEST(Demodulation, AmAndBroadcastRecoverTheModulation) {
    for (std::int32_t mode : {kModeAM, kModeBC}) {
        const auto out = RunMode(mode, AmSignal(2000, 0.5));
        EXPECT_NEAR(StrongestFrequency(out, 200, 4500), 1000.0, 1.0) << "mode " << mode;
        const double fundamental = ToneLevel(out, 1000);
        EXPECT_GT(fundamental, 100.0) << "mode " << mode;
        // The square law and the rectifier make harmonics, but well below the tone.
        EXPECT_LT(measure::Db(ToneLevel(out, 2000), fundamental), -12.0) << "mode " << mode;
        EXPECT_LT(measure::Db(ToneLevel(out, 3000), fundamental), -20.0) << "mode " << mode;
    }
}

TEST(Demodulation, BroadcastRectifierAveragesTenSamples) {
    Harness h;
    h.chain.optMode_Click(kModeBC);
    h.settle();
    const auto out = h.run(std::vector<float>(2 * kBlock, -1000.0f));
    for (int k = 0; k < 9; ++k)
        EXPECT_FLOAT_EQ(out[static_cast<std::size_t>(k)], 100.0f * (k + 1)) << k;
    for (std::size_t k = 9; k < out.size(); ++k)
        ASSERT_FLOAT_EQ(out[k], 1000.0f) << k;
}

TEST(Demodulation, FmRecoversTheToneAndIsQuietOnAnUnmodulatedCarrier) {
    constexpr double dev = 2500.0;
    std::vector<float> fm(kLen);
    for (std::size_t k = 0; k < kLen; ++k) {
        const double t = static_cast<double>(k) / kFs;
        const double phase = 2 * std::numbers::pi * 12000 * t +
                             dev / 1000.0 * std::sin(2 * std::numbers::pi * 1000 * t);
        fm[k] = static_cast<float>(8000 * std::cos(phase));
    }
    const auto out = RunMode(kModeFM, fm);
    const double tone = ToneLevel(out, 1000);
    // (|phase step| - pi/2) * 4096 for a deviation d: 2 pi d / fs * 4096.
    EXPECT_NEAR(measure::Db(tone, 2 * std::numbers::pi * dev / kFs * 4096), 0.0, 1.0);
    for (double h2 : {2000.0, 3000.0, 4000.0})
        EXPECT_LT(measure::Db(ToneLevel(out, h2), tone), -30.0) << h2 << " Hz";

    const auto quiet = RunMode(kModeFM, Tones(kLen, {{12000, 8000}}));
    EXPECT_LT(measure::Rms(quiet.data() + 4 * kBlock, quiet.size() - 4 * kBlock), 2.0);
}

TEST(Demodulation, DrmPassesTheIfThroughUnchangedUpToTheLimiter) {
    std::vector<float> in(8 * kBlock);
    for (std::size_t k = 0; k < in.size(); ++k)
        in[k] = static_cast<float>((static_cast<int>(k * 7919) % 32001) - 16000); // within +-16384
    const auto out = RunMode(kModeDRM, in);
    ASSERT_EQ(out.size(), in.size());
    for (std::size_t k = 0; k < in.size(); ++k)
        ASSERT_EQ(out[k], in[k]) << k;

    // A block peaking above 16384 is scaled down whole to that peak.
    std::vector<float> loud = Tones(2 * kBlock, {{1000, 20000}});
    const auto limited = RunMode(kModeDRM, loud);
    EXPECT_NEAR(PeakOf(limited, 0, 2), 16384.0, 1.0);
    EXPECT_NEAR(limited[100] / loud[100], 16384.0 / 20000.0, 0.002);
}
