// The generated test audio: speech-like and music-like loops that are analytic, voice-band and
// seamless, speech with syllables and pauses, music on its scale, Morse with PARIS timing.
#include "SimTestSupport.h"
#include "sim/TestAudio.h"

#include <algorithm>

using namespace orvex;
using namespace orvex::test;
using namespace orvex::sim;

TEST(TestAudio, LoopsAreAnalyticVoiceBandAndSeamless) {
    for (const AudioSpec& programme :
         {AudioSpec{AudioKind::Speech, 0, 0, 1}, AudioSpec{AudioKind::Music, 0, 0, 2}}) {
        SCOPED_TRACE(AudioText(programme));
        const auto loop = MakeLoop(programme);
        EXPECT_GT(loop->frames(), 5u * kRate);
        // Complex spectrum of re + j im: nearly all power at positive frequencies (a
        // single-sideband transmitter can use it as it is) and below 4 kHz.
        constexpr int n = 16384;
        clsFFT fft;
        fft.FFTInit(n);
        FloatVector re(n), im(n), outRe(n), outIm(n);
        double positive = 0.0, negative = 0.0, above4k = 0.0, peak = 0.0;
        for (std::size_t at = 0; at + n <= loop->frames(); at += n) {
            for (int k = 0; k < n; ++k) {
                const auto i = static_cast<std::size_t>(k);
                re[i] = loop->re(at + i);
                im[i] = loop->im(at + i);
                peak = std::max(peak, std::hypot(static_cast<double>(re[i]), im[i]));
            }
            fft.FFT_S_2(re.data(), im.data(), outRe.data(), outIm.data());
            for (int k = 1; k < n; ++k) {
                const auto i = static_cast<std::size_t>(k);
                const double p = static_cast<double>(outRe[i]) * outRe[i] + outIm[i] * outIm[i];
                const double hz = (k < n / 2 ? k : k - n) * static_cast<double>(kRate) / n;
                (hz > 0 ? positive : negative) += p;
                if (std::fabs(hz) > 4000.0) above4k += p;
            }
        }
        EXPECT_LT(negative, 1e-3 * positive);
        EXPECT_LT(above4k, 1e-3 * positive);
        EXPECT_LE(peak, 0.99);
        // Where the loop joins itself: silent for the last 10 ms, starting from silence.
        for (std::size_t i = loop->frames() - 480; i < loop->frames(); ++i)
            ASSERT_LT(std::hypot(loop->re(i), loop->im(i)), 0.01f) << i;
        EXPECT_LT(std::hypot(loop->re(0), loop->im(0)), 0.01f);
    }
}

TEST(TestAudio, SpeechHasSyllablesAndPausesMusicPlaysItsScale) {
    // Speech: loudness in 20 ms frames shows pauses and a few syllable onsets per second.
    const auto speech = ProgrammeAudio({AudioKind::Speech, 0, 0, 2}, 6 * kRate, kRate);
    std::vector<double> frames;
    for (std::size_t at = 0; at + 960 <= speech.size(); at += 960)
        frames.push_back(measure::Rms(speech.data() + at, 960));
    const double loudest = *std::max_element(frames.begin(), frames.end());
    int quiet = 0, onsets = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        quiet += frames[i] < 0.03 * loudest;
        onsets += i > 0 && frames[i - 1] < 0.1 * loudest && frames[i] >= 0.1 * loudest;
    }
    EXPECT_GT(quiet, 0.15 * frames.size());
    EXPECT_LT(quiet, 0.6 * frames.size());
    EXPECT_GT(onsets, 6);
    EXPECT_LT(onsets, 40);

    // Music: each of the ten strongest spectral peaks (maxima over ±15 Hz) is a note of the
    // root's major pentatonic scale or one of its first harmonics; ten random frequencies
    // would all pass with a chance of about one in a thousand.
    const auto music = ProgrammeAudio({AudioKind::Music, 0, 0, 3}, 7 * kRate, kRate);
    const auto spectrum = PowerSpectrum(music, 32768);
    const double bin = static_cast<double>(kRate) / 32768.0, root = 261.63;
    const auto reach = static_cast<std::size_t>(15.0 / bin);
    std::vector<std::pair<double, double>> peaks;
    for (std::size_t k = reach; k + reach < spectrum.size(); ++k)
        if (*std::max_element(spectrum.begin() + static_cast<long>(k - reach),
                              spectrum.begin() + static_cast<long>(k + reach + 1)) == spectrum[k])
            peaks.emplace_back(spectrum[k], static_cast<double>(k) * bin);
    std::sort(peaks.rbegin(), peaks.rend());
    ASSERT_GE(peaks.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        bool onScale = false;
        for (int h = 1; h <= 4; ++h) {
            const double semitones = 12.0 * std::log2(peaks[i].second / h / root);
            const long nearest = std::lround(semitones);
            const long degree = ((nearest % 12) + 12) % 12;
            onScale = onScale ||
                      (std::fabs(semitones - static_cast<double>(nearest)) < 0.25 &&
                       (degree == 0 || degree == 2 || degree == 4 || degree == 7 || degree == 9));
        }
        EXPECT_TRUE(onScale) << peaks[i].second << " Hz";
    }
}

TEST(TestAudio, MorseKeyingHasParisTimingAndSoftEdges) {
    // PARIS with its word space is 50 dots; at 20 wpm a dot is 60 ms.
    MorseKeyer paris("PARIS", 20.0, 0.0, kRate);
    std::string pattern;
    for (const auto& e : paris.elements())
        pattern += std::string(static_cast<std::size_t>(e.samples / 2880), e.keyDown ? '=' : '.');
    EXPECT_EQ(pattern, "=.===.===.=...=.===...=.===.=...=.=...=.=.=.......");
    std::vector<float> env(static_cast<std::size_t>(paris.cycleSamples()));
    paris.render(env.data(), static_cast<int>(env.size()));
    double maxStep = 0.0;
    for (std::size_t i = 1; i < env.size(); ++i)
        maxStep = std::max(maxStep, static_cast<double>(std::fabs(env[i] - env[i - 1])));
    EXPECT_LT(maxStep, 0.007); // 5 ms raised-cosine edges, no clicks
    EXPECT_EQ(MorseKeyer("E", 12.0, 2.0, kRate).cycleSamples(), 8 * 4800 + 2 * kRate);
}
