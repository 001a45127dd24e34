// orvexsdr-cli tune, run as a user runs it. No test here opens a real serial port: devices
// are given as paths that cannot be one.
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TuneRun {
    int status = -1;
    std::string out; ///< stdout and stderr together
};

TuneRun Tune(const std::string& options) {
    const std::string command = std::string(ORVEX_CLI_PATH) + " tune " + options + " 2>&1";
    TuneRun run;
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return run;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), buf.size(), p))
        run.out += buf.data();
    const int raw = ::pclose(p);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string TempIni(const std::string& name, const std::string& text) {
    const auto path =
        std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "_" + name);
    std::ofstream(path) << text;
    return path.string();
}

} // namespace

TEST(CliTune, DryRunShowsTheWordAndWhatEachChipGets) {
    struct Case {
        std::string options, sent;
    };
    const Case cases[] = {
        {"--port 1", "sent: 04 23 E7 B4 1C\n"},
        {"--dds 9835 --port 1", "sent: F800 301C 21B4 32E7 2323 8000 C000\n"},
        {"--dds 9835 --port parallel", "sent: F800 301C 21B4 32E7 2323 8000 C000\n"},
        {"--dds 9850 --port parallel", "sent: 1C B4 E7 23 00\n"},
        {"--port parallel", "sent: nothing\n"},
        {"--dds 9850 --port 5", "sent: nothing\n"},
    };
    for (const Case& c : cases) {
        const TuneRun r = Tune("--freq 5.505 --dry-run " + c.options);
        EXPECT_EQ(r.status, 0) << c.options << "\n" << r.out;
        EXPECT_EQ(r.out, "tuning word: 602387484 (0x23E7B41C)\n" + c.sent) << c.options;
    }
}

TEST(CliTune, IfAndClockOptions) {
    // Receive 10 MHz with a 10.7 MHz low-side IF on a 100 MHz clock: oscillator 0.7 MHz.
    const TuneRun r = Tune("--freq 10 --if -10.7 --clk 100 --dry-run --port 1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "tuning word: 30064771 (0x01CAC083)\nsent: 04 01 CA C0 83\n");
    const TuneRun clamped = Tune("--freq 200 --dry-run --port 1");
    EXPECT_EQ(clamped.status, 0);
    EXPECT_NE(clamped.out.find("tuned to 135.047999 MHz"), std::string::npos);
    EXPECT_NE(clamped.out.find("tuning word: 2147483636 (0x7FFFFFF4)"), std::string::npos);
}

TEST(CliTune, TheSavedInterfaceIsUsedWithoutPort) {
    const std::string parallel = TempIni("orvex_tune_par.ini", "[VFO1]\nIFType=2\nComPort=3\n");
    TuneRun r = Tune("--freq 5.505 --dry-run --dds 9850 --settings " + parallel);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("sent: 1C B4 E7 23 00"), std::string::npos);

    const std::string device =
        TempIni("orvex_tune_dev.ini", "[VFO1]\nIFType=1\nComDevice=/dev/orvex-no-such-tty\n");
    r = Tune("--freq 7 --settings " + device);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(
        r.out.find(
            "Unable to open the serial port /dev/orvex-no-such-tty - Set a valid serial port"),
        std::string::npos);
    EXPECT_NE(r.out.find("/dev/orvex-no-such-tty: No such file or directory"), std::string::npos);
    EXPECT_EQ(r.out.find("sent:"), std::string::npos);
    std::filesystem::remove(parallel);
    std::filesystem::remove(device);
}

TEST(CliTune, PortFaultsAndBadInput) {
    TuneRun r = Tune("--freq 7 --port /dev/null");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("not a serial device"), std::string::npos);
    r = Tune("--freq 7 --port 13");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Serial port number 13 names no device"), std::string::npos);
    for (const char* bad :
         {"", "--freq", "--freq x", "--freq -1", "--freq 7 --dds 9999", "--freq 7 --clk 1",
          "--freq 7 --port 1x", "--freq 7 --bogus", "--freq 7 --settings /nonexistent/orvex.ini"}) {
        r = Tune(bad);
        EXPECT_EQ(r.status, 2) << bad << "\n" << r.out;
        EXPECT_EQ(r.out.find("tuning word:"), std::string::npos) << bad;
    }
}
