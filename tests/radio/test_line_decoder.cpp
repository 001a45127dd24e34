// The chip decoder against hand-built line sequences and the real senders.
#include "RadioTestSupport.h"
#include "radio/RsOutputs.h"

#include <gtest/gtest.h>

using namespace orvex;

namespace {

// Line changes built by hand, independent of RsOutputs.
struct Lines {
    std::vector<LineEvent> ev;
    void dtr(int v) { ev.push_back({LineId::DTR, static_cast<std::uint8_t>(v), 0}); }
    void rts(int v) { ev.push_back({LineId::RTS, static_cast<std::uint8_t>(v), 0}); }
    void brk(int v) { ev.push_back({LineId::Break, static_cast<std::uint8_t>(v), 0}); }
    void data(int v) { ev.push_back({LineId::Data, static_cast<std::uint8_t>(v), 0}); }
    void serialBits(std::uint32_t value, int bits) {
        for (int b = bits - 1; b >= 0; --b) {
            rts(((value >> b) & 1) ? 0 : 1);
            brk(1);
            brk(0);
        }
    }
};

} // namespace

TEST(LineDecoder, AD9951InstructionsFollowEachOtherInOneFrame) {
    Lines l;
    l.dtr(1);
    l.serialBits(0x04, 8);
    l.serialBits(0x23E7B41C, 32);
    l.serialBits(0x03, 8); // ARR: one byte
    l.serialBits(0x5A, 8);
    l.dtr(0);
    LineDecoder d(DdsChip::AD9951);
    d.feed(l.ev);
    ASSERT_EQ(d.transfers().size(), 2u);
    EXPECT_EQ(d.transfers()[0].kind, ChipTransfer::Kind::AD9951Write);
    EXPECT_EQ(d.transfers()[0].address, 4);
    EXPECT_EQ(d.transfers()[0].value, 0x23E7B41Cu);
    EXPECT_EQ(d.transfers()[0].bytes, (std::vector<std::uint8_t>{0x04, 0x23, 0xE7, 0xB4, 0x1C}));
    EXPECT_EQ(d.AD9951Register(3), 0x5Au);
    EXPECT_EQ(d.FrequencyWord(), 0x23E7B41Cu);
    EXPECT_EQ(d.Faults(), 0);
}

TEST(LineDecoder, ASessionDecoderKeepsNoHistoryButStillLatches) {
    Lines l;
    for (std::uint32_t w = 1; w <= 200; ++w) {
        l.dtr(1);
        l.serialBits(0x04, 8);
        l.serialBits(w, 32);
        l.dtr(0);
    }
    LineDecoder d(DdsChip::AD9951);
    d.setKeepTransfers(false);
    int heard = 0;
    d.setListener([&](const ChipTransfer&) { ++heard; });
    d.feed(l.ev);
    EXPECT_TRUE(d.transfers().empty());
    EXPECT_EQ(heard, 200);
    EXPECT_EQ(d.FrequencyWord(), 200u);
}

TEST(LineDecoder, AD9951AbortedFramesLatchNothing) {
    Lines l;
    l.dtr(1);
    l.serialBits(0x04, 8);
    l.serialBits(0x1234, 16); // two of four bytes
    l.dtr(0);
    l.dtr(1);
    l.serialBits(0x1F, 8); // a register the chip lacks
    l.serialBits(0xFF, 8);
    l.dtr(0);
    l.brk(1); // a clock edge with chip select released
    l.brk(0);
    LineDecoder d(DdsChip::AD9951);
    d.feed(l.ev);
    EXPECT_FALSE(d.FrequencyWord().has_value());
    EXPECT_EQ(d.Faults(), 2);
    EXPECT_EQ(d.StrayClocks(), 1);
    EXPECT_NE(d.transfers()[0].fault.find("2 of 4 bytes"), std::string::npos);
}

TEST(LineDecoder, DataMustHoldWhileTheClockIsSet) {
    Lines l;
    l.dtr(1);
    l.rts(1);
    l.brk(1);
    l.rts(0); // changes under the clock
    l.brk(0);
    LineDecoder d(DdsChip::AD9835);
    d.feed(l.ev);
    EXPECT_EQ(d.Faults(), 1);
}

TEST(LineDecoder, AD9835AssemblesFrequencyRegistersFromDeferredBytes) {
    LineDecoder d(DdsChip::AD9835);
    RecordingPorts ports(nullptr, &d);
    RsOutputs lines(ports);
    lines.setBitPeriodNs(0);
    ASSERT_TRUE(lines.ComOpen("/dev/ttyUSB0"));
    // FREQ1 = 0xCAFEBABE, select FREQ1 by bit, then FREQ0 = 0x01020304.
    for (const std::uint16_t w : {0x34BE, 0x25BA, 0x36FE, 0x27CA, 0x9000, 0x5800})
        lines.SerialSendWord(w);
    EXPECT_EQ(d.AD9835().freq[1], 0xCAFEBABEu);
    EXPECT_EQ(d.FrequencyWord(), 0xCAFEBABEu); // SELSRC = bits, FSEL = 1
    for (const std::uint16_t w : {0x3004, 0x2103, 0x3202, 0x2301, 0x8000})
        lines.SerialSendWord(w);
    EXPECT_EQ(d.AD9835().freq[0], 0x01020304u);
    EXPECT_EQ(d.FrequencyWord(), 0x01020304u); // SELSRC = pin, tied to FREQ0
    lines.SerialSendWord(0xF800);
    EXPECT_TRUE(d.AD9835().sleep && d.AD9835().reset && d.AD9835().clr);
    lines.SerialSendWord(0xC000);
    EXPECT_FALSE(d.AD9835().sleep || d.AD9835().reset);
    EXPECT_EQ(d.Faults(), 0);
}

TEST(LineDecoder, AD9835IgnoresClocksAfterTheSixteenthAndFlagsShortWords) {
    Lines l;
    l.dtr(1);
    l.serialBits(0x3011, 16);
    l.serialBits(0x2122, 16); // ignored: the frame must restart
    l.dtr(0);
    l.dtr(1);
    l.serialBits(0x21, 8);
    l.dtr(0);
    LineDecoder d(DdsChip::AD9835);
    d.feed(l.ev);
    ASSERT_EQ(d.transfers().size(), 2u);
    EXPECT_EQ(d.transfers()[0].value, 0x3011u);
    EXPECT_EQ(d.transfers()[1].kind, ChipTransfer::Kind::Fault);
}

TEST(LineDecoder, AD9850LoadsFortyBitsOnFrequencyUpdate) {
    Lines l;
    l.data(0);
    const std::uint64_t load = 0xA5'DEADBEEFull; // control byte 0xA5
    for (int i = 0; i < 40; ++i) {
        const int bit = static_cast<int>((load >> i) & 1);
        l.data(bit);
        l.data(bit + 2);
        l.data(bit);
    }
    l.data(4);
    l.data(0);
    LineDecoder d(DdsChip::AD9850);
    std::vector<ChipTransfer> live;
    d.setListener([&](const ChipTransfer& t) { live.push_back(t); });
    d.feed(l.ev);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].value, 0xDEADBEEFu);
    EXPECT_EQ(live[0].control, 0xA5);
    EXPECT_EQ(live[0].bits, 40);
    EXPECT_EQ(d.FrequencyWord(), 0xDEADBEEFu);

    // A short load and data changing with the clock edge are faults.
    Lines bad;
    bad.data(0);
    bad.data(3); // data and clock together
    bad.data(0);
    bad.data(4);
    d.feed(bad.ev);
    EXPECT_EQ(d.Faults(), 2);
}

TEST(LineDecoder, ResetForgetsTheChipButKeepsTheListener) {
    Lines l;
    l.dtr(1);
    l.serialBits(0x04, 8);
    l.serialBits(7, 32);
    l.dtr(0);
    LineDecoder d(DdsChip::AD9951);
    int heard = 0;
    d.setListener([&](const ChipTransfer&) { ++heard; });
    d.feed(l.ev);
    d.reset();
    EXPECT_FALSE(d.FrequencyWord().has_value());
    d.feed(l.ev);
    EXPECT_EQ(heard, 2);
    EXPECT_EQ(d.FrequencyWord(), 7u);
}
