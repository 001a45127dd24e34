// orvexsdr-cli listen run as a user runs it: files and ALSA devices in and out, the status
// lines, Ctrl-C, and bad input.
#include "CliHarness.h"
#include "audio/OrvexDX8.h"
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

// Ctrl-C, and as well a closed terminal or SSH session (SIGHUP) or a CPU-time limit (SIGXCPU),
// whose default would end the program and lose the output.
TEST_F(ListenCommand, CtrlCHangupOrACpuLimitStopCleanlyAndFinishTheOutput) {
    audio::WriteWavFile(path("if.wav"), 48000, 1, UsbIf(60 * 48000));
    for (const int signal : {SIGINT, SIGHUP, SIGXCPU}) {
        fs::remove(path("af.wav"));
        const Running listen =
            spawnCli({"listen", "--in", path("if.wav"), "--out", path("af.wav"), "--mode", "usb"});
        ASSERT_GT(listen.pid, 0);
        // Interrupted once it streams (its start-up line), in real time: well before the end.
        ASSERT_TRUE(waitForText(listen.err, "real time", 20.0));
        ::kill(listen.pid, signal);
        std::string said;
        waitForText(listen.err, "stopped by the user", 20.0, &said);
        const int status = waitExit(listen);
        ASSERT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 0) << signal << ": " << said;
        const auto af = audio::ReadWavFile(path("af.wav")); // a complete, valid file
        EXPECT_LT(af.samples.size(), 30u * 48000u);
    }
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
    EXPECT_NE(r.err.find(kSoundCardOpenMessage), std::string::npos) << r.err;
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

// ---- the simulated shaft encoder --------------------------------------------------------------

// The knob turns one second after the start; each transition is a 100 Hz step (rate unlocked),
// up for a positive rate and down for a negative one, and the status lines show where it went.
TEST_F(ListenCommand, TheSimulatedKnobTunesAndTheStatusLinesShowIt) {
    auto r = run("--sim --freq 7.1 --no-playback --seconds 3 --sim-encoder 400:300");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("the simulated knob turns 300 transitions up at 400 a second"),
              std::string::npos)
        << r.err;
    const auto lastLine = r.out.substr(r.out.rfind("3.0 s  blocks"));
    // Every transition one step, or (on a machine too busy to follow) counted, never reversed.
    if (lastLine.find("encoder +300 -0 ?0") != std::string::npos) {
        EXPECT_NE(lastLine.find("7.1300000 MHz"), std::string::npos) << lastLine;
    } else {
        EXPECT_NE(lastLine.find(" -0 ?"), std::string::npos) << lastLine;
    }
    EXPECT_NE(r.out.find("1.0 s  blocks"), std::string::npos);
    EXPECT_NE(r.err.find("the knob made 300 of 300 transitions"), std::string::npos) << r.err;

    r = run("--sim --freq 7.1 --no-playback --seconds 3 --sim-encoder -300:150 "
            "--encoder-auto-rate");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto autoLine = r.out.substr(r.out.rfind("3.0 s  blocks"));
    // 3.3 ms apart: 500 Hz steps, one a 30 ms tick while transitions come, and half a second
    // of turning is 16 or 17 ticks.
    EXPECT_NE(autoLine.find("step 500 Hz"), std::string::npos) << autoLine;
    EXPECT_NE(autoLine.find("encoder +0 -"), std::string::npos) << autoLine;
    const double mhz = std::stod(autoLine.substr(autoLine.find(" MHz") - 10, 10));
    EXPECT_GE(mhz, 7.1 - 20 * 0.0005 - 1e-9) << autoLine;
    EXPECT_LE(mhz, 7.1 - 10 * 0.0005 + 1e-9) << autoLine;
}

// Hamlib's own rigctl client reads the frequency the knob tuned from the rigctl server.
TEST_F(ListenCommand, RigctlReadsTheFrequencyTheKnobTuned) {
    const auto p = spawnCli({"listen", "--sim", "--freq", "7.1", "--no-playback", "--seconds", "20",
                             "--sim-encoder", "500:250", "--rigctl", "0"},
                            false, true);
    ASSERT_GT(p.pid, 0);
    std::string seen;
    ASSERT_TRUE(waitForText(p.err, "the simulated knob turns", 10, &seen)) << seen;
    const auto at = seen.find("rigctl listening on 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << seen;
    const int port = std::atoi(seen.c_str() + at + std::strlen("rigctl listening on 127.0.0.1:"));
    std::string more;
    ASSERT_TRUE(waitForText(p.err, "3.0 s  blocks", 15, &more)) << more;
    const auto line = more.substr(more.rfind("3.0 s  blocks"));
    const auto plus = line.find("encoder +");
    const long up = std::atol(line.c_str() + plus + 9);
    EXPECT_GT(up, 200) << line; // the knob turned between 1 s and 1.5 s
    std::string answer;
    if (FILE* f =
            ::popen(("rigctl -m 2 -r 127.0.0.1:" + std::to_string(port) + " f").c_str(), "r")) {
        char buf[128];
        while (std::fgets(buf, sizeof buf, f))
            answer += buf;
        ::pclose(f);
    }
    ::kill(p.pid, SIGINT);
    const int status = waitExit(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The frequency the status line showed, in hertz.
    const auto mhzAt = line.find(" MHz");
    const double mhz = std::stod(line.substr(mhzAt - 10, 10));
    EXPECT_EQ(std::atol(answer.c_str()), std::lround(mhz * 1e6)) << answer << line;
    EXPECT_EQ(std::lround((mhz - 7.1) * 1e4), up) << line; // 100 Hz a decoded step
}

TEST_F(ListenCommand, BadSimulatedEncoderOptionsGiveStatusTwo) {
    const std::pair<std::string, std::string> cases[] = {
        {"--sim-encoder 300", "RATE:COUNT"},
        {"--sim-encoder 0:10", "RATE cannot be 0"},
        {"--sim-encoder 300:0", "out of range"},
        {"--sim-encoder 300:2.5", "whole number"},
        {"--encoder-auto-rate", "needs --sim-encoder"},
        {"--sim-encoder 300:10 --free-running --no-playback", "not with --free-running"},
        {"--sim-encoder 300:10 --speed 2", "not with --speed"},
        {"--in x.wav --sim-encoder 300:10", "simulated receiver"},
    };
    for (const auto& [args, message] : cases) {
        const auto r = run(args + " --seconds 1 --no-playback");
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    }
}

// ---- recording while listening --------------------------------------------------------------

// The default scene's 1 kHz AM test station at 6.015 MHz: the audio recording holds the tone,
// the IF recording the station's carrier at the 12 kHz IF, block for block in step.
TEST_F(ListenCommand, RecordsTheAudioAndTheIFWhileListening) {
    const auto r = run("--sim --freq 6.015 --mode am --no-playback --free-running --seconds 3 "
                       "--record-audio " +
                       path("a.wav") + " --record-if " + path("i.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("audio recorded to " + path("a.wav") + " (3.0 s"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("IF input recorded to " + path("i.wav")), std::string::npos) << r.err;
    const auto af = audio::ReadWavFile(path("a.wav"));
    const auto in = audio::ReadWavFile(path("i.wav"));
    EXPECT_EQ(af.format.SampleRate, 48000);
    ASSERT_GE(af.samples.size(), 3u * 48000u);
    EXPECT_EQ(af.samples.size(), in.samples.size());
    const std::size_t last = af.samples.size() - 48000;
    const double tone = ToneLevel(af.samples, last, 48000, 1000.0);
    EXPECT_GT(tone, 1000.0);
    EXPECT_GT(measure::Db(tone, ToneLevel(af.samples, last, 48000, 1700.0)), 30.0);
    EXPECT_GT(measure::Db(tone, ToneLevel(af.samples, last, 48000, 600.0)), 30.0);
    const double carrier = ToneLevel(in.samples, last, 48000, 12000.0);
    EXPECT_GT(carrier, 100.0);
    EXPECT_GT(measure::Db(carrier, ToneLevel(in.samples, last, 48000, 9000.0)), 20.0);
    EXPECT_GT(measure::Db(carrier, ToneLevel(in.samples, last, 48000, 15000.0)), 20.0);
}

TEST_F(ListenCommand, ARecordingNeverReplacesAFileNorNamesAnInputOrAnotherOutput) {
    audio::WriteWavFile(path("if.wav"), 48000, 1, UsbIf(48000));
    std::ofstream(path("taken.wav")) << "keep me";
    const std::string base = "--free-running --seconds 1 ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--no-playback --record-audio " + path("taken.wav"), "a recording never replaces a file"},
        {"--no-playback --in " + path("if.wav") + " --record-if " + path(".") + "/if.wav",
         "is the same file as the input"},
        {"--out " + path("o.wav") + " --record-audio " + path("o.wav"), "also the --out file"},
        {"--no-playback --record-audio " + path("r.wav") + " --record-if " + path("r.wav"),
         "the same file"},
        {"--no-playback --record-audio " + path("r.wav") + " --record-if " + path("missing/i.wav"),
         "No such file or directory"},
    };
    for (const auto& [args, says] : cases) {
        const auto r = run(base + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_EQ(slurp(path("taken.wav")), "keep me");
    EXPECT_EQ(fileCount(), 2u); // nothing left behind: no o.wav, no r.wav
}

// A full disk, as a file size limit (the writes fail with EFBIG as they would with ENOSPC):
// the recording stops with its message and keeps a valid file; reception runs to the end. The
// program ignores SIGXFSZ itself, so the limit never ends it.
TEST_F(ListenCommand, ARecordingThatCannotGrowStopsWhileReceptionGoesOn) {
    const auto r = run("--sim --freq 6.015 --mode am --no-playback --free-running --seconds 4 "
                       "--record-audio " +
                           path("a.wav"),
                       "ulimit -f 400;"); // 400 blocks of 512 bytes: 2.1 s
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("Recording stopped: cannot write " + path("a.wav") + ": File too large"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("the audio recording stopped early"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("4.0 s  blocks"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("dropped 0"), r.out.find("dropped")) << r.out;
    EXPECT_EQ(r.out.find("dropped 1"), std::string::npos) << r.out;
    const auto af = audio::ReadWavFile(path("a.wav"));
    EXPECT_GE(af.samples.size(), 2u * 48000u);
    EXPECT_LE(44 + 2 * af.samples.size(), 400u * 512u);
}

// A recording whose folder is deleted while listen runs is not reported as recorded: it stops
// with its message, reception goes on to the end, and the exit status is 2.
TEST_F(ListenCommand, ARecordingWhoseFolderIsDeletedStopsAndTheRunFails) {
    fs::create_directories(path("rec"));
    const Running listen =
        spawnCli({"listen", "--sim", "--freq", "6.015", "--mode", "am", "--no-playback",
                  "--seconds", "3", "--record-audio", path("rec/a.wav")},
                 false, true);
    ASSERT_GT(listen.pid, 0);
    std::string said;
    ASSERT_TRUE(waitForText(listen.err, "1.0 s  blocks", 30.0, &said)) << said;
    fs::remove_all(path("rec"));
    std::string rest;
    waitForText(listen.err, "listen: the audio recording", 30.0, &rest);
    const int status = waitExit(listen);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << rest;
    EXPECT_NE(rest.find("Recording stopped: the file " + path("rec/a.wav") +
                        " was deleted while recording"),
              std::string::npos)
        << rest;
    EXPECT_NE(rest.find("the audio recording stopped early"), std::string::npos) << rest;
    EXPECT_EQ(rest.find("audio recorded to"), std::string::npos) << rest;
}

// Killed mid-recording: the file opens and holds all the audio captured but the last second.
TEST_F(ListenCommand, SigkillDuringARecordingLeavesAllButTheLastSecond) {
    const Running listen = spawnCli({"listen", "--sim", "--freq", "6.015", "--mode", "am",
                                     "--no-playback", "--record-audio", path("a.wav")},
                                    false, true);
    ASSERT_GT(listen.pid, 0);
    // The status line of the third second: 3 s captured and handled, a moment before the kill.
    std::string said;
    const bool third = waitForText(listen.err, "3.0 s  blocks", 60.0, &said);
    ::kill(listen.pid, SIGKILL);
    const int status = waitExit(listen);
    ASSERT_TRUE(third) << said;
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto af = audio::ReadWavFile(path("a.wav")); // valid: the header matches the data
    const double seconds = static_cast<double>(af.samples.size()) / 48000.0;
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 3.5);
    const std::size_t n = af.samples.size();
    ASSERT_GE(n, 48000u);
    EXPECT_GT(ToneLevel(af.samples, n - 48000, 48000, 1000.0), 1000.0);
}
