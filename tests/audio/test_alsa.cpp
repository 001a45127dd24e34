// The ALSA back end streamed for real, without a sound card: PCMs of our own configuration
// use alsa-lib's file plugin over the null device, so capture reads a known file and playback
// writes what it is given to another file, both as fast as the event loop runs.
#include "audio/AlsaDevices.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

using namespace orvex;
using namespace orvex::audio;
namespace fs = std::filesystem;

namespace {

constexpr int kBlock = 2048;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "orvex_audio_alsa_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("orvex_alsa_" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

void WriteRaw(const fs::path& p, const std::vector<std::int16_t>& s) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size() * 2));
}

std::vector<std::int16_t> ReadRaw(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

int DeviceNumber(const std::vector<std::string>& names, const std::string& alsaName) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].rfind(alsaName + " ", 0) == 0) return static_cast<int>(i) + 1;
    return 0;
}

class PassThrough final : public DXEventTarget {
public:
    explicit PassThrough(OrvexDX8& card) : m_card(card), ch1(kBlock), ch2(kBlock) {
        card.setEventForm(this);
        card.DataReady = [this](std::int16_t* a, std::int16_t*, std::int32_t n) {
            ++blocks;
            m_card.Output(a, a, n);
            if (blocks == limit) m_card.StopSound();
        };
    }
    void DirectXEvent8_DXCallback(int id) override {
        m_card.EventHandler(id, ch1.data(), ch2.data());
    }
    OrvexDX8& m_card;
    std::vector<std::int16_t> ch1, ch2;
    int blocks = 0;
    int limit = 16;
};

} // namespace

TEST(AlsaBackend, StreamsAFileInAndTheBlocksOutThroughLibasound) {
    App();
    TempDir dir;
    std::vector<std::int16_t> in(20 * kBlock);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<std::int16_t>((i * 7919) % 20011 - 10005);
    WriteRaw(dir.path / "in.raw", in);
    const fs::path conf = dir.path / "asound.conf";
    {
        std::ofstream c(conf);
        c << "pcm.orvex_test_capture { type file slave.pcm { type null } file \"/dev/null\" infile "
             "\""
          << (dir.path / "in.raw").string() << "\" format raw }\n"
          << "pcm.orvex_test_playback { type file slave.pcm { type null } file \""
          << (dir.path / "out.raw").string() << "\" format raw }\n";
    }
    AlsaContext context(conf.string());
    AudioBackend backend(std::make_unique<AlsaCaptureProvider>(context),
                         std::make_unique<AlsaPlaybackProvider>(context));
    OrvexDX8 card(backend);
    card.setFSampling(48000);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    card.setSamplesPerEvent(kBlock);
    card.setOutputAttenuation(0);
    std::vector<std::string> capNames, playNames;
    ASSERT_GE(card.GetCapDeviceNames(capNames), 0);
    ASSERT_GE(card.GetPlayDeviceNames(playNames), 0);
    EXPECT_EQ(capNames[0].rfind("default ", 0), 0u) << "the default device comes first";
    card.setCurrentCaptureDevice(DeviceNumber(capNames, "orvex_test_capture"));
    card.setCurrentPlaybackDevice(DeviceNumber(playNames, "orvex_test_playback"));
    ASSERT_GT(card.CurrentCaptureDevice(), 0);
    ASSERT_GT(card.CurrentPlaybackDevice(), 0);
    PassThrough owner(card);
    std::string lost;
    context.setDeviceLostHandler([&](const std::string& why) { lost = why; });
    ASSERT_TRUE(card.PrepareDevices()) << card.LastErrText();
    card.StartSound();
    ASSERT_TRUE(card.InAction());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (owner.blocks < 16 && std::chrono::steady_clock::now() < deadline && lost.empty())
        QCoreApplication::processEvents();
    card.StopSound();
    card.ReleaseDevices();
    EXPECT_TRUE(lost.empty()) << lost;
    ASSERT_EQ(owner.blocks, 16);
    const auto out = ReadRaw(dir.path / "out.raw");
    // The played stream: the four blocks the playback buffer held before the first refill,
    // then the captured blocks in order, none lost, none repeated.
    ASSERT_GE(out.size(), static_cast<std::size_t>(12 * kBlock));
    for (std::size_t i = 0; i < 4 * kBlock; ++i)
        ASSERT_EQ(out[i], 0) << i;
    for (std::size_t i = 4 * kBlock; i < out.size() && i - 4 * kBlock < 12 * kBlock; ++i)
        ASSERT_EQ(out[i], in[i - 4 * kBlock]) << "sample " << i;
    EXPECT_EQ(context.stats().overruns, 0u);
}

TEST(AlsaBackend, MissingDevicesGiveTheMessageAndTheReason) {
    App();
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    AlsaContext context;
    auto capture = std::make_unique<AlsaCaptureProvider>(context);
    EXPECT_THROW(capture->openByName("hw:97,0"), AudioError);
    try {
        capture->openByName("orvex_no_such_device");
        FAIL() << "opened a device that does not exist";
    } catch (const AudioError& e) {
        EXPECT_NE(std::string(e.what()).find("orvex_no_such_device"), std::string::npos);
    }
    AudioBackend backend(std::move(capture), std::make_unique<AlsaPlaybackProvider>(context));
    OrvexDX8 card(backend);
    card.setCurrentCaptureDevice(999);
    EXPECT_FALSE(card.PrepareDevices());
    EXPECT_TRUE(messages.contains(kSoundCardOpenMessage));
    EXPECT_NE(card.LastErrText().find("capture device 999 does not exist"), std::string::npos);
}

TEST(AlsaBackend, BadConfigurationFileIsReported) {
    TempDir dir;
    const fs::path conf = dir.path / "bad.conf";
    std::ofstream(conf) << "pcm.broken { type file slave.pcm \n";
    EXPECT_THROW(AlsaContext(conf.string()), AudioError);
    EXPECT_THROW(AlsaContext((dir.path / "missing.conf").string()), AudioError);
}

// A device that fails for good while streaming (here: playback into a full disk through the
// file plugin, as a pulled-out USB card fails its writes) stops the stream and says why; the
// program neither spins nor crashes.
TEST(AlsaBackend, ADeviceFailingWhileStreamingStopsWithAReason) {
    App();
    TempDir dir;
    WriteRaw(dir.path / "in.raw", std::vector<std::int16_t>(40 * kBlock, 100));
    const fs::path conf = dir.path / "asound.conf";
    std::ofstream(conf)
        << "pcm.cap { type file slave.pcm { type null } file \"/dev/null\" infile \""
        << (dir.path / "in.raw").string() << "\" format raw }\n"
        << "pcm.full { type file slave.pcm { type null } file \"/dev/full\" format raw }\n";
    AlsaContext context(conf.string());
    auto capture = std::make_unique<AlsaCaptureProvider>(context);
    auto playback = std::make_unique<AlsaPlaybackProvider>(context);
    const auto capNames = capture->deviceNames();
    const auto playNames = playback->deviceNames();
    AudioBackend backend(std::move(capture), std::move(playback));
    OrvexDX8 card(backend);
    card.setFSampling(48000);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    card.setCurrentCaptureDevice(DeviceNumber(capNames, "cap"));
    card.setCurrentPlaybackDevice(DeviceNumber(playNames, "full"));
    PassThrough owner(card);
    owner.limit = 1000;
    std::vector<std::string> lost;
    context.setDeviceLostHandler([&](const std::string& why) {
        lost.push_back(why);
        card.StopSound();
    });
    ASSERT_TRUE(card.PrepareDevices()) << card.LastErrText();
    card.StartSound();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lost.empty() && owner.blocks < 1000 && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents();
    ASSERT_FALSE(lost.empty()) << "the failing device was not noticed";
    EXPECT_NE(lost[0].find("ALSA playback 'full' stopped"), std::string::npos) << lost[0];
    EXPECT_FALSE(card.InAction());
    card.ReleaseDevices();
}

#include "audio/RealTimePacer.h"

// Clocked devices paced by the wall clock deliver blocks at the sound card's rate, never ahead
// of real time.
TEST(RealTimePacer, KeepsTheClockAtTheWallClock) {
    App();
    FrameClock clock;
    RealTimePacer pacer(clock, 48000, 2);
    const auto t0 = std::chrono::steady_clock::now();
    pacer.start();
    while (std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(150))
        QCoreApplication::processEvents();
    pacer.stop();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(clock.now(), 0);
    EXPECT_LE(clock.now(), static_cast<std::int64_t>(elapsed * 48000) + 1);
    const auto frozen = clock.now();
    QCoreApplication::processEvents();
    EXPECT_EQ(clock.now(), frozen);
}

// ALSA's null device takes whatever is written at once; its blocks are still announced at
// the sound card's rate (a 2048-frame block every 42.7 ms), not as fast as the loop runs.
TEST(AlsaBackend, TheNullDeviceIsPlayedAtTheSampleRate) {
    App();
    AlsaContext context;
    AlsaPlaybackProvider playback(context);
    try {
        playback.openByName("null");
    } catch (const AudioError& e) {
        GTEST_SKIP() << e.what();
    }
    struct Counter final : DXEventTarget {
        void DirectXEvent8_DXCallback(int) override { ++fired; }
        int fired = 0;
    } counter;
    EventRegistry events;
    const PcmFormat format;
    auto buffer = playback.createBuffer(format, 2 * kBlock * 2, events);
    const int id = events.createEvent(&counter);
    buffer->setNotificationPositions({{kBlock * 2 - 1, id}, {2 * kBlock * 2 - 1, id}});
    const auto t0 = std::chrono::steady_clock::now();
    buffer->start();
    while (std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(500))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    buffer->stop();
    // 500 ms hold 11.7 blocks.
    EXPECT_GE(counter.fired, 9);
    EXPECT_LE(counter.fired, 13);
}
