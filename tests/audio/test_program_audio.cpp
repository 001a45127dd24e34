// Audio for other programs: the UDP stream's datagrams read back from a socket, and the
// "OrvexSDR" capture source on a private PulseAudio server, recorded back with parecord, left
// behind by a killed process and removed, held by a live one, and asked for without a server.
#include "../support/LoopbackUdp.h"
#include "../support/SoundServer.h"
#include "audio/PulseSource.h"
#include "audio/UdpAudioSender.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orvex;
using namespace orvex::audio;
using orvex::testutil::PrivateSoundServer;

namespace {

constexpr std::size_t kBlock = 2048;

// A UDP socket on 127.0.0.1 with a port of its own.
struct UdpReceiver {
    UdpReceiver() { fd = testutil::BindLoopbackUdp(port); }
    ~UdpReceiver() { ::close(fd); }
    // The next datagram's bytes; empty after a second with none.
    std::vector<std::uint8_t> next() {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) return {};
        std::vector<std::uint8_t> d(65536);
        const ssize_t n = ::recv(fd, d.data(), d.size(), 0);
        d.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return d;
    }
    int fd = -1;
    std::uint16_t port = 0;
};

// A block whose samples say which block they belong to and where in it they stand.
std::vector<std::int16_t> Numbered(int block) {
    std::vector<std::int16_t> x(kBlock);
    for (std::size_t i = 0; i < kBlock; ++i)
        x[i] = static_cast<std::int16_t>(block * 100 + static_cast<int>(i % 97) - 48);
    return x;
}

PulseSourceOptions OnServer(const PrivateSoundServer& server) {
    PulseSourceOptions o;
    o.server = server.server();
    o.fifoFolder = server.folder();
    return o;
}

bool HasSource(const PrivateSoundServer& server, const std::string& name) {
    for (const auto& s : server.sources())
        if (s == name) return true;
    return false;
}

// parecord recording the source as raw s16le into `file`, in the background.
pid_t StartRecorder(const PrivateSoundServer& server, const std::string& file) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("PULSE_SERVER", server.server().c_str(), 1);
        ::execlp("parecord", "parecord", "-d", "OrvexSDR", "--raw", "--format=s16le",
                 "--rate=48000", "--channels=1", "--latency-msec=20", file.c_str(), nullptr);
        ::_exit(127);
    }
    return pid;
}

// Waits until the server shows a recording stream (parecord connected), at most 10 s.
bool RecorderConnected(const PrivateSoundServer& server) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (!server.pactl("list short source-outputs").empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::vector<std::int16_t> ReadRaw(const std::string& file) {
    std::vector<std::int16_t> x;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
        std::int16_t buf[4096];
        std::size_t n = 0;
        while ((n = std::fread(buf, 2, 4096, f)) > 0)
            x.insert(x.end(), buf, buf + n);
        std::fclose(f);
    }
    return x;
}

// Writes `blocks` numbered blocks from `first` at the receiver's pace (one every 42.7 ms).
void WriteAtPace(PulseSource& source, int first, int blocks) {
    auto due = std::chrono::steady_clock::now();
    for (int b = first; b < first + blocks; ++b) {
        const auto x = Numbered(b);
        source.write(x.data(), x.size());
        due += std::chrono::microseconds(42667);
        std::this_thread::sleep_until(due);
    }
}

// Stops parecord once `file` holds `samples` samples (or after 10 s), and reads it.
std::vector<std::int16_t> FinishRecording(pid_t recorder, const std::string& file,
                                          std::size_t samples) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end && ReadRaw(file).size() < samples)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(recorder, SIGINT);
    ::waitpid(recorder, nullptr, 0);
    return ReadRaw(file);
}

} // namespace

TEST(UdpAudio, EndpointsAreCheckedAndBadOnesNamed) {
    UdpEndpoint e;
    std::string error;
    EXPECT_TRUE(ParseUdpEndpoint("127.0.0.1:7355", e, error));
    EXPECT_EQ(e.host, "127.0.0.1");
    EXPECT_EQ(e.port, 7355);
    EXPECT_TRUE(ParseUdpEndpoint("[::1]:9", e, error));
    EXPECT_EQ(e.host, "::1");
    EXPECT_TRUE(ParseUdpEndpoint("localhost:65535", e, error));
    for (const char* bad : {"127.0.0.1", "127.0.0.1:", ":7355", "127.0.0.1:0", "127.0.0.1:65536",
                            "127.0.0.1:73a5", "::1:7355", "[::1]7355"}) {
        EXPECT_FALSE(ParseUdpEndpoint(bad, e, error)) << bad;
        EXPECT_NE(error.find("HOST:PORT"), std::string::npos) << error;
    }
    UdpAudioSender sender;
    EXPECT_FALSE(sender.open("no-such-host.invalid:7355", error));
    EXPECT_NE(error.find("cannot find host 'no-such-host.invalid'"), std::string::npos) << error;
}

TEST(UdpAudio, SamplesGoOutLittleEndianInDatagramsOfAtMost1024) {
    UdpReceiver rx;
    UdpAudioSender sender;
    std::string error;
    ASSERT_TRUE(sender.open("127.0.0.1:" + std::to_string(rx.port), error)) << error;
    EXPECT_EQ(sender.destination(), "127.0.0.1:" + std::to_string(rx.port));
    std::vector<std::int16_t> x(2548);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<std::int16_t>(static_cast<int>(i) * 25 - 32000);
    sender.send(x.data(), x.size());
    std::vector<std::int16_t> got;
    for (const std::size_t expected : {1024u, 1024u, 500u}) {
        const auto d = rx.next();
        ASSERT_EQ(d.size(), 2 * expected);
        for (std::size_t i = 0; i < expected; ++i)
            got.push_back(static_cast<std::int16_t>(d[2 * i] | (d[2 * i + 1] << 8)));
    }
    EXPECT_EQ(got, x);
    EXPECT_EQ(sender.datagramsSent(), 3);
    EXPECT_EQ(sender.datagramsLost(), 0);
    // Nobody listening on the far side is no failure: the stream is sent all the same.
    UdpAudioSender idle;
    ASSERT_TRUE(idle.open("127.0.0.1:9", error));
    idle.send(x.data(), x.size());
    EXPECT_EQ(idle.datagramsLost(), 0);
    EXPECT_EQ(idle.firstError(), "");
}

TEST(ProgramSource, AProgramRecordingTheSourceGetsExactlyTheBlocksWrittenAndCloseRemovesIt) {
    PrivateSoundServer server;
    if (!server.running()) GTEST_SKIP() << "no sound server: " << server.why();
    PulseSource source(OnServer(server));
    std::string error;
    ASSERT_TRUE(source.open(error)) << error;
    EXPECT_TRUE(HasSource(server, "OrvexSDR"));
    EXPECT_NE(server.pactl("list sources").find("Description: OrvexSDR"), std::string::npos);

    const std::string file = server.folder() + "/rec.raw";
    const pid_t recorder = StartRecorder(server, file);
    ASSERT_TRUE(RecorderConnected(server));
    WriteAtPace(source, 0, 24);
    const auto got = FinishRecording(recorder, file, 24 * kBlock);
    EXPECT_EQ(source.samplesLost(), 0);
    EXPECT_EQ(source.samplesWritten(), static_cast<std::int64_t>(24 * kBlock));
    // Every block in order, whole: the first sample of block 0 starts the run.
    std::vector<std::int16_t> want;
    for (int b = 0; b < 24; ++b) {
        const auto x = Numbered(b);
        want.insert(want.end(), x.begin(), x.end());
    }
    ASSERT_GE(got.size(), want.size());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.end() - static_cast<long>(want.size())));

    const std::string fifo = source.fifoPath();
    source.close();
    EXPECT_FALSE(HasSource(server, "OrvexSDR"));
    EXPECT_FALSE(std::filesystem::exists(fifo));
}

TEST(ProgramSource, WhileNobodyRecordsTheBacklogIsDroppedSoARecorderHearsThePresent) {
    PrivateSoundServer server;
    if (!server.running()) GTEST_SKIP() << "no sound server: " << server.why();
    PulseSource source(OnServer(server));
    std::string error;
    ASSERT_TRUE(source.open(error)) << error;
    // Sixty blocks with nobody recording: far more than the pipe holds, and no write fails.
    for (int b = 0; b < 60; ++b) {
        const auto x = Numbered(b);
        source.write(x.data(), x.size());
    }
    EXPECT_EQ(source.samplesLost(), 0);
    EXPECT_GE(source.samplesDiscarded(), static_cast<std::int64_t>(50 * kBlock));
    const std::string file = server.folder() + "/late.raw";
    const pid_t recorder = StartRecorder(server, file);
    ASSERT_TRUE(RecorderConnected(server));
    WriteAtPace(source, 100, 8);
    const auto got = FinishRecording(recorder, file, 8 * kBlock);
    ASSERT_GE(got.size(), 8 * kBlock);
    // The oldest audio the recorder gets is at most two blocks older than its start.
    const int firstBlock = (got.front() + 48) / 100;
    EXPECT_GE(firstBlock, 57) << "a backlog reached the recorder";
    EXPECT_EQ(got.back(), Numbered(107).back());
}

TEST(ProgramSource, ASourceLeftByADeadProcessIsRemovedAtTheNextStartOneHeldByALiveOneIsNot) {
    PrivateSoundServer server;
    if (!server.running()) GTEST_SKIP() << "no sound server: " << server.why();
    // The source another OrvexSDR would have made: the process number is in its FIFO's name.
    auto leaveSourceOf = [&](pid_t pid) {
        return server.pactl(
            "load-module module-pipe-source source_name=OrvexSDR file=" + server.folder() +
            "/orvexsdr-source-" + std::to_string(pid) + ".fifo format=s16le rate=48000 channels=1");
    };
    // A process that is running (a child waiting to be told to go).
    const pid_t live = ::fork();
    if (live == 0) {
        ::pause();
        ::_exit(0);
    }
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reaper{live};
    const std::string liveModule = leaveSourceOf(live);
    PulseSource source(OnServer(server));
    std::string error;
    EXPECT_FALSE(source.open(error));
    EXPECT_NE(error.find("another OrvexSDR (process " + std::to_string(live) + ")"),
              std::string::npos)
        << error;
    server.pactl("unload-module " + liveModule);

    // A process that has gone: its source is removed and ours takes the name.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    leaveSourceOf(gone);
    ASSERT_TRUE(HasSource(server, "OrvexSDR"));
    ASSERT_TRUE(source.open(error)) << error;
    EXPECT_EQ(source.staleRemoved(), 1);
    int count = 0;
    for (const auto& s : server.sources())
        count += s == "OrvexSDR";
    EXPECT_EQ(count, 1);
    EXPECT_NE(source.fifoPath().find(std::to_string(::getpid())), std::string::npos);
    EXPECT_NE(server.pactl("list short modules").find(source.fifoPath()), std::string::npos);

    // A source of that name that OrvexSDR did not make is left alone.
    source.close();
    server.pactl("load-module module-pipe-source source_name=OrvexSDR file=" + server.folder() +
                 "/other.fifo");
    EXPECT_FALSE(source.open(error));
    EXPECT_NE(error.find("that OrvexSDR did not make"), std::string::npos) << error;
}

TEST(ProgramSource, WithoutASoundServerOpenSaysSo) {
    PulseSourceOptions o;
    o.server = "unix:/nonexistent-orvex/native";
    o.fifoFolder = "/tmp";
    PulseSource source(o);
    std::string error;
    EXPECT_FALSE(source.open(error));
    EXPECT_NE(error.find("no sound server is running (PipeWire or PulseAudio)"), std::string::npos)
        << error;
    EXPECT_FALSE(source.isOpen());
    const std::int16_t x[4] = {1, 2, 3, 4};
    source.write(x, 4); // nothing open: nothing happens
    EXPECT_EQ(source.samplesWritten(), 0);
}
