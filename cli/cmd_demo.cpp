// orvexsdr-cli demo: the DSP building blocks on generated signals, with what they measure.
#include "Commands.h"
#include "dsp/SignalMeasure.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "dsp/clHilbert.h"
#include "dsp/clsFFT.h"
#include "dsp/clsFFTFilter.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace orvex::cli {
namespace {

constexpr int kBlock = 2048;
constexpr double kRate = 48000.0;

// Filters `blocks` blocks of `in` through `filter` and returns the output (the filter delays
// by its centre tap, about half a block).
std::vector<float> FilterSignal(clsFFTFilter& filter, const std::vector<float>& in) {
    std::vector<float> out(in.size());
    FloatVector block(2 * kBlock);
    for (std::size_t pos = 0; pos + kBlock <= in.size(); pos += kBlock) {
        std::copy(in.begin() + static_cast<long>(pos), in.begin() + static_cast<long>(pos + kBlock),
                  block.begin());
        filter.Filter_FFT_S_1(block.data());
        std::copy(block.begin(), block.begin() + kBlock, out.begin() + static_cast<long>(pos));
    }
    return out;
}

void SetUpFilter(clsFFTFilter& f, int lo, int hi, bool bandStop, int window) {
    f.SegmentSize = 2 * kBlock;
    f.FSampling = static_cast<int>(kRate);
    f.WindowType = window;
    f.NormaliseGain = true;
    f.BandReject = bandStop;
    f.FLow = lo;
    f.FHigh = hi;
    f.init(kBlock);
    f.MakeFilter();
}

double MicrosPerFilterBlock(clsFFTFilter& f, int repeats) {
    FloatVector block(2 * kBlock);
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 1000.0f);
    for (auto& v : block)
        v = noise(rng);
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        f.Filter_FFT_S_1(block.data());
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / repeats;
}

} // namespace

int RunDemo(const Args& args) {
    bool wantSpl = false;
    for (const auto& a : args) {
        if (a == "--spl") {
            wantSpl = true;
        } else if (a == "--help" || a == "-h") {
            std::printf("usage: orvexsdr-cli demo [--spl]\n"
                        "Runs the FFT, FFT filter and Hilbert transformer on generated signals\n"
                        "at 48000 samples per second and prints what they measure.\n"
                        "  --spl  use the optimised vector back end (FFTW/VOLK) when available\n");
            return 0;
        } else {
            std::fprintf(stderr, "orvexsdr-cli demo: unknown option '%s'\n", a.c_str());
            return 2;
        }
    }
    const bool available = spl::Probe();
    std::printf("optimised back end: %s\n", spl::Description());
    if (wantSpl && !available)
        std::printf("  --spl ignored: the optimised back end is not available\n");
    vec::SetUseSPL(wantSpl && available);
    std::printf("vector back end in use: %s\n\n",
                vec::UseSPL() ? "optimised (FFTW/VOLK)" : "portable");

    // 1. Spectrum of two tones.
    const std::size_t n = 4096;
    std::vector<float> x = measure::MakeTone(n, 1500.0, kRate, 8000.0);
    const auto t2 = measure::MakeTone(n, 12000.0, kRate, 2000.0);
    for (std::size_t i = 0; i < n; ++i)
        x[i] += t2[i];
    clsFFTReal fft;
    fft.FFTInit(static_cast<int>(n));
    FloatVector re(n + 1), im(n + 1);
    fft.FFT_Real_S_2(x.data(), re.data(), im.data());
    std::printf("real FFT of 4096 samples (1500 Hz at 8000, 12000 Hz at 2000):\n");
    const double hzPerBin = kRate / static_cast<double>(n);
    for (double f : {1500.0, 12000.0}) {
        const auto k = static_cast<std::size_t>(std::lround(f / hzPerBin));
        const double mag = std::hypot(re[k], im[k]) * 2.0 / static_cast<double>(n);
        std::printf("  bin %4zu (%7.1f Hz): amplitude %.1f\n", k, static_cast<double>(k) * hzPerBin,
                    mag);
    }

    // 2. Band-pass filter 300..2300 Hz and a notch at 1000 Hz.
    const std::size_t len = 24 * kBlock;
    std::printf("\nFFT filter, 2048-sample blocks, Blackman window:\n");
    clsFFTFilter bp;
    SetUpFilter(bp, 300, 2300, false, 2);
    for (double f : {1000.0, 2000.0, 4000.0, 8000.0}) {
        const auto in = measure::MakeTone(len, f, kRate, 10000.0);
        const auto out = FilterSignal(bp, in);
        const double level =
            measure::MeasureTone(out.data() + 4 * kBlock, len - 4 * kBlock, f, kRate).amplitude;
        std::printf("  band-pass 300-2300 Hz, tone %6.0f Hz: %+7.1f dB\n", f,
                    measure::Db(level, 10000.0));
    }
    clsFFTFilter notch;
    SetUpFilter(notch, 950, 1050, true, 1);
    for (double f : {1000.0, 600.0, 3000.0}) {
        const auto in = measure::MakeTone(len, f, kRate, 10000.0);
        const auto out = FilterSignal(notch, in);
        const double level =
            measure::MeasureTone(out.data() + 4 * kBlock, len - 4 * kBlock, f, kRate).amplitude;
        std::printf("  notch 950-1050 Hz (Hamming), tone %6.0f Hz: %+7.1f dB\n", f,
                    measure::Db(level, 10000.0));
    }

    // 3. Hilbert transformer at a quarter of the sample rate.
    clHilbert hilbert;
    clHilbert delay;
    hilbert.Load(128, kBlock);
    delay.Load(128, kBlock);
    const auto carrier = measure::MakeTone(4 * kBlock, 12000.0 + 300.0, kRate, 1000.0);
    std::vector<float> q(carrier.size()), i(carrier.size());
    for (std::size_t pos = 0; pos < carrier.size(); pos += kBlock) {
        hilbert.sTransform(carrier.data() + pos, q.data() + pos, kBlock);
        delay.sDelaySamples(carrier.data() + pos, i.data() + pos, kBlock);
    }
    const auto ti = measure::MeasureTone(i.data() + kBlock, 3 * kBlock, 12300.0, kRate);
    const auto tq = measure::MeasureTone(q.data() + kBlock, 3 * kBlock, 12300.0, kRate);
    double phase = (tq.phase - ti.phase) * 180.0 / M_PI;
    while (phase > 180.0)
        phase -= 360.0;
    while (phase < -180.0)
        phase += 360.0;
    std::printf(
        "\nHilbert transformer, 128 taps, tone at 12300 Hz:\n"
        "  delay branch amplitude %.1f, transformed amplitude %.1f (%.2f dB), phase %+.2f deg\n",
        ti.amplitude, tq.amplitude, measure::Db(tq.amplitude, ti.amplitude), phase);

    // 4. Cost of one filter block.
    std::printf("\ncost of one 2048-sample filter block:\n");
    vec::SetUseSPL(false);
    std::printf("  portable back end:  %7.1f us\n", MicrosPerFilterBlock(bp, 400));
    if (available) {
        vec::SetUseSPL(true);
        clsFFTFilter fast;
        SetUpFilter(fast, 300, 2300, false, 2);
        std::printf("  optimised back end: %7.1f us\n", MicrosPerFilterBlock(fast, 400));
        vec::SetUseSPL(false);
    }
    std::printf("  (block period %.2f ms)\n", 1000.0 * kBlock / kRate);
    return 0;
}

} // namespace orvex::cli
