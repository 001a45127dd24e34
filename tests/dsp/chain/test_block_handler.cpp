// The block handler: display taps, dropped blocks, statistics records and timers, the meter,
// the statistics timer's order of work, and the mode and image switches' effects outside.
#include "ChainHarness.h"
#include "core/YieldHook.h"
#include "support/AllocationCounter.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <string>

using namespace orvex;
using namespace orvex::test;

namespace {

class RecordingTap final : public SpectrumTap {
public:
    bool Active() const override { return active; }
    bool Chn2Enabled() const override { return chn2; }
    void setReverseSpectrum(bool r) override { reverse = r; }
    double FStart() const override { return 0.0; }
    double FEnd() const override { return 24000.0; }
    void setFOffset(std::int32_t hz) override { offset = hz; }
    void LoadSamples_INT16(const std::int16_t* c1, const std::int16_t* c2) override {
        calls.push_back("int16");
        first1 = c1[5];
        first2 = c2[5];
        if (onLoad) onLoad();
    }
    void LoadSamples_S(const float* c1, const float* c2) override {
        calls.push_back("single");
        first1 = c1[5];
        first2 = c2[5];
    }
    void LoadFilterCoeffs_T_S(const float* taps) override { centreTap = taps[1023]; }
    void setShowNotch(bool show) override { notchShown = show; }

    bool active = true, chn2 = true, reverse = false, notchShown = false;
    std::int32_t offset = 0;
    float first1 = 0, first2 = 0, centreTap = 0;
    std::vector<std::string> calls;
    std::function<void()> onLoad;
};

class FixedTuner final : public TunerPort {
public:
    double TunedFreq() const override { return mhz; }
    void setTunedFreq(double v) override {
        mhz = v;
        ++loads;
    }
    std::string FormattedTunedFreq() const override { return "7.050 000"; }
    double mhz = 7.05;
    int loads = 0;
};

class RecordingMeter final : public MeterDisplay {
public:
    void DrawSMeter(double level) override { levels.push_back(level); }
    void setMeterToolTip(const std::string& text) override { tip = text; }
    std::vector<double> levels;
    std::string tip;
};

std::vector<float> Steps50() {
    return Tones(50 * kBlock, {{1000, 3000}});
}

} // namespace

TEST(BlockHandler, DisplayTapsSeeEachSourceWithTheTunedOffset) {
    Harness h;
    RecordingTap tap;
    FixedTuner tuner;
    h.chain.AttachSpectrum(&tap);
    h.chain.AttachTuner(&tuner);
    h.chain.optMode_Click(kModeUSB);
    h.settle();
    EXPECT_EQ(tap.centreTap, h.chain.IFFilter().KernelTaps()[1023])
        << "filter overlay after a rebuild";

    std::vector<float> in(kBlock, 0.0f);
    in[5] = 1234.0f;
    h.s().SpectrumSource = 0;
    h.run(in);
    EXPECT_EQ(tap.calls, std::vector<std::string>{"int16"});
    EXPECT_EQ(tap.first1, 1234.0f);
    EXPECT_TRUE(tap.reverse);
    EXPECT_EQ(tap.offset, 7050000 - 12000);

    for (std::int32_t source : {1, 2, 3}) {
        tap.calls.clear();
        tap.reverse = false;
        h.s().SpectrumSource = source;
        h.run(in);
        ASSERT_EQ(tap.calls.size(), 1u) << source;
        EXPECT_EQ(tap.calls[0], source == 3 ? "int16" : "single") << source;
        if (source != 3) {
            EXPECT_TRUE(tap.reverse) << source;
        }
    }
    // "Pre Demod" shows the filtered block beside the captured copy on channel 2.
    h.s().SpectrumSource = 1;
    h.run(in);
    EXPECT_EQ(tap.first2, 1234.0f);

    tap.active = false;
    tap.calls.clear();
    h.run(in);
    EXPECT_TRUE(tap.calls.empty());
}

TEST(BlockHandler, ABlockArrivingDuringABlockIsDropped) {
    Harness h;
    RecordingTap tap;
    h.chain.AttachSpectrum(&tap);
    std::vector<std::int16_t> nested(kBlock, 100), nested2(kBlock, 100);
    int nestedCalls = 0;
    tap.onLoad = [&] {
        if (nestedCalls++ == 0) h.chain.SoundCard_DataReady(nested.data(), nested2.data(), kBlock);
    };
    h.run(std::vector<float>(kBlock, 10.0f));
    EXPECT_EQ(h.chain.DroppedBlocks(), 1);
    EXPECT_EQ(h.card.out.size(), kBlock) << "only the first block is queued";
    EXPECT_EQ(nested[0], 100) << "the dropped block is not processed";
}

TEST(BlockHandler, LoadRingsTimersAndMeter) {
    Harness h;
    RecordingMeter meter;
    h.chain.AttachMeter(&meter);
    h.chain.SetCheck(ChainCheck::PerfStats, true);
    h.chain.optMode_Click(kModeDRM);
    h.settle();
    h.run(Steps50());
    EXPECT_GT(h.s().DSPLoad, 0.0f);
    EXPECT_LT(h.s().DSPLoad, 0.9f);
    EXPECT_EQ(h.timers.spectrumMs.back(), 4);
    EXPECT_EQ(h.timers.statsMs.back(), 1);
    EXPECT_EQ(h.timers.statsMs.size(), 50u);
    // 50 blocks: the rings have wrapped once (0..46, 0, 1, 2).
    EXPECT_EQ(h.s().InPeakPos, 3);
    EXPECT_EQ(h.s().BlockTimePos, 3);
    EXPECT_EQ(h.s().InPeakRing[10], 3000);
    EXPECT_EQ(h.s().OutPeakRing[46], 3000);
    EXPECT_NEAR(h.s().AvgPeakIn, 3000.0, 0.5);
    EXPECT_GT(h.s().AvgBlockTime, 0.0);
    EXPECT_NEAR(h.s().AvgLoad, h.s().AvgBlockTime / 1e6 / kBlockPeriod, 1e-9);
    // Mean I/Q power of a tone of amplitude A in DRM (I = Q = IF): A^2.
    EXPECT_NEAR(h.s().SMeterPower[0], 3000.0 * 3000.0, 3000.0 * 3000.0 * 0.01);
    ASSERT_FALSE(meter.levels.empty());
    EXPECT_NEAR(meter.levels.back(), h.s().SMeterPower[0] - 10.0, h.s().SMeterPower[0] * 0.01);

    h.chain.cmdCalibrateSMeter_Click();
    h.chain.tmrPerfStats_Timer();
    EXPECT_NEAR(meter.levels.back(), 1.1, 1e-6) << "at the new zero the meter shows its floor";
    EXPECT_EQ(meter.tip.rfind("Meter Backoff=", 0), 0u);
    EXPECT_NE(meter.tip.find(" dB"), std::string::npos);

    // With the statistics off the block-time position is held at 0.
    h.chain.SetCheck(ChainCheck::PerfStats, false);
    h.run(std::vector<float>(kBlock, 1.0f));
    EXPECT_EQ(h.s().BlockTimePos, 0);
    EXPECT_EQ(h.s().InPeakPos, 3);
}

TEST(BlockHandler, StatisticsTimerWaitsForTheBlockAndRebuildsAfterIt) {
    Harness h;
    int yields = 0;
    ScopedYieldHook hook([&] { ++yields; });
    h.chain.optFilter_Click(2);
    EXPECT_TRUE(h.s().FiltersChanged);
    EXPECT_EQ(h.chain.AFDemodFilter().FHigh, 5000) << "a click does not redesign";
    h.chain.tmrPerfStats_Timer();
    EXPECT_FALSE(h.s().FiltersChanged);
    EXPECT_EQ(h.chain.AFDemodFilter().FHigh, 2300);
    EXPECT_GT(yields, 3) << "the rebuild gives the user interface turns between designs";
    EXPECT_FALSE(h.s().DSPBusy);
}

TEST(BlockHandler, LeavingDrmRestartsAReleasedSoundCardAndImageReloads) {
    Harness h;
    h.chain.optMode_Click(kModeDRM);
    h.card.prepared = false;
    h.s().PowerOn = true;
    h.chain.optMode_Click(kModeUSB);
    EXPECT_EQ(h.card.prepareCalls, 1);
    EXPECT_EQ(h.card.startCalls, 1);
    EXPECT_EQ(h.s().optMode.Buttons[kModeUSB].Colour, kColourSelected);
    EXPECT_EQ(h.s().optMode.Buttons[kModeDRM].Colour, kColourResting);
    EXPECT_TRUE(h.chain.SSBFilterI().Active);
    EXPECT_FALSE(h.chain.AFDemodFilter().Active);
    // Prepared already: not started again.
    h.chain.optMode_Click(kModeDRM);
    h.chain.optMode_Click(kModeAM);
    EXPECT_EQ(h.card.startCalls, 1);
    EXPECT_TRUE(h.chain.AFDemodFilter().Active);
    EXPECT_FALSE(h.chain.SSBFilterQ().Active);

    FixedTuner tuner;
    h.chain.AttachTuner(&tuner);
    h.settle();
    h.chain.SetCheck(ChainCheck::Image, true);
    EXPECT_EQ(tuner.loads, 1);
    EXPECT_DOUBLE_EQ(tuner.mhz, 7.05);
    EXPECT_EQ(h.s().chkImage.Colour, kColourRed);
    EXPECT_EQ(h.s().FrequencyReadout, "7.050 000");
    EXPECT_TRUE(h.s().FiltersChanged);
    h.chain.SetCheck(ChainCheck::Image, false);
    EXPECT_EQ(h.s().chkImage.Colour, kColourDarkRed);
}

TEST(BlockHandler, ABlockAllocatesNothing) {
    {
        AllocationCounter counter;
        FloatVector probe(8);
        EXPECT_EQ(counter.count(), 1) << "the counter sees aligned vectors";
    }
    for (std::int32_t mode = kModeAM; mode <= kModeBC; ++mode) {
        Harness h;
        RecordingTap tap;
        FixedTuner tuner;
        h.chain.AttachSpectrum(&tap);
        h.chain.AttachTuner(&tuner);
        h.chain.optMode_Click(mode);
        h.chain.SetCheck(ChainCheck::NB, true);
        h.chain.SetLabel(ChainLabel::NB, 300);
        h.chain.SetCheck(ChainCheck::IFFilter, true);
        h.chain.SetCheck(ChainCheck::NotchOn, true);
        h.chain.SetCheck(ChainCheck::DynFilter, true);
        h.chain.SetCheck(ChainCheck::AGC, true);
        h.chain.SetCheck(ChainCheck::PerfStats, true);
        h.s().SpectrumSource = 2;
        h.settle();
        const auto in = Tones(kBlock, {{12800, 3000}});
        std::vector<std::int16_t> ch1(kBlock), ch2(kBlock);
        for (std::size_t k = 0; k < kBlock; ++k)
            ch1[k] = static_cast<std::int16_t>(in[k]);
        ch2 = ch1;
        h.card.out.reserve(16 * kBlock);
        h.card.queuedAttenuation.reserve(16);
        h.timers.spectrumMs.reserve(16);
        h.timers.statsMs.reserve(16);
        tap.calls.reserve(16);
        AllocationCounter counter;
        h.chain.SoundCard_DataReady(ch1.data(), ch2.data(), kBlock);
        EXPECT_EQ(counter.count(), 0) << "mode " << mode;
    }
}
