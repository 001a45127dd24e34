// The streaming logic against clocked devices that stand in for the sound card's clock.
#include "audio/ClockedDevices.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <vector>

using namespace orvex;
using namespace orvex::audio;

namespace {

constexpr int kBlock = 2048;

// Frame n of channel c is gen(n, c).
class FunctionSource final : public CaptureSource {
public:
    explicit FunctionSource(std::function<std::int16_t(std::int64_t, int)> gen)
        : m_gen(std::move(gen)) {}
    void read(std::int16_t* out, std::int64_t frames, const PcmFormat& format) override {
        for (std::int64_t f = 0; f < frames; ++f, ++m_frame)
            for (int c = 0; c < format.channels; ++c)
                *out++ = m_gen(m_frame, c);
    }

private:
    std::function<std::int16_t(std::int64_t, int)> m_gen;
    std::int64_t m_frame = 0;
};

// The receiver as the sound card sees it: forwards notifications to EventHandler and, in
// DataReady, queues the block for playback unless told to drop it.
class Owner final : public DXEventTarget {
public:
    explicit Owner(OrvexDX8& card) : m_card(card), ch1(kBlock), ch2(kBlock) {
        card.setEventForm(this);
        card.DataReady = [this](std::int16_t* a, std::int16_t* b, std::int32_t n) {
            ++blocks;
            if (onBlock) onBlock(a, b, n);
            if (dropBlocks.count(blocks) == 0) m_card.Output(a, a, n);
        };
    }
    void DirectXEvent8_DXCallback(int eventid) override {
        if (m_card.EventHandler(eventid, ch1.data(), ch2.data()))
            ++captureEvents;
        else
            ++playbackEvents;
    }
    OrvexDX8& m_card;
    std::vector<std::int16_t> ch1, ch2;
    int blocks = 0, captureEvents = 0, playbackEvents = 0;
    std::set<int> dropBlocks;
    std::function<void(std::int16_t*, std::int16_t*, std::int32_t)> onBlock;
};

struct Rig {
    explicit Rig(std::function<std::int16_t(std::int64_t, int)> gen, int channelsIn = 1,
                 int channelsOut = 1) {
        auto capture = std::make_unique<ClockedCaptureProvider>(
            clock, "test capture", [gen] { return std::make_unique<FunctionSource>(gen); });
        auto playback = std::make_unique<ClockedPlaybackProvider>(clock, "test playback", [this] {
            auto s = std::make_unique<RecordingSink>();
            sink = s.get();
            return s;
        });
        backend = std::make_unique<AudioBackend>(std::move(capture), std::move(playback));
        card = std::make_unique<OrvexDX8>(*backend);
        card->setFSampling(48000);
        card->setNoChannelsIn(channelsIn);
        card->setNoChannelsOut(channelsOut);
        card->setSamplesPerEvent(kBlock);
        owner = std::make_unique<Owner>(*card);
    }
    void blocks(int n) { clock.advance(static_cast<std::int64_t>(n) * kBlock); }
    FrameClock clock;
    RecordingSink* sink = nullptr;
    std::unique_ptr<AudioBackend> backend;
    std::unique_ptr<OrvexDX8> card;
    std::unique_ptr<Owner> owner;
};

} // namespace

TEST(SoundCard, DefaultsAndBufferLayout) {
    Rig rig([](std::int64_t, int) { return std::int16_t{0}; });
    OrvexDX8& c = *rig.card;
    EXPECT_EQ(c.NoBlocksInBuffer(), 2);
    EXPECT_EQ(c.Inp2OutpBufferRatio(), 2);
    ASSERT_TRUE(c.PrepareDevices());
    EXPECT_EQ(c.BytesPerCaptureEvent(), 4096);
    EXPECT_EQ(c.BytesPerOutputEvent(), 4096);
    ASSERT_EQ(c.CaptureNotify().size(), 2u);
    ASSERT_EQ(c.PlaybackNotify().size(), 4u);
    EXPECT_EQ(c.CaptureNotify()[1].offset, 2 * 4096 - 1);
    EXPECT_EQ(c.PlaybackNotify()[3].offset, 4 * 4096 - 1);
    std::vector<std::string> names;
    EXPECT_EQ(c.GetCapDeviceNames(names), 0);
    EXPECT_EQ(names[0], "test capture");
}

TEST(SoundCard, PlaybackStartsAfterTheThirdCaptureBlock) {
    Rig rig([](std::int64_t, int) { return std::int16_t{100}; });
    rig.card->StartSound();
    EXPECT_EQ(rig.card->OutDelay, 3);
    rig.blocks(2);
    EXPECT_EQ(rig.owner->captureEvents, 2);
    EXPECT_EQ(rig.card->OutDelay, 1);
    EXPECT_TRUE(rig.sink->samples().empty()); // playback not running yet
    rig.blocks(1);
    EXPECT_EQ(rig.card->OutDelay, 0);
    EXPECT_EQ(rig.owner->playbackEvents, 0);
    rig.blocks(1);
    EXPECT_EQ(rig.owner->playbackEvents, 1); // the first refill, one block after the start
    EXPECT_EQ(rig.card->OutWritePos() - rig.card->OutReadPos(), 3 * kBlock);
}

// A click travels one capture block, three slots of the output ring and the three blocks the
// playback buffer holds ahead of the refilled one: it leaves seven blocks after it entered.
// The first four played blocks are the buffer's content before the first refill.
TEST(SoundCard, ClickComesOutSevenBlocksLaterThreeOfThemInTheRing) {
    const std::int64_t clickFrame = 5000;
    Rig rig([=](std::int64_t n, int) { return std::int16_t(n == clickFrame ? 12345 : 0); });
    rig.card->StartSound();
    rig.blocks(12);
    const auto& out = rig.sink->samples();
    std::int64_t at = -1;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] != 0) {
            EXPECT_EQ(at, -1) << "more than one click";
            at = static_cast<std::int64_t>(i);
        }
    // The sink starts recording when playback starts, three blocks in.
    EXPECT_EQ(at + 3 * kBlock, clickFrame + 7 * kBlock);
    EXPECT_EQ(out[static_cast<std::size_t>(at)], 12345);
    for (int i = 0; i < 4 * kBlock; ++i)
        ASSERT_EQ(out[static_cast<std::size_t>(i)], 0);
}

TEST(SoundCard, DroppedBlockIsExactlyOneBlockOfSilence) {
    Rig rig([](std::int64_t, int) { return std::int16_t{1000}; });
    rig.owner->dropBlocks = {5};
    rig.card->StartSound();
    rig.blocks(14);
    const auto& out = rig.sink->samples();
    // Played stream: 4 blocks of the initial buffer, then captured blocks 1, 2, ... in order.
    int silentRun = 0, longest = 0;
    for (std::size_t i = 4 * kBlock; i < out.size(); ++i) {
        silentRun = out[i] == 0 ? silentRun + 1 : 0;
        longest = std::max(longest, silentRun);
    }
    EXPECT_EQ(longest, kBlock);
    for (int i = 0; i < kBlock; ++i)
        ASSERT_EQ(out[static_cast<std::size_t>((4 + 4) * kBlock + i)], 0);
    EXPECT_EQ(out[(4 + 3) * kBlock], 1000);
    EXPECT_EQ(out[(4 + 5) * kBlock], 1000);
}

TEST(SoundCard, SeventeenQueuedBlocksOverwriteTheOldest) {
    Rig rig([](std::int64_t, int) { return std::int16_t{0}; });
    std::vector<std::int16_t> block(kBlock);
    bool queued = false;
    rig.owner->dropBlocks = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    rig.owner->onBlock = [&](std::int16_t*, std::int16_t*, std::int32_t) {
        if (queued) return;
        queued = true;
        for (int v = 1; v <= 17; ++v) {
            std::fill(block.begin(), block.end(), static_cast<std::int16_t>(v));
            rig.card->Output(block.data(), block.data(), kBlock);
            if (v == 16) {
                EXPECT_TRUE(rig.card->OutPtrWrap);
            }
        }
    };
    rig.card->StartSound();
    rig.blocks(10);
    const auto& out = rig.sink->samples();
    ASSERT_GE(out.size(), 7u * kBlock);
    EXPECT_EQ(out[4 * kBlock], 17); // slot 0 was overwritten by the seventeenth block
    EXPECT_EQ(out[5 * kBlock], 2);
    EXPECT_EQ(out[6 * kBlock], 3);
}

TEST(SoundCard, OutputAttenuationSetterGetterAndVolume) {
    Rig rig([](std::int64_t, int) { return std::int16_t{10000}; });
    OrvexDX8& c = *rig.card;
    EXPECT_EQ(c.OutputAttenuation(), 5000);
    c.setOutputAttenuation(-40000);
    EXPECT_EQ(c.OutputAttenuation(), -100); // stored as -10000
    c.setOutputAttenuation(-5050);
    EXPECT_EQ(c.OutputAttenuation(), -50); // -50.5, halves to even
    c.setOutputAttenuation(-5150);
    EXPECT_EQ(c.OutputAttenuation(), -52);
    c.setOutputAttenuation(-2000); // 20 dB down
    c.StartSound();
    rig.blocks(9);
    const auto& out = rig.sink->samples();
    EXPECT_EQ(out[4 * kBlock + 10], 1000);
    // A change is applied at the next playback notification, so it is heard within a block.
    c.setOutputAttenuation(5000); // positive: full volume
    rig.blocks(1);
    EXPECT_EQ(out.back(), 1000);
    rig.blocks(1);
    EXPECT_EQ(out.back(), 10000);
    c.setOutputAttenuation(-40000); // silence
    rig.blocks(2);
    EXPECT_EQ(out.back(), 0);
}

TEST(SoundCard, MonoAndStereoCaptureAndOutput) {
    {
        Rig mono([](std::int64_t n, int) { return static_cast<std::int16_t>(n % 1000); });
        std::vector<std::int16_t> a, b;
        mono.owner->onBlock = [&](std::int16_t* x, std::int16_t* y, std::int32_t n) {
            a.assign(x, x + n);
            b.assign(y, y + n);
        };
        mono.card->StartSound();
        mono.blocks(2);
        EXPECT_EQ(a, b);
        EXPECT_EQ(a[5], static_cast<std::int16_t>((kBlock + 5) % 1000));
    }
    Rig stereo([](std::int64_t n,
                  int c) { return static_cast<std::int16_t>(c == 0 ? n % 1000 : -(n % 1000)); },
               2, 2);
    std::vector<std::int16_t> left, right;
    stereo.owner->onBlock = [&](std::int16_t* x, std::int16_t* y, std::int32_t n) {
        left.assign(x, x + n);
        right.assign(y, y + n);
        stereo.card->Output(x, y, n); // both channels, then the owner queues its own copy
    };
    stereo.owner->dropBlocks = {1, 2, 3, 4, 5, 6, 7, 8};
    stereo.card->StartSound();
    stereo.blocks(9);
    EXPECT_EQ(left[7], (8 * kBlock + 7) % 1000); // the ninth block
    EXPECT_EQ(right[7], -((8 * kBlock + 7) % 1000));
    const auto& out = stereo.sink->samples(); // interleaved L, R
    EXPECT_EQ(out[2 * 4 * kBlock + 2 * 7], 7);
    EXPECT_EQ(out[2 * 4 * kBlock + 2 * 7 + 1], -7);
}

TEST(SoundCard, OtherChannelCountsAreRefusedWithError1001) {
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    Rig rig([](std::int64_t, int) { return std::int16_t{5}; }, 3, 3);
    ASSERT_TRUE(rig.card->PrepareDevices());
    std::vector<std::int16_t> a(kBlock, 77), b(kBlock, 77);
    rig.card->Capture(a.data(), b.data());
    EXPECT_EQ(rig.card->LastErr(), kErrUnsupportedChannels);
    EXPECT_EQ(a[0], 77);
    rig.card->Output(a.data(), b.data(), kBlock);
    EXPECT_EQ(rig.card->OutWritePos(), 0);
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_EQ(messages.messages()[0].text,
              "Unknown Number of channels, only Mono or Stereo allowed");
}

TEST(SoundCard, RepeatedStartStopAndReleaseChangeNothing) {
    Rig rig([](std::int64_t, int) { return std::int16_t{1}; });
    OrvexDX8& c = *rig.card;
    c.StopSound();      // not prepared
    c.ReleaseDevices(); // not prepared
    EXPECT_FALSE(c.Prepared);
    ASSERT_TRUE(c.PrepareDevices());
    const auto events = rig.backend->events().size();
    ASSERT_TRUE(c.PrepareDevices());
    EXPECT_EQ(rig.backend->events().size(), events);
    c.StartSound();
    rig.blocks(1);
    c.StartSound(); // already running: OutDelay is not reset
    EXPECT_EQ(c.OutDelay, 2);
    c.StopSound();
    EXPECT_FALSE(c.InAction());
    const int before = rig.owner->captureEvents;
    rig.blocks(3);
    EXPECT_EQ(rig.owner->captureEvents, before); // stopped: no notifications
    c.StopSound();
    c.ReleaseDevices();
    EXPECT_FALSE(c.Prepared);
    EXPECT_EQ(rig.backend->events().size(), 0u);
    c.ReleaseDevices();
    c.StartSound(); // prepares again
    EXPECT_TRUE(c.Prepared);
    EXPECT_TRUE(c.InAction());
}

TEST(SoundCard, DevicesThatCannotOpenGiveTheMessage) {
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    Rig rig([](std::int64_t, int) { return std::int16_t{1}; });
    rig.card->setCurrentCaptureDevice(3);
    EXPECT_FALSE(rig.card->PrepareDevices());
    EXPECT_FALSE(rig.card->Prepared);
    EXPECT_NE(rig.card->LastErr(), 0);
    EXPECT_NE(rig.card->LastErrText().find("capture device 3 does not exist"), std::string::npos);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, kSoundCardOpenMessage);
    rig.card->setCurrentCaptureDevice(1);
    rig.card->StartSound(); // tries again
    EXPECT_TRUE(rig.card->Prepared);
}
