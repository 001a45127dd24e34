#include "TestAudio.h"

#include "FastNoise.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace orvex::sim {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kRate = AudioLoop::kRate;

// Raised-cosine rise over `len` samples: 0 at i = 0, 1 at i = len.
double Rise(double i, double len) {
    if (len <= 0.0 || i >= len) return 1.0;
    if (i <= 0.0) return 0.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * i / len);
}

// Scales the analytic buffer to peak magnitude 0.98 and packs it as 16-bit pairs.
std::shared_ptr<const AudioLoop> Pack(const std::vector<std::complex<float>>& x) {
    float peak = 0.0f;
    for (const auto& v : x)
        peak = std::max(peak, std::abs(v));
    const float scale = peak > 0.0f ? 0.98f * 32767.0f / peak : 0.0f;
    std::vector<std::int16_t> iq(2 * x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        iq[2 * i] = static_cast<std::int16_t>(std::lround(x[i].real() * scale));
        iq[2 * i + 1] = static_cast<std::int16_t>(std::lround(x[i].imag() * scale));
    }
    return std::make_shared<const AudioLoop>(std::move(iq));
}

// ---- speech ------------------------------------------------------------------------------

struct Vowel {
    double f1, f2, f3;
};
// Formant frequencies of a few vowels (adult voice), Hz.
constexpr Vowel kVowels[] = {
    {730, 1090, 2440}, // a
    {530, 1840, 2480}, // e
    {290, 2250, 2900}, // i
    {570, 840, 2410},  // o
    {320, 900, 2240},  // u
    {660, 1720, 2410}, // ae
    {490, 1350, 1690}, // er
};
constexpr int kVowelCount = static_cast<int>(sizeof kVowels / sizeof kVowels[0]);

// Spectral envelope of a vowel at frequency f: three resonances with a gentle tilt.
double FormantGain(double f, const Vowel& v) {
    const auto peak = [f](double fc, double bw) {
        const double x = (f - fc) / (0.5 * bw);
        return 1.0 / std::sqrt(1.0 + x * x);
    };
    return 1.0 * peak(v.f1, 110.0) + 0.55 * peak(v.f2, 140.0) + 0.3 * peak(v.f3, 200.0);
}

struct Syllable {
    std::int64_t start = 0;
    std::int64_t length = 0;
    double f0Start = 0.0, f0End = 0.0;
    Vowel from{}, to{};
    double amplitude = 1.0;
    std::int64_t fricStart = 0, fricLength = 0;
    double fricCentre = 0.0;
};

void AddVoiced(std::vector<std::complex<float>>& out, const Syllable& s) {
    constexpr int kFrame = 48; // parameters are recomputed every millisecond
    constexpr double kTop = 3400.0;
    constexpr int kMaxHarmonics = 40;
    double prev[kMaxHarmonics + 1] = {};
    double cur[kMaxHarmonics + 1] = {};
    double phase = 0.0;
    const double attack = 0.020 * kRate, release = 0.045 * kRate, glide = 0.045 * kRate;
    bool first = true;
    for (std::int64_t f0Index = 0; f0Index < s.length; f0Index += kFrame) {
        const double t = static_cast<double>(f0Index) / static_cast<double>(s.length);
        const double f0 = s.f0Start + (s.f0End - s.f0Start) * t;
        const double g = Rise(static_cast<double>(f0Index), glide);
        const Vowel v{s.from.f1 + (s.to.f1 - s.from.f1) * g, s.from.f2 + (s.to.f2 - s.from.f2) * g,
                      s.from.f3 + (s.to.f3 - s.from.f3) * g};
        const double env = Rise(static_cast<double>(f0Index), attack) *
                           Rise(static_cast<double>(s.length - f0Index), release) * s.amplitude;
        const int harmonics = std::min(kMaxHarmonics, static_cast<int>(kTop / f0));
        for (int h = 1; h <= kMaxHarmonics; ++h) {
            double a = 0.0;
            if (h <= harmonics) {
                const double fh = h * f0;
                const double taper = fh > 3000.0 ? Rise(kTop - fh, kTop - 3000.0) : 1.0;
                a = env * FormantGain(fh, v) * taper / std::sqrt(static_cast<double>(h));
            }
            cur[h] = a;
        }
        if (first) std::copy(std::begin(cur), std::end(cur), std::begin(prev));
        first = false;
        const double dphi = kTwoPi * f0 / kRate;
        const std::int64_t n = std::min<std::int64_t>(kFrame, s.length - f0Index);
        for (std::int64_t k = 0; k < n; ++k) {
            const double mix = static_cast<double>(k) / kFrame;
            const std::complex<double> z = std::polar(1.0, phase);
            std::complex<double> q = z, acc = 0.0;
            for (int h = 1; h <= harmonics; ++h) {
                acc += (prev[h] + (cur[h] - prev[h]) * mix) * q;
                q *= z;
            }
            phase = std::fmod(phase + dphi, kTwoPi);
            const std::size_t at = static_cast<std::size_t>(s.start + f0Index + k);
            if (at < out.size()) out[at] += std::complex<float>(acc);
        }
        std::copy(std::begin(cur), std::end(cur), std::begin(prev));
    }
}

// A hiss: complex noise through a four-pole low-pass, moved up to `centre`. Being complex
// with a bandwidth well below twice its centre, it is analytic already, and it stays within
// the voice band.
void AddFricative(std::vector<std::complex<float>>& out, const Syllable& s, FastNoise& rng) {
    const double a = std::exp(-kTwoPi * 500.0 / kRate);
    std::complex<double> y[4] = {};
    const std::complex<double> w = std::polar(1.0, kTwoPi * s.fricCentre / kRate);
    std::complex<double> z = 1.0;
    const double len = static_cast<double>(s.fricLength);
    for (std::int64_t k = 0; k < s.fricLength; ++k) {
        std::complex<double> x(rng.gaussian(), rng.gaussian());
        for (auto& stage : y) {
            stage = a * stage + (1.0 - a) * x;
            x = stage;
        }
        const double env = Rise(static_cast<double>(k), 0.3 * len) *
                           Rise(len - static_cast<double>(k), 0.3 * len) * 0.9 * s.amplitude;
        const std::size_t at = static_cast<std::size_t>(s.fricStart + k);
        if (at < out.size()) out[at] += std::complex<float>(env * x * z * 6.0);
        z *= w;
    }
}

} // namespace

std::shared_ptr<const AudioLoop> MakeSpeechLoop(int variant) {
    FastNoise rng(0x5EEC400ull + static_cast<std::uint64_t>(variant));
    const bool lowVoice = variant % 2 == 1;
    const double f0Base = lowVoice ? 100.0 + 30.0 * rng.uniform() : 185.0 + 40.0 * rng.uniform();
    const double formantScale = lowVoice ? 1.0 : 1.12;
    const auto ms = [](double m) { return static_cast<std::int64_t>(m * kRate / 1000.0); };

    std::vector<Syllable> syllables;
    std::int64_t t = ms(150.0);
    const std::int64_t target = ms(5600.0);
    int vowel = rng.range(0, kVowelCount - 1);
    while (t < target) {
        const int count = rng.range(3, 6);
        const double hi = f0Base * (1.10 + 0.15 * rng.uniform());
        const double lo = f0Base * (0.80 + 0.10 * rng.uniform());
        for (int i = 0; i < count && t < target; ++i) {
            Syllable s;
            if (rng.uniform() < 0.35) {
                s.fricStart = t;
                s.fricLength = ms(50.0 + 60.0 * rng.uniform());
                s.fricCentre = 2000.0 + 800.0 * rng.uniform();
                t += s.fricLength;
            }
            s.start = t;
            s.length = ms(120.0 + 160.0 * rng.uniform());
            const double pos = static_cast<double>(i) / count;
            const double base = hi + (lo - hi) * pos;
            const double stress = rng.uniform() < 0.3 ? 1.12 : 1.0;
            s.f0Start = base * stress;
            s.f0End = base * (0.93 + 0.1 * rng.uniform());
            const int next = rng.range(0, kVowelCount - 1);
            const auto scaled = [formantScale](const Vowel& v) {
                return Vowel{v.f1 * formantScale, v.f2 * formantScale, v.f3 * formantScale};
            };
            s.from = scaled(kVowels[vowel]);
            s.to = scaled(kVowels[next]);
            vowel = next;
            s.amplitude = 0.6 + 0.4 * rng.uniform();
            syllables.push_back(s);
            t += s.length + ms(20.0 + 50.0 * rng.uniform());
        }
        t += ms(250.0 + 300.0 * rng.uniform());
    }
    std::vector<std::complex<float>> out(static_cast<std::size_t>(t + ms(100.0)));
    for (const auto& s : syllables) {
        AddVoiced(out, s);
        if (s.fricLength > 0) AddFricative(out, s, rng);
    }
    return Pack(out);
}

std::shared_ptr<const AudioLoop> MakeMusicLoop(int variant) {
    FastNoise rng(0x3051C00ull + static_cast<std::uint64_t>(variant));
    const double bpm = 100.0 + 40.0 * rng.uniform();
    const double beat = 60.0 / bpm * kRate; // samples
    static constexpr double kRoots[] = {196.0, 220.0, 246.94, 261.63, 293.66};
    const double root = kRoots[variant % 5];
    static constexpr int kScale[] = {0, 2, 4, 7, 9, 12, 14, 16, 19, 21};
    constexpr int kBeats = 16;
    const auto length = static_cast<std::size_t>(kBeats * beat);
    std::vector<std::complex<float>> out(length);

    // A note: harmonics h = 1..n with amplitude h^-tilt (odd ones only for a hollow timbre),
    // a pluck envelope, optional vibrato.
    const bool hollow = variant % 2 == 0;
    const auto note = [&](double startBeat, double beats, double freq, double amp, int n,
                          double tilt, bool odd, bool vibrato) {
        const auto start = static_cast<std::int64_t>(startBeat * beat);
        const auto len = static_cast<std::int64_t>(beats * beat * 0.92);
        const double attack = 0.010 * kRate, decay = 0.150 * kRate, release = 0.060 * kRate;
        // Harmonic weights, the upper ones faded out between 3200 and 3800 Hz to keep the
        // audio within a voice channel.
        double weights[8] = {};
        for (int h = 1; h <= n && h < 8; ++h)
            weights[h] = std::pow(static_cast<double>(h), -tilt) * Rise(3800.0 - h * freq, 600.0);
        double phase = 0.0;
        for (std::int64_t k = 0; k < len; ++k) {
            const double tk = static_cast<double>(k);
            const double sustain = 0.55 + 0.45 * std::exp(-tk / decay);
            const double env =
                amp * Rise(tk, attack) * Rise(static_cast<double>(len - k), release) * sustain;
            const double vib =
                vibrato && tk > 0.15 * kRate ? 0.003 * std::sin(kTwoPi * 5.5 * tk / kRate) : 0.0;
            phase = std::fmod(phase + kTwoPi * freq * (1.0 + vib) / kRate, kTwoPi);
            const std::complex<double> z = std::polar(1.0, phase);
            std::complex<double> q = z, acc = 0.0;
            for (int h = 1; h <= n; ++h) {
                if (!odd || h % 2 == 1) acc += weights[h] * q;
                q *= z;
            }
            const std::size_t at = static_cast<std::size_t>(start + k);
            if (at < out.size()) out[at] += std::complex<float>(env * acc);
        }
    };

    // Melody from the root up, a random walk over the scale, the last beat free.
    double at = 0.0;
    int degree = 4;
    static constexpr double kDurations[] = {0.5, 0.5, 1.0, 1.0, 1.5, 2.0};
    while (at < kBeats - 1.0) {
        double dur = kDurations[rng.range(0, 5)];
        dur = std::min(dur, kBeats - 1.0 - at);
        if (rng.uniform() > 0.1) {
            const double f = root * std::pow(2.0, kScale[degree] / 12.0);
            note(at, dur, f, 0.7, 6, 1.2, hollow, true);
        }
        degree = std::clamp(degree + rng.range(-2, 2), 0, 9);
        at += dur;
    }
    // Bass: root or fifth an octave below, every two beats.
    for (int b = 0; b < kBeats - 2; b += 2) {
        const double f = root / 2.0 * (rng.uniform() < 0.7 ? 1.0 : 1.5);
        note(b, 1.9, f, 0.5, 4, 1.5, false, false);
    }
    return Pack(out);
}

std::shared_ptr<const AudioLoop> MakeLoop(const AudioSpec& audio) {
    if (audio.kind == AudioKind::Music) return MakeMusicLoop(audio.variant);
    if (audio.kind == AudioKind::Speech) return MakeSpeechLoop(audio.variant);
    if (audio.kind == AudioKind::Recording) return audio.recording;
    return nullptr;
}

// ---- the player --------------------------------------------------------------------------

void ProgrammePlayer::setTones(double toneHz, double tone2Hz, int rate) {
    m_kind = Kind::Tones;
    m_loop.reset();
    m_tones = tone2Hz > 0.0 ? 2 : 1;
    m_tone[0] = toneHz;
    m_tone[1] = tone2Hz;
    m_amp[0] = m_amp[1] = m_tones == 2 ? 0.5 : 1.0;
    for (int i = 0; i < 2; ++i) {
        m_zr[i] = 1.0;
        m_zi[i] = 0.0;
    }
    setRate(rate);
}

void ProgrammePlayer::setLoop(std::shared_ptr<const AudioLoop> loop, std::uint64_t startFrame,
                              int rate, bool once) {
    if (!loop || loop->frames() == 0) {
        m_kind = Kind::Silence;
        m_loop.reset();
        return;
    }
    m_kind = Kind::Loop;
    m_once = once;
    m_loop = std::move(loop);
    m_length = static_cast<std::uint64_t>(m_loop->frames()) << 32;
    m_pos = (startFrame % m_loop->frames()) << 32;
    setRate(rate);
}

void ProgrammePlayer::setRate(int rate) {
    if (rate <= 0) return;
    for (int i = 0; i < m_tones; ++i) {
        m_wr[i] = std::cos(kTwoPi * m_tone[i] / rate);
        m_wi[i] = std::sin(kTwoPi * m_tone[i] / rate);
    }
    m_step =
        (static_cast<std::uint64_t>(AudioLoop::kRate) << 32) / static_cast<std::uint64_t>(rate);
}

void ProgrammePlayer::render(float* re, float* im, int n) {
    switch (m_kind) {
    case Kind::Silence:
        std::fill(re, re + n, 0.0f);
        std::fill(im, im + n, 0.0f);
        return;
    case Kind::Tones: {
        std::fill(re, re + n, 0.0f);
        std::fill(im, im + n, 0.0f);
        for (int t = 0; t < m_tones; ++t) {
            double zr = m_zr[t], zi = m_zi[t];
            const double wr = m_wr[t], wi = m_wi[t], a = m_amp[t];
            for (int k = 0; k < n; ++k) {
                re[k] += static_cast<float>(a * zr);
                im[k] += static_cast<float>(a * zi);
                const double r = zr * wr - zi * wi;
                zi = zr * wi + zi * wr;
                zr = r;
            }
            // Keep the oscillator on the unit circle.
            const double g = (3.0 - (zr * zr + zi * zi)) * 0.5;
            m_zr[t] = zr * g;
            m_zi[t] = zi * g;
        }
        return;
    }
    case Kind::Loop: {
        const std::int16_t* iq = m_loop->data();
        constexpr float s = AudioLoop::kScale;
        if (m_step == (1ull << 32) && !m_once) {
            std::size_t i = static_cast<std::size_t>(m_pos >> 32);
            const std::size_t len = m_loop->frames();
            for (int k = 0; k < n; ++k) {
                re[k] = iq[2 * i] * s;
                im[k] = iq[2 * i + 1] * s;
                if (++i == len) i = 0;
            }
            m_pos = static_cast<std::uint64_t>(i) << 32;
            return;
        }
        for (int k = 0; k < n; ++k) {
            const std::size_t i = static_cast<std::size_t>(m_pos >> 32);
            re[k] = iq[2 * i] * s;
            im[k] = iq[2 * i + 1] * s;
            m_pos += m_step;
            if (m_pos >= m_length) {
                if (m_once) {
                    // Played once: silence from here on.
                    std::fill(re + k + 1, re + n, 0.0f);
                    std::fill(im + k + 1, im + n, 0.0f);
                    m_kind = Kind::Silence;
                    m_loop.reset();
                    return;
                }
                m_pos -= m_length;
            }
        }
        return;
    }
    }
}

// ---- Morse -------------------------------------------------------------------------------

std::string_view MorseCode(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static constexpr const char* kLetters[] = {
        ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
        ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
        "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
    static constexpr const char* kDigits[] = {"-----", ".----", "..---", "...--", "....-",
                                              ".....", "-....", "--...", "---..", "----."};
    if (c >= 'A' && c <= 'Z') return kLetters[c - 'A'];
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    switch (c) {
    case '.':
        return ".-.-.-";
    case ',':
        return "--..--";
    case '?':
        return "..--..";
    case '/':
        return "-..-.";
    case '=':
        return "-...-";
    case '+':
        return ".-.-.";
    case '-':
        return "-....-";
    default:
        return {};
    }
}

MorseKeyer::MorseKeyer(std::string_view text, double wpm, double pauseSeconds, int rate,
                       std::uint64_t startOffset) {
    m_dot = std::max<std::int64_t>(1, std::llround(1.2 / std::max(wpm, 1.0) * rate));
    const auto push = [this](bool down, std::int64_t units) {
        const std::int64_t samples = units * m_dot;
        if (!m_elements.empty() && m_elements.back().keyDown == down)
            m_elements.back().samples += samples;
        else
            m_elements.push_back({down, samples});
    };
    bool firstChar = true;
    for (const char c : text) {
        if (c == ' ') {
            if (!firstChar) push(false, 4); // 3 after the character + 4 = a word space of 7
            continue;
        }
        const std::string_view code = MorseCode(c);
        if (code.empty()) continue;
        if (!firstChar) push(false, 3);
        firstChar = false;
        for (std::size_t i = 0; i < code.size(); ++i) {
            if (i > 0) push(false, 1);
            push(true, code[i] == '-' ? 3 : 1);
        }
    }
    // Word space after the message, then the pause.
    const auto pause = static_cast<std::int64_t>(std::llround(pauseSeconds * rate));
    if (m_elements.empty()) m_elements.push_back({false, 0});
    push(false, 7);
    m_elements.back().samples += pause;
    for (const auto& e : m_elements)
        m_cycle += e.samples;

    const int rampLen =
        static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(rate / 200, m_dot / 2)));
    m_ramp.resize(static_cast<std::size_t>(rampLen) + 1);
    for (int i = 0; i <= rampLen; ++i)
        m_ramp[static_cast<std::size_t>(i)] = static_cast<float>(Rise(i, rampLen));

    // Start partway through the cycle so beacons on one scene do not key in step.
    std::int64_t skip = m_cycle > 0 ? static_cast<std::int64_t>(startOffset % m_cycle) : 0;
    m_index = 0;
    while (skip >= m_elements[m_index].samples) {
        skip -= m_elements[m_index].samples;
        m_index = (m_index + 1) % m_elements.size();
    }
    m_left = m_elements[m_index].samples - skip;
    m_k = m_elements[m_index].keyDown ? rampLen : 0;
}

void MorseKeyer::render(float* envelope, int n) {
    const int top = static_cast<int>(m_ramp.size()) - 1;
    for (int i = 0; i < n; ++i) {
        while (m_left <= 0) {
            m_index = (m_index + 1) % m_elements.size();
            m_left = m_elements[m_index].samples;
        }
        --m_left;
        if (m_elements[m_index].keyDown) {
            if (m_k < top) ++m_k;
        } else if (m_k > 0) {
            --m_k;
        }
        envelope[i] = m_ramp[static_cast<std::size_t>(m_k)];
    }
}

std::vector<float> ProgrammeAudio(const AudioSpec& audio, std::int64_t frames, int rate) {
    ProgrammePlayer player;
    if (audio.kind == AudioKind::Tone)
        player.setTones(audio.toneHz, audio.tone2Hz, rate);
    else if (audio.kind != AudioKind::None)
        player.setLoop(MakeLoop(audio), 0, rate, audio.kind == AudioKind::Recording && !audio.loop);
    std::vector<float> re(static_cast<std::size_t>(std::max<std::int64_t>(frames, 0)));
    std::vector<float> im(re.size());
    constexpr int kChunk = 4096;
    for (std::size_t at = 0; at < re.size(); at += kChunk) {
        const int n = static_cast<int>(std::min<std::size_t>(kChunk, re.size() - at));
        player.render(re.data() + at, im.data() + at, n);
    }
    return re;
}

} // namespace orvex::sim
