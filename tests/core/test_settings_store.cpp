#include "core/IniSettingsStore.h"
#include "core/QtSettingsStore.h"
#include "core/SettingsStore.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>

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

namespace {

struct TempFolder {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("orvex_ini_store_" + std::to_string(::getpid()));
    TempFolder() {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    ~TempFolder() { std::filesystem::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

// What QSettings wrote reads back, and what the INI store writes QSettings reads back.
TEST(IniSettingsStore, ReadsAndWritesWhatQSettingsDoes) {
    TempFolder t;
    const std::string file = t.file("s.ini");
    const std::pair<const char*, const char*> values[] = {{"IFFilterSettings(1).CurrentHi", "3000"},
                                                          {"Caption", "a, b; c"},
                                                          {"Path", "C:\\dir \"x\""},
                                                          {"At", "@home"},
                                                          {"Blank", "  padded "}};
    {
        QtSettingsStore qt(file);
        for (const auto& [key, value] : values)
            qt.save("frmMain", key, value);
        ASSERT_TRUE(qt.flush());
    }
    IniSettingsStore ini(file);
    ASSERT_TRUE(ini.load());
    for (const auto& [key, value] : values)
        EXPECT_EQ(ini.get("frmMain", key, "?"), value) << key;
    ini.save("frmMain", "IFFilterSettings(1).CurrentHi", "2400"); // in the escaped form
    ini.save("VFO1", "ComDevice", "/dev/tty, \"USB\"");
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(Slurp(file).find("IFFilterSettings(1)"), std::string::npos) << Slurp(file);
    QtSettingsStore back(file);
    EXPECT_EQ(back.get("frmMain", "IFFilterSettings(1).CurrentHi", ""), "2400");
    EXPECT_EQ(back.get("VFO1", "ComDevice", ""), "/dev/tty, \"USB\"");
    EXPECT_EQ(back.get("frmMain", "Path", ""), "C:\\dir \"x\"");
}

TEST(IniSettingsStore, KeepsCommentsOrderAndLineEndsAndWritesOnlyChanges) {
    TempFolder t;
    const std::string file = t.file("s.ini");
    const std::string text = "; my receiver\r\n[VFO1]\r\n; the 40 m calling frequency\r\n"
                             "TunedFreq=7100000\r\nTuneStep=100\r\n";
    std::ofstream(file, std::ios::binary) << text;
    IniSettingsStore s(file);
    ASSERT_TRUE(s.load());
    ASSERT_TRUE(s.flush());
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    s.save("VFO1", "TuneStep", "100"); // the same value: the file is not rewritten
    ASSERT_TRUE(s.flush());
    struct stat same {};
    ASSERT_EQ(::stat(file.c_str(), &same), 0);
    EXPECT_EQ(same.st_ino, before.st_ino);
    s.save("VFO1", "TunedFreq", "7050000");
    s.save("VFO1", "IFType", "1");
    ASSERT_TRUE(s.flush());
    EXPECT_EQ(Slurp(file), "; my receiver\r\n[VFO1]\r\n; the 40 m calling frequency\r\n"
                           "TunedFreq=7050000\r\nTuneStep=100\r\nIFType=1\r\n");
}

// Another program (listen --settings, an editor) changed the file while the store held it: the
// store writes back only the keys it changed since it read the file, over the file as it is
// now, so what the other one stored stays. A file replaced meanwhile by one that is not a
// settings file is left as it is.
TEST(IniSettingsStore, WritesOnlyItsOwnChangesOverWhatAnotherProgramStoredMeanwhile) {
    TempFolder t;
    const std::string file = t.file("s.ini");
    std::ofstream(file, std::ios::binary) << "[frmMain]\nFilterHi=3000\nFilterLo=300\n"
                                             "[VFO1]\nTunedFreq=7100000\n";
    IniSettingsStore window(file);
    ASSERT_TRUE(window.load());
    {
        IniSettingsStore other(file);
        ASSERT_TRUE(other.load());
        other.save("VFO1", "TunedFreq", "14074000");
        other.save("frmMain", "FilterLo", "200");
        ASSERT_TRUE(other.flush());
    }
    window.save("frmMain", "FilterHi", "2700");  // changed here
    window.save("frmMain", "FilterLo", "300");   // as read: not this store's change
    window.save("VFO1", "TunedFreq", "7050000"); // changed, then changed back
    window.save("VFO1", "TunedFreq", "7100000");
    window.save("General", "Theme", "dark"); // new here
    ASSERT_TRUE(window.flush());
    EXPECT_EQ(Slurp(file), "[frmMain]\nFilterHi=2700\nFilterLo=200\n[VFO1]\nTunedFreq=14074000\n"
                           "[General]\nTheme=dark\n");
    EXPECT_EQ(window.get("VFO1", "TunedFreq", ""), "14074000"); // the store follows the file

    window.save("frmMain", "FilterHi", "2400");
    std::ofstream(file, std::ios::binary) << "[MainBand]\nCaption=HF\n";
    std::string why;
    EXPECT_FALSE(window.flush(&why));
    EXPECT_NE(why.find("not a settings file"), std::string::npos) << why;
    EXPECT_EQ(Slurp(file), "[MainBand]\nCaption=HF\n");
}

// A file that is not a settings file is refused whole and never written; so is one that is not
// a regular file, without waiting on it.
TEST(IniSettingsStore, RefusesWhatIsNotASettingsFileAndNeverWritesIt) {
    TempFolder t;
    const std::pair<const char*, std::string> files[] = {
        {"plan.bpl", "[MainBand]\nCaption=HF\n[SubBand.0]\nFreqMin=1800000\n"},
        {"band.scene", "scene Test\nstation 7 MHz carrier level=-9\n"},
        {"rec.wav", std::string("RIFF\x24\0\0\0WAVEfmt ", 16)},
        {"half.ini", "[VFO1]\nTunedFreq=7100000\nthis line is not INI\n"}};
    for (const auto& [name, content] : files) {
        const std::string file = t.file(name);
        std::ofstream(file, std::ios::binary) << content;
        IniSettingsStore s(file);
        std::string why;
        EXPECT_FALSE(s.load(&why)) << name;
        EXPECT_NE(why.find("not a settings file"), std::string::npos) << why;
        s.save("VFO1", "TunedFreq", "1");
        EXPECT_FALSE(s.flush());
        EXPECT_EQ(Slurp(file), content) << name;
    }
    const std::string fifo = t.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    IniSettingsStore s(fifo);
    EXPECT_FALSE(s.load());
    EXPECT_FALSE(s.flush());
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    IniSettingsStore fresh(t.file("new/folder/s.ini")); // created with its folder
    ASSERT_TRUE(fresh.load());
    fresh.save("VFO1", "TunedFreq", "7100000");
    ASSERT_TRUE(fresh.flush());
    IniSettingsStore unwritable("/proc/orvex-no-such-dir/settings.ini");
    ASSERT_TRUE(unwritable.load());
    unwritable.save("VFO1", "TunedFreq", "1");
    std::string why;
    EXPECT_FALSE(unwritable.flush(&why));
    EXPECT_NE(why.find("cannot write the settings file"), std::string::npos) << why;
}
