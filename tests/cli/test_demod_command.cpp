// orvexsdr-cli demod run as a user runs it: files in, files out, exit status and messages.
#include "CliHarness.h"
#include "audio/WavFile.h"
#include "dsp/SignalMeasure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

using Result = testutil::CliResult;

class DemodCommand : public testutil::CliTest {
protected:
    Result run(const std::string& args) const { return runCli("demod", args); }
};

std::vector<std::int16_t> Tone(std::size_t n, double f, double a) {
    const auto t = measure::MakeTone(n, f, 48000.0, a);
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(t[i]));
    return out;
}

std::vector<float> ToFloat(const std::vector<std::int16_t>& x) {
    return {x.begin(), x.end()};
}

} // namespace

TEST_F(DemodCommand, OutputHasAsManySamplesAsTheInputAndASummary) {
    const std::size_t n = 70 * 2048 + 777; // a final partial block; longer than the AGC delay
    audio::WriteWavFile(path("if.wav"), 48000, 1, Tone(n, 13000, 3000));
    const Result r =
        run("--in " + path("if.wav") + " --out " + path("af.wav") + " --mode usb --agc fast");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = audio::ReadWavFile(path("af.wav"));
    EXPECT_EQ(out.format.SampleRate, 48000);
    EXPECT_EQ(out.format.Channels, 1);
    EXPECT_EQ(out.format.Frames, static_cast<std::int64_t>(n));
    const auto af = ToFloat(out.samples);
    EXPECT_NEAR(measure::MeasureTone(af.data() + 62 * 2048, 8 * 2048, 1000, 48000).amplitude, 16383,
                500);
    EXPECT_NE(r.err.find("71 blocks"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("DSPLoad mean"), std::string::npos);
    EXPECT_NE(r.err.find("mean S-meter power"), std::string::npos);
    EXPECT_NE(r.err.find("final AGC gain"), std::string::npos);
}

TEST_F(DemodCommand, StereoUsesTheFirstChannelAndOptionsActLikeThePanel) {
    const std::size_t n = 8 * 2048;
    const auto left = Tone(n, 1000, 2000);
    std::vector<std::int16_t> stereo;
    for (std::size_t i = 0; i < n; ++i) {
        stereo.push_back(left[i]);
        stereo.push_back(static_cast<std::int16_t>(-left[i] / 2));
    }
    audio::WriteWavFile(path("st.wav"), 48000, 2, stereo);
    Result r = run("--in " + path("st.wav") + " --out " + path("a.wav") + " --mode drm");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("using the first"), std::string::npos) << r.err;
    EXPECT_EQ(audio::ReadWavFile(path("a.wav")).samples, left) << "DRM passes the IF unchanged";

    // The output level below unity is the sound card's attenuation: 20 dB down in the file.
    r = run("--in " + path("st.wav") + " --out " + path("b.wav") + " --mode drm --volume -2000");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto quiet = ToFloat(audio::ReadWavFile(path("b.wav")).samples);
    EXPECT_NEAR(measure::Db(measure::MeasureTone(quiet, 1000, 48000).amplitude, 2000), -20.0, 0.1);

    // The "400 Hz" preset in USB stops a 1500 Hz tone.
    audio::WriteWavFile(path("u.wav"), 48000, 1, Tone(16 * 2048, 13500, 3000));
    r = run("--in " + path("u.wav") + " --out " + path("c.wav") + " --mode usb --filter 1 --spl");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stopped = ToFloat(audio::ReadWavFile(path("c.wav")).samples);
    EXPECT_LT(measure::MeasureTone(stopped.data() + 4 * 2048, 12 * 2048, 1500, 48000).amplitude,
              30.0);
}

TEST_F(DemodCommand, BadInputGivesOneLineStatusTwoAndNoOutput) {
    audio::WriteWavFile(path("ok.wav"), 48000, 1, Tone(4096, 13000, 1000));
    audio::WriteWavFile(path("44k.wav"), 44100, 1, Tone(4096, 13000, 1000));
    std::ofstream(path("text.wav")) << "not a wav file at all";
    const std::string out = path("out.wav");
    const std::string ok = "--in " + path("ok.wav") + " --out " + out;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--in " + path("missing.wav") + " --out " + out + " --mode am", "cannot open"},
        {"--in " + path("text.wav") + " --out " + out + " --mode am", "not a WAV file"},
        {"--in " + path("44k.wav") + " --out " + out + " --mode am", "48000"},
        {ok + " --mode am --bogus", "unknown option"},
        {ok + " --mode xyz", "not one of"},
        {ok, "--mode is required"},
        {ok + " --mode am --filter 5", "not one of"},
        {ok + " --mode am --filter-hi 6001", "out of range"},
        {ok + " --mode am --filter-lo abc", "not a number"},
        {ok + " --mode am --nr -1", "out of range"},
        {ok + " --mode am --volume 9000", "out of range"},
        {ok + " --mode am --notch-if 7000", "out of range"},
        {ok + " --mode am --notch-af 100 --notch-if 100", "exclude"},
        {ok + " --mode am --agc", "needs a value"},
        {ok + " --mode usb --filter-lo 1500 --filter-hi 1000", "must be below"},
        {"--in " + path("ok.wav") + " --out " + path("no/such/dir/x.wav") + " --mode am",
         "cannot write"},
    };
    for (const auto& [args, text] : cases) {
        const Result r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(text), std::string::npos) << args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << "\n" << r.err;
        EXPECT_FALSE(fs::exists(out)) << args;
    }
    EXPECT_EQ(fileCount(), 3u) << "nothing but the three inputs is left";
}
