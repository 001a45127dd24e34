// The optimised vector back end gives the same audio as the portable one, mode by mode, with
// every optional stage on.
#include "ChainHarness.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace orvex;
using namespace orvex::test;

namespace {

std::vector<float> RunAllStages(std::int32_t mode, bool spl, const std::vector<float>& in) {
    vec::SetUseSPL(spl);
    std::vector<float> out;
    {
        Harness h; // built after the switch, as the program builds its chain after the probe
        h.chain.optMode_Click(mode);
        h.chain.optFilter_Click(2);
        h.chain.SetCheck(ChainCheck::NB, true);
        h.chain.SetLabel(ChainLabel::NB, 500);
        h.chain.SetCheck(ChainCheck::IFFilter, true);
        h.chain.optIFFilter_Click(2);
        h.chain.SetCheck(ChainCheck::NotchOn, true);
        h.chain.SetCheck(ChainCheck::NotchType, true);
        h.chain.SetLabel(ChainLabel::NotchC, 1700);
        h.chain.SetLabel(ChainLabel::NotchW, 200);
        // In DRM the dynamic audio filter would remove the IF itself.
        h.chain.SetCheck(ChainCheck::DynFilter, mode != kModeDRM);
        h.chain.SetCheck(ChainCheck::AGC, true);
        h.chain.optAGC_Click(1);
        h.settle();
        out = h.run(in);
    }
    vec::SetUseSPL(false);
    return out;
}

} // namespace

TEST(Backends, OptimisedAndPortableAgreeInEveryMode) {
    if (!spl::Probe()) GTEST_SKIP() << "optimised back end not available: " << spl::Description();
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0.0f, 100.0f);
    // Clear signals with one strong peak in the audio: where the envelope passes through zero
    // the FM discriminator turns rounding differences into large steps, and on a flat audio
    // spectrum the dynamic filter's choice of peak would be a coin toss.
    // The first blocks carry the filters' start-up transient, in which the FM discriminator
    // sees an IF near zero; its peaks stay in the AGC history for the delay time (59 blocks),
    // so only the blocks after that are compared.
    constexpr std::size_t kWarmUp = 64, kCompared = 16;
    auto in = Tones((kWarmUp + kCompared) * kBlock, {{12800, 5000}, {11100, 800}, {13700, 600}});
    std::vector<float> fm(in.size());
    for (std::size_t k = 0; k < fm.size(); ++k) {
        const double t = static_cast<double>(k) / kFs;
        fm[k] = static_cast<float>(
            5000 * std::cos(2 * M_PI * 12000 * t + 2.0 * std::sin(2 * M_PI * 1200 * t)));
    }
    for (auto* x : {&in, &fm})
        for (auto& v : *x)
            v += noise(rng);
    for (std::int32_t mode = kModeAM; mode <= kModeBC; ++mode) {
        const auto& signal = mode == kModeFM ? fm : in;
        const auto a = RunAllStages(mode, false, signal);
        const auto b = RunAllStages(mode, true, signal);
        ASSERT_EQ(a.size(), b.size());
        const std::size_t from = kWarmUp * kBlock;
        double diff = 0.0;
        for (std::size_t k = from; k < a.size(); ++k)
            diff += std::pow(static_cast<double>(a[k]) - b[k], 2);
        const double rmsDiff = std::sqrt(diff / static_cast<double>(a.size() - from));
        const double level = measure::Rms(a.data() + from, a.size() - from);
        EXPECT_GT(level, 100.0) << "mode " << mode;
        EXPECT_LT(rmsDiff, 1e-3 * level + 1.0) << "mode " << mode;
    }
}
