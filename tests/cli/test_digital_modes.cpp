// Digital modes end to end with decoders nobody here wrote: minimodem makes an RTTY message,
// a scene puts the recording on the air, `orvexsdr-cli listen` receives it in USB and hands the
// audio to a UDP socket, a file and the "OrvexSDR" source, and minimodem decodes the text from
// each. Also: sixty seconds of UDP stream equal, sample for sample, to the output file while
// four Hamlib rigctl clients poll the receiver.
#include "../support/LoopbackUdp.h"
#include "../support/SoundServer.h"
#include "CliHarness.h"
#include "audio/WavFile.h"

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>
#include <thread>

using namespace orvex;
using orvex::testutil::PrivateSoundServer;

namespace {

constexpr const char* kMessage = "CQ CQ DE OX7SIM OX7SIM K";
constexpr std::size_t kBlock = 2048;

// Everything that arrives on a UDP port of 127.0.0.1, collected by a thread of its own.
class UdpCapture {
public:
    UdpCapture() {
        // As root the buffer may exceed the system's limit: room for a whole run, so the test
        // never depends on this thread keeping up with a receiver running at full speed.
        m_fd = testutil::BindLoopbackUdp(m_port, 64 << 20);
        socklen_t len = sizeof m_buffer;
        ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &m_buffer, &len);
        m_thread = std::thread([this] { run(); });
    }
    ~UdpCapture() { stop(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Free-running sends a minute in well under a second: only with a buffer that holds it.
    bool holdsAMinute() const { return m_buffer >= (32 << 20); }
    // Stops after the socket has been quiet for 300 ms; the samples and the datagram sizes.
    void stop() {
        if (!m_thread.joinable()) return;
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    std::vector<std::int16_t> samples;
    std::vector<std::size_t> sizes;

private:
    void run() {
        std::vector<std::uint8_t> d(65536);
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 300) <= 0) {
                if (m_stop) return;
                continue;
            }
            const ssize_t n = ::recv(m_fd, d.data(), d.size(), 0);
            if (n <= 0) continue;
            sizes.push_back(static_cast<std::size_t>(n) / 2);
            for (ssize_t i = 0; i + 1 < n; i += 2)
                samples.push_back(static_cast<std::int16_t>(
                    d[static_cast<std::size_t>(i)] | (d[static_cast<std::size_t>(i) + 1] << 8)));
        }
    }
    int m_fd = -1;
    int m_buffer = 0;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class DigitalModes : public testutil::CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        ASSERT_EQ(std::system("command -v minimodem >/dev/null"), 0)
            << "minimodem is not installed (tools/install-deps installs it)";
        // RTTY (45.45 baud Baudot, tones at 1585 and 1415 Hz) made by minimodem at 8000/s, on
        // the air as an upper-sideband station at 14.080 MHz with a speech station beside it.
        ASSERT_EQ(std::system(("echo '" + std::string(kMessage) + "' | minimodem --tx -R 8000 -f " +
                               path("rtty.wav") + " rtty")
                                  .c_str()),
                  0);
        std::ofstream(path("rtty.scene"))
            << "scene RTTY on 20 m\nnoise -85\n"
            << "station 14.080 MHz USB level=-40 audio=wav:rtty.wav name=\"RTTY\"\n"
            << "station 14.074 MHz USB level=-50 audio=speech:3 name=\"neighbour\"\n";
    }
    // What minimodem decodes from a WAV file.
    std::string decode(const std::string& wav) const {
        const std::string out = path("decoded.txt");
        const int rc = std::system(("minimodem --rx -q -f " + wav + " rtty >" + out + " 2>/dev/null").c_str());
        if (rc == -1)
            ADD_FAILURE() << "minimodem could not be started";
        return slurp(out);
    }
    std::string listenArgs() const {
        return "--sim --scene " + path("rtty.scene") + " --freq 14.080 --mode usb --agc normal";
    }
    void writeWav(const std::string& file, const std::vector<std::int16_t>& x) const {
        audio::WriteWavFile(file, 48000, 1, x);
    }
};

// The UDP stream is what reaches the file, which plays it `delay` blocks later: the file's
// first blocks are the playback buffer's silence, and its end misses the blocks still queued.
// Returns the delay in blocks, or -1 when no whole-block delay makes the two equal.
int FileDelayInBlocks(const std::vector<std::int16_t>& udp, const std::vector<std::int16_t>& file) {
    for (int delay = 0; delay <= 8; ++delay) {
        const std::size_t skip = static_cast<std::size_t>(delay) * kBlock;
        if (file.size() < skip || udp.size() < file.size() - skip) continue;
        const bool silentStart = std::all_of(file.begin(), file.begin() + static_cast<long>(skip),
                                             [](auto s) { return s == 0; });
        if (silentStart &&
            std::equal(file.begin() + static_cast<long>(skip), file.end(), udp.begin()))
            return delay;
    }
    return -1;
}

// The blocks listen says it handled ("orvexsdr-cli listen: 282 blocks (12.0 s of audio) ...").
std::size_t BlocksHandled(const std::string& err) {
    std::smatch m;
    if (!std::regex_search(err, m, std::regex("listen: (\\d+) blocks \\("))) return 0;
    return static_cast<std::size_t>(std::stoul(m[1]));
}

} // namespace

TEST_F(DigitalModes, MinimodemDecodesTheRTTYReceivedInUSBFromTheUDPStreamAndTheFile) {
    UdpCapture udp;
    // Twelve seconds of reception: two repetitions of the 5 s message and more.
    const std::string pace = udp.holdsAMinute() ? " --free-running" : "";
    const auto r = runCli("listen", listenArgs() + " --seconds 12 --out " + path("out.wav") +
                                        " --udp-audio " + udp.address() + pace);
    udp.stop();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("audio for other programs: UDP to " + udp.address()), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("datagrams sent, 0 lost"), std::string::npos) << r.err;

    // Datagrams of 1024 samples, two a block, every block of the run.
    ASSERT_FALSE(udp.sizes.empty());
    EXPECT_TRUE(std::all_of(udp.sizes.begin(), udp.sizes.end(), [](auto n) { return n == 1024; }));
    EXPECT_EQ(udp.samples.size() % kBlock, 0u);
    EXPECT_EQ(udp.samples.size() / kBlock, BlocksHandled(r.err)) << r.err;
    const auto file = audio::ReadWavFile(path("out.wav")).samples;
    EXPECT_GE(FileDelayInBlocks(udp.samples, file), 0);

    writeWav(path("udp.wav"), udp.samples);
    EXPECT_NE(decode(path("udp.wav")).find(kMessage), std::string::npos) << decode(path("udp.wav"));
    EXPECT_NE(decode(path("out.wav")).find(kMessage), std::string::npos) << decode(path("out.wav"));
}

TEST_F(DigitalModes, SixtySecondsOfUDPStreamEqualTheFileWhileFourRigctlClientsPoll) {
    ASSERT_EQ(std::system("command -v rigctl >/dev/null"), 0)
        << "Hamlib's rigctl is not installed (package libhamlib-utils)";
    UdpCapture udp;
    // Six times real time on the event loop (ten seconds), so the clients are served between
    // blocks as in a real-time run; real time when this process cannot hold a minute of
    // datagrams.
    const std::string speed = udp.holdsAMinute() ? "6" : "1";
    const auto listen =
        spawnCli({"listen", "--sim", "--scene", path("rtty.scene"), "--freq", "14.080", "--mode",
                  "usb", "--out", path("out.wav"), "--udp-audio", udp.address(), "--seconds", "60",
                  "--speed", speed, "--rigctl", "0"});
    std::string seen;
    ASSERT_TRUE(waitForText(listen.err, "rigctl listening on 127.0.0.1:", 20, &seen)) << seen;
    std::string more;
    waitForText(listen.err, "\n", 5, &more);
    seen += more;
    const std::smatch m = [&] {
        std::smatch found;
        std::regex_search(seen, found, std::regex("listening on 127\\.0\\.0\\.1:(\\d+)"));
        return found;
    }();
    ASSERT_FALSE(m.empty()) << seen;
    const std::string port = m[1];

    // Four clients asking for the frequency and the S-meter twenty times a second.
    std::vector<pid_t> clients;
    for (int c = 0; c < 4; ++c) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            const std::string script =
                "while :; do printf 'f\\nl STRENGTH\\n'; sleep 0.05; done | rigctl -m 2 -r "
                "127.0.0.1:" +
                port + " >" + path("client" + std::to_string(c) + ".txt") + " 2>&1";
            ::execl("/bin/sh", "sh", "-c", script.c_str(), nullptr);
            ::_exit(127);
        }
        clients.push_back(pid);
    }
    // The rest of listen's output, to its end.
    std::string tail;
    waitForText(listen.err, "\x04", 300, &tail);
    const int status = waitExit(listen);
    for (const pid_t pid : clients) {
        ::kill(-pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    udp.stop();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen << tail;
    EXPECT_NE(tail.find("dropped 0;"), std::string::npos) << tail;

    // Every client was answered again and again while the receiver ran (how often depends on
    // how fast Hamlib's client starts on a busy machine: a few times is enough to show it).
    for (int c = 0; c < 4; ++c) {
        const std::string answers = slurp(path("client" + std::to_string(c) + ".txt"));
        std::size_t polls = 0;
        for (std::size_t at = 0; (at = answers.find("14080000", at)) != std::string::npos; ++at)
            ++polls;
        EXPECT_GE(polls, 5u) << "client " << c << ": " << answers.substr(0, 400);
    }
    // Sixty seconds of blocks, each once, in order, in 1024-sample datagrams; the file holds
    // exactly the same samples behind the playback path's silent start.
    const std::size_t blocks = udp.samples.size() / kBlock;
    EXPECT_EQ(udp.samples.size() % kBlock, 0u);
    EXPECT_EQ(blocks, BlocksHandled(tail)) << tail;
    EXPECT_GE(blocks, 1406u); // 60 s = 1406.25 blocks
    EXPECT_TRUE(std::all_of(udp.sizes.begin(), udp.sizes.end(), [](auto n) { return n == 1024; }));
    const auto file = audio::ReadWavFile(path("out.wav")).samples;
    const int delay = FileDelayInBlocks(udp.samples, file);
    EXPECT_GE(delay, 0) << "the UDP stream and the file differ";
    EXPECT_GE(file.size(), (blocks - 8) * kBlock);
}

TEST_F(DigitalModes, ThroughTheOrvexSDRSourceARecorderGetsTheTextAndAKilledRunLeavesNothing) {
    PrivateSoundServer server;
    if (!server.running()) GTEST_SKIP() << "no sound server could be started: " << server.why();
    ::setenv("PULSE_SERVER", server.server().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", server.folder().c_str(), 1);
    struct Unset {
        ~Unset() {
            ::unsetenv("PULSE_SERVER");
            ::unsetenv("XDG_RUNTIME_DIR");
        }
    } unset;
    auto hasSource = [&] {
        const auto s = server.sources();
        return std::find(s.begin(), s.end(), "OrvexSDR") != s.end();
    };

    // Real time, as a decoder hears it: the source is made at the start, a recorder joins.
    const auto listen =
        spawnCli({"listen", "--sim", "--scene", path("rtty.scene"), "--freq", "14.080", "--mode",
                  "usb", "--agc", "normal", "--no-playback", "--seconds", "12", "--to-programs"});
    std::string seen;
    ASSERT_TRUE(waitForText(listen.err, "source \"OrvexSDR\" offered", 20, &seen)) << seen;
    EXPECT_TRUE(hasSource());
    const pid_t recorder = ::fork();
    if (recorder == 0) {
        ::execlp("parecord", "parecord", "-d", "OrvexSDR", "--file-format=wav", "--format=s16le",
                 "--rate=48000", "--channels=1", "--latency-msec=50", path("source.wav").c_str(),
                 nullptr);
        ::_exit(127);
    }
    std::string tail;
    waitForText(listen.err, "\x04", 60, &tail);
    const int status = waitExit(listen);
    ::kill(recorder, SIGINT);
    ::waitpid(recorder, nullptr, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen << tail;
    EXPECT_FALSE(hasSource()) << "the source outlived the run";
    EXPECT_NE(decode(path("source.wav")).find(kMessage), std::string::npos)
        << decode(path("source.wav"));

    // A run killed outright leaves its source; the next run removes it and offers its own.
    const auto killed = spawnCli({"listen", "--sim", "--no-playback", "--to-programs"});
    ASSERT_TRUE(waitForText(killed.err, "source \"OrvexSDR\" offered", 20, &seen)) << seen;
    ::kill(killed.pid, SIGKILL);
    waitExit(killed);
    EXPECT_TRUE(hasSource());
    const auto next = runCli("listen", "--sim --no-playback --seconds 1 --to-programs");
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.err.find("source \"OrvexSDR\" offered"), std::string::npos) << next.err;
    EXPECT_FALSE(hasSource());

    // Without a sound server the run says so once and plays on.
    const auto alone = runCli("listen", "--sim --no-playback --seconds 1 --to-programs",
                              "PULSE_SERVER=unix:" + path("nothing"));
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(alone.err.find("no sound server is running (PipeWire or PulseAudio)"),
              std::string::npos)
        << alone.err;
    EXPECT_NE(alone.err.find("The receiver plays on."), std::string::npos) << alone.err;
}
