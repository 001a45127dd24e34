#include "IFSynthesiser.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvex::sim {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// A USB or LSB station's audio lies mostly 300 to 2700 Hz from its suppressed carrier; the
// middle of that decides whether the receiver passes it.
constexpr double kSidebandCentre = 1500.0;
constexpr double kLowEdgeHz = 600.0;      // the receiver's audio stages roll off below this
constexpr double kHighEdgeFraction = 0.9; // the anti-alias filter starts at 90 % of Nyquist
// The box's IF stages pass signals within this distance of the tuned frequency; farther
// stations cannot reach the sound card even as images.
constexpr double kReceiverHalfBandHz = 24000.0;

double Rise(double x, double len) {
    if (x <= 0.0) return 0.0;
    if (x >= len) return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * x / len);
}

enum class Envelope { Constant, Real, Complex };

} // namespace

double DbfsToAmplitude(double dbfs) {
    return 32767.0 * std::pow(10.0, dbfs / 20.0);
}

IFSynthesiser::IFSynthesiser(Scene scene, double ifCentreHz)
    : m_scene(std::move(scene)), m_ifCentre(ifCentreHz), m_noise(m_scene.seed) {
    m_noiseRms = m_scene.noiseDbfs <= -200.0 ? 0.0 : DbfsToAmplitude(m_scene.noiseDbfs);
    m_stations.resize(m_scene.signals.size());
    m_active.reserve(m_scene.signals.size());
    FastNoise starts(m_scene.seed * 7919u + 17u);
    for (std::size_t i = 0; i < m_stations.size(); ++i) {
        Station& s = m_stations[i];
        const SceneSignal& sig = m_scene.signals[i];
        s.index = i;
        s.amplitude = DbfsToAmplitude(sig.levelDbfs);
        s.centreOffset = sig.mode == SignalMode::USB   ? kSidebandCentre
                         : sig.mode == SignalMode::LSB ? -kSidebandCentre
                                                       : 0.0;
        s.startFrame = starts.next() >> 16;
    }
}

void IFSynthesiser::setSampleRate(int rate) {
    rate = std::clamp(rate, 8000, 384000);
    if (rate == m_rate) return;
    m_rate = rate;
    for (auto& s : m_stations)
        s.prepared = false; // keying and filters depend on the rate
    retune();
}

void IFSynthesiser::setTuning(std::optional<double> tunedHz) {
    m_tuned = tunedHz;
    retune();
}

double IFSynthesiser::edgeGain(double ifHz) const {
    const double nyquist = 0.5 * m_rate;
    if (ifHz <= 0.0 || ifHz >= nyquist) return 0.0;
    const double highStart = kHighEdgeFraction * nyquist;
    if (ifHz < kLowEdgeHz) return Rise(ifHz, kLowEdgeHz);
    if (ifHz > highStart) return Rise(nyquist - ifHz, nyquist - highStart);
    return 1.0;
}

void IFSynthesiser::retune() {
    m_active.clear();
    if (!m_tuned) return;
    for (auto& s : m_stations) {
        const SceneSignal& sig = m_scene.signals[s.index];
        s.offsetHz = sig.frequencyHz - *m_tuned;
        s.ifHz = m_ifCentre + s.offsetHz;
        // The receiver mixes straight down to its low IF with no image rejection: a station
        // that lands below 0 Hz comes back mirrored at the same distance above it (the image
        // the front panel's "Image" box tunes away from). Above half the sample rate the sound
        // card's anti-alias filter removes it.
        s.gain = std::fabs(s.offsetHz) > kReceiverHalfBandHz
                     ? 0.0f
                     : static_cast<float>(edgeGain(std::fabs(s.ifHz + s.centreOffset)));
        if (s.gain <= 0.0f) continue;
        s.omega = kTwoPi * s.ifHz / m_rate;
        s.wRe = std::cos(s.omega);
        s.wIm = std::sin(s.omega);
        if (!s.prepared) prepare(s);
        m_active.push_back(s.index);
    }
}

void IFSynthesiser::prepareAll() {
    for (auto& s : m_stations)
        if (!s.prepared) prepare(s);
}

void IFSynthesiser::prepare(Station& s) {
    const SceneSignal& sig = m_scene.signals[s.index];
    switch (sig.mode) {
    case SignalMode::AM:
    case SignalMode::USB:
    case SignalMode::LSB:
    case SignalMode::FM:
        if (sig.audio.kind == AudioKind::Tone) {
            s.programme.setTones(sig.audio.toneHz, sig.audio.tone2Hz, m_rate);
        } else if (sig.audio.kind == AudioKind::None) {
            s.programme = ProgrammePlayer();
        } else if (sig.audio.kind == AudioKind::Recording) {
            // A recording starts at its beginning the first time its station is heard.
            s.programme.setLoop(sig.audio.recording, 0, m_rate, !sig.audio.loop);
        } else {
            auto& loop = m_loops[{static_cast<int>(sig.audio.kind), sig.audio.variant}];
            if (!loop) loop = MakeLoop(sig.audio);
            s.programme.setLoop(loop, s.startFrame, m_rate);
        }
        s.fmScale = kTwoPi * sig.deviationHz / m_rate;
        break;
    case SignalMode::CW:
        s.keyer =
            std::make_unique<MorseKeyer>(sig.text, sig.wpm, sig.pauseSeconds, m_rate, s.startFrame);
        break;
    case SignalMode::Noise: {
        // A fourth-order Butterworth low-pass (two biquads, bilinear transform) with its
        // -3 dB point at half the width, on each of I and Q. The output is scaled to unit
        // variance per component (the impulse response's energy), so the real IF noise has
        // the station's RMS.
        const double fc = std::min(0.5 * sig.widthHz, 0.45 * m_rate);
        const double w0 = kTwoPi * fc / m_rate;
        static constexpr double kQ[kNoiseSections] = {0.54119610, 1.30656296};
        for (int k = 0; k < kNoiseSections; ++k) {
            const double alpha = std::sin(w0) / (2.0 * kQ[k]);
            const double a0 = 1.0 + alpha;
            Station::Biquad& q = s.biquad[k];
            q.b0 = static_cast<float>((1.0 - std::cos(w0)) / 2.0 / a0);
            q.b1 = static_cast<float>((1.0 - std::cos(w0)) / a0);
            q.b2 = q.b0;
            q.a1 = static_cast<float>(-2.0 * std::cos(w0) / a0);
            q.a2 = static_cast<float>((1.0 - alpha) / a0);
        }
        double energy = 0.0;
        double st[kNoiseSections][2] = {};
        for (int n = 0; n < 1000000; ++n) {
            double x = n == 0 ? 1.0 : 0.0;
            for (int k = 0; k < kNoiseSections; ++k) {
                const Station::Biquad& q = s.biquad[k];
                const double y = q.b0 * x + st[k][0];
                st[k][0] = q.b1 * x - q.a1 * y + st[k][1];
                st[k][1] = q.b2 * x - q.a2 * y;
                x = y;
            }
            energy += x * x;
            if (n > 64 && x * x < 1e-16 * energy) break;
        }
        s.noiseNorm = static_cast<float>(1.0 / std::sqrt(energy));
        s.rng.reseed(m_scene.seed * 104729u + s.index);
        break;
    }
    case SignalMode::Carrier:
        break;
    }
    s.prepared = true;
}

void IFSynthesiser::stationEnvelope(Station& s, int n, bool& complex) {
    const SceneSignal& sig = m_scene.signals[s.index];
    float* re = m_envRe.data();
    float* im = m_envIm.data();
    const auto a = static_cast<float>(s.amplitude);
    complex = false;
    switch (sig.mode) {
    case SignalMode::AM: {
        s.programme.render(re, im, n);
        const auto m = static_cast<float>(sig.depth);
        for (int k = 0; k < n; ++k)
            re[k] = a * (1.0f + m * re[k]);
        return;
    }
    case SignalMode::USB:
    case SignalMode::LSB: {
        s.programme.render(re, im, n);
        const float b = sig.mode == SignalMode::USB ? a : -a;
        for (int k = 0; k < n; ++k) {
            re[k] *= a;
            im[k] *= b;
        }
        complex = true;
        return;
    }
    case SignalMode::FM: {
        s.programme.render(re, im, n);
        double pr = s.fmRe, pi = s.fmIm;
        const double scale = s.fmScale;
        for (int k = 0; k < n; ++k) {
            // e^{jd} by its series; d stays below 2π·15000/8000 only at absurd settings, and
            // below 0.4 rad for voice FM at 48000 samples per second (error < 1e-5).
            const double d = scale * re[k];
            const double d2 = d * d;
            const double c = 1.0 - d2 * (0.5 - d2 * (1.0 / 24.0));
            const double sn = d * (1.0 - d2 * (1.0 / 6.0 - d2 * (1.0 / 120.0)));
            const double r = pr * c - pi * sn;
            pi = pr * sn + pi * c;
            pr = r;
            re[k] = a * static_cast<float>(pr);
            im[k] = a * static_cast<float>(pi);
        }
        const double g = 1.0 / std::sqrt(pr * pr + pi * pi);
        s.fmRe = pr * g;
        s.fmIm = pi * g;
        complex = true;
        return;
    }
    case SignalMode::CW:
        s.keyer->render(re, n);
        for (int k = 0; k < n; ++k)
            re[k] *= a;
        return;
    case SignalMode::Noise: {
        const float norm = s.noiseNorm * a;
        for (int k = 0; k < n; ++k) {
            float xr = s.rng.gaussian(), xi = s.rng.gaussian();
            for (int p = 0; p < kNoiseSections; ++p) {
                Station::Biquad& q = s.biquad[p];
                const float yr = q.b0 * xr + q.re[0];
                q.re[0] = q.b1 * xr - q.a1 * yr + q.re[1];
                q.re[1] = q.b2 * xr - q.a2 * yr;
                const float yi = q.b0 * xi + q.im[0];
                q.im[0] = q.b1 * xi - q.a1 * yi + q.im[1];
                q.im[1] = q.b2 * xi - q.a2 * yi;
                xr = yr;
                xi = yi;
            }
            re[k] = norm * xr;
            im[k] = norm * xi;
        }
        complex = true;
        return;
    }
    case SignalMode::Carrier:
        for (int k = 0; k < n; ++k)
            re[k] = a;
        return;
    }
}

void IFSynthesiser::renderChunk(float* mix, int n) {
    if (m_noiseRms > 0.0) {
        const auto rms = static_cast<float>(m_noiseRms);
        for (int k = 0; k < n; ++k)
            mix[k] = rms * m_noise.gaussian();
    } else {
        std::fill(mix, mix + n, 0.0f);
    }
    const float* re = m_envRe.data();
    const float* im = m_envIm.data();
    for (const std::size_t index : m_active) {
        Station& s = m_stations[index];
        bool complex = false;
        stationEnvelope(s, n, complex);
        // Four phasors a sample apart, each stepped by w^4: no long dependency chain, and
        // the four lanes map onto one vector register.
        const double g = s.gain;
        double zr[4], zi[4];
        for (int j = 0; j < 4; ++j) {
            zr[j] = g * std::cos(s.phase + j * s.omega);
            zi[j] = g * std::sin(s.phase + j * s.omega);
        }
        const double w4r = std::cos(4.0 * s.omega), w4i = std::sin(4.0 * s.omega);
        const int n4 = n & ~3;
        if (complex) {
            for (int k = 0; k < n4; k += 4) {
                for (int j = 0; j < 4; ++j) {
                    mix[k + j] += static_cast<float>(re[k + j] * zr[j] - im[k + j] * zi[j]);
                    const double r = zr[j] * w4r - zi[j] * w4i;
                    zi[j] = zr[j] * w4i + zi[j] * w4r;
                    zr[j] = r;
                }
            }
            for (int k = n4; k < n; ++k)
                mix[k] += static_cast<float>(re[k] * zr[k - n4] - im[k] * zi[k - n4]);
        } else {
            for (int k = 0; k < n4; k += 4) {
                for (int j = 0; j < 4; ++j) {
                    mix[k + j] += static_cast<float>(re[k + j] * zr[j]);
                    const double r = zr[j] * w4r - zi[j] * w4i;
                    zi[j] = zr[j] * w4i + zi[j] * w4r;
                    zr[j] = r;
                }
            }
            for (int k = n4; k < n; ++k)
                mix[k] += static_cast<float>(re[k] * zr[k - n4]);
        }
        s.phase = std::fmod(s.phase + s.omega * n, kTwoPi);
    }
}

void IFSynthesiser::render(float* out, std::int64_t frames) {
    for (std::int64_t at = 0; at < frames; at += kChunk) {
        const int n = static_cast<int>(std::min<std::int64_t>(kChunk, frames - at));
        renderChunk(out + at, n);
    }
    m_frames += static_cast<std::uint64_t>(std::max<std::int64_t>(frames, 0));
}

void IFSynthesiser::render(std::int16_t* out, std::int64_t frames, int channels) {
    channels = std::max(channels, 1);
    for (std::int64_t at = 0; at < frames; at += kChunk) {
        const int n = static_cast<int>(std::min<std::int64_t>(kChunk, frames - at));
        renderChunk(m_mix.data(), n);
        std::int16_t* o = out + at * channels;
        for (int k = 0; k < n; ++k) {
            float v = std::nearbyint(m_mix[static_cast<std::size_t>(k)]);
            if (v > 32767.0f) {
                v = 32767.0f;
                ++m_clipped;
            } else if (v < -32768.0f) {
                v = -32768.0f;
                ++m_clipped;
            }
            const auto sample = static_cast<std::int16_t>(v);
            for (int c = 0; c < channels; ++c)
                o[k * channels + c] = sample;
        }
    }
    m_frames += static_cast<std::uint64_t>(std::max<std::int64_t>(frames, 0));
}

std::vector<StationView> IFSynthesiser::stationsInView() const {
    std::vector<StationView> out;
    for (const std::size_t index : m_active) {
        const Station& s = m_stations[index];
        const SceneSignal& sig = m_scene.signals[index];
        StationView v;
        v.index = index;
        v.name = sig.name;
        v.mode = sig.mode;
        v.frequencyHz = sig.frequencyHz;
        v.offsetHz = s.offsetHz;
        v.ifHz = s.ifHz;
        v.levelDbfs = sig.levelDbfs;
        v.edgeGain = s.gain;
        out.push_back(std::move(v));
    }
    std::sort(out.begin(), out.end(),
              [](const StationView& a, const StationView& b) { return a.ifHz < b.ifHz; });
    return out;
}

} // namespace orvex::sim
