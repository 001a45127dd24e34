// The notch at audio and at IF, manual and automatic, and the spectral noise reducer.
#include "ChainHarness.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>

using namespace orvex;
using namespace orvex::test;

namespace {

constexpr std::size_t kLen = 20 * kBlock;

// USB with a 1000 Hz tone to remove and a 2000 Hz tone that must stay.
std::vector<float> TwoTones() {
    return Tones(kLen, {{13000, 3000}, {14000, 3000}});
}

void ManualNotch(Harness& h, bool atIF, float centre, float width) {
    h.chain.optMode_Click(kModeUSB);
    h.chain.SetCheck(ChainCheck::NotchOn, true);
    h.chain.SetCheck(ChainCheck::NotchType, atIF);
    h.chain.optNotch_Click(0);
    h.chain.SetLabel(ChainLabel::NotchC, centre);
    h.chain.SetLabel(ChainLabel::NotchW, width);
    h.settle();
}

} // namespace

TEST(Notch, ManualNotchAtAudioAndAtIfRemovesTheTone) {
    Harness plain;
    plain.chain.optMode_Click(kModeUSB);
    plain.settle();
    const auto ref = plain.run(TwoTones());

    for (bool atIF : {false, true}) {
        Harness h;
        ManualNotch(h, atIF, 1000, 200);
        EXPECT_EQ(h.s().NotchType, atIF ? 1 : 0);
        EXPECT_EQ(h.s().NotchCentre, atIF ? 13000 : 1000);
        EXPECT_EQ(h.chain.NotchFilter().FLow, atIF ? 12900 : 900);
        EXPECT_EQ(h.chain.NotchFilter().FHigh, atIF ? 13100 : 1100);
        const auto out = h.run(TwoTones());
        EXPECT_LT(measure::Db(ToneLevel(out, 1000), ToneLevel(ref, 1000)), -30.0)
            << "at IF " << atIF;
        EXPECT_NEAR(measure::Db(ToneLevel(out, 2000), ToneLevel(ref, 2000)), 0.0, 0.5)
            << "at IF " << atIF;
    }
}

TEST(Notch, AudioNotchOverlapIsContinuous) {
    // A tone away from the notch passes with no seams at the block boundaries: the overlap-add
    // carries the whole P-1 sample tail of the band-stop kernel.
    Harness h;
    ManualNotch(h, false, 3000, 200);
    h.chain.optMode_Click(kModeDRM);
    h.settle();
    const auto in = Tones(kLen, {{700, 5000}});
    const auto out = h.run(in);
    const std::size_t delay = kBlock / 2; // the band-stop kernel is centred on tap P/2
    double worst = 0.0;
    for (std::size_t k = 4 * kBlock; k < out.size(); ++k)
        worst = std::max(worst, std::fabs(static_cast<double>(out[k]) - in[k - delay]));
    EXPECT_LT(worst, 3.0);
}

TEST(Notch, AutomaticNotchFindsAndRemovesASteadyTone) {
    Harness h;
    h.chain.optMode_Click(kModeUSB);
    h.chain.SetCheck(ChainCheck::NotchOn, true);
    h.chain.optNotch_Click(1);
    h.chain.SetLabel(ChainLabel::NotchW, 200);
    h.settle();
    EXPECT_EQ(h.s().NotchMode, 1);
    EXPECT_EQ(h.s().optNotch.Buttons[1].Colour, kColourSelected);
    const auto in = Tones(40 * kBlock, {{13500, 3000}, {12000 + 2700, 300}});
    const auto out = h.run(in);
    EXPECT_NEAR(h.s().NotchCentre, 1500, 12);
    EXPECT_NEAR(h.s().PeakFreq, 1500, 12);
    const std::size_t settled = 20 * kBlock;
    const double before = measure::MeasureTone(out.data(), 4 * kBlock, 1500, kFs).amplitude;
    const double after =
        measure::MeasureTone(out.data() + settled, out.size() - settled, 1500, kFs).amplitude;
    EXPECT_GT(before, 2000.0) << "the tone is there until the notch has found it";
    EXPECT_LT(measure::Db(after, 3000), -30.0);
    EXPECT_NEAR(
        measure::Db(
            measure::MeasureTone(out.data() + settled, out.size() - settled, 2700, kFs).amplitude,
            300),
        0.0, 1.0);
    // Once on the tone, a steady peak causes no further redesign.
    const auto redesigns = h.chain.NotchRedesigns();
    h.run(Tones(10 * kBlock, {{13500, 3000}}));
    EXPECT_EQ(h.chain.NotchRedesigns(), redesigns);
    // A move of more than a width/8 (25 Hz) does.
    h.run(Tones(12 * kBlock, {{13560, 3000}}));
    EXPECT_GT(h.chain.NotchRedesigns(), redesigns);
    EXPECT_NEAR(h.s().NotchCentre, 1560, 12);
}

TEST(Notch, LabelsAndSwitches) {
    Harness h;
    // The notch buttons do nothing while the notch is off.
    h.chain.optNotch_Click(1);
    EXPECT_EQ(h.s().NotchMode, 0);
    EXPECT_EQ(h.s().optNotch.Buttons[1].Colour, kColourResting);

    h.chain.SetCheck(ChainCheck::NotchOn, true);
    EXPECT_TRUE(h.chain.NotchFilter().Active);
    EXPECT_TRUE(h.s().ShowNotch);
    h.chain.SetLabel(ChainLabel::NotchW, 2200);
    EXPECT_EQ(h.s().NotchLo, 0);
    EXPECT_EQ(h.s().NotchHi, 2100);
    h.chain.ResetLabel(ChainLabel::NotchW);
    EXPECT_EQ(h.s().NotchWidth, 100);

    // Each type keeps its own centre and range on the centre label.
    h.chain.SetLabel(ChainLabel::NotchC, 1500);
    h.chain.SetCheck(ChainCheck::NotchType, true);
    EXPECT_EQ(h.s().lblNotchC.Min, -6000.0f);
    EXPECT_EQ(h.s().NotchCentre, 13000); // IF record's remembered centre 1000 + 12000
    h.chain.SetLabel(ChainLabel::NotchC, -2500);
    EXPECT_EQ(h.s().NotchCentre, 9500);
    // The slider is the label's other face: an offset from the IF, negative too.
    EXPECT_EQ(h.s().sldNotch.Min, -6000);
    EXPECT_EQ(h.s().sldNotch.Value, -2500);
    h.chain.sldNotch_Change(-3000);
    EXPECT_EQ(h.s().lblNotchC.Value, -3000.0f);
    EXPECT_EQ(h.s().NotchCentre, 9000);
    h.chain.SetLabel(ChainLabel::NotchC, -2500);
    h.chain.SetCheck(ChainCheck::NotchType, false);
    EXPECT_EQ(h.s().lblNotchC.Min, 0.0f);
    EXPECT_EQ(h.s().NotchCentre, 1500);
    EXPECT_EQ(h.s().NotchRanges[1].Centre, -2500.0f);

    h.chain.sldNotch_Change(800);
    EXPECT_EQ(h.s().NotchCentre, 800);
    EXPECT_EQ(h.s().lblNotch, "800");
    EXPECT_EQ(h.s().sldNotch.ToolTip, "Notch Centre : 800 Hz");
    h.chain.SetCheck(ChainCheck::NotchOn, false);
    EXPECT_FALSE(h.chain.NotchFilter().Active);
    EXPECT_FALSE(h.s().ShowNotch);
}

TEST(NoiseReducer, LowersTheNoiseBetweenTonesAndIsTransparentAtZero) {
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 400.0f);
    // The reducer works on each block's spectrum alone, so a strong tone's spectrum loses its
    // skirt at every block edge; the band measured lies well away from both tones.
    auto in = Tones(kLen, {{12600, 3000}, {16400, 3000}});
    for (auto& v : in)
        v += noise(rng);

    auto runWith = [&](std::optional<float> level) {
        Harness h;
        h.chain.optMode_Click(kModeUSB);
        if (level) {
            h.chain.SetCheck(ChainCheck::NB, true);
            h.chain.SetLabel(ChainLabel::NB, *level);
        }
        h.settle();
        return h.run(in);
    };
    const auto off = runWith(std::nullopt);
    const auto zero = runWith(0.0f);
    const auto on = runWith(2500.0f); // NB = 0.05

    for (std::size_t k = 0; k < off.size(); ++k)
        ASSERT_NEAR(zero[k], off[k], 1.0f) << k;

    // Noise power in bands between and beside the tones, measured on a 4096-point spectrum.
    auto bandRms = [](const std::vector<float>& x, double lo, double hi) {
        double sum = 0.0;
        int count = 0;
        for (double f = lo; f <= hi; f += 12.0) {
            sum += std::pow(ToneLevel(x, f), 2);
            ++count;
        }
        return std::sqrt(sum / count);
    };
    EXPECT_LT(measure::Db(bandRms(on, 1200, 3600), bandRms(off, 1200, 3600)), -10.0);
    EXPECT_NEAR(measure::Db(ToneLevel(on, 600), ToneLevel(off, 600)), 0.0, 0.5);
    EXPECT_NEAR(measure::Db(ToneLevel(on, 4400), ToneLevel(off, 4400)), 0.0, 0.5);
}

TEST(NoiseReducer, ControlsKeepLevelAndThresholdTogether) {
    Harness h;
    h.chain.SetCheck(ChainCheck::NB, true);
    EXPECT_TRUE(h.s().dialNB.Visible);
    h.chain.SetLabel(ChainLabel::NB, 10000); // the full range gives 0.2
    EXPECT_FLOAT_EQ(h.s().NB, 0.2f);
    EXPECT_EQ(h.s().lblNB.Caption, "20.00");
    h.chain.sldNB_Change(5000);
    EXPECT_FLOAT_EQ(h.s().NB, 0.1f);
    EXPECT_EQ(h.s().dialNB.Value, 5000);
}
