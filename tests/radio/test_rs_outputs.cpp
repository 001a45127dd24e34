// The bit-level line sequences and the bit timing.
#include "RadioTestSupport.h"
#include "core/Profiler.h"
#include "core/YieldHook.h"
#include "radio/RsOutputs.h"

#include <gtest/gtest.h>

using namespace orvex;
using orvex::test::EventText;

namespace {

// Every gap between consecutive events listed in `waitAfter` (indices of events followed by a
// wait) is at least one bit period.
void ExpectWaitsAtLeastOnePeriod(const std::vector<LineEvent>& ev,
                                 const std::vector<std::size_t>& waitAfter) {
    for (const std::size_t i : waitAfter) {
        ASSERT_LT(i + 1, ev.size());
        EXPECT_GE(ev[i + 1].timeNs - ev[i].timeNs, kBitPeriodNs) << "after event " << i;
    }
}

} // namespace

TEST(RsOutputs, SerialSendByteA5) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    ASSERT_TRUE(lines.ComOpen("/dev/ttyUSB0"));
    int yields = 0;
    ScopedYieldHook hook([&] { ++yields; });
    const auto t0 = Profiler::Now();
    lines.SerialSendByte(0xA5);
    const auto t1 = Profiler::Now();

    // 1010 0101, most significant first: RTS released for a 1, asserted for a 0, each bit
    // clocked by a break set and clear.
    EXPECT_EQ(EventText(ports.events()), "R0 B1 B0 R1 B1 B0 R0 B1 B0 R1 B1 B0 "
                                         "R1 B1 B0 R0 B1 B0 R1 B1 B0 R0 B1 B0");
    EXPECT_EQ(lines.BitWaitCount(), 16u);
    EXPECT_GE(yields, 16);
    EXPECT_GE(t1 - t0, 16 * kBitPeriodNs);
    // Waits follow each break set and each break clear.
    std::vector<std::size_t> waits;
    for (std::size_t bit = 0; bit < 8; ++bit) {
        waits.push_back(3 * bit + 1);
        if (bit < 7) waits.push_back(3 * bit + 2);
    }
    ExpectWaitsAtLeastOnePeriod(ports.events(), waits);
}

TEST(RsOutputs, ParallelSendWord8000) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    ASSERT_TRUE(lines.ParallelPortOpen("/dev/parport0"));
    lines.ParallelSendWord(0x8000);
    std::string expected = "P0 P4 P4 P6 P4";
    for (int i = 0; i < 15; ++i)
        expected += " P5 P7 P5";
    expected += " P4";
    EXPECT_EQ(EventText(ports.events()), expected);
    EXPECT_EQ(lines.BitWaitCount(), 51u); // every write is followed by a wait
    std::vector<std::size_t> waits;
    for (std::size_t i = 0; i + 1 < ports.events().size(); ++i)
        waits.push_back(i);
    ExpectWaitsAtLeastOnePeriod(ports.events(), waits);
}

TEST(RsOutputs, SerialSendWordIsFramedAndCostsSixtyEightWaits) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    ASSERT_TRUE(lines.ComOpen("/dev/ttyS0"));
    LineDecoder chip(DdsChip::AD9835);
    ports.setSink(&chip);
    lines.SerialSendWord(0x2123);
    EXPECT_EQ(lines.BitWaitCount(), 68u);
    const auto& ev = ports.events();
    ASSERT_EQ(ev.size(), 3u + 16u * 3u);
    EXPECT_EQ(EventText({ev.front(), ev[1]}), "B0 D1");
    EXPECT_EQ(EventText({ev.back()}), "D0");
    ASSERT_EQ(chip.transfers().size(), 1u);
    EXPECT_EQ(chip.transfers()[0].value, 0x2123u);
    // Data is set a full period before the clock edge and held two periods after it.
    for (std::size_t i = 2; i + 3 < ev.size(); i += 3) {
        EXPECT_GE(ev[i + 1].timeNs - ev[i].timeNs, kBitPeriodNs);
        EXPECT_GE(ev[i + 3].timeNs - ev[i + 2].timeNs, 2 * kBitPeriodNs);
    }
}

TEST(RsOutputs, BitWaitLastsAPeriodAndAlwaysYields) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    EXPECT_TRUE(lines.InitBitTiming());
    EXPECT_EQ(lines.BitPeriodNs(), kBitPeriodNs);
    EXPECT_GE(kBitPeriodNs * 230400, 1'000'000'000); // not shorter than 1/230400 s
    int yields = 0;
    ScopedYieldHook hook([&] { ++yields; });
    for (int i = 0; i < 200; ++i) {
        const auto t0 = Profiler::Now();
        lines.BitWait();
        EXPECT_GE(Profiler::Now() - t0, kBitPeriodNs);
    }
    EXPECT_GE(yields, 200);
    lines.setBitPeriodNs(0); // a simulation's zero-length wait still yields once
    yields = 0;
    lines.BitWait();
    EXPECT_EQ(yields, 1);
}

TEST(RsOutputs, NoPortMeansNoLineChanges) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    EXPECT_FALSE(lines.HasSerialPort());
    EXPECT_FALSE(lines.SetDTR(1));
    lines.SerialSendWord(0xFFFF);
    lines.ParallelSendWord(0xFFFF);
    EXPECT_TRUE(ports.events().empty());
    // Closing really forgets the port: later changes go nowhere.
    ASSERT_TRUE(lines.ComOpen("/dev/ttyUSB1"));
    lines.ComClose();
    EXPECT_FALSE(lines.SetRTS(1));
    EXPECT_EQ(ports.openSerialCount(), 0);
    EXPECT_TRUE(ports.events().empty());
}

TEST(RsOutputs, FailingLinesAreReportedOnce) {
    RecordingPorts ports;
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    RsOutputs lines(ports);
    lines.setBitPeriodNs(0);
    ASSERT_TRUE(lines.ComOpen("/dev/ttyUSB0"));
    ports.setLinesFail(true); // the adapter is pulled out
    lines.SerialSendByte(0x12);
    lines.SerialSendByte(0x34);
    EXPECT_EQ(lines.LineFaults(), 48u); // RTS, break set, break clear for each bit
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_TRUE(messages.contains("/dev/ttyUSB0"));
}

TEST(RsOutputs, OpenFailureKeepsTheReason) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    ports.failNextOpen({PortFault::Busy, "cannot use /dev/ttyUSB0: busy"});
    EXPECT_FALSE(lines.ComOpen("/dev/ttyUSB0"));
    EXPECT_EQ(lines.LastOpenError().fault, PortFault::Busy);
    EXPECT_FALSE(lines.HasSerialPort());
}
