// The spectrum analyser measured on its rendered images: where a tone's peak is drawn against
// the frequency labels, the trigger, the X-Y circle, the averaging, the dB labels, the filter
// curve fed by the receive chain, and the settings.
#include "DisplayTestUtil.h"
#include "core/Format.h"
#include "core/SettingsStore.h"
#include "display/clsSpectrumAnalyser.h"
#include "dsp/ReceiveChain.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace orvex {
namespace {

using namespace testutil;

constexpr QRgb kGreen = 0x00FF00;
constexpr QRgb kCyan = 0x00FFFF;    // frequency labels
constexpr QRgb kDarkRed = 0xC00000; // filter curve

/// Frequency, Hz, that the drawn labels give for x: linear between the two labels around it.
double FrequencyFromLabels(const std::vector<GraticuleLabel>& labels, double x) {
    std::vector<GraticuleLabel> sorted = labels;
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.X < b.X; });
    std::size_t i = 1;
    while (i + 1 < sorted.size() && sorted[i].X < x)
        ++i;
    const auto& a = sorted[i - 1];
    const auto& b = sorted[i];
    return a.Value + (x - a.X) * (b.Value - a.Value) / (b.X - a.X);
}

/// Every label's text is its value in kHz, and it is drawn (label pixels inside its box).
void ExpectLabelsDrawn(const clsSpectrumAnalyser& a, const char* format) {
    const auto& labels = a.FrequencyLabels();
    ASSERT_GE(labels.size(), 10u);
    for (const auto& l : labels) {
        EXPECT_EQ(l.Text, FormatNumber(l.Value / 1000.0, format));
        EXPECT_GT(CountColour(a.VisibleImage(), l.Rect.toAlignedRect(), kCyan), 3) << l.Text;
    }
}

struct FakeTuner final : TunerPort {
    double mhz = 7.1;
    double TunedFreq() const override { return mhz; }
    void setTunedFreq(double MHz) override { mhz = MHz; }
    std::string FormattedTunedFreq() const override { return std::to_string(mhz); }
};

TEST(SpectrumAnalyser, ToneIsDrawnWhereTheLabelsSayInBothOrientationsAndNarrowed) {
    // A station 1101.5625 Hz above the tuned 7.1 MHz: IF bin 559, 12000 + 1101.5625 Hz.
    const double ifHz = 559 * kHzPerBin;
    const auto block = Tone(ifHz, 16000.0);
    const std::int32_t fOffset = 7100000 - 12000;
    for (bool reverse : {true, false}) {
        for (auto [start, stop] : {std::pair{0, 1024}, std::pair{400, 700}}) {
            SCOPED_TRACE(testing::Message()
                         << "reverse " << reverse << " bins " << start << ".." << stop);
            clsSpectrumAnalyser a;
            StartUp(a, QSize(800, 300));
            a.setFastMode(true);
            a.setChn2Enabled(false);
            a.setReverseSpectrum(reverse);
            a.setFOffset(fOffset);
            a.setStartBin(start);
            a.setStopBin(stop);
            a.Display_S(block.data(), block.data());
            // With the IF mirrored (no ReverseSpectrum) the same IF tone is below the tuning.
            const double rf = reverse ? fOffset + ifHz : fOffset + 24000.0 - ifHz;
            const double x = PeakX(a.VisibleImage(), kGreen);
            ASSERT_GE(x, 0.0);
            // Within one bin, or one pixel where a pixel is wider than a bin.
            const double perBin = a.Axis().PxPerBin();
            const double tolerance = kHzPerBin * std::max(1.0, 1.0 / perBin);
            EXPECT_NEAR(FrequencyFromLabels(a.FrequencyLabels(), x), rf, tolerance);
            EXPECT_NEAR(x, a.XOfFrequency(rf), std::max(1.0, perBin));
            EXPECT_NEAR(a.FrequencyAtX(x), rf, tolerance);
            ExpectLabelsDrawn(a, "# ###");
            // The radio frequency rises to the right in both orientations.
            EXPECT_LT(a.FrequencyAtX(10), a.FrequencyAtX(700));
            ASSERT_TRUE(a.AxisShowsRadioFrequency());
            EXPECT_EQ(a.FrequencyReadout(x),
                      FormatNumber(std::round(a.FrequencyAtX(x)), "#0 000 000"));
            // A click there tunes to the station, snapped to whole kHz.
            EXPECT_DOUBLE_EQ(*a.ClickTuneMHz(x), std::round(rf / 1000.0) / 1000.0);
        }
    }
}

TEST(SpectrumAnalyser, ReceiveChainTapSetsTheRadioAxisAndFilterCurve) {
    // The analyser as the chain's tap: "IF in" sets ReverseSpectrum and FOffset from the
    // tuning, and the statistics timer hands over the IF filter for the overlay.
    FakeTuner tuner;
    ReceiveChain chain;
    clsSpectrumAnalyser a;
    StartUp(a, QSize(1024, 300));
    a.setFastMode(true);
    a.setChn2Enabled(false);
    a.setLogMode(true);
    a.setShowFilter(true);
    chain.AttachTuner(&tuner);
    chain.AttachSpectrum(&a);
    chain.CompleteStartup(); // designs the filters: the IF filter's kernel reaches the display
    chain.State().SpectrumSource = 0;
    chain.SetCheck(ChainCheck::IFFilter, true);
    chain.tmrPerfStats_Timer();
    std::vector<std::int16_t> ch(2048);
    const auto tone = Tone(12000.0 + 64 * kHzPerBin, 8000.0);
    std::transform(tone.begin(), tone.end(), ch.begin(),
                   [](float v) { return static_cast<std::int16_t>(std::lround(v)); });
    auto copy = ch;
    chain.SoundCard_DataReady(ch.data(), copy.data(), 2048);
    EXPECT_TRUE(a.ReverseSpectrum());
    EXPECT_EQ(a.FOffset(), 7100000 - 12000);
    a.Display();
    const double x = PeakX(a.VisibleImage(), kGreen);
    EXPECT_NEAR(a.FrequencyAtX(x), 7100000.0 + 64 * kHzPerBin, kHzPerBin);

    // The filter curve: high in the IF filter's pass band (12000 +- 4500 Hz), at the bottom
    // far outside it.
    const QImage& img = a.VisibleImage();
    const auto curveY = [&](double hz) {
        const int px = static_cast<int>(std::lround(a.XOfFrequency(7100000.0 + hz - 12000.0)));
        for (int y = 0; y < img.height(); ++y)
            if (Is(img, px, y, kDarkRed)) return y;
        return -1;
    };
    EXPECT_GE(curveY(12000.0), 0);
    EXPECT_LT(curveY(12000.0), img.height() / 10);    // pass band near the top
    EXPECT_GT(curveY(2000.0), img.height() * 9 / 10); // stop band at the bottom
}

TEST(SpectrumAnalyser, AfOutAxisShowsAudioFrequencyAndDoesNotTune) {
    clsSpectrumAnalyser a;
    StartUp(a, QSize(600, 240), 6000); // "AF Out": FEnd = FSampling / 8, FOffset 0
    EXPECT_EQ(a.StopBin(), 256);
    a.setFastMode(true);
    a.setChn2Enabled(false);
    a.setReverseSpectrum(true);
    const auto block = Tone(64 * kHzPerBin, 16000.0); // 1500 Hz
    a.Display_S(block.data(), block.data());
    const double x = PeakX(a.VisibleImage(), kGreen);
    EXPECT_NEAR(FrequencyFromLabels(a.FrequencyLabels(), x), 1500.0, kHzPerBin);
    ExpectLabelsDrawn(a, "# ###.0");
    EXPECT_FALSE(a.AxisShowsRadioFrequency());
    EXPECT_FALSE(a.ClickTuneMHz(x).has_value());
    EXPECT_NEAR(std::stod(a.FrequencyReadout(x)), 1500.0, kHzPerBin);
    // Right edge: 6 kHz.
    EXPECT_NEAR(a.FrequencyAtX(599), 6000.0, 1.0);
}

TEST(SpectrumAnalyser, TimeModeTriggerPutsTheWindowAtThePeak) {
    for (std::int16_t chn : {1, 2}) {
        SCOPED_TRACE(chn);
        clsSpectrumAnalyser a;
        StartUp(a, QSize(500, 200));
        a.setMode(1);
        a.setFastMode(true);
        a.setScreenWidth(500);
        a.setStartBin(0);
        a.setStopBin(499);
        a.setTriggerChn(chn);
        auto ch1 = Tone(1000.0, 3000.0);
        auto ch2 = Tone(700.0, 3000.0);
        (chn == 1 ? ch1 : ch2)[700] = 20000.0f;
        // A larger peak in the last ScreenWidth samples is never searched.
        (chn == 1 ? ch1 : ch2)[1800] = 30000.0f;
        a.Display_S(ch1.data(), ch2.data());
        EXPECT_EQ(a.StartBin(), 700);
        EXPECT_EQ(a.StopBin(), 1199);
        // The trigger channel's highest pixel is at the left edge.
        const QRgb colour = chn == 1 ? kGreen : 0xFFFF00;
        EXPECT_LE(PeakX(a.VisibleImage(), colour), 1.0);
    }
}

TEST(SpectrumAnalyser, PhaseModeDrawsACircleForQuadratureTones) {
    clsSpectrumAnalyser a;
    StartUp(a, QSize(400, 300));
    a.setMode(2);
    a.setFastMode(true);
    a.setStartBin(0);
    a.setStopBin(2047);
    const double amp = 20000.0;
    auto i = Tone(750.0, amp);
    std::vector<float> q(2048);
    for (std::size_t n = 0; n < q.size(); ++n)
        q[n] = static_cast<float>(amp * std::sin(2.0 * M_PI * 750.0 * n / kRate));
    a.Display_S(i.data(), q.data());
    const QImage& img = a.VisibleImage();
    // The origin: scale left is -aspect x 32768 across, top 32768 up, 65536 high.
    const double cx = 0.5 * (img.width() - 1);
    const double cy = 0.5 * (img.height() - 1);
    double rMin = 1e9, rMax = 0.0;
    int count = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Is(img, x, y, kGreen)) {
                const double r = std::hypot(x - cx, y - cy);
                rMin = std::min(rMin, r);
                rMax = std::max(rMax, r);
                ++count;
            }
    ASSERT_GT(count, 300);
    const double expected = amp / 65536.0 * (img.height() - 1);
    EXPECT_NEAR(rMin, expected, 2.0);
    EXPECT_NEAR(rMax, expected, 2.0);
}

TEST(SpectrumAnalyser, AveragingFollowsTheWeightedHistoryForAStep) {
    // N frames, frame k blocks old weighted (k + 1) / N: after m frames of a step of height S
    // from silence the average is S x m (m + 1) / (N (N + 1)) until the history is full.
    const auto tone = Tone(100 * kHzPerBin, 10000.0);
    const double bin = 10000.0 * 1024.0;
    for (std::int32_t n : {1, 4, 8}) {
        clsSpectrumAnalyser a;
        StartUp(a, QSize(512, 200));
        a.setChn2Enabled(false);
        a.setSpectrumSmooth(n);
        for (std::int32_t m = 1; m <= n + 2; ++m) {
            a.Display_S(tone.data(), tone.data());
            const std::int32_t k = std::min(m, n);
            const double expected = bin * k * (k + 1) / (n * (n + 1.0));
            EXPECT_NEAR(a.Chn1Data()[100], expected, bin * 1e-4) << "N " << n << " frame " << m;
        }
    }
}

TEST(SpectrumAnalyser, LogModeLabelsReadDecibels) {
    clsSpectrumAnalyser a;
    StartUp(a, QSize(800, 400));
    a.setFastMode(true);
    a.setChn2Enabled(false);
    a.setLogMode(true);
    a.setReverseSpectrum(true);
    // Two tones 40 dB apart.
    auto block = Tone(200 * kHzPerBin, 10000.0);
    AddTone(block, 600 * kHzPerBin, 100.0);
    a.Display_S(block.data(), block.data());
    // Grid lines every tenth of the log range: 20 x 7.38 / 10 = 14.76 dB apart.
    const auto& labels = a.LevelLabels();
    ASSERT_EQ(labels.size(), 10u);
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(labels[i].Text, FormatNumber(-14.760422 * (10 - i), "#"));
    const QImage& img = a.VisibleImage();
    const auto levelAt = [&](double hz) {
        const int px = static_cast<int>(std::lround(a.XOfFrequency(hz)));
        int y = 0;
        while (y < img.height() && !Is(img, px, y, kGreen))
            ++y;
        // dB from the labels' grid lines (Label.X holds the line's y).
        const auto& l0 = labels.front();
        const auto& l1 = labels.back();
        return l0.Value + (y - l0.X) * (l1.Value - l0.Value) / (l1.X - l0.X);
    };
    EXPECT_NEAR(levelAt(200 * kHzPerBin) - levelAt(600 * kHzPerBin), 40.0, 1.0);

    // Twice the gain halves what each line stands for.
    a.setChn1Gain(2.0f);
    a.Display_S(block.data(), block.data());
    EXPECT_EQ(a.LevelLabels()[9].Text, "-7");
}

TEST(SpectrumAnalyser, TheTraceGainScalesLinearTracesAndShiftsLogTracesByItsDecibels) {
    clsSpectrumAnalyser a;
    StartUp(a, QSize(512, 200));
    a.setFastMode(true);
    const auto tone = Tone(100 * kHzPerBin, 10000.0);
    a.Display_S(tone.data(), tone.data());
    const float unity = a.Chn1Data()[100];
    a.setGain(4.0f);
    a.Display_S(tone.data(), tone.data());
    EXPECT_NEAR(a.Chn1Data()[100], 4.0f * unity, unity * 1e-5f);
    EXPECT_NEAR(a.Chn2Data()[100], 4.0f * unity, unity * 1e-5f);
    a.setLogMode(true);
    a.setGain(1.0f);
    a.Display_S(tone.data(), tone.data());
    const float level = a.Chn1Data()[100];
    a.setGain(10.0f); // +20 dB: one log unit
    a.Display_S(tone.data(), tone.data());
    EXPECT_NEAR(a.Chn1Data()[100] - level, 1.0f, 1e-4f);
}

TEST(SpectrumAnalyser, SettingsRoundTripThroughTheStore) {
    MemorySettingsStore store;
    {
        clsSpectrumAnalyser a(&store);
        a.setActive(true);
        a.setShowFilter(true);
        a.setReverseSpectrum(true);
        a.setAutoGain(true);
        a.setMode(1);
        a.setChn1Gain(2.5f);
        a.setChn2Shift(-40.0f);
        a.setTriggerChn(2);
        a.setFastMode(true);
        a.setMode(0);
        a.setLogMode(true);
        a.setChn2Enabled(false);
        EXPECT_EQ(store.size(), 0u); // nothing is written until asked
        a.SaveSettings();
    }
    EXPECT_EQ(store.get("SpectrumAnalyser.Mode.1", "Chn1.Gain", ""), "2.5");
    EXPECT_EQ(store.get("SpectrumAnalyser.Mode.1", "Chn2.TriggerOn", ""), "True");
    EXPECT_EQ(store.get("SpectrumAnalyser", "Mode", ""), "0");
    clsSpectrumAnalyser b(&store);
    EXPECT_TRUE(b.Active());
    EXPECT_TRUE(b.ShowFilter());
    EXPECT_TRUE(b.ReverseSpectrum());
    EXPECT_TRUE(b.AutoGain());
    EXPECT_EQ(b.Mode(), 0);
    EXPECT_TRUE(b.LogMode());
    EXPECT_FALSE(b.Chn2Enabled());
    const ModeSettings& t = b.Settings(1);
    EXPECT_FLOAT_EQ(t.Chn1Gain, 2.5f);
    EXPECT_FLOAT_EQ(t.Chn2Shift, -40.0f);
    EXPECT_TRUE(t.Chn2Trig);
    EXPECT_FALSE(t.Chn1Trig);
    EXPECT_EQ(t.TriggerChn, 2);
    EXPECT_TRUE(t.FastMode);

    // Values that make no sense fall back to the defaults; mode 2 always has both channels.
    MemorySettingsStore bad;
    bad.save("SpectrumAnalyser", "Mode", "7");
    bad.save("SpectrumAnalyser.Mode.0", "LogMode", "maybe");
    bad.save("SpectrumAnalyser.Mode.0", "Chn1.Gain", "0");
    bad.save("SpectrumAnalyser.Mode.2", "Chn1.Enabled", "False");
    clsSpectrumAnalyser c(&bad);
    EXPECT_EQ(c.Mode(), 0);
    EXPECT_FALSE(c.LogMode());
    EXPECT_FLOAT_EQ(c.Chn1Gain(), 0.000001f);
    EXPECT_TRUE(c.Settings(2).Chn1Enabled);
}

} // namespace
} // namespace orvex
