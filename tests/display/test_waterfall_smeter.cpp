// The waterfall under the trace and the S-meter, measured on their images.
#include "DisplayTestUtil.h"
#include "core/SettingsStore.h"
#include "display/SMeter.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

namespace orvex {
namespace {

using namespace testutil;

constexpr QRgb kGreen = 0x00FF00;

/// The colour map index of a waterfall pixel.
int MapIndex(QRgb pixel) {
    const auto& map = Waterfall::ColourMap();
    for (int i = 0; i < 256; ++i)
        if ((map[static_cast<std::size_t>(i)] & 0xFFFFFF) == (pixel & 0xFFFFFF)) return i;
    return -1;
}

/// Column of the brightest (highest map index) pixel in a row, the middle one of a run.
double BrightestColumn(const QImage& img, int row) {
    int best = -1, first = 0, last = 0;
    for (int x = 0; x < img.width(); ++x) {
        const int i = MapIndex(img.pixel(x, row));
        EXPECT_GE(i, 0) << "pixel outside the colour map at " << x;
        if (i > best) {
            best = i;
            first = last = x;
        } else if (i == best && last == x - 1) {
            last = x;
        }
    }
    return 0.5 * (first + last);
}

TEST(Waterfall, ToneLineIsBrightestUnderTheTracePeak) {
    // Bins outnumber pixels (full span on 700 px) and pixels outnumber bins (a narrowed
    // window), in both orientations.
    const auto block = Tone(437 * kHzPerBin + 7.0, 12000.0);
    for (bool reverse : {true, false}) {
        for (auto [start, stop] : {std::pair{0, 1024}, std::pair{380, 520}}) {
            SCOPED_TRACE(testing::Message() << reverse << " " << start << ".." << stop);
            clsSpectrumAnalyser a;
            Waterfall w;
            w.setMaxDb(0.0f); // the tone (-8.7 dBFS) below the top of the range: one peak
            StartUp(a, QSize(700, 200));
            a.AttachWaterfall(&w);
            a.setFastMode(true);
            a.setChn2Enabled(false);
            a.setReverseSpectrum(reverse);
            a.setFOffset(14200000 - 12000);
            a.setStartBin(start);
            a.setStopBin(stop);
            a.Display_S(block.data(), block.data());
            ASSERT_EQ(w.LinesAdded(), 1);
            const double traceX = PeakX(a.VisibleImage(), kGreen);
            const QImage pic = w.Composed();
            EXPECT_EQ(pic.width(), 700);
            EXPECT_NEAR(BrightestColumn(pic, 0), traceX, 1.0);
            EXPECT_GT(MapIndex(pic.pixel(static_cast<int>(traceX), 0)), 200);
        }
    }
}

TEST(Waterfall, ScrollsNewestFirstAndKeepsItsSettings) {
    MemorySettingsStore store;
    {
        Waterfall w(&store);
        BinAxis axis;
        axis.WidthPx = 101;
        axis.StopBin = 100;
        axis.ReverseSpectrum = true;
        w.setAxis(axis);
        w.setHeight(20);
        w.setFullScale(1.0f);
        w.setMinDb(-60.0f);
        w.setMaxDb(0.0f);
        std::vector<float> line(101, 0.0f);
        for (int i = 0; i < 25; ++i) { // more lines than rows: the ring wraps
            std::fill(line.begin(), line.end(), 0.0f);
            line[static_cast<std::size_t>(i * 4)] = 1.0f; // 0 dBFS in one bin
            w.AddLine(line.data(), 101);
        }
        const QImage pic = w.Composed();
        ASSERT_EQ(pic.height(), 20);
        for (int row = 0; row < 20; ++row) // row r shows the line added r frames ago
            EXPECT_EQ(BrightestColumn(pic, row), 4.0 * (24 - row)) << row;
        // Levels inside the range map linearly onto the colour map.
        EXPECT_EQ(w.LevelIndex(-30.0f), 128);
        EXPECT_EQ(w.LevelIndex(-90.0f), 0);
        w.setEnabled(false);
        w.SaveSettings();
    }
    Waterfall again(&store);
    EXPECT_FALSE(again.Enabled());
    EXPECT_EQ(again.Height(), 20);
    EXPECT_FLOAT_EQ(again.MinDb(), -60.0f);
    EXPECT_FLOAT_EQ(again.MaxDb(), 0.0f);
    // An upside-down range is refused whole.
    store.save("SpectrumAnalyser", "WaterfallMinDb", "10");
    store.save("SpectrumAnalyser", "WaterfallMaxDb", "-10");
    Waterfall defaults(&store);
    EXPECT_FLOAT_EQ(defaults.MinDb(), Waterfall::kDefaultMinDb);
    EXPECT_FLOAT_EQ(defaults.MaxDb(), Waterfall::kDefaultMaxDb);
}

/// Centres of the tick marks: runs of white pixels along the top row.
std::vector<double> TickCentres(const QImage& img) {
    std::vector<double> ticks;
    int start = -1;
    for (int x = 0; x <= img.width(); ++x) {
        const bool white = x < img.width() && Is(img, x, 0, 0xFFFFFF);
        if (white && start < 0) start = x;
        if (!white && start >= 0) {
            ticks.push_back(0.5 * (start + x - 1) + 0.5); // pen of 2 px centred on the mark
            start = -1;
        }
    }
    return ticks;
}

TEST(SMeter, ScaleMarksBarAndAlternatingSurfaces) {
    SMeter m;
    m.setSurfaceSize(QSize(451, 40));
    m.SetupSMeter();
    const double dbPerPx = SMeter::kFullScaleDb / 450.0;

    // Fourteen marks: S1..S9 every 6.02 dB, then +6 to +30 over S9.
    const auto ticks = TickCentres(m.VisibleImage());
    ASSERT_EQ(ticks.size(), 14u);
    EXPECT_NEAR(ticks[8] * dbPerPx, 54.19, 0.5);  // S9
    EXPECT_NEAR(ticks[9] * dbPerPx, 60.21, 0.5);  // +6
    EXPECT_NEAR(ticks[0] * dbPerPx, 6.02, 0.5);   // S1
    EXPECT_NEAR(ticks[13] * dbPerPx, 84.29, 0.5); // +30

    // DrawSMeter(0): scale, no bar.
    const auto barRight = [](const QImage& img) {
        int right = -1;
        for (int x = 0; x < img.width(); ++x)
            if (Is(img, x, img.height() - 8, 0x00FFFF)) right = x;
        return right;
    };
    EXPECT_EQ(barRight(m.VisibleImage()), -1);

    // Each redraw goes to the other surface, and exactly one is visible.
    int previous = m.SMeterToggle();
    for (double value : {1.1, 1000.0, 31622.8}) {
        m.DrawSMeter(value);
        EXPECT_NE(m.SMeterToggle(), previous);
        previous = m.SMeterToggle();
        EXPECT_TRUE(m.SurfaceVisible(previous));
        EXPECT_FALSE(m.SurfaceVisible(1 - previous));
        EXPECT_NEAR(barRight(m.VisibleImage()) * dbPerPx, 20.0 * std::log10(value), 0.4);
    }
    // The floor of 1.1 gives the minimum bar of 0.83 dB.
    m.DrawSMeter(1.1);
    EXPECT_NEAR(m.LevelDb(), 0.83, 0.01);

    m.setMeterToolTip("Meter Backoff=12.34 dB");
    EXPECT_EQ(m.ToolTip(), "Meter Backoff=12.34 dB");
}

} // namespace
} // namespace orvex
