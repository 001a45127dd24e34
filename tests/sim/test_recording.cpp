// Recorded programmes: a WAV file on the air as a station. The resampler and the Hilbert
// transformer against the exact signals, each mode's spectrum in the IF, play-once, and bad
// files refused with the scene loader's one line.
#include "SimTestSupport.h"
#include "audio/WavFile.h"
#include "sim/IFSynthesiser.h"
#include "sim/Recording.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace orvex;
using namespace orvex::sim;
using namespace orvex::test;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
    TempFolder() {
        char name[] = "/tmp/orvex-rec-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

std::vector<std::int16_t> Tone16(double hz, int rate, double seconds, double amplitude = 16000) {
    std::vector<std::int16_t> x(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<std::int16_t>(
            std::lrint(amplitude * std::cos(2.0 * M_PI * hz * static_cast<double>(i) / rate)));
    return x;
}

// A 32-bit float WAV (format tag 3) written byte by byte, `channels` interleaved.
void WriteFloatWav(const std::string& path, int rate, int channels, const std::vector<float>& x) {
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(x.size() * 4);
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(3);
    u16(static_cast<std::uint16_t>(channels));
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate * 4 * channels));
    u16(static_cast<std::uint16_t>(4 * channels));
    u16(32);
    f.write("data", 4);
    u32(bytes);
    f.write(reinterpret_cast<const char*>(x.data()), static_cast<std::streamsize>(bytes));
}

// The IF of `sceneText` (recordings relative to `folder`) tuned to `tunedHz`, `seconds` long.
std::vector<float> RenderIF(const std::string& sceneText, const std::string& folder, double tunedHz,
                            double seconds) {
    SceneLoadResult r = ParseScene(sceneText, "r.scene", folder);
    EXPECT_TRUE(r.ok()) << r.errorText();
    if (!r.ok()) return {};
    IFSynthesiser synth(std::move(*r.scene));
    synth.setTuning(tunedHz);
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    synth.render(x.data(), static_cast<std::int64_t>(x.size()));
    return x;
}

double Db(double ratio) {
    return 10.0 * std::log10(ratio);
}

} // namespace

TEST(Recording, ResamplingKeepsATonesFrequencyAndLevelAndAddsNoImages) {
    for (const int rate : {8000, 11025, 22050, 44100}) {
        std::vector<float> x(static_cast<std::size_t>(rate));
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(
                0.5 * std::cos(2.0 * M_PI * 1234.5 * static_cast<double>(i) / rate));
        const std::vector<float> y = ResampleTo48k(x, rate, false);
        ASSERT_EQ(y.size(), 48000u) << rate;
        // Away from the ends the output is the same cosine sampled at 48000/s.
        double worst = 0.0;
        for (std::size_t n = 2000; n < 46000; ++n)
            worst =
                std::max(worst, std::fabs(y[n] - 0.5 * std::cos(2.0 * M_PI * 1234.5 *
                                                                static_cast<double>(n) / 48000)));
        EXPECT_LT(worst, 2e-3) << rate;
        // Nothing above the input's band: its images would be heard as whistles.
        const std::vector<float> mid(y.begin() + 4000, y.end() - 4000);
        const auto spectrum = PowerSpectrum(mid);
        EXPECT_LT(BandPower(spectrum, 0.5 * rate + 200, 24000) / BandPower(spectrum, 1200, 1270),
                  1e-6)
            << rate;
    }
}

TEST(Recording, TheHilbertTransformIsTheQuadratureOfEveryToneInTheAudioBandAndAcrossALoopsSeam) {
    for (const double hz : {150.0, 1000.0, 2999.0, 12000.0}) {
        std::vector<float> x(48000);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(std::cos(2.0 * M_PI * hz * static_cast<double>(i) / 48000));
        // A whole number of cycles in a second: as a loop the seam is invisible.
        const std::vector<float> h = HilbertTransform(x, true);
        double worst = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i)
            worst = std::max(worst, std::fabs(h[i] - std::sin(2.0 * M_PI * hz *
                                                              static_cast<double>(i) / 48000)));
        EXPECT_LT(worst, 2e-3) << hz;
        // Played once, the signal starts and stops: the transform rings at the ends only.
        const std::vector<float> once = HilbertTransform(x, false);
        worst = 0.0;
        for (std::size_t i = 4000; i < x.size() - 4000; ++i)
            worst = std::max(worst, std::fabs(once[i] - std::sin(2.0 * M_PI * hz *
                                                                 static_cast<double>(i) / 48000)));
        EXPECT_LT(worst, 2e-3) << hz;
    }
}

TEST(Recording, EveryModeCarriesTheRecordingUSBAndLSBAsOneSideband) {
    TempFolder dir;
    // 1000 Hz at 8000 samples/s, 16-bit, and 700 Hz as float stereo at 44100 (first channel).
    audio::WriteWavFile(dir.file("tone.wav"), 8000, 1, Tone16(1000, 8000, 2.0));
    std::vector<float> stereo;
    for (int i = 0; i < 44100 * 2; ++i) {
        stereo.push_back(static_cast<float>(0.4 * std::cos(2.0 * M_PI * 700.0 * i / 44100)));
        stereo.push_back(0.9f); // the second channel is not heard
    }
    WriteFloatWav(dir.file("float.wav"), 44100, 2, stereo);

    const double f0 = 14.074e6;
    struct Case {
        std::string mode, file;
        double wanted, unwanted; // IF of the sideband that must be there, and of its mirror
    };
    for (const Case& c :
         {Case{"USB", "tone.wav", 13000, 11000}, Case{"LSB", "tone.wav", 11000, 13000},
          Case{"USB", "float.wav", 12700, 11300}}) {
        const auto x = RenderIF("station 14.074 MHz " + c.mode + " level=-20 audio=wav:" + c.file +
                                    "\nnoise -200\n",
                                dir.path, f0, 1.0);
        const auto spectrum = PowerSpectrum(x);
        const double wanted = BandPower(spectrum, c.wanted - 20, c.wanted + 20);
        // A USB station's level is its peak envelope: the tone at -20 dBFS.
        EXPECT_NEAR(std::sqrt(2.0 * wanted) / DbfsToAmplitude(-20), 1.0, 0.02) << c.mode << c.file;
        EXPECT_LT(Db(BandPower(spectrum, c.unwanted - 20, c.unwanted + 20) / wanted), -60)
            << c.mode << c.file;
        EXPECT_LT(Db(BandPower(spectrum, 12000 - 5, 12000 + 5) / wanted), -60) << "carrier";
    }
    // AM: the carrier and both sidebands at the depth; FM: the deviation swings the carrier.
    const auto am = PowerSpectrum(
        RenderIF("station 14.074 MHz AM level=-20 depth=0.5 audio=wav:tone.wav\nnoise -200\n",
                 dir.path, f0, 1.0));
    const double carrier = BandPower(am, 11990, 12010);
    EXPECT_NEAR(BandPower(am, 12980, 13020) / carrier, 0.0625, 0.005); // (m/2)^2
    EXPECT_NEAR(BandPower(am, 10980, 11020) / carrier, 0.0625, 0.005);
    const auto fm = PowerSpectrum(
        RenderIF("station 14.074 MHz FM level=-20 deviation=2000 audio=wav:tone.wav\nnoise -200\n",
                 dir.path, f0, 1.0));
    EXPECT_GT(BandPower(fm, 12980, 13020), 0.1 * BandPower(fm, 11990, 12010)); // sidebands
}

TEST(Recording, PlayedOnceItFallsSilentAndLoopedItStartsAgain) {
    TempFolder dir;
    audio::WriteWavFile(dir.file("burst.wav"), 48000, 1, Tone16(1500, 48000, 0.5));
    for (const bool once : {true, false}) {
        const auto x = RenderIF(std::string("station 7 MHz USB level=-10 audio=wav:burst.wav") +
                                    (once ? " loop=no" : "") + "\nnoise -200\n",
                                dir.path, 7e6, 1.5);
        auto rms = [&](double from, double to) {
            double s = 0;
            const auto a = static_cast<std::size_t>(from * kRate),
                       b = static_cast<std::size_t>(to * kRate);
            for (std::size_t i = a; i < b; ++i)
                s += static_cast<double>(x[i]) * x[i];
            return std::sqrt(s / static_cast<double>(b - a));
        };
        EXPECT_GT(rms(0.1, 0.4), 1000.0);
        if (once)
            EXPECT_EQ(rms(0.55, 1.5), 0.0);
        else
            EXPECT_GT(rms(0.6, 0.9), 1000.0);
    }
}

TEST(Recording, BadFilesAndValuesGiveOneLineWithTheSceneLineAndTheReason) {
    TempFolder dir;
    audio::WriteWavFile(dir.file("ok.wav"), 48000, 1, Tone16(1000, 48000, 0.1));
    audio::WriteWavFile(dir.file("fast.wav"), 96000, 1, Tone16(1000, 96000, 0.1));
    audio::WriteWavFile(dir.file("empty.wav"), 8000, 1, {});
    std::ofstream(dir.file("text.wav")) << "not a wav file at all, just words\n";
    ::mkfifo(dir.file("fifo.wav").c_str(), 0600);
    {
        // 24-bit PCM: a header that says so.
        std::vector<std::uint8_t> h(44, 0);
        audio::MakeWavHeader(h.data(), 8000, 1, 0);
        h[34] = 24;
        h[32] = 3;
        std::ofstream(dir.file("24bit.wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(h.data()), 44);
    }
    const std::pair<std::string, std::string> cases[] = {
        {"audio=wav:missing.wav", "missing.wav: No such file or directory"},
        {"audio=wav:fast.wav", "96000 samples per second; a recording needs 8000 to 48000"},
        {"audio=wav:empty.wav", "empty.wav: holds no samples"},
        {"audio=wav:text.wav", "not a WAV file"},
        {"audio=wav:24bit.wav", "24 bits per sample"},
        {"audio=wav:fifo.wav", "fifo.wav"},
        {"audio=wav:", "audio=wav needs a file"},
        {"audio=wav:ok.wav loop=maybe", "loop 'maybe' is neither yes nor no"},
        {"audio=tone:1000 loop=no", "loop= applies to a recording (audio=wav:PATH) only"},
    };
    for (const auto& [keys, reason] : cases) {
        const SceneLoadResult r = ParseScene(
            "noise -90\nstation 7 MHz USB level=-30 " + keys + "\n", "bad.scene", dir.path);
        ASSERT_FALSE(r.ok()) << keys;
        ASSERT_EQ(r.errors.size(), 1u) << r.errorText();
        EXPECT_EQ(r.errors[0].rfind("bad.scene:2: ", 0), 0u) << r.errors[0];
        EXPECT_NE(r.errors[0].find(reason), std::string::npos) << r.errors[0];
    }
    // A file named relative to the scene file is found beside it, whatever the current folder.
    std::ofstream(dir.file("s.scene")) << "station 7 MHz LSB level=-30 audio=wav:ok.wav loop=no\n";
    const SceneLoadResult r = LoadSceneFile(dir.file("s.scene"));
    ASSERT_TRUE(r.ok()) << r.errorText();
    EXPECT_EQ(AudioText(r.scene->signals[0].audio), "wav:ok.wav");
    EXPECT_FALSE(r.scene->signals[0].audio.loop);
}
