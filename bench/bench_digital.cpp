// Audio for other programs in the block path: the simulated receiver on 20 m (USB, the default
// scene's speech station), the receiver's session as the program runs it, free-running.
//
//  1. DSPLoad (the chain's own figure) and the whole notification (chain, then the listeners)
//     per block, with the outputs off, then with the UDP stream and the "OrvexSDR" source on
//     (a private PulseAudio server with parecord recording the source, as a decoder would);
//     the outputs' own time per block from ProgramAudio.
//  2. The delay from a block's capture (the moment the capture device hands the block over, at
//     the start of its notification) to its audio leaving on UDP (the arrival of the block's
//     last datagram at a socket on 127.0.0.1), over 2000 blocks spaced 5 ms apart: median and
//     99th percentile.
//
// Usage: bench_digital [blocks]   (default 4000 blocks, about three minutes of audio)
#include "../tests/support/LoopbackUdp.h"
#include "../tests/support/SoundServer.h"
#include "app/ProgramAudio.h"
#include "app/RadioSession.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "radio/ad9951.h"

#include <QCoreApplication>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvex;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kBlockPeriodUs = 2048.0 / 48000.0 * 1e6;

// A UDP socket that time-stamps every datagram as it arrives, on a thread of its own.
class Arrivals {
public:
    Arrivals() {
        m_fd = testutil::BindLoopbackUdp(port, 64 << 20);
        m_thread = std::thread([this] {
            std::vector<std::uint8_t> d(65536);
            while (!m_stop) {
                pollfd p{m_fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0) continue;
                if (::recv(m_fd, d.data(), d.size(), 0) <= 0) continue;
                const auto t = Clock::now();
                std::lock_guard<std::mutex> lock(m_mutex);
                times.push_back(t);
            }
        });
    }
    ~Arrivals() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return times.size();
    }
    Clock::time_point at(std::size_t i) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return times[i];
    }
    std::uint16_t port = 0;
    std::vector<Clock::time_point> times;

private:
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::thread m_thread;
};

struct Receiver {
    Receiver() : scope(messages) {
        app::SessionDevices d;
        d.alsa = false;
        session.createChain();
        std::string error;
        if (!session.createDevices(d, error)) std::fprintf(stderr, "%s\n", error.c_str());
        session.createSoundCard();
        OrvexDX8& card = session.soundCard();
        card.setFSampling(48000);
        card.setNoChannelsIn(1);
        card.setNoChannelsOut(1);
        card.setSamplesPerEvent(2048);
        card.setCurrentCaptureDevice(session.simulatedCaptureDevice());
        card.setCurrentPlaybackDevice(session.noPlaybackDevice());
        session.createVFO(store, session.simulatedCaptureDevice());
        session.vfo().init();
        session.vfo().setTunedFreq(14.200);
        session.chain().RestoreDefaults();
        session.chain().CompleteStartup();
        session.chain().optMode_Click(1); // USB
    }
    RecordingMessageSink messages;
    ScopedMessageSink scope;
    MemorySettingsStore store;
    app::RadioSession session;
};

struct Figures {
    double loadMean = 0, loadPeak = 0; // DSPLoad, per cent
    double blockMeanUs = 0;            // the whole notification
    double outputsMeanUs = 0, outputsPeakUs = 0;
};

Figures Run(int blocks, const app::ProgramAudioSettings* settings) {
    Receiver r;
    app::ProgramAudio programs(r.session);
    if (settings) programs.setSettings(*settings);
    std::string error;
    if (!r.session.startStreaming(false, error)) {
        std::fprintf(stderr, "cannot stream: %s\n", error.c_str());
        std::exit(2);
    }
    if (settings && settings->toPrograms && !programs.sourceOpen())
        std::fprintf(stderr, "the source could not be made: %s\n", programs.statusText().c_str());
    double total = 0;
    for (int i = 0; i < blocks; ++i) {
        const auto t0 = Clock::now();
        r.session.advanceOneBlock();
        total += std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    }
    Figures f;
    const auto& t = r.session.total();
    f.loadMean = 100.0 * t.loadSum / static_cast<double>(std::max<std::int64_t>(t.blocks, 1));
    f.loadPeak = 100.0 * t.loadPeak;
    f.blockMeanUs = total / blocks;
    f.outputsMeanUs = programs.meanBlockMicroseconds();
    f.outputsPeakUs = programs.peakBlockMicroseconds();
    r.session.stopStreaming();
    return f;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int blocks = argc > 1 ? std::max(100, std::atoi(argv[1])) : 4000;
    vec::SetUseSPL(spl::Probe());

    testutil::PrivateSoundServer server;
    pid_t recorder = -1;
    if (server.running()) {
        ::setenv("XDG_RUNTIME_DIR", server.folder().c_str(), 1);
    } else {
        std::printf("no sound server (%s): the source is left out\n", server.why().c_str());
    }
    Arrivals sink;
    app::ProgramAudioSettings on;
    on.udp = true;
    on.udpDestination = "127.0.0.1:" + std::to_string(sink.port);
    on.toPrograms = server.running();
    on.source.server = server.running() ? server.server() : "";

    // A decoder recording the source while it exists: parecord, started once the source is up.
    std::thread startRecorder;
    if (server.running()) {
        startRecorder = std::thread([&] {
            for (int i = 0; i < 500; ++i) {
                const auto s = server.sources();
                if (std::find(s.begin(), s.end(), "OrvexSDR") != s.end()) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            recorder = ::fork();
            if (recorder == 0) {
                ::setenv("PULSE_SERVER", server.server().c_str(), 1);
                ::execlp("parecord", "parecord", "-d", "OrvexSDR", "--raw", "/dev/null", nullptr);
                ::_exit(127);
            }
        });
    }

    const Figures off = Run(blocks, nullptr);
    const Figures with = Run(blocks, &on);
    if (startRecorder.joinable()) startRecorder.join();
    app::ProgramAudioSettings udpOnly = on, sourceOnly = on;
    udpOnly.toPrograms = false;
    sourceOnly.udp = false;
    const Figures udpFigures = Run(blocks, &udpOnly);
    const Figures sourceFigures = on.toPrograms ? Run(blocks, &sourceOnly) : Figures{};

    std::printf("%d blocks (%.0f s of audio), USB on 14.200 MHz, %s back end\n", blocks,
                blocks * 2048.0 / 48000.0, vec::UseSPL() ? "optimised" : "portable");
    std::printf("%-34s %12s %12s %14s %18s\n", "", "DSPLoad mean", "DSPLoad peak", "block (us)",
                "outputs (us)");
    std::printf("%-34s %11.3f%% %11.3f%% %14.1f %18s\n", "outputs off", off.loadMean, off.loadPeak,
                off.blockMeanUs, "-");
    std::printf("%-34s %11.3f%% %11.3f%% %14.1f %9.1f (peak %.0f)\n",
                on.toPrograms ? "UDP stream and OrvexSDR source on" : "UDP stream on",
                with.loadMean, with.loadPeak, with.blockMeanUs, with.outputsMeanUs,
                with.outputsPeakUs);
    std::printf("%-34s %11.3f%% %11.3f%% %14.1f %9.1f (peak %.0f)\n", "UDP stream alone",
                udpFigures.loadMean, udpFigures.loadPeak, udpFigures.blockMeanUs,
                udpFigures.outputsMeanUs, udpFigures.outputsPeakUs);
    if (on.toPrograms)
        std::printf("%-34s %11.3f%% %11.3f%% %14.1f %9.1f (peak %.0f)\n",
                    "OrvexSDR source alone (no recorder)", sourceFigures.loadMean,
                    sourceFigures.loadPeak, sourceFigures.blockMeanUs, sourceFigures.outputsMeanUs,
                    sourceFigures.outputsPeakUs);
    std::printf("ratio on/off: DSPLoad %.2f, whole block %.2f; outputs %.3f%% of a block period\n",
                with.loadMean / off.loadMean, with.blockMeanUs / off.blockMeanUs,
                100.0 * with.outputsMeanUs / kBlockPeriodUs);

    // Delay from capture to UDP: blocks spaced out so that arrivals never queue behind each
    // other; the capture instant is taken just before the clock hands the block over.
    {
        Receiver r;
        app::ProgramAudio programs(r.session);
        programs.setSettings(on);
        std::string error;
        r.session.startStreaming(false, error);
        const int n = 2000;
        std::vector<Clock::time_point> captured;
        std::vector<double> delays;
        const std::size_t first = sink.count();
        for (int i = 0; i < n; ++i) {
            captured.push_back(Clock::now());
            r.session.advanceOneBlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        r.session.stopStreaming();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (sink.count() - first != static_cast<std::size_t>(2 * n)) {
            std::printf("datagrams: %zu, expected %d\n", sink.count() - first, 2 * n);
        } else {
            for (int i = 0; i < n; ++i)
                delays.push_back(std::chrono::duration<double, std::micro>(
                                     sink.at(first + 2 * static_cast<std::size_t>(i) + 1) -
                                     captured[static_cast<std::size_t>(i)])
                                     .count());
            std::printf("capture to UDP (last datagram of the block received): median %.0f us, "
                        "99th percentile %.0f us, over %d blocks\n",
                        Percentile(delays, 0.5), Percentile(delays, 0.99), n);
        }
    }
    if (recorder > 0) {
        ::kill(recorder, SIGINT);
        ::waitpid(recorder, nullptr, 0);
    }
    return 0;
}
