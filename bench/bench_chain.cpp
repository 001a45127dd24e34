// The receive chain per block, every optional stage on (noise reducer, IF filter, IF notch,
// dynamic filter, AGC), in each mode, on the portable and on the optimised vector back end.
// Reports microseconds per block (the benchmark's time), the handler's own load figure
// DSPLoad in per cent of the 42.67 ms block period, and a minute of IF end to end.
#include "dsp/ReceiveChain.h"
#include "dsp/SignalMeasure.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

using namespace orvex;

namespace {

constexpr std::size_t kBlocksOfSignal = 32;

// A carrier with AM, a second signal in the other sideband and noise: every stage has work.
const std::vector<std::int16_t>& Signal() {
    static const std::vector<std::int16_t> signal = [] {
        std::mt19937 rng(5);
        std::normal_distribution<double> noise(0.0, 200.0);
        std::vector<std::int16_t> x(kBlocksOfSignal * kBlockSamples);
        for (std::size_t k = 0; k < x.size(); ++k) {
            const double t = static_cast<double>(k) / kChainSampleRate;
            const double v = 4000.0 * (1.0 + 0.5 * std::cos(2 * M_PI * 800 * t)) *
                                 std::cos(2 * M_PI * 12000 * t) +
                             1500.0 * std::cos(2 * M_PI * 13300 * t) + noise(rng);
            x[k] = static_cast<std::int16_t>(std::lround(v));
        }
        return x;
    }();
    return signal;
}

std::unique_ptr<ReceiveChain> MakeChain(std::int32_t mode, bool spl) {
    spl::Probe();
    vec::SetUseSPL(spl);
    auto chain = std::make_unique<ReceiveChain>(); // after the switch: plans for the optimised FFTs
    chain->RestoreDefaults();
    chain->CompleteStartup();
    chain->optMode_Click(mode);
    chain->optFilter_Click(3);
    chain->SetCheck(ChainCheck::NB, true);
    chain->SetLabel(ChainLabel::NB, 500);
    chain->SetCheck(ChainCheck::IFFilter, true);
    chain->optIFFilter_Click(2);
    chain->SetCheck(ChainCheck::NotchOn, true);
    chain->SetCheck(ChainCheck::NotchType, true);
    chain->SetLabel(ChainLabel::NotchC, 1300);
    chain->SetLabel(ChainLabel::NotchW, 200);
    chain->SetCheck(ChainCheck::DynFilter, true);
    chain->SetCheck(ChainCheck::AGC, true);
    chain->optAGC_Click(2);
    chain->tmrPerfStats_Timer();
    return chain;
}

void BM_ChainBlock(benchmark::State& state) {
    const auto mode = static_cast<std::int32_t>(state.range(0));
    const bool spl = state.range(1) != 0;
    if (spl && !spl::Probe()) {
        state.SkipWithError("optimised back end not available");
        return;
    }
    auto chain = MakeChain(mode, spl);
    const auto& signal = Signal();
    std::vector<std::int16_t> ch1(kBlockSamples), ch2(kBlockSamples);
    std::size_t block = 0;
    double loadSum = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto* src = signal.data() + (block % kBlocksOfSignal) * kBlockSamples;
        std::copy(src, src + kBlockSamples, ch1.begin());
        ch2 = ch1;
        state.ResumeTiming();
        chain->SoundCard_DataReady(ch1.data(), ch2.data(), kBlockSamples);
        benchmark::DoNotOptimize(ch1.data());
        state.PauseTiming();
        loadSum += chain->State().DSPLoad;
        chain->tmrPerfStats_Timer(); // the timer's tracking and redesigns, outside the block
        ++block;
        state.ResumeTiming();
    }
    state.counters["DSPLoad_pct"] = 100.0 * loadSum / static_cast<double>(block);
    vec::SetUseSPL(false);
}

// One minute of IF (1407 blocks) through the handler and the statistics timer, as
// orvexsdr-cli demod runs it (file reading and writing aside).
void BM_OneMinute(benchmark::State& state) {
    const bool spl = state.range(0) != 0;
    if (spl && !spl::Probe()) {
        state.SkipWithError("optimised back end not available");
        return;
    }
    const auto& signal = Signal();
    std::vector<std::int16_t> ch1(kBlockSamples), ch2(kBlockSamples);
    for (auto _ : state) {
        auto chain = MakeChain(kModeUSB, spl);
        for (std::size_t block = 0; block < 1407; ++block) {
            const auto* src = signal.data() + (block % kBlocksOfSignal) * kBlockSamples;
            std::copy(src, src + kBlockSamples, ch1.begin());
            ch2 = ch1;
            chain->SoundCard_DataReady(ch1.data(), ch2.data(), kBlockSamples);
            chain->tmrPerfStats_Timer();
        }
        benchmark::DoNotOptimize(ch1.data());
    }
    vec::SetUseSPL(false);
}

} // namespace

// Args: mode (0 AM, 1 USB, 2 LSB, 3 DRM, 4 FM, 5 BC), back end (0 portable, 1 optimised).
BENCHMARK(BM_ChainBlock)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->ArgNames({"mode", "spl"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneMinute)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("spl")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
