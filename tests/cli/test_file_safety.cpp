// Files and inputs that cannot hurt the user, tried as a careless user would: outputs over their
// own inputs, device nodes and FIFOs, files that are not what an option expects, huge numbers,
// empty values, signals and inputs that shrink while being read. Every case must leave the
// files it was given as they were.
#include "CliHarness.h"
#include "audio/WavFile.h"
#include "dsp/SignalMeasure.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class FileSafety : public testutil::CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        audio::WriteWavFile(path("if.wav"), 48000, 1, UsbIf(3 * 48000));
        m_if = slurp(path("if.wav"));
    }
    static std::vector<std::int16_t> UsbIf(std::size_t n) {
        const auto t = measure::MakeTone(n, 13000.0, 48000.0, 6000.0);
        std::vector<std::int16_t> s(n);
        for (std::size_t i = 0; i < n; ++i)
            s[i] = static_cast<std::int16_t>(std::lround(t[i]));
        return s;
    }
    static bool IsKind(const std::string& p, mode_t kind) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
    }
    std::string hidden() const { // temporary files left in the folder
        std::string names;
        for (const auto& e : fs::directory_iterator(m_dir))
            if (e.path().filename().string().front() == '.') names += e.path().string() + " ";
        return names;
    }
    // True while `pid` has a file open that it is writing in the test folder: one with no name
    // yet (the kernel shows "FOLDER/#INODE (deleted)"), or a hidden temporary file.
    bool writingHere(pid_t pid) const {
        if (!hidden().empty()) return true;
        const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
        std::error_code ec;
        for (fs::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string target = fs::read_symlink(it->path(), ec).string();
            if (target.rfind(m_dir.string() + "/#", 0) == 0) return true;
        }
        return false;
    }
    // Once the command writes its output, sends it `signal`: it must end by that signal and
    // leave no temporary file.
    void signalWhileWriting(const Running& command, int signal) const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!writingHere(command.pid) && std::chrono::steady_clock::now() < until)
            ::usleep(2000); // polls for the file; the test fails if it never appears
        if (!writingHere(command.pid)) {
            ::kill(command.pid, SIGKILL);
            waitExit(command);
            FAIL() << "no temporary output file appeared";
        }
        ::kill(command.pid, signal);
        const int status = waitExit(command);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(hidden(), "");
    }
    std::string m_if;
};

} // namespace

TEST_F(FileSafety, AnOutputOverItsOwnInputIsRefusedAndTheInputKept) {
    const std::string sub = path("d");
    fs::create_directories(sub);
    std::ofstream(path("s.scene")) << "station 7 MHz carrier level=-9\n";
    const std::string scene = slurp(path("s.scene"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"demod", "--in " + path("if.wav") + " --out " + path("if.wav") + " --mode usb"},
        {"demod", "--in " + path("if.wav") + " --out " + m_dir.string() + "/./if.wav --mode usb"},
        {"demod", "--in " + path("if.wav") + " --out " + sub + "/../if.wav --mode usb"},
        {"listen", "--in " + path("if.wav") + " --out " + path("if.wav") + " --free-running"},
        {"sim-if",
         "--freq 7 --seconds 0.1 --scene " + path("s.scene") + " --out " + path("s.scene")},
    };
    for (const auto& [command, args] : cases) {
        const auto r = runCli(command, args);
        EXPECT_EQ(r.status, 2) << command << " " << args;
        EXPECT_NE(r.err.find("same file as the input"), std::string::npos) << r.err;
    }
    EXPECT_EQ(slurp(path("if.wav")), m_if);
    EXPECT_EQ(slurp(path("s.scene")), scene);
    EXPECT_EQ(hidden(), "");
}

// Device nodes and FIFOs as outputs are written in place and stay what they were; as inputs
// they are refused at once (nothing waits for a writer). The device cases run without root.
TEST_F(FileSafety, DevicesAndFifosAreNeverReplacedAndNeverWaitedOn) {
    ASSERT_EQ(::chmod(m_dir.c_str(), 0755), 0);
    auto r = runCli("demod", "--in " + path("if.wav") + " --out /dev/null --mode usb", {}, true);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("71 blocks"), std::string::npos) << r.err; // all of it went through
    EXPECT_TRUE(IsKind("/dev/null", S_IFCHR));
    r = runCli("demod", "--in " + path("if.wav") + " --out /dev/full --mode usb", {}, true);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No space left"), std::string::npos) << r.err;
    EXPECT_TRUE(IsKind("/dev/full", S_IFCHR));
    r = runCli("listen", "--settings /dev/null --seconds 0.1 --no-playback --free-running", {},
               true);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    EXPECT_TRUE(IsKind("/dev/null", S_IFCHR));

    const std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const auto& [command, args] : std::vector<std::pair<std::string, std::string>>{
             {"demod", "--in " + fifo + " --out " + path("af.wav") + " --mode usb"},
             {"listen", "--in " + fifo + " --no-playback --free-running"},
             {"listen", "--scene " + fifo + " --no-playback --seconds 0.1"},
             {"listen", "--settings " + fifo + " --no-playback --seconds 0.1"},
             {"tune", "--freq 7 --dry-run --settings " + fifo}}) {
        r = runCli(command, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_TRUE(IsKind(fifo, S_IFIFO));
    EXPECT_FALSE(fs::exists(path("af.wav")));
}

// A settings file is read and written back through the INI module: comments, order and line
// ends stay, a number that cannot be a frequency keeps the default and is not written back as
// garbage, a file that is not a settings file is refused untouched, a failed save fails the run.
TEST_F(FileSafety, SettingsFilesKeepWhatTheUserWroteAndRefuseWhatTheyAreNot) {
    const std::string settings = path("s.ini");
    std::ofstream(settings, std::ios::binary) << "; my receiver\r\n[VFO1]\r\n; 40 m\r\n"
                                                 "TunedFreq=7100000\r\nTuneStep=1e300\r\n";
    auto r = runCli("listen", "--settings " + settings +
                                  " --seconds 0.2 --no-playback --free-running --freq 7.05");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string saved = slurp(settings);
    EXPECT_EQ(saved.rfind("; my receiver\r\n[VFO1]\r\n; 40 m\r\nTunedFreq=7050000\r\n", 0), 0u)
        << saved;
    EXPECT_NE(saved.find("\r\nTuneStep=1000\r\n"), std::string::npos) << saved;

    std::ofstream(path("plan.bpl")) << "[MainBand]\nCaption=HF\n";
    std::ofstream(path("band.scene")) << "station 7 MHz carrier level=-9\n";
    for (const std::string& file : {path("plan.bpl"), path("band.scene"), path("if.wav")}) {
        const std::string before = slurp(file);
        r = runCli("listen", "--settings " + file + " --seconds 0.1 --no-playback --free-running");
        EXPECT_EQ(r.status, 2) << file;
        EXPECT_NE(r.err.find("not a settings file"), std::string::npos) << r.err;
        EXPECT_EQ(slurp(file), before);
    }
    // A folder that cannot hold the file, even for root.
    r = runCli("listen",
               "--settings /proc/self/orvex.ini --seconds 0.1 --no-playback --free-running");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot write the settings file"), std::string::npos) << r.err;
}

TEST_F(FileSafety, NumbersAndValuesOutOfRangeAreRefusedWithTheirRange) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"tune", "--freq 7 --dry-run --if 1e300", "out of range (-1000 to 1000 MHz)"},
        {"tune", "--freq 7 --dry-run --clk 1e20", "out of range (0 to 1000 MHz)"},
        {"tune", "--freq 7 --dry-run --port ''", "empty"},
        {"listen", "--playback-device 99999999999999999999", "out of range (1 to"},
        {"listen", "--in '' --no-playback --free-running --seconds 0.1", "empty"},
        {"listen", "--scene '' --no-playback --free-running --seconds 0.1", "empty"},
        {"listen", "--settings '' --no-playback --free-running --seconds 0.1", "empty"},
        {"demod", "--in " + path("if.wav") + " --out '' --mode usb", "empty"},
        {"demod", "--in " + path("if.wav") + " --out x.wav --mode am --if-lo 0 --if-hi 0",
         "leave no IF band"},
        {"bandplan", "check --bandplans ''", "needs a folder"},
    };
    for (const auto& [command, args, says] : cases) {
        const auto r = runCli(command, args);
        EXPECT_EQ(r.status, 2) << command << " " << args;
        EXPECT_NE((r.err + r.out).find(says), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_EQ(fileCount(), 1u); // only if.wav
}

// demod reads standard input as it comes; SIGTERM while it waits removes its temporary file.
TEST_F(FileSafety, DemodStreamsStandardInputAndASignalLeavesNothingBehind) {
    auto r = runCli("demod", "--in " + path("if.wav") + " --out " + path("a.wav") + " --mode usb");
    ASSERT_EQ(r.status, 0) << r.err;
    r = runCli("demod", "--in - --out " + path("b.wav") + " --mode usb < " + path("if.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("a.wav")), slurp(path("b.wav")));

    const Running demod =
        spawnCli({"demod", "--in", "-", "--out", path("c.wav"), "--mode", "usb"}, true);
    ASSERT_GT(demod.pid, 0);
    // The header and a second of IF, then the pipe stays open: demod waits for more.
    const std::string head = m_if.substr(0, 44 + 2 * 48000);
    ASSERT_EQ(::write(demod.in, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    signalWhileWriting(demod, SIGTERM);
    EXPECT_FALSE(fs::exists(path("c.wav")));
}

TEST_F(FileSafety, SimIfStoppedByCtrlCLeavesNoTemporaryFile) {
    const Running simIf =
        spawnCli({"sim-if", "--freq", "5.505", "--seconds", "3600", "--out", path("long.wav")});
    ASSERT_GT(simIf.pid, 0);
    signalWhileWriting(simIf, SIGINT);
    EXPECT_FALSE(fs::exists(path("long.wav")));
}

// An input file that shrinks while listen reads it ends the run with status 2 and no output.
TEST_F(FileSafety, ListenInputThatShrinksLeavesNoOutput) {
    audio::WriteWavFile(path("long.wav"), 48000, 1, UsbIf(60 * 48000));
    const Running listen =
        spawnCli({"listen", "--in", path("long.wav"), "--out", path("af.wav"), "--mode", "usb"});
    ASSERT_GT(listen.pid, 0);
    ASSERT_TRUE(waitForText(listen.err, "real time", 20.0)); // the start-up line: streaming
    fs::resize_file(path("long.wav"), 44 + 2 * 48000);
    std::string said;
    waitForText(listen.err, "was not written", 60.0, &said);
    const int status = waitExit(listen);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(said.find("truncated data"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(path("af.wav")));
    EXPECT_EQ(hidden(), "");
}
