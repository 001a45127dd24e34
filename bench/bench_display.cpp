// The spectrum display per frame: transform, averaging, drawing the 1024 bins of the full span
// into a 1024 x 256 image, and one waterfall line, on the portable and the optimised vector
// back end. Goal: under 1 ms a frame. Also the frame while tuning (the graticule's labels move
// every frame and are rendered again), the Time and Phase modes, and one S-meter redraw. Each
// is compared with FFTW's bare 2048-point real transform.
#include "RatioReporter.h"
#include "display/SMeter.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <fftw3.h>
#include <memory>
#include <random>
#include <vector>

using namespace orvex;

namespace {

// Noise, a strong carrier and a weak one: a busy band as the IF tap delivers it.
const std::vector<float>& Block() {
    static const std::vector<float> block = [] {
        std::mt19937 rng(3);
        std::normal_distribution<float> noise(0.0f, 30.0f);
        std::vector<float> x(2048);
        for (std::size_t n = 0; n < x.size(); ++n)
            x[n] = 8000.0f * static_cast<float>(std::cos(2 * M_PI * 12345.0 * n / 48000.0)) +
                   200.0f * static_cast<float>(std::cos(2 * M_PI * 9100.0 * n / 48000.0)) +
                   noise(rng);
        return x;
    }();
    return block;
}

struct Display {
    Waterfall waterfall;
    clsSpectrumAnalyser analyser;
    Display(bool optimised, std::int32_t mode, bool log) {
        vec::SetUseSPL(optimised);
        analyser.setSurfaceSize(QSize(1024, 256));
        analyser.setFSampling(48000);
        analyser.setOrder(11);
        analyser.setFStart(0);
        analyser.setFEnd(24000);
        analyser.AttachWaterfall(&waterfall);
        analyser.init(); // after the switch: the transform gets its plan
        analyser.setActive(true);
        analyser.setMode(mode);
        analyser.setLogMode(log);
        analyser.setReverseSpectrum(true);
        analyser.setFOffset(7100000 - 12000);
        analyser.setChn2Enabled(false);
        analyser.setShowFilter(true);
        if (mode == 1) {
            analyser.setFastMode(true);
            analyser.setScreenWidth(1000);
            analyser.setTriggerChn(1);
        }
        if (mode == 2) {
            analyser.setFastMode(true);
            analyser.setStartBin(0);
            analyser.setStopBin(2047);
        }
    }
};

// Arguments: back end (0 portable, 1 optimised), mode (0 Frequency, 1 Time, 2 Phase), log
// scale (0 or 1), retuned every frame (0 or 1: the labels move, so the graticule is rendered
// again each frame).
void BM_DisplayFrame(benchmark::State& state) {
    Display d(state.range(0) != 0, static_cast<std::int32_t>(state.range(1)), state.range(2) != 0);
    const bool tuning = state.range(3) != 0;
    const auto& block = Block();
    std::int32_t offset = 7100000 - 12000;
    for (auto _ : state) {
        if (tuning) d.analyser.setFOffset(offset += 1000);
        d.analyser.Display_S(block.data(), block.data());
    }
    vec::SetUseSPL(false);
}
BENCHMARK(BM_DisplayFrame)
    ->Args({0, 0, 1, 0})
    ->Args({1, 0, 1, 0})
    ->Args({1, 0, 0, 0})
    ->Args({1, 0, 1, 1})
    ->Args({1, 1, 0, 0})
    ->Args({1, 2, 0, 0})
    ->Unit(benchmark::kMicrosecond);

void BM_SMeter(benchmark::State& state) {
    SMeter meter;
    meter.setSurfaceSize(QSize(300, 30));
    meter.SetupSMeter();
    double level = 2.0;
    for (auto _ : state) {
        level = level > 30000.0 ? 2.0 : level * 1.1;
        meter.DrawSMeter(level);
    }
}
BENCHMARK(BM_SMeter)->Unit(benchmark::kMicrosecond);

// Reference: FFTW's real transform of the same block, the least a frame must do.
void BM_FFTW_Real2048(benchmark::State& state) {
    float* in = fftwf_alloc_real(2048);
    fftwf_complex* out = fftwf_alloc_complex(1025);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(2048, in, out, FFTW_MEASURE);
    std::copy(Block().begin(), Block().end(), in);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
}
BENCHMARK(BM_FFTW_Real2048)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The engines draw text: a QGuiApplication on the offscreen platform unless one is set.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    orvex::spl::Probe();
    benchmark::Initialize(&argc, argv);
    orvex::bench::RatioReporter reporter({
        {"BM_DisplayFrame/0/0/1/0", "BM_FFTW_Real2048"},
        {"BM_DisplayFrame/1/0/1/0", "BM_FFTW_Real2048"},
        {"BM_DisplayFrame/1/0/0/0", "BM_FFTW_Real2048"},
        {"BM_DisplayFrame/1/0/1/1", "BM_FFTW_Real2048"},
        {"BM_DisplayFrame/1/1/0/0", "BM_FFTW_Real2048"},
        {"BM_DisplayFrame/1/2/0/0", "BM_FFTW_Real2048"},
        {"BM_SMeter", "BM_FFTW_Real2048"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
