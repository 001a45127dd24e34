// The AF filter presets and edges, music mode, the IF filter modes and the dynamic filter:
// the edges each filter gets, and what passes through the chain.
#include "ChainHarness.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::test;

TEST(Filters, PresetFourHundredInUsbPassesAndStops) {
    Harness h;
    h.chain.optMode_Click(kModeUSB);
    h.chain.optFilter_Click(1);
    h.settle();
    EXPECT_EQ(h.chain.IFFilter().FLow, 12200);
    EXPECT_EQ(h.chain.IFFilter().FHigh, 12600);
    EXPECT_EQ(h.chain.SSBFilterI().FLow, 200);
    EXPECT_EQ(h.chain.SSBFilterI().FHigh, 600);
    EXPECT_EQ(h.chain.SSBFilterQ().FHigh, 600);
    EXPECT_EQ(h.chain.AFFilter().FLow, 240);
    EXPECT_EQ(h.chain.AFFilter().FHigh, 560);

    const auto out = h.run(Tones(16 * kBlock, {{12400, 4000}, {13500, 4000}}));
    const double pass = ToneLevel(out, 400);
    const double stop = ToneLevel(out, 1500);
    EXPECT_NEAR(measure::Db(pass, 4000), 0.0, 1.0);
    EXPECT_LT(measure::Db(stop, pass), -40.0);
    EXPECT_EQ(h.s().optFilter.Buttons[1].Colour, kColourSelected);
    EXPECT_EQ(h.s().optFilter.Buttons[0].Colour, kColourResting);
}

TEST(Filters, IfPassBandFollowsTheMode) {
    Harness h;
    h.chain.optFilter_Click(2); // 300..2300
    h.chain.optMode_Click(kModeLSB);
    h.settle();
    EXPECT_EQ(h.chain.IFFilter().FLow, 12000 - 2300);
    EXPECT_EQ(h.chain.IFFilter().FHigh, 12000 - 300);
    h.chain.optMode_Click(kModeFM);
    h.settle();
    EXPECT_EQ(h.chain.IFFilter().FLow, 2000);
    EXPECT_EQ(h.chain.IFFilter().FHigh, 22000);
    EXPECT_EQ(h.chain.AMFilterQ().FLow, 2000);
    EXPECT_EQ(h.chain.AFDemodFilter().FHigh, 2300);
    // AM and BC with the IF filter mode "Man" (the start-up choice, whether or not the IF
    // filter is on) take the IF edges, and so the AM pair's, from the offsets around the IF
    // centre: 0 below and 6000 above at start-up.
    h.chain.optMode_Click(kModeAM);
    h.settle();
    EXPECT_EQ(h.chain.IFFilter().FLow, 12000);
    EXPECT_EQ(h.chain.IFFilter().FHigh, 18000);
    EXPECT_EQ(h.chain.AMFilterI().FHigh, 18000);
    h.chain.SetCheck(ChainCheck::IFFilter, true);
    h.chain.SetLabel(ChainLabel::IFLo, 1500);
    h.chain.SetLabel(ChainLabel::IFHi, 4000);
    EXPECT_TRUE(h.s().FiltersChanged);
    EXPECT_EQ(h.chain.IFFilter().FLow, 12000) << "redesign waits for the statistics timer";
    h.settle();
    EXPECT_FALSE(h.s().FiltersChanged);
    EXPECT_EQ(h.chain.IFFilter().FLow, 10500);
    EXPECT_EQ(h.chain.IFFilter().FHigh, 16000);
    EXPECT_EQ(h.chain.AMFilterQ().FLow, 10500);
    EXPECT_EQ(h.s().IFFilterSettings[1].CurrentLo, 1500);
    // "Track": AM and BC pass the IF centre +- FilterHi.
    h.chain.optIFFilter_Click(2);
    h.settle();
    EXPECT_EQ(h.chain.IFFilter().FLow, 12000 - 2300);
    EXPECT_EQ(h.chain.IFFilter().FHigh, 12000 + 2300);
    EXPECT_TRUE(h.chain.IFFilter().Active);
}

TEST(Filters, IfFilterModesAndSwitch) {
    Harness h;
    // While the IF filter is off its mode buttons change nothing.
    h.chain.optIFFilter_Click(2);
    EXPECT_EQ(h.s().CurrentIFFilterMode, 1);
    EXPECT_FALSE(h.s().IFFilterActive);

    h.chain.optMode_Click(kModeUSB);
    h.chain.optFilter_Click(2);
    h.chain.SetCheck(ChainCheck::IFFilter, true);
    h.chain.optIFFilter_Click(2); // track: the IF labels come from the preset
    EXPECT_EQ(h.s().CurrentIFFilterMode, 2);
    EXPECT_EQ(h.s().lblIFHi.Value, 2300.0f);
    EXPECT_EQ(h.s().lblIFLo.Value, 300.0f);
    EXPECT_EQ(h.s().optIFFilter.Buttons[2].Colour, kColourSelected);
    h.chain.optIFFilter_Click(0); // "Off" clears the check box and the filter
    EXPECT_FALSE(h.s().chkIFFilter.Value);
    EXPECT_FALSE(h.chain.IFFilter().Active);
    EXPECT_FALSE(h.s().lblIFHi.Enabled);

    // The IF filter passes the sideband band and removes an out-of-band IF tone before the
    // mixer, here in DRM where nothing else filters.
    Harness d;
    d.chain.optMode_Click(kModeDRM);
    d.chain.optFilter_Click(2);
    d.chain.SetCheck(ChainCheck::IFFilter, true);
    d.settle();
    const auto out = d.run(Tones(16 * kBlock, {{13000, 3000}, {17000, 3000}}));
    EXPECT_NEAR(measure::Db(ToneLevel(out, 13000), 3000), 0.0, 1.0);
    // Rectangular window: a modest stop band, about 20 dB down.
    EXPECT_LT(measure::Db(ToneLevel(out, 17000), 3000), -20.0);
}

TEST(Filters, MusicModeAndEdgeLabels) {
    Harness h;
    h.chain.optFilter_Click(3);
    EXPECT_EQ(h.s().FilterLo, 300);
    // Every figure of the edges follows the preset, not only a dragged slider.
    EXPECT_EQ(h.s().lblFLo, "300");
    EXPECT_EQ(h.s().lblFilterHi.Value, 3000.0f);
    EXPECT_EQ(h.s().sldBW[1].ToolTip, "Fhi : 3,000 Hz");
    h.chain.SetCheck(ChainCheck::Music, true);
    EXPECT_EQ(h.s().FilterLo, 50);
    EXPECT_TRUE(h.s().MusicOn);
    EXPECT_TRUE(h.s().FilterPresets[3].Music);
    EXPECT_EQ(h.s().lblFilterLo.Caption, "50");
    h.chain.SetCheck(ChainCheck::Music, false);
    EXPECT_EQ(h.s().FilterLo, 300);
    EXPECT_FALSE(h.s().FilterPresets[3].Music);

    // Edge labels move the edges; right button resets them to the preset's defaults.
    h.chain.SetLabel(ChainLabel::FilterHi, 2712.4f);
    EXPECT_EQ(h.s().FilterHi, 2712);
    EXPECT_EQ(h.s().sldBW[1].Value, h.s().sldBW[1].Max + h.s().sldBW[1].Min - 2712);
    EXPECT_TRUE(h.s().FiltersChanged);
    h.chain.ResetLabel(ChainLabel::FilterHi);
    EXPECT_EQ(h.s().FilterHi, 3000);

    // The variable-filter sliders are inverted, and the edges show on their labels.
    h.chain.sldBW_Change(1, h.s().sldBW[1].Max + h.s().sldBW[1].Min - 2500);
    EXPECT_EQ(h.s().FilterHi, 2500);
    EXPECT_EQ(h.s().lblFHi, "2500");
    EXPECT_EQ(h.s().sldBW[1].ToolTip, "Fhi : 2,500 Hz");
    h.chain.sldBW_RightButton(1); // back to the edge in its tag (the preset's 3000)
    EXPECT_EQ(h.s().FilterHi, 3000);
    h.chain.sldBW_MouseMove(0, 100, 1000);
    EXPECT_EQ(h.s().lblFloDescColour, kColourSelected);
    h.chain.sldBW_MouseMove(0, 40, 1000);
    EXPECT_EQ(h.s().lblFLoColour, kColourResting);
}

TEST(Filters, DynamicFilterFollowsThePeakInsideTheBand) {
    Harness h;
    h.chain.optMode_Click(kModeUSB);
    h.chain.optFilter_Click(1); // 200..600
    h.chain.SetCheck(ChainCheck::DynFilter, true);
    h.settle();
    auto inside = [&] {
        EXPECT_GE(h.chain.AFFilter().FLow, h.s().FilterLo);
        EXPECT_LE(h.chain.AFFilter().FHigh, h.s().FilterHi);
        EXPECT_LT(h.chain.AFFilter().FLow, h.chain.AFFilter().FHigh);
    };
    h.run(Tones(16 * kBlock, {{12550, 3000}}));
    EXPECT_NEAR(h.s().PeakFreq, 550, 12);
    EXPECT_EQ(h.chain.AFFilter().FHigh, 600); // moved up to the band's top
    inside();
    const auto upper = h.chain.AFFilter().FHigh;
    h.run(Tones(16 * kBlock, {{12250, 3000}}));
    EXPECT_NEAR(h.s().PeakFreq, 250, 12);
    EXPECT_LT(h.chain.AFFilter().FHigh, upper); // moved down
    EXPECT_EQ(h.chain.AFFilter().FLow, 200);
    inside();
    // A move of 100 Hz or less is ignored.
    const auto lo = h.chain.AFFilter().FLow, hi = h.chain.AFFilter().FHigh;
    h.run(Tones(16 * kBlock, {{12320, 3000}}));
    EXPECT_EQ(h.chain.AFFilter().FLow, lo);
    EXPECT_EQ(h.chain.AFFilter().FHigh, hi);

    // Wide preset: the edges stay inside FilterLo..FilterHi for any peak.
    Harness w;
    w.chain.optMode_Click(kModeUSB);
    w.chain.SetCheck(ChainCheck::DynFilter, true);
    w.settle();
    for (double f : {4800.0, 300.0, 2500.0, 4000.0}) {
        w.run(Tones(12 * kBlock, {{12000 + f, 3000}}));
        EXPECT_NEAR(w.s().PeakFreq, f, 12) << f;
        EXPECT_GE(w.chain.AFFilter().FLow, 50) << f;
        EXPECT_LE(w.chain.AFFilter().FHigh, 5000) << f;
    }
    // Clearing "Dyn" switches the filter off and takes the edges back from the sliders.
    w.chain.SetCheck(ChainCheck::DynFilter, false);
    EXPECT_FALSE(w.chain.AFFilter().Active);
    EXPECT_EQ(w.s().FilterLo, 50);
    EXPECT_EQ(w.s().FilterHi, 5000);
}
