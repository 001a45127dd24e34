// AGC timing and gain, the output level law, mute and the limiter. DRM mode passes the IF
// straight to these stages, so the tests feed them directly.
#include "ChainHarness.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::test;

namespace {

Harness& DrmWithAgc(Harness& h, std::int32_t mode) {
    h.chain.optMode_Click(kModeDRM);
    h.chain.SetCheck(ChainCheck::AGC, true);
    h.chain.optAGC_Click(mode);
    h.settle();
    return h;
}

// Blocks of a 1 kHz tone at the given amplitudes, one block each.
std::vector<float> Steps(const std::vector<double>& amplitudes) {
    std::vector<float> x(amplitudes.size() * kBlock);
    const auto tone = measure::MakeTone(x.size(), 1000, kFs, 1.0);
    for (std::size_t k = 0; k < x.size(); ++k)
        x[k] = static_cast<float>(tone[k] * amplitudes[k / kBlock]);
    return x;
}

} // namespace

TEST(Agc, ModeTimesGiveHistoryAndRampLengths) {
    Harness h;
    // Start-up: AGC off, mode "Fast".
    EXPECT_FALSE(h.s().AGCON);
    EXPECT_EQ(h.s().AGCMode, 1);
    EXPECT_EQ(h.s().AGCHistoryLength, 59);
    EXPECT_EQ(h.s().AGCRampLength, 240);
    EXPECT_FLOAT_EQ(h.s().AGCDelayTime, 2.5f);
    EXPECT_EQ(h.s().AGCSmoothTime, 5);
    h.chain.optAGC_Click(2);
    EXPECT_EQ(h.s().AGCHistoryLength, 117);
    EXPECT_EQ(h.s().AGCRampLength, 480);
    h.chain.optAGC_Click(3);
    EXPECT_EQ(h.s().AGCHistoryLength, 234);
    EXPECT_EQ(h.s().AGCRampLength, 960);
    EXPECT_EQ(h.s().lblAGCAttack.Caption, "10.0");
    EXPECT_EQ(h.s().optAGC.Buttons[3].Colour, kColourSelected);

    // A ramp value of 5 or less rounds to 0 ms: no ramp.
    h.chain.SetLabel(ChainLabel::AGCDecay, 5);
    EXPECT_EQ(h.s().AGCSmoothTime, 0);
    EXPECT_EQ(h.s().AGCRampLength, 0);
    EXPECT_EQ(h.s().AGCModes[3].CurrentRamp, 5) << "the mode remembers its changed time";
    h.chain.optAGC_Click(1);
    h.chain.optAGC_Click(3);
    EXPECT_EQ(h.s().AGCRampLength, 0);
    h.chain.ResetLabel(ChainLabel::AGCDecay);
    EXPECT_EQ(h.s().AGCRampLength, 960);

    h.chain.sldAGCAttack_Change(40);
    EXPECT_EQ(h.s().AGCHistoryLength, 94);
    EXPECT_EQ(h.s().sldAGCAttack.ToolTip, "AGC Decay=4 S");
    h.chain.sldAGCDecay_Change(150);
    EXPECT_EQ(h.s().AGCRampLength, 720);
    EXPECT_EQ(h.s().sldAGCDecay.ToolTip, "AGC Attack=15 mS");
    // The labels show what the sliders set, and the mode keeps it.
    EXPECT_EQ(h.s().lblAGCAttack.Caption, "4.0");
    EXPECT_EQ(h.s().lblAGCDecay.Caption, "15.0");
    EXPECT_EQ(h.s().AGCModes[3].CurrentDelay, 40);
    h.chain.SetLabel(ChainLabel::AGCAttack, 60);
    EXPECT_EQ(h.s().sldAGCAttack.Value, 60);

    h.chain.SetCheck(ChainCheck::AGC, true);
    EXPECT_TRUE(h.s().AGCON);
    EXPECT_EQ(h.s().chkAGC.Colour, kColourSelected);
    EXPECT_TRUE(h.s().optAGC.Buttons[0].Enabled);
}

TEST(Agc, SettlesNearTheFixedPeakAfterFortyDecibelSteps) {
    for (std::int32_t mode : {1, 2}) {
        Harness h;
        DrmWithAgc(h, mode);
        const std::size_t n = static_cast<std::size_t>(h.s().AGCHistoryLength);
        std::vector<double> amps(n + 10, 100.0); // settle on a weak signal
        amps.insert(amps.end(), 10, 10000.0);    // 40 dB up
        amps.insert(amps.end(), n + 10, 100.0);  // 40 dB down again
        const auto out = h.run(Steps(amps));
        const std::size_t up = n + 10, down = up + 10;
        EXPECT_NEAR(PeakOf(out, up - 2, up), 16383.0, 200.0) << "mode " << mode;
        // A louder block lowers the gain at once: back near the peak from the next block on
        // (the step block itself is held by the limiter).
        EXPECT_LE(PeakOf(out, up, up + 1), 16384.0);
        EXPECT_NEAR(PeakOf(out, up + 1, down), 16383.0, 200.0) << "mode " << mode;
        // After the drop the old peak's weight falls linearly over the delay: still low half
        // way, back near the fixed peak within the delay time.
        EXPECT_LT(PeakOf(out, down + n / 2, down + n / 2 + 1), 16383.0 * 0.1) << "mode " << mode;
        EXPECT_NEAR(PeakOf(out, down + n + 2, down + n + 10), 16383.0, 200.0) << "mode " << mode;
    }
}

TEST(Agc, SilenceLeavesTheGainAndOffPassesUnscaled) {
    Harness h;
    DrmWithAgc(h, 1);
    // The start-up history (16383 throughout, gain 1) has faded after the delay time.
    EXPECT_FLOAT_EQ(h.s().AGCGain, 1.0f);
    h.run(Steps(std::vector<double>(70, 3000.0)));
    const float gain = h.s().AGCGain;
    EXPECT_NEAR(gain, 16383.0f / 3000.0f, 0.05f);
    const auto silent = h.run(std::vector<float>(10 * kBlock, 0.0f));
    EXPECT_FLOAT_EQ(h.s().AGCGain, gain);
    for (float v : silent)
        ASSERT_EQ(v, 0.0f);

    // AGC off: the gain is still worked out, but not applied.
    Harness off;
    off.chain.optMode_Click(kModeDRM);
    off.settle();
    const auto in = Steps(std::vector<double>(70, 3000.0));
    const auto out = off.run(in);
    for (std::size_t k = 0; k < in.size(); ++k)
        ASSERT_EQ(out[k], std::nearbyint(in[k])) << k;
    EXPECT_NEAR(off.s().AGCGain, 16383.0f / 3000.0f, 0.05f);
}

TEST(OutputLevel, LevelLawLabelAndSoundCardAttenuation) {
    Harness h;
    h.chain.SetLabel(ChainLabel::OutVol, 1000);
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, 2.0f);
    EXPECT_EQ(h.s().lblOutVol.Caption, "+6.0");
    EXPECT_EQ(h.s().sldOutVolume.Value, 1000);
    EXPECT_EQ(h.s().dialOutVol.Value, 1000);
    h.chain.SetLabel(ChainLabel::OutVol, -2000);
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, -2000.0f);
    EXPECT_EQ(h.s().lblOutVol.Caption, "-20.0");
    h.chain.SetLabel(ChainLabel::OutVol, 0.5f);
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, 0.0f);
    h.chain.SetLabel(ChainLabel::OutVol, -30);
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, 0.0f) << "under half a decibel is unity";
    h.chain.sldOutVolume_Change(8000);
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, 9.0f);
    EXPECT_EQ(h.s().lblOutVol.Value, 8000.0f);
    EXPECT_EQ(h.s().dialOutVol.Value, 8000);
    h.chain.dialOutVol_Change(-5000);
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, -5000.0f);
    EXPECT_EQ(h.s().sldOutVolume.Value, -5000);
    h.chain.sldOutVolume_RightButton();
    EXPECT_FLOAT_EQ(h.s().OutputAttenuation, 0.0f);

    // Below unity the block is untouched and the sound card gets the attenuation; above, the
    // block is amplified, the card at full volume, and the limiter holds the peak.
    h.chain.optMode_Click(kModeDRM);
    h.settle();
    h.chain.SetLabel(ChainLabel::OutVol, -2000);
    auto out = h.run(Steps({2000, 2000}));
    EXPECT_NEAR(PeakOf(out, 0, 2), 2000.0, 1.0);
    EXPECT_EQ(h.card.queuedAttenuation.back(), -2000);
    h.chain.SetLabel(ChainLabel::OutVol, 8000);
    out = h.run(Steps({2000, 2000}));
    EXPECT_NEAR(PeakOf(out, 0, 2), 16384.0, 1.0) << "9 x 2000 limited to 16384, not 18000";
    EXPECT_EQ(h.card.queuedAttenuation.back(), 0);
    h.chain.SetLabel(ChainLabel::OutVol, 1000);
    out = h.run(Steps({2000}));
    EXPECT_NEAR(PeakOf(out, 0, 1), 4000.0, 2.0);
}

TEST(OutputLevel, MuteSilencesTheNextBlockAndUnmuteRestores) {
    Harness h;
    h.chain.SetLabel(ChainLabel::OutVol, -1000);
    h.chain.SetCheck(ChainCheck::Mute, true);
    EXPECT_EQ(h.s().chkMute.Colour, kColourSelected);
    h.run(Steps({1000}));
    EXPECT_EQ(h.card.queuedAttenuation.back(), -10000);
    h.chain.SetCheck(ChainCheck::Mute, false);
    h.run(Steps({1000}));
    EXPECT_EQ(h.card.queuedAttenuation.back(), -1000);
}
