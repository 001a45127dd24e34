// The IF synthesiser: where each kind of station lands in the sound card's band, at what
// level, with what modulation; noise levels; the edges of the band; continuity across chunks
// and retuning; 16-bit output; no allocation while streaming.
#include "SimTestSupport.h"
#include "sim/IFSynthesiser.h"
#include "support/AllocationCounter.h"

using namespace orvex;
using namespace orvex::test;
using sim::IFSynthesiser;

namespace {

std::vector<float> Render(IFSynthesiser& s, double seconds) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    s.render(x.data(), static_cast<std::int64_t>(x.size()));
    return x;
}

double Amp(double dbfs) {
    return sim::DbfsToAmplitude(dbfs);
}

} // namespace

TEST(IFSynthesiser, EachStationLandsAt12kHzPlusItsOffsetWithItsLevelAndSidebands) {
    IFSynthesiser s(SceneFrom("noise -200\n"
                              "station 7.0031 MHz carrier level=-20\n"
                              "station 6.9950 MHz AM level=-26 audio=tone:1000 depth=0.5\n"
                              "station 7.0060 MHz USB level=-30 audio=tone:700\n"
                              "station 6.9980 MHz LSB level=-32 audio=tone:900\n"
                              "station 7.0090 MHz CW level=-40 text=E pause=0\n"));
    s.setTuning(7.000e6);
    const auto x = Render(s, 2.0);
    // Carrier: 12000 + 3100.
    EXPECT_NEAR(StrongestFrequency(x, 14900, 15300), 15100.0, 0.05);
    EXPECT_NEAR(ToneAmplitude(x, 15100), Amp(-20), Amp(-20) * 0.005);
    // AM at -5 kHz: carrier at 7000 Hz, sidebands of m/2 at 6000 and 8000.
    EXPECT_NEAR(ToneAmplitude(x, 7000), Amp(-26), Amp(-26) * 0.005);
    EXPECT_NEAR(ToneAmplitude(x, 6000), Amp(-26) * 0.25, Amp(-26) * 0.005);
    EXPECT_NEAR(ToneAmplitude(x, 8000), Amp(-26) * 0.25, Amp(-26) * 0.005);
    // USB at +6 kHz with 700 Hz audio: only above the suppressed carrier.
    EXPECT_NEAR(ToneAmplitude(x, 18700), Amp(-30), Amp(-30) * 0.005);
    EXPECT_LT(ToneAmplitude(x, 17300), Amp(-30) * 1e-3);
    EXPECT_LT(ToneAmplitude(x, 18000), Amp(-30) * 1e-3);
    // LSB at -2 kHz with 900 Hz audio: only below.
    EXPECT_NEAR(ToneAmplitude(x, 9100), Amp(-32), Amp(-32) * 0.005);
    EXPECT_LT(ToneAmplitude(x, 10900), Amp(-32) * 1e-3);
    // CW "E" keyed at 18 wpm over and over: the carrier at 21000 Hz is there part of the time.
    const double cw = ToneAmplitude(x, 21000);
    EXPECT_GT(cw, Amp(-40) * 0.05);
    EXPECT_LT(cw, Amp(-40) * 0.6);
    // Nothing else anywhere between the stations.
    const auto spectrum = PowerSpectrum(x);
    EXPECT_LT(BandPower(spectrum, 10000, 14000), 1e-6 * Amp(-30) * Amp(-30));
    EXPECT_LT(BandPower(spectrum, 19500, 20500), 1e-6 * Amp(-30) * Amp(-30));
}

TEST(IFSynthesiser, NoiseLevelsAreTheSceneLevels) {
    IFSynthesiser s(SceneFrom("noise -60\nstation 3.600 MHz noise level=-50 width=4000\n"));
    s.setTuning(3.607e6); // band centred on 5000 Hz
    const auto x = Render(s, 4.0);
    const auto spectrum = PowerSpectrum(x);
    // Receiver noise is white: its mean square spread evenly over 0 to 24 kHz.
    const double perHz = Amp(-60) * Amp(-60) / 24000.0;
    EXPECT_NEAR(BandPower(spectrum, 14000, 22000) / (8000 * perHz), 1.0, 0.05);
    // The band of noise has the station's mean square, nearly all of it within its width.
    const double band = BandPower(spectrum, 0, 12000) - 12000 * perHz;
    EXPECT_NEAR(band / (Amp(-50) * Amp(-50)), 1.0, 0.05);
    EXPECT_GT(BandPower(spectrum, 3000, 7000), 0.6 * band);
    EXPECT_LT(BandPower(spectrum, 8000, 12000), 0.03 * band);
    EXPECT_NEAR(measure::Rms(x), std::hypot(Amp(-60), Amp(-50)), 0.02 * Amp(-50));
}

// The band runs from 0 Hz to the anti-alias filter; a station below 0 Hz comes back as its
// mirror image, one above half the sample rate is filtered away.
TEST(IFSynthesiser, TheBandHasSoftEdgesAndImagesFoldIn) {
    IFSynthesiser s(SceneFrom("noise -200\n"
                              "station 10.0115 MHz carrier level=-20\n" // IF 23500: in the roll-off
                              "station 10.0130 MHz carrier level=-20\n" // IF 25000: filtered out
                              "station 9.9881 MHz carrier level=-20\n"  // IF 100: in the roll-off
                              "station 9.9850 MHz carrier level=-26\n"  // IF -3000: image at 3000
                              "station 9.9700 MHz carrier level=-20\n" // IF -18000: beyond the band
                              "station 10.0050 MHz carrier level=-20\n")); // IF 17000: passed
    s.setTuning(10.000e6);
    EXPECT_EQ(s.stationsInView().size(), 4u);
    const auto x = Render(s, 1.0);
    EXPECT_NEAR(ToneAmplitude(x, 17000), Amp(-20), Amp(-20) * 0.005);
    const double high = ToneAmplitude(x, 23500);
    EXPECT_GT(high, 0.01 * Amp(-20));
    EXPECT_LT(high, 0.5 * Amp(-20));
    EXPECT_LT(ToneAmplitude(x, 100), 0.3 * Amp(-20));
    EXPECT_NEAR(ToneAmplitude(x, 3000), Amp(-26), Amp(-26) * 0.005); // the image
    EXPECT_LT(ToneAmplitude(x, 23000), 0.02 * Amp(-20));             // nothing aliased from 25000
    // No tuning (no oscillator): only noise, here none at all.
    s.setTuning(std::nullopt);
    EXPECT_TRUE(s.stationsInView().empty());
    EXPECT_LT(measure::Rms(Render(s, 0.1)), 1e-3);
}

TEST(IFSynthesiser, OutputIsContinuousAcrossChunksAndRetuning) {
    const std::string text = "noise -70\nseed 5\n"
                             "station 5.505 MHz AM level=-28 audio=music:1 depth=0.6\n"
                             "station 5.500 MHz LSB level=-36 audio=speech:1\n"
                             "station 5.494 MHz CW level=-46 text=\"VVV DE TEST\"\n"
                             "station 5.510 MHz FM level=-40 audio=tone:500\n"
                             "station 5.499 MHz noise level=-60 width=2000\n";
    IFSynthesiser a(SceneFrom(text)), b(SceneFrom(text));
    a.setTuning(5.505e6);
    b.setTuning(5.505e6);
    const auto whole = Render(a, 0.5);
    std::vector<float> pieces(whole.size());
    std::size_t at = 0;
    for (std::size_t n : {1u, 7u, 255u, 256u, 257u, 1000u, 4096u}) {
        b.render(pieces.data() + at, static_cast<std::int64_t>(n));
        at += n;
    }
    b.render(pieces.data() + at, static_cast<std::int64_t>(pieces.size() - at));
    for (std::size_t i = 0; i < whole.size(); ++i)
        ASSERT_NEAR(pieces[i], whole[i], 0.05f) << i;

    // A retune moves the stations without a phase jump: a carrier 1 Hz off the centre,
    // retuned by 2 Hz, has no sample-to-sample step larger than its slope allows.
    IFSynthesiser c(SceneFrom("noise -200\nstation 1.000001 MHz carrier level=-6\n"));
    c.setTuning(1.0e6);
    std::vector<float> y(96000);
    c.render(y.data(), 48000);
    c.setTuning(1.0e6 - 2.0);
    c.render(y.data() + 48000, 48000);
    const double maxStep = Amp(-6) * 2.0 * M_PI * 12003.0 / kRate * 1.01;
    for (std::size_t i = 1; i < y.size(); ++i)
        ASSERT_LE(std::fabs(y[i] - y[i - 1]), maxStep) << i;
    EXPECT_NEAR(StrongestFrequency(std::vector<float>(y.begin() + 48000, y.end()), 11990, 12010),
                12003.0, 0.05);
}

TEST(IFSynthesiser, SixteenBitOutputClipsFillsEveryChannelAndKeepsTheIFAtAnyRate) {
    IFSynthesiser s(SceneFrom("noise -200\nstation 7.000 MHz carrier level=0\n"
                              "station 7.001 MHz carrier level=-6\n"));
    s.setTuning(7.000e6);
    std::vector<std::int16_t> stereo(2 * 4800);
    s.render(stereo.data(), 4800, 2);
    std::int16_t peak = 0;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        ASSERT_EQ(stereo[i], stereo[i + 1]);
        peak = std::max<std::int16_t>(peak, stereo[i]);
    }
    EXPECT_EQ(peak, 32767);
    EXPECT_GT(s.clippedSamples(), 0u);
    EXPECT_EQ(s.framesRendered(), 4800u);

    // At 44100 samples per second the receiver's analogue IF is still 12000 Hz + offset.
    IFSynthesiser t(SceneFrom("noise -200\nstation 7.002 MHz USB level=-20 audio=tone:1000\n"));
    t.setTuning(7.000e6);
    t.setSampleRate(44100);
    std::vector<float> x(44100);
    t.render(x.data(), 44100);
    EXPECT_NEAR(RefineFrequency(x, 15000.0, 44100), 15000.0, 0.01);
    EXPECT_NEAR(measure::MeasureTone(x, 15000, 44100).amplitude, Amp(-20), Amp(-20) * 0.005);
}

TEST(IFSynthesiser, StreamingAllocatesNothingOnceStationsAreInView) {
    IFSynthesiser s(sim::DefaultScene());
    s.setTuning(5.505e6); // the stations come into view and are prepared here
    std::vector<std::int16_t> block(2048);
    test::AllocationCounter counter;
    for (int i = 0; i < 50; ++i)
        s.render(block.data(), 2048, 1);
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(s.stationsInView().size(), 4u);
}
