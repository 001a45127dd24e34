// orvexsdr-cli listen run as a user runs it: files and ALSA devices in and out, the status
// lines, Ctrl-C, and bad input.
#include "CliHarness.h"
#include "audio/WavFile.h"
#include "dsp/SignalMeasure.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

// An upper-sideband tone: 1000 Hz of audio at 12000 + 1000 Hz on the IF.
std::vector<std::int16_t> UsbIf(std::size_t n) {
    const auto t = measure::MakeTone(n, 13000.0, 48000.0, 6000.0);
    std::vector<std::int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::int16_t>(std::lround(t[i]));
    return s;
}

double ToneLevel(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count,
                 double f) {
    std::vector<float> x(s.begin() + static_cast<long>(from),
                         s.begin() + static_cast<long>(from + count));
    return measure::MeasureTone(x, f, 48000.0).amplitude;
}

class ListenCommand : public testutil::CliTest {
protected:
    testutil::CliResult run(const std::string& args, const std::string& env = {}) const {
        return runCli("listen", args, env);
    }
};

} // namespace

TEST_F(ListenCommand, FileInFileOutRunsTheChainAndPrintsStatusLines) {
    audio::WriteWavFile(path("if.wav"), 48000, 1, UsbIf(3 * 48000));
    const auto r =
        run("--in " + path("if.wav") + " --out " + path("af.wav") + " --mode usb --free-running");
    ASSERT_EQ(r.status, 0) << r.err;
    // One status line for each second of audio.
    EXPECT_NE(r.out.find("1.0 s  blocks"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3.0 s  blocks"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DSPLoad"), std::string::npos);
    EXPECT_NE(r.out.find("dropped 0"), std::string::npos);
    EXPECT_NE(r.err.find("blocks"), std::string::npos); // the summary
    const auto af = audio::ReadWavFile(path("af.wav"));
    // The input and the last block's way through the ring and the playback buffer.
    ASSERT_GE(af.samples.size(), 3u * 48000u);
    EXPECT_GT(ToneLevel(af.samples, 48000, 48000, 1000.0), 1000.0);
    EXPECT_LT(ToneLevel(af.samples, 48000, 48000, 3000.0), 10.0);
}

// The libasound path for real, with no sound card: PCMs of our own configuration read the IF
// from one file and write the demodulated audio to another through the file plugin.
TEST_F(ListenCommand, StreamsThroughAlsaDevicesOfItsOwnConfiguration) {
    const auto ifSamples = UsbIf(4 * 48000);
    {
        std::ofstream raw(path("if.raw"), std::ios::binary);
        raw.write(reinterpret_cast<const char*>(ifSamples.data()),
                  static_cast<std::streamsize>(ifSamples.size() * 2));
    }
    std::ofstream(path("asound.conf"))
        << "pcm.orvex_if { type file slave.pcm { type null } file \"/dev/null\" infile \""
        << path("if.raw") << "\" format raw }\n"
        << "pcm.orvex_af { type file slave.pcm { type null } file \"" << path("af.raw")
        << "\" format raw }\n";
    const auto r =
        run("--capture-device orvex_if --playback-device orvex_af --mode usb --seconds 3",
            "ORVEX_ALSA_CONFIG=" + path("asound.conf"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("overruns 0  underruns 0"), std::string::npos) << r.out;
    std::ifstream raw(path("af.raw"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(raw)),
                            std::istreambuf_iterator<char>());
    std::vector<std::int16_t> af(bytes.size() / 2);
    std::memcpy(af.data(), bytes.data(), af.size() * 2);
    ASSERT_GE(af.size(), 2u * 48000u);
    EXPECT_GT(ToneLevel(af, 48000, 48000, 1000.0), 1000.0);
}

TEST_F(ListenCommand, CtrlCStopsCleanlyAndFinishesTheOutput) {
    audio::WriteWavFile(path("if.wav"), 48000, 1, UsbIf(60 * 48000));
    const Running listen =
        spawnCli({"listen", "--in", path("if.wav"), "--out", path("af.wav"), "--mode", "usb"});
    ASSERT_GT(listen.pid, 0);
    // Interrupted once it streams (its start-up line), in real time: well before the end.
    ASSERT_TRUE(waitForText(listen.err, "real time", 20.0));
    ::kill(listen.pid, SIGINT);
    std::string said;
    waitForText(listen.err, "stopped by the user", 20.0, &said);
    const int status = waitExit(listen);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << said;
    const auto af = audio::ReadWavFile(path("af.wav")); // a complete, valid file
    EXPECT_LT(af.samples.size(), 30u * 48000u);
}

TEST_F(ListenCommand, BadInputGivesStatusTwoAndLeavesNothing) {
    audio::WriteWavFile(path("rate.wav"), 44100, 1, UsbIf(44100));
    audio::WriteWavFile(path("good.wav"), 48000, 1, UsbIf(48000));
    const std::string out = path("out.wav");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--in " + path("missing.wav") + " --out " + out, "missing.wav"},
        {"--in " + path("rate.wav") + " --out " + out, "48000"},
        {"--in " + path("good.wav") + " --out /proc/orvex/out.wav", "out.wav"},
        {"--bogus", "unknown option"},
        {"--in a.wav --capture-device 1 --out " + out, "exclude"},
        {"--in " + path("rate.wav") + " --seconds x --out " + out, "not a number"},
    };
    for (const auto& [args, says] : cases) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
        EXPECT_FALSE(fs::exists(out)) << args;
    }
    EXPECT_EQ(fileCount(), 2u); // only the two inputs
}

TEST_F(ListenCommand, MissingSoundDeviceGivesTheMessageAndTheReason) {
    audio::WriteWavFile(path("if.wav"), 48000, 1, UsbIf(48000));
    const auto r = run("--capture-device hw:99,0 --no-playback --seconds 1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Unable to start DirectSound. Check proper sound card installation"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("hw:99,0"), std::string::npos) << r.err;
}

TEST_F(ListenCommand, ListsTheDevices) {
    const auto r = run("--list-devices");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("capture devices:"), std::string::npos);
    EXPECT_NE(r.out.find("playback devices:"), std::string::npos);
    EXPECT_NE(r.out.find(" 1  default"), std::string::npos) << r.out;
}

// With no capture device named, listen tunes the simulated receiver through the DDS controller
// and demodulates what it hears: the default scene's 1 kHz AM test station.
TEST_F(ListenCommand, TheSimulatedReceiverIsTheDefault) {
    const auto r = run("--freq 6.015 --mode am --agc normal --seconds 3 --free-running --out " +
                       path("af.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("simulated receiver: scene"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tuned 6.015000 MHz"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Tone test 1 kHz"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Brisko receiver (simulated)"), std::string::npos) << r.err;
    const auto af = audio::ReadWavFile(path("af.wav"));
    ASSERT_GE(af.samples.size(), 2u * 48000u);
    const std::size_t last = af.samples.size() - 48000;
    const double tone = ToneLevel(af.samples, last, 48000, 1000.0);
    EXPECT_GT(tone, 1000.0);
    EXPECT_GT(measure::Db(tone, ToneLevel(af.samples, last, 48000, 1700.0)), 30.0);
}

TEST_F(ListenCommand, BadSceneOrSimulatorOptionsGiveStatusTwo) {
    std::ofstream(path("bad.scene")) << "station 7.1 MHz AM level=-30\nstation seven MHz AM\n";
    auto r = run("--scene " + path("bad.scene") + " --seconds 1 --no-playback");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad.scene:2"), std::string::npos) << r.err;
    r = run("--clock-error 5000 --no-playback");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
    r = run("--in x.wav --scene " + path("bad.scene") + " --no-playback");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("simulated receiver"), std::string::npos) << r.err;
}
