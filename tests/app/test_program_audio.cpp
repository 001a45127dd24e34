// Audio for other programs on the session: what the UDP stream carries next to what is played.
// The output level below unity reaches the programs as it reaches the loudspeaker; Mute silences
// the loudspeaker only; Off stops the stream and On brings it back.
#include "../support/LoopbackUdp.h"
#include "app/ProgramAudio.h"
#include "app/RadioSession.h"
#include "audio/ClockedDevices.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"
#include "dsp/ReceiveChain.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <cmath>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::test {
namespace {

constexpr std::size_t kBlock = 2048;

// An upper-sideband tone on the IF: 1000 Hz of audio.
class ToneSource final : public audio::CaptureSource {
public:
    void read(std::int16_t* x, std::int64_t frames, const audio::PcmFormat& f) override {
        for (std::int64_t i = 0; i < frames; ++i, ++m_n)
            for (int c = 0; c < f.channels; ++c)
                x[i * f.channels + c] = static_cast<std::int16_t>(
                    std::lrint(3000.0 * std::cos(2.0 * M_PI * 13000.0 * m_n / 48000.0)));
    }

private:
    std::int64_t m_n = 0;
};

struct UdpReceiver {
    UdpReceiver() { fd = testutil::BindLoopbackUdp(port, 8 << 20); }
    ~UdpReceiver() { ::close(fd); }
    // Everything queued now.
    std::vector<std::int16_t> take() {
        std::vector<std::int16_t> x;
        std::vector<std::uint8_t> d(65536);
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0) {
            const ssize_t n = ::recv(fd, d.data(), d.size(), 0);
            for (ssize_t i = 0; i + 1 < n; i += 2)
                x.push_back(static_cast<std::int16_t>(d[static_cast<std::size_t>(i)] |
                                                      (d[static_cast<std::size_t>(i) + 1] << 8)));
        }
        return x;
    }
    int fd = -1;
    std::uint16_t port = 0;
};

double Peak(const std::vector<std::int16_t>& x, std::size_t from, std::size_t to) {
    double p = 0;
    for (std::size_t i = from; i < to && i < x.size(); ++i)
        p = std::max(p, std::fabs(static_cast<double>(x[i])));
    return p;
}

struct Rig {
    Rig() : scope(messages) {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        app::SessionDevices d;
        d.alsa = false;
        d.captureOverride = [](audio::FrameClock& clock) {
            return std::make_unique<audio::ClockedCaptureProvider>(
                clock, "tone", [] { return std::make_unique<ToneSource>(); });
        };
        d.playbackOverride = [this](audio::FrameClock& clock) {
            return std::make_unique<audio::ClockedPlaybackProvider>(clock, "speaker", [this] {
                auto sink = std::make_unique<audio::RecordingSink>();
                played = sink.get();
                return sink;
            });
        };
        session.createChain();
        std::string error;
        session.createDevices(d, error);
        session.createSoundCard();
        OrvexDX8& card = session.soundCard();
        card.setFSampling(48000);
        card.setNoChannelsIn(1);
        card.setNoChannelsOut(1);
        card.setSamplesPerEvent(static_cast<std::int32_t>(kBlock));
        card.setCurrentCaptureDevice(1);
        card.setCurrentPlaybackDevice(1);
        session.chain().RestoreDefaults();
        session.chain().CompleteStartup();
        session.chain().optMode_Click(1); // USB
        session.chain().SetCheck(ChainCheck::AGC, false);
    }
    void run(int blocks) {
        for (int i = 0; i < blocks; ++i)
            session.advanceOneBlock();
    }
    RecordingMessageSink messages;
    ScopedMessageSink scope;
    app::RadioSession session;
    audio::RecordingSink* played = nullptr;
};

} // namespace

TEST(ProgramAudio, ProgramsHearTheLevelTheLoudspeakerGetsButNotItsMute) {
    Rig rig;
    UdpReceiver rx;
    app::ProgramAudio programs(rig.session);
    std::vector<std::string> problems;
    programs.onProblem = [&](const std::string& m) { problems.push_back(m); };
    app::ProgramAudioSettings s;
    s.udp = true;
    s.udpDestination = "127.0.0.1:" + std::to_string(rx.port);
    programs.setSettings(s);
    EXPECT_FALSE(programs.udpOpen()); // made at On, not before
    std::string error;
    ASSERT_TRUE(rig.session.startStreaming(false, error)) << error;
    EXPECT_TRUE(programs.udpOpen());
    EXPECT_EQ(programs.statusText(), "UDP to " + s.udpDestination);

    // 20 dB down: the sound card's attenuation, applied to the programs' copy alike.
    rig.session.chain().sldOutVolume_Change(-2000);
    rig.run(40);
    const auto sent = rx.take();
    ASSERT_EQ(sent.size(), 40 * kBlock);
    const auto& played = rig.played->samples();
    // What was played is what was sent, four blocks (the playback buffer's start) later.
    ASSERT_GE(played.size(), 36 * kBlock);
    for (std::size_t i = 8 * kBlock; i < 36 * kBlock; ++i)
        ASSERT_EQ(played[i], sent[i - 4 * kBlock]) << i;
    EXPECT_GT(Peak(sent, 10 * kBlock, 40 * kBlock), 100.0);

    // Muted: the loudspeaker falls silent, the programs keep the audio at the same level.
    const double before = Peak(sent, 30 * kBlock, 40 * kBlock);
    rig.session.chain().SetCheck(ChainCheck::Mute, true);
    rig.run(20);
    const auto muted = rx.take();
    ASSERT_EQ(muted.size(), 20 * kBlock);
    EXPECT_NEAR(Peak(muted, 0, 20 * kBlock), before, 0.05 * before);
    EXPECT_EQ(Peak(rig.played->samples(), played.size() - 12 * kBlock, played.size()), 0.0);

    // Off removes the stream, On makes it again.
    rig.session.stopStreaming();
    EXPECT_FALSE(programs.udpOpen());
    ASSERT_TRUE(rig.session.startStreaming(false, error)) << error;
    rig.run(2);
    EXPECT_EQ(rx.take().size(), 2 * kBlock);
    EXPECT_TRUE(problems.empty());
    rig.session.stopStreaming();
}

TEST(ProgramAudio, AnOutputThatCannotBeMadeIsReportedOnceAndTheReceiverPlaysOn) {
    Rig rig;
    app::ProgramAudio programs(rig.session);
    std::vector<std::string> problems;
    programs.onProblem = [&](const std::string& m) { problems.push_back(m); };
    app::ProgramAudioSettings s;
    s.toPrograms = true;
    s.source.server = "unix:/nonexistent-orvex/native";
    s.source.fifoFolder = "/tmp";
    programs.setSettings(s);
    std::string error;
    ASSERT_TRUE(rig.session.startStreaming(false, error)) << error;
    rig.run(10);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("the source \"OrvexSDR\" is not offered: no sound server"),
              std::string::npos)
        << problems[0];
    EXPECT_NE(programs.statusText().find("not offered"), std::string::npos);
    const auto& played = rig.played->samples(); // the receiver played on
    ASSERT_GE(played.size(), 2 * kBlock);
    EXPECT_GT(Peak(played, played.size() - 2 * kBlock, played.size()), 100.0);
    rig.session.stopStreaming();
}

} // namespace orvex::test
