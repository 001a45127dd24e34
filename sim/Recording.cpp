#include "Recording.h"

#include "audio/WavFile.h"
#include "core/Error.h"
#include "dsp/clsFFT.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace orvex::sim {
namespace {

constexpr int kOutRate = AudioLoop::kRate;

// Zeroth-order modified Bessel function, for the Kaiser window.
double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 64; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-17 * sum) break;
    }
    return sum;
}

// Kaiser window at u in [-1, 1].
double Kaiser(double u, double beta) {
    if (u <= -1.0 || u >= 1.0) return 0.0;
    return BesselI0(beta * std::sqrt(1.0 - u * u)) / BesselI0(beta);
}

// The Hilbert transformer: 2 / (pi m) on odd m, zero on even m, centred on tap kHilbertDelay.
constexpr int kHilbertTaps = 2047;
constexpr int kHilbertDelay = kHilbertTaps / 2;
constexpr double kHilbertBeta = 9.0;
constexpr int kFFTPoints = 16384;

} // namespace

std::vector<float> ResampleTo48k(const std::vector<float>& in, int rate, bool periodic) {
    if (rate == kOutRate || in.empty()) return in;
    // y(t) = sum x[k] h(t - k), t in input samples; the low-pass sits just under the input's
    // Nyquist frequency so nothing images above it.
    constexpr int kHalf = 32;     // taps each side
    constexpr int kPhases = 4096; // the kernel is tabulated at 1/4096 of an input sample
    constexpr double kBeta = 8.0;
    const double cutoff = 0.45; // of the input rate: 0.9 of its Nyquist frequency
    std::vector<float> table(static_cast<std::size_t>(kPhases + 1) * 2 * kHalf);
    for (int p = 0; p <= kPhases; ++p) {
        const double frac = static_cast<double>(p) / kPhases;
        for (int j = 0; j < 2 * kHalf; ++j) {
            const double u = frac - (j - kHalf + 1); // t - k with k = floor(t) + j - kHalf + 1
            const double x = 2.0 * cutoff * u;
            const double sinc =
                x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            table[static_cast<std::size_t>(p) * 2 * kHalf + static_cast<std::size_t>(j)] =
                static_cast<float>(2.0 * cutoff * sinc * Kaiser(u / kHalf, kBeta));
        }
    }
    const auto len = static_cast<std::int64_t>(in.size());
    const std::int64_t outLen = len * kOutRate / rate;
    std::vector<float> out(static_cast<std::size_t>(outLen));
    for (std::int64_t n = 0; n < outLen; ++n) {
        // t = n * rate / 48000, split exactly into whole and fractional input samples.
        const std::int64_t num = n * rate;
        std::int64_t k0 = num / kOutRate;
        std::int64_t phase = ((num % kOutRate) * kPhases + kOutRate / 2) / kOutRate;
        const float* h = table.data() + phase * 2 * kHalf;
        double acc = 0.0;
        const std::int64_t first = k0 - kHalf + 1;
        if (first >= 0 && first + 2 * kHalf <= len) {
            const float* x = in.data() + first;
            float sum = 0.0f;
            for (int j = 0; j < 2 * kHalf; ++j)
                sum += x[j] * h[j];
            acc = sum;
        } else {
            // Near the ends: the loop's other end, or silence.
            for (int j = 0; j < 2 * kHalf; ++j) {
                std::int64_t k = first + j;
                if (periodic) k = ((k % len) + len) % len;
                if (k >= 0 && k < len) acc += in[static_cast<std::size_t>(k)] * h[j];
            }
        }
        out[static_cast<std::size_t>(n)] = static_cast<float>(acc);
    }
    return out;
}

std::vector<float> HilbertTransform(const std::vector<float>& x, bool periodic) {
    const auto len = static_cast<std::int64_t>(x.size());
    std::vector<float> out(x.size(), 0.0f);
    if (len == 0) return out;
    clsFFT fft;
    fft.FFTInit(kFFTPoints);
    const std::size_t n = kFFTPoints;
    // The transformer's spectrum, once.
    std::vector<float> hr(n, 0.0f), hi(n, 0.0f), Hr(n), Hi(n);
    for (int t = 0; t < kHilbertTaps; ++t) {
        const int m = t - kHilbertDelay;
        if (m % 2 == 0) continue;
        const double w = Kaiser(static_cast<double>(m) / (kHilbertDelay + 1), kHilbertBeta);
        hr[static_cast<std::size_t>(t)] = static_cast<float>(2.0 / (std::numbers::pi * m) * w);
    }
    fft.FFT_S_2(hr.data(), hi.data(), Hr.data(), Hi.data());

    // The input with kHilbertDelay samples on each side: the loop's other end, or silence.
    const auto at = [&](std::int64_t i) -> float {
        if (i >= 0 && i < len) return x[static_cast<std::size_t>(i)];
        if (!periodic) return 0.0f;
        return x[static_cast<std::size_t>(((i % len) + len) % len)];
    };
    // Overlap-save: each transform of N points yields N - taps + 1 outputs.
    const std::int64_t step = kFFTPoints - kHilbertTaps + 1;
    std::vector<float> br(n), bi(n), Br(n), Bi(n), yr(n), yi(n);
    for (std::int64_t start = 0; start < len; start += step) {
        // Block input e[j] = x[start - delay + j]. The transformer delays by `delay`, so its
        // valid outputs j >= taps - 1 = 2 delay are the transform of x at start + j - 2 delay.
        for (std::size_t j = 0; j < n; ++j) {
            br[j] = at(start - kHilbertDelay + static_cast<std::int64_t>(j));
            bi[j] = 0.0f;
        }
        fft.FFT_S_2(br.data(), bi.data(), Br.data(), Bi.data());
        for (std::size_t k = 0; k < n; ++k) {
            const float r = Br[k] * Hr[k] - Bi[k] * Hi[k];
            const float i = Br[k] * Hi[k] + Bi[k] * Hr[k];
            Br[k] = r;
            Bi[k] = i;
        }
        fft.IFFT_S_2(Br.data(), Bi.data(), yr.data(), yi.data());
        const std::int64_t count = std::min(step, len - start);
        for (std::int64_t j = 0; j < count; ++j)
            out[static_cast<std::size_t>(start + j)] =
                yr[static_cast<std::size_t>(j + kHilbertTaps - 1)];
    }
    return out;
}

std::shared_ptr<const AudioLoop> LoadRecording(const std::string& path, bool loop,
                                               std::string& error) {
    std::vector<float> first;
    int rate = 0;
    try {
        audio::WavReader reader(path, true);
        const audio::WavFormat& f = reader.format();
        if (f.SampleRate < kMinRecordingRate || f.SampleRate > kMaxRecordingRate) {
            error = path + ": " + std::to_string(f.SampleRate) +
                    " samples per second; a recording needs 8000 to 48000";
            return nullptr;
        }
        rate = f.SampleRate;
        const auto maxFrames = static_cast<std::int64_t>(kMaxRecordingSeconds * rate);
        const std::string tooLong = path + ": longer than " +
                                    std::to_string(static_cast<int>(kMaxRecordingSeconds / 60)) +
                                    " minutes, the most a recording may last";
        if (f.Frames > maxFrames) {
            error = tooLong;
            return nullptr;
        }
        const auto channels = static_cast<std::size_t>(f.Channels);
        constexpr std::int64_t kChunk = 16384;
        std::vector<float> chunk(static_cast<std::size_t>(kChunk) * channels);
        first.reserve(static_cast<std::size_t>(std::max<std::int64_t>(f.Frames, 0)));
        std::int64_t got = 0;
        while ((got = reader.readFloat(chunk.data(), kChunk)) > 0) {
            for (std::int64_t i = 0; i < got; ++i)
                first.push_back(chunk[static_cast<std::size_t>(i) * channels]);
            if (static_cast<std::int64_t>(first.size()) > maxFrames) {
                error = tooLong;
                return nullptr;
            }
        }
    } catch (const OrvexError& e) {
        error = e.what();
        return nullptr;
    }
    if (first.empty()) {
        error = path + ": holds no samples";
        return nullptr;
    }
    const std::vector<float> a = ResampleTo48k(first, rate, loop);
    first = {};
    const std::vector<float> h = HilbertTransform(a, loop);
    double peak = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        peak = std::max(peak, std::hypot(static_cast<double>(a[i]), static_cast<double>(h[i])));
    const double scale = peak > 0.0 ? 32767.0 / peak : 0.0;
    std::vector<std::int16_t> iq(2 * a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        iq[2 * i] = static_cast<std::int16_t>(std::lrint(a[i] * scale));
        iq[2 * i + 1] = static_cast<std::int16_t>(std::lrint(h[i] * scale));
    }
    return std::make_shared<const AudioLoop>(std::move(iq));
}

} // namespace orvex::sim
