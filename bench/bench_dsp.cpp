// The DSP building blocks against plain FFTW references: a 4096-point real transform pair, one
// 2048-sample FFT filter block and one Hilbert block, on the portable and on the optimised
// vector back end.
#include "RatioReporter.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "dsp/clHilbert.h"
#include "dsp/clsFFT.h"
#include "dsp/clsFFTFilter.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <fftw3.h>
#include <random>

namespace {

using namespace orvex;
constexpr int kBlock = 2048;
constexpr int kSegment = 2 * kBlock;

FloatVector Noise(std::size_t n, unsigned seed) {
    FloatVector v(n);
    std::mt19937 rng(seed);
    std::normal_distribution<float> d(0.0f, 3000.0f);
    for (auto& x : v)
        x = d(rng);
    return v;
}

// A plain FFTW overlap-add filter: r2c of the zero-padded block, complex multiply by the
// kernel's response, c2r, overlap-add of the tail. The reference every block is measured against.
class FftwOverlapAdd {
public:
    explicit FftwOverlapAdd(const float* taps, int numTaps)
        : m_time(fftwf_alloc_real(kSegment)), m_freq(fftwf_alloc_complex(kSegment / 2 + 1)),
          m_h(fftwf_alloc_complex(kSegment / 2 + 1)), m_tail(kSegment, 0.0f) {
        m_fwd = fftwf_plan_dft_r2c_1d(kSegment, m_time, m_freq, FFTW_MEASURE);
        m_inv = fftwf_plan_dft_c2r_1d(kSegment, m_freq, m_time, FFTW_MEASURE);
        std::memset(m_time, 0, sizeof(float) * kSegment);
        std::memcpy(m_time, taps, sizeof(float) * static_cast<std::size_t>(numTaps));
        fftwf_execute(m_fwd);
        const float scale = 1.0f / kSegment;
        for (int k = 0; k <= kSegment / 2; ++k) {
            m_h[k][0] = m_freq[k][0] * scale;
            m_h[k][1] = m_freq[k][1] * scale;
        }
    }
    ~FftwOverlapAdd() {
        fftwf_destroy_plan(m_fwd);
        fftwf_destroy_plan(m_inv);
        fftwf_free(m_time);
        fftwf_free(m_freq);
        fftwf_free(m_h);
    }
    void filter(float* block) {
        std::memcpy(m_time, block, sizeof(float) * kBlock);
        std::memset(m_time + kBlock, 0, sizeof(float) * kBlock);
        fftwf_execute(m_fwd);
        for (int k = 0; k <= kSegment / 2; ++k) {
            const float a = m_freq[k][0], b = m_freq[k][1], c = m_h[k][0], d = m_h[k][1];
            m_freq[k][0] = a * c - b * d;
            m_freq[k][1] = a * d + b * c;
        }
        fftwf_execute(m_inv);
        for (int i = 0; i < kBlock; ++i)
            block[i] = m_time[i] + m_tail[static_cast<std::size_t>(i)];
        for (int i = 0; i < kBlock - 1; ++i)
            m_tail[static_cast<std::size_t>(i)] = m_time[kBlock + i];
    }

private:
    float* m_time;
    fftwf_complex* m_freq;
    fftwf_complex* m_h;
    std::vector<float> m_tail;
    fftwf_plan m_fwd;
    fftwf_plan m_inv;
};

void SetBackEnd(benchmark::State& state, bool optimised) {
    vec::SetUseSPL(optimised);
    if (optimised && !vec::UseSPL()) state.SkipWithError("optimised back end not available");
}

void BM_RealTransformPair(benchmark::State& state) {
    SetBackEnd(state, state.range(0) == 1);
    clsFFTReal fft;
    fft.FFTInit(kSegment);
    FloatVector x = Noise(kSegment + 1, 1), re(kSegment + 1), im(kSegment + 1), y(kSegment + 1);
    for (auto _ : state) {
        fft.FFT_Real_S_2(x.data(), re.data(), im.data());
        fft.IFFT_Real_S_2(re.data(), im.data(), y.data());
        benchmark::DoNotOptimize(y.data());
    }
    vec::SetUseSPL(false);
}

void BM_RealTransformPair_FFTW(benchmark::State& state) {
    float* t = fftwf_alloc_real(kSegment);
    fftwf_complex* f = fftwf_alloc_complex(kSegment / 2 + 1);
    fftwf_plan fwd = fftwf_plan_dft_r2c_1d(kSegment, t, f, FFTW_MEASURE);
    fftwf_plan inv = fftwf_plan_dft_c2r_1d(kSegment, f, t, FFTW_MEASURE);
    FloatVector x = Noise(kSegment, 1);
    for (auto _ : state) {
        std::memcpy(t, x.data(), sizeof(float) * kSegment);
        fftwf_execute(fwd);
        fftwf_execute(inv);
        for (int i = 0; i < kSegment; ++i)
            t[i] *= 1.0f / kSegment;
        benchmark::DoNotOptimize(t);
    }
    fftwf_destroy_plan(fwd);
    fftwf_destroy_plan(inv);
    fftwf_free(t);
    fftwf_free(f);
}

void SetUpBandPass(clsFFTFilter& f) {
    f.SegmentSize = kSegment;
    f.FSampling = 48000;
    f.NormaliseGain = true;
    f.FLow = 300;
    f.FHigh = 2700;
    f.init(kBlock);
    f.MakeFilter();
}

void BM_FilterBlock(benchmark::State& state) {
    SetBackEnd(state, state.range(0) == 1);
    clsFFTFilter f;
    SetUpBandPass(f);
    FloatVector block = Noise(kSegment + 1, 2);
    const FloatVector input = block;
    for (auto _ : state) {
        std::memcpy(block.data(), input.data(), sizeof(float) * kBlock);
        f.Filter_FFT_S_1(block.data());
        benchmark::DoNotOptimize(block.data());
    }
    vec::SetUseSPL(false);
}

void BM_FilterBlock_FFTW(benchmark::State& state) {
    clsFFTFilter f;
    SetUpBandPass(f);
    FloatVector taps(kBlock);
    f.GetFilterTCoeffs_S(taps.data());
    FftwOverlapAdd ref(taps.data(), kBlock);
    FloatVector block = Noise(kBlock, 2);
    const FloatVector input = block;
    for (auto _ : state) {
        std::memcpy(block.data(), input.data(), sizeof(float) * kBlock);
        ref.filter(block.data());
        benchmark::DoNotOptimize(block.data());
    }
}

void BM_HilbertBlock(benchmark::State& state) {
    SetBackEnd(state, state.range(0) == 1);
    clHilbert h;
    h.Load(128, kBlock);
    const FloatVector in = Noise(kBlock, 3);
    FloatVector out(kBlock);
    for (auto _ : state) {
        h.sTransform(in.data(), out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
    }
    vec::SetUseSPL(false);
}

void BM_HilbertBlock_FFTW(benchmark::State& state) {
    clHilbert h;
    h.Load(128, kBlock);
    FloatVector taps(128);
    h.sGetCoefs(taps.data(), 128);
    for (auto& t : taps)
        t *= h.sGain;
    FftwOverlapAdd ref(taps.data(), 128);
    FloatVector block = Noise(kBlock, 3);
    const FloatVector input = block;
    for (auto _ : state) {
        std::memcpy(block.data(), input.data(), sizeof(float) * kBlock);
        ref.filter(block.data());
        benchmark::DoNotOptimize(block.data());
    }
}

} // namespace

BENCHMARK(BM_RealTransformPair)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RealTransformPair_FFTW)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterBlock_FFTW)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HilbertBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HilbertBlock_FFTW)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    orvex::spl::Probe();
    benchmark::Initialize(&argc, argv);
    orvex::bench::RatioReporter reporter({
        {"BM_RealTransformPair/0", "BM_RealTransformPair_FFTW"},
        {"BM_RealTransformPair/1", "BM_RealTransformPair_FFTW"},
        {"BM_FilterBlock/0", "BM_FilterBlock_FFTW"},
        {"BM_FilterBlock/1", "BM_FilterBlock_FFTW"},
        {"BM_HilbertBlock/0", "BM_HilbertBlock_FFTW"},
        {"BM_HilbertBlock/1", "BM_HilbertBlock_FFTW"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
