// orvexsdr-cli sim-if run as a user runs it, and piped into orvexsdr-cli demod: the IF file
// holds the tuned stations where they belong, demodulation gives their audio, bad input gives
// a clear message, exit status 2 and no file.
#include "audio/WavFile.h"
#include "dsp/SignalMeasure.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

class SimIfCommand : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("orvex_simif_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    static std::string Slurp(const std::string& file) {
        std::ifstream f(file);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    Result run(const std::string& command, const std::string& args) const {
        const std::string outFile = path("stdout.txt"), errFile = path("stderr.txt");
        const std::string cmd = std::string(ORVEX_CLI_PATH) + " " + command + " " + args + " >" +
                                outFile + " 2>" + errFile;
        Result r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(outFile);
        r.err = Slurp(errFile);
        fs::remove(outFile);
        fs::remove(errFile);
        return r;
    }
    static std::vector<float> Floats(const audio::WavData& w) {
        return std::vector<float>(w.samples.begin(), w.samples.end());
    }
    fs::path m_dir;
};

} // namespace

TEST_F(SimIfCommand, WritesTheTunedIFAndDemodulatesToTheStationsAudio) {
    // The 1 kHz AM tone station of the default scene.
    const Result r =
        run("sim-if", "--freq 6.015 --seconds 3 --clock-error 0.001 --out " + path("if.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(+0.001 ppm)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tuned 6.015000 MHz"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Tone test 1 kHz"), std::string::npos) << r.out;
    const audio::WavData ifData = audio::ReadWavFile(path("if.wav"));
    EXPECT_EQ(ifData.format.SampleRate, 48000);
    EXPECT_EQ(ifData.format.Channels, 1);
    EXPECT_EQ(ifData.format.Frames, 3 * 48000);
    const auto x = Floats(ifData);
    // -33 dBFS carrier at 12000 Hz, 1 kHz sidebands at a quarter of it (depth 0.5).
    const double carrier = 32767.0 * std::pow(10.0, -33.0 / 20.0);
    EXPECT_NEAR(measure::MeasureTone(x, 12000, 48000).amplitude, carrier, 0.01 * carrier);
    EXPECT_NEAR(measure::MeasureTone(x, 13000, 48000).amplitude, 0.25 * carrier, 0.01 * carrier);

    const Result d = run("demod", "--in " + path("if.wav") + " --out " + path("af.wav") +
                                      " --mode am --if-filter track --agc normal");
    ASSERT_EQ(d.status, 0) << d.err;
    const auto af = Floats(audio::ReadWavFile(path("af.wav")));
    const std::size_t skip = 8 * 2048;
    EXPECT_NEAR(measure::PeakFrequency(af.data() + skip, 24000, 48000, 900, 1100), 1000.0, 0.5);
    EXPECT_GT(measure::MeasureTone(af.data() + skip, af.size() - skip, 1000, 48000).amplitude,
              0.5 * 16384);
}

TEST_F(SimIfCommand, BadInputSaysWhatIsWrongAndWritesNothing) {
    {
        std::ofstream f(path("bad.scene"));
        f << "noise -80\nstation 7.0 MHz AM level=-20\nstation 7.1 MHz XM level=-3\n";
    }
    struct Case {
        std::string args, message;
    };
    const std::string out = " --out " + path("if.wav");
    for (const Case& c : {
             Case{"--seconds 1" + out, "--freq MHZ is required"},
             Case{"--freq seven" + out, "--freq: 'seven' is not a number"},
             Case{"--freq 200" + out, "above the highest frequency"},
             Case{"--freq 7 --clock-error 5000" + out, "out of range"},
             Case{"--freq 7 --bogus 1" + out, "unknown option '--bogus'"},
             Case{"--freq 7 --scene " + path("bad.scene") + out, "bad.scene:2: AM station needs"},
             Case{"--freq 7 --scene " + path("bad.scene") + out, "bad.scene:3: unknown mode 'XM'"},
             Case{"--freq 7 --out /nonexistent/dir/if.wav", "/nonexistent/dir"},
         }) {
        const Result r = run("sim-if", c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_FALSE(fs::exists(path("if.wav"))) << c.args;
    }
    // Nothing but the scene file is left behind (no temporary IF file).
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}
