// The generated test audio: analytic tones, speech-like and music-like loops (band-limited,
// analytic, seamless, recognisably speech and music), and Morse keying with PARIS timing.
#include "SimTestSupport.h"
#include "dsp/clsFFT.h"
#include "sim/TestAudio.h"

#include <algorithm>
#include <complex>

using namespace orvex;
using namespace orvex::test;
using namespace orvex::sim;

namespace {

std::vector<std::complex<float>> LoopSamples(const AudioLoop& loop) {
    std::vector<std::complex<float>> x(loop.frames());
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = {loop.re(i), loop.im(i)};
    return x;
}

// Power of the analytic signal at positive and at negative frequencies, and above 4 kHz,
// from 16384-point complex transforms over the loop.
struct Sides {
    double positive = 0.0, negative = 0.0, above4k = 0.0;
};
Sides SpectrumSides(const std::vector<std::complex<float>>& x) {
    constexpr int n = 16384;
    clsFFT fft;
    fft.FFTInit(n);
    FloatVector re(n), im(n), outRe(n), outIm(n);
    Sides s;
    for (std::size_t at = 0; at + n <= x.size(); at += n) {
        for (int k = 0; k < n; ++k) {
            const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * (k + 0.5) / n);
            re[static_cast<std::size_t>(k)] = static_cast<float>(w * x[at + k].real());
            im[static_cast<std::size_t>(k)] = static_cast<float>(w * x[at + k].imag());
        }
        fft.FFT_S_2(re.data(), im.data(), outRe.data(), outIm.data());
        for (int k = 1; k < n; ++k) {
            const auto i = static_cast<std::size_t>(k);
            const double p =
                static_cast<double>(outRe[i]) * outRe[i] + static_cast<double>(outIm[i]) * outIm[i];
            const double hz = (k < n / 2 ? k : k - n) * static_cast<double>(kRate) / n;
            (hz > 0 ? s.positive : s.negative) += p;
            if (std::fabs(hz) > 4000.0) s.above4k += p;
        }
    }
    return s;
}

} // namespace

TEST(TestAudio, TonesAreAnalyticAtAnyRate) {
    for (const int rate : {48000, 44100}) {
        ProgrammePlayer p;
        p.setTones(1000.0, 0.0, rate);
        std::vector<float> re(5000), im(5000);
        p.render(re.data(), im.data(), 2000);
        p.render(re.data() + 2000, im.data() + 2000, 3000);
        for (std::size_t k = 0; k < re.size(); k += 37) {
            const double phase = 2.0 * M_PI * 1000.0 * static_cast<double>(k) / rate;
            ASSERT_NEAR(re[k], std::cos(phase), 1e-5) << k;
            ASSERT_NEAR(im[k], std::sin(phase), 1e-5) << k;
        }
    }
    ProgrammePlayer two;
    two.setTones(700.0, 1900.0, kRate);
    std::vector<float> re(48000), im(48000);
    two.render(re.data(), im.data(), 48000);
    EXPECT_NEAR(ToneAmplitude(re, 700.0), 0.5, 1e-3);
    EXPECT_NEAR(ToneAmplitude(re, 1900.0), 0.5, 1e-3);
    EXPECT_LE(*std::max_element(re.begin(), re.end()), 1.0f);
    ProgrammePlayer silent;
    silent.render(re.data(), im.data(), 100);
    EXPECT_EQ(re[50], 0.0f);
    EXPECT_TRUE(silent.silent());
}

TEST(TestAudio, SpeechAndMusicLoopsAreAnalyticVoiceBandAndSeamless) {
    for (const AudioSpec spec :
         {AudioSpec{AudioKind::Speech, 0, 0, 1}, AudioSpec{AudioKind::Speech, 0, 0, 2},
          AudioSpec{AudioKind::Music, 0, 0, 1}, AudioSpec{AudioKind::Music, 0, 0, 2}}) {
        SCOPED_TRACE(AudioText(spec));
        const auto loop = MakeLoop(spec);
        ASSERT_TRUE(loop);
        const double seconds = static_cast<double>(loop->frames()) / kRate;
        EXPECT_GT(seconds, 5.0);
        EXPECT_LT(seconds, 11.0);
        const auto x = LoopSamples(*loop);
        float peak = 0.0f;
        for (const auto& v : x)
            peak = std::max(peak, std::abs(v));
        EXPECT_NEAR(peak, 0.98f, 0.01f);
        // Where the loop joins itself: silent for the last 10 ms, starting from silence.
        for (std::size_t i = 0; i < 480; ++i)
            ASSERT_LT(std::abs(x[x.size() - 1 - i]), 0.01f) << i;
        EXPECT_LT(std::abs(x[0]), 0.01f);
        // A single-sideband transmitter can use it as it is: nearly all its power is at
        // positive frequencies, and within a voice channel.
        const Sides s = SpectrumSides(x);
        EXPECT_LT(s.negative, 1e-3 * s.positive);
        EXPECT_LT(s.above4k, 1e-3 * s.positive);
        // The same programme twice is the same; another variant is different.
        const auto again = MakeLoop(spec);
        ASSERT_EQ(again->frames(), loop->frames());
        EXPECT_TRUE(std::equal(x.begin(), x.end(), LoopSamples(*again).begin()));
    }
}

TEST(TestAudio, SpeechHasSyllablesPausesAndAVoicePitch) {
    for (const int variant : {1, 2, 5, 6}) {
        SCOPED_TRACE(variant);
        const auto x = ProgrammeAudio({AudioKind::Speech, 0, 0, variant}, 6 * kRate, kRate);
        // Loudness in 20 ms frames: pauses (frames 30 dB below the loudest) and syllables.
        std::vector<double> frames;
        for (std::size_t at = 0; at + 960 <= x.size(); at += 960)
            frames.push_back(measure::Rms(x.data() + at, 960));
        const double loudest = *std::max_element(frames.begin(), frames.end());
        const auto quiet = std::count_if(frames.begin(), frames.end(),
                                         [&](double f) { return f < loudest * 0.03; });
        EXPECT_GT(static_cast<double>(quiet) / frames.size(), 0.15);
        EXPECT_LT(static_cast<double>(quiet) / frames.size(), 0.6);
        // Onsets: quiet-to-loud transitions, a few per second like syllables.
        int onsets = 0;
        for (std::size_t i = 1; i < frames.size(); ++i)
            onsets += frames[i - 1] < loudest * 0.1 && frames[i] >= loudest * 0.1;
        EXPECT_GT(onsets, 6);
        EXPECT_LT(onsets, 40);
        // The pitch, from the autocorrelation of the loud frames (periods of 2.5 to 12 ms):
        // odd variants are a lower voice.
        std::vector<double> pitches;
        for (std::size_t f = 0; f + 1 < frames.size(); ++f) {
            if (frames[f] < 0.3 * loudest) continue;
            const float* w = x.data() + f * 960;
            std::size_t bestLag = 0;
            double best = 0.0;
            for (std::size_t lag = 120; lag <= 576; ++lag) {
                double c = 0.0;
                for (std::size_t k = 0; k + lag < 1920 && f * 960 + k + lag < x.size(); ++k)
                    c += static_cast<double>(w[k]) * w[k + lag];
                if (c > best) {
                    best = c;
                    bestLag = lag;
                }
            }
            if (bestLag > 0) pitches.push_back(static_cast<double>(kRate) / bestLag);
        }
        ASSERT_GT(pitches.size(), 20u);
        std::sort(pitches.begin(), pitches.end());
        const double pitch = pitches[pitches.size() / 2];
        if (variant % 2 == 1) {
            EXPECT_GT(pitch, 85.0);
            EXPECT_LT(pitch, 150.0);
        } else {
            EXPECT_GT(pitch, 160.0);
            EXPECT_LT(pitch, 260.0);
        }
    }
}

TEST(TestAudio, MusicPlaysNotesOfItsPentatonicScale) {
    static constexpr double kRoots[] = {196.0, 220.0, 246.94, 261.63, 293.66};
    for (const int variant : {1, 2, 3}) {
        SCOPED_TRACE(variant);
        const auto x = ProgrammeAudio({AudioKind::Music, 0, 0, variant}, 7 * kRate, kRate);
        const auto spectrum = PowerSpectrum(x, 32768);
        const double bin = static_cast<double>(kRate) / 32768.0;
        // Each of the ten strongest spectral peaks (local maxima) is the fundamental or one of
        // the first harmonics of a note of the root's major pentatonic scale (a random set of
        // ten frequencies would pass with a chance of about one in a thousand).
        // Peaks: maxima over +-15 Hz (a short note's spectrum has side lobes a few Hz out).
        std::vector<std::pair<double, double>> peaks;
        const std::size_t reach = static_cast<std::size_t>(15.0 / bin);
        for (std::size_t k = reach; k + reach < spectrum.size(); ++k) {
            bool top = true;
            for (std::size_t j = k - reach; j <= k + reach && top; ++j)
                top = j == k || spectrum[j] < spectrum[k];
            if (top) peaks.emplace_back(spectrum[k], static_cast<double>(k) * bin);
        }
        std::sort(peaks.rbegin(), peaks.rend());
        const double root = kRoots[variant % 5];
        ASSERT_GE(peaks.size(), 10u);
        for (std::size_t i = 0; i < 10; ++i) {
            bool onScale = false;
            for (int h = 1; h <= 4 && !onScale; ++h) {
                const double semitones = 12.0 * std::log2(peaks[i].second / h / root);
                const int nearest = static_cast<int>(std::lround(semitones));
                const int degree = ((nearest % 12) + 12) % 12;
                onScale = std::fabs(semitones - nearest) < 0.25 &&
                          (degree == 0 || degree == 2 || degree == 4 || degree == 7 || degree == 9);
            }
            EXPECT_TRUE(onScale) << peaks[i].second << " Hz";
        }
    }
}

TEST(TestAudio, MorseKeyingHasParisTiming) {
    // PARIS with its word space is 50 dots; at 20 wpm a dot is 60 ms.
    MorseKeyer paris("PARIS", 20.0, 0.0, kRate);
    EXPECT_EQ(paris.dotSamples(), 2880);
    EXPECT_EQ(paris.cycleSamples(), 50 * 2880);
    std::string pattern;
    for (const auto& e : paris.elements())
        pattern += std::string(static_cast<std::size_t>(e.samples / 2880), e.keyDown ? '=' : '.');
    EXPECT_EQ(pattern, "=.===.===.=...=.===...=.===.=...=.=...=.=.=.......");

    // The envelope: 0 to 1, key down for the dots' share, edges of 5 ms without steps.
    std::vector<float> env(static_cast<std::size_t>(paris.cycleSamples()));
    paris.render(env.data(), static_cast<int>(env.size()));
    double down = 0.0, maxStep = 0.0;
    for (std::size_t i = 0; i < env.size(); ++i) {
        ASSERT_GE(env[i], 0.0f);
        ASSERT_LE(env[i], 1.0f);
        down += env[i];
        if (i > 0) maxStep = std::max(maxStep, static_cast<double>(std::fabs(env[i] - env[i - 1])));
    }
    EXPECT_NEAR(down / 2880.0, 22.0, 0.1); // 22 dots of key-down per PARIS
    EXPECT_LT(maxStep, 0.007);             // a 240-sample raised cosine
    // The next cycle repeats it exactly (once the first key-down has ramped up: the keyer
    // starts in the state its start point has); a start offset shifts it.
    std::vector<float> again(env.size());
    paris.render(again.data(), static_cast<int>(again.size()));
    for (std::size_t i = 240; i < env.size(); ++i)
        ASSERT_EQ(again[i], env[i]) << i;
    MorseKeyer shifted("PARIS", 20.0, 0.0, kRate, 2880 * 4);
    std::vector<float> later(env.size());
    shifted.render(later.data(), static_cast<int>(later.size()));
    for (std::size_t i = 300; i + 2880 * 4 < env.size(); i += 97)
        ASSERT_EQ(later[i], env[i + 2880 * 4]) << i;

    // A pause after the message.
    MorseKeyer beacon("E", 12.0, 2.0, kRate);
    EXPECT_EQ(beacon.cycleSamples(), 8 * 4800 + 2 * kRate);
    EXPECT_EQ(MorseCode('a'), ".-");
    EXPECT_EQ(MorseCode('0'), "-----");
    EXPECT_EQ(MorseCode('/'), "-..-.");
    EXPECT_TRUE(MorseCode('~').empty());
}
