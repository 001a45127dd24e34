#include "core/QtSettingsStore.h"
#include "core/SettingsStore.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using namespace orvex;

TEST(SettingsValues, BooleansReadLikeTheStoreWritesThem) {
    EXPECT_EQ(BoolText(true), "True");
    EXPECT_EQ(BoolText(false), "False");
    for (const char* t : {"True", "TRUE", "true", " True ", "1", "-1", "2.5"})
        EXPECT_EQ(ParseBool(t), true) << t;
    for (const char* t : {"False", "FALSE", "false", "0", "0.0"})
        EXPECT_EQ(ParseBool(t), false) << t;
    for (const char* t : {"", "yes", "Tru", "1x"})
        EXPECT_FALSE(ParseBool(t).has_value()) << t;
}

TEST(SettingsValues, NumbersAreCheckedNotGuessed) {
    EXPECT_EQ(ParseNumber(" 1000000 "), 1000000.0);
    EXPECT_EQ(ParseNumber("-2.5"), -2.5);
    EXPECT_EQ(ParseNumber("+7"), 7.0);
    EXPECT_EQ(ParseNumber("1e3"), 1000.0);
    EXPECT_FALSE(ParseNumber("12abc").has_value());
    EXPECT_FALSE(ParseNumber("").has_value());
    EXPECT_FALSE(ParseNumber("nan").has_value());
    EXPECT_EQ(ParseInt32("2.5"), 2); // halves to even, as the receiver rounds
    EXPECT_EQ(ParseInt32("3.5"), 4);
    EXPECT_FALSE(ParseInt32("3000000000").has_value());
}

TEST(SettingsValues, SinglesAreWrittenShortest) {
    EXPECT_EQ(SingleText(0.1f), "0.1");
    EXPECT_EQ(SingleText(1000000.0f), "1000000");
    EXPECT_EQ(SingleText(-2.5f), "-2.5");
    EXPECT_EQ(SingleText(5000.0f), "5000");
    for (float v : {0.2f, 1.0f / 3.0f, 12345.678f, -1e-6f, 3.4e38f})
        EXPECT_EQ(static_cast<float>(*ParseNumber(SingleText(v))), v) << SingleText(v);
}

TEST(MemorySettingsStore, AbsentKeysGiveTheDefault) {
    MemorySettingsStore s;
    EXPECT_EQ(s.get("frmMain", "FilterHi", "5000"), "5000");
    s.save("frmMain", "FilterHi", "4200");
    EXPECT_EQ(s.get("frmMain", "FilterHi", "5000"), "4200");
    EXPECT_EQ(s.get("VFO1", "FilterHi", "x"), "x"); // sections are separate
    EXPECT_TRUE(s.contains("frmMain", "FilterHi"));
    EXPECT_FALSE(s.contains("frmMain", "FilterLo"));
}

TEST(QtSettingsStore, ValuesSurviveAReopen) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("orvex_settings_" + std::to_string(::getpid()) + ".ini");
    std::filesystem::remove(path);
    {
        QtSettingsStore s(path.string());
        s.save("frmMain", "IFFilterSettings(1).CurrentHi", "3000");
        s.save("VFO1", "TunedFreq", "7100000");
        s.save("frmMain", "Caption", "a, b");
        ASSERT_TRUE(s.flush());
    }
    QtSettingsStore again(path.string());
    EXPECT_EQ(again.get("frmMain", "IFFilterSettings(1).CurrentHi", ""), "3000");
    EXPECT_EQ(again.get("VFO1", "TunedFreq", ""), "7100000");
    EXPECT_EQ(again.get("frmMain", "Caption", ""), "a, b");
    EXPECT_EQ(again.get("VFO1", "Missing", "dflt"), "dflt");
    std::filesystem::remove(path);
}

TEST(QtSettingsStore, UnwritableFileIsReported) {
    QtSettingsStore s("/proc/orvex-no-such-dir/settings.ini");
    s.save("frmMain", "AGCON", "True");
    std::string why;
    EXPECT_FALSE(s.flush(&why));
    EXPECT_NE(why.find("cannot write"), std::string::npos);
}
