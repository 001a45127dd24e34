#include "core/Error.h"
#include "core/MessageSink.h"
#include "core/YieldHook.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace orvex;

TEST(MessageSink, ScopedSinkRecordsAndRestores) {
    RecordingMessageSink outer;
    {
        ScopedMessageSink a(outer);
        RecordingMessageSink inner;
        {
            ScopedMessageSink b(inner);
            ShowMessage("COM Port Interface Error", MessageIcon::Critical, "OrvexSDR");
        }
        ASSERT_EQ(inner.messages().size(), 1u);
        EXPECT_EQ(inner.messages()[0].icon, MessageIcon::Critical);
        EXPECT_EQ(inner.messages()[0].title, "OrvexSDR");
        ShowMessage("back to the outer sink");
    }
    ASSERT_EQ(outer.messages().size(), 1u);
    EXPECT_TRUE(outer.contains("outer sink"));
}

TEST(YieldHook, CallsTheInstalledHookOnly) {
    int calls = 0;
    YieldToUser(); // no hook: nothing happens
    {
        ScopedYieldHook hook([&] { ++calls; });
        YieldToUser();
        YieldToUser();
    }
    YieldToUser();
    EXPECT_EQ(calls, 2);
}

TEST(Errors, ErrnoTextNamesTheCause) {
    EXPECT_EQ(ErrnoText("open /dev/ttyUSB0", ENOENT),
              "open /dev/ttyUSB0: No such file or directory");
    OrvexError e(ErrorKind::Device, "busy");
    EXPECT_EQ(e.kind(), ErrorKind::Device);
    EXPECT_STREQ(StatusText(Status::Overflow), "overflow");
}

#include "core/Profiler.h"

#include <thread>

TEST(Profiler, MeasuresAnIntervalInMicroseconds) {
    Profiler p;
    EXPECT_EQ(p.CPUFreq(), 1000000000);
    p.StartTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    p.StopTiming();
    EXPECT_EQ(p.DurationInTicks, p.StopTick - p.StartTick);
    EXPECT_GE(p.Duration, 5000.0);
    EXPECT_LT(p.Duration, 500000.0);
    p.Start();
    p.Stopp();
    EXPECT_NE(p.DurationMS.find(" ms"), std::string::npos);
}
