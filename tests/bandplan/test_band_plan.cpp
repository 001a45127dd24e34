#include "TestFiles.h"
#include "bandplan/BandPlanFolders.h"
#include "bandplan/modBandPlan.h"
#include "core/MessageSink.h"
#include "core/YieldHook.h"

#include <gtest/gtest.h>
#include <memory>

#ifndef ORVEX_TEST_BANDPLAN_DIR
#error "ORVEX_TEST_BANDPLAN_DIR must name the shipped band-plan folder"
#endif

using namespace orvex;
using orvex::test::ReadText;
using orvex::test::TempDir;
using orvex::test::WriteText;

namespace {

MainBandInfo FreshBand(const std::string& file, const std::string& name = "HF") {
    MainBandInfo band;
    band.Name = name;
    band.FileName = file;
    InitBandPlan(band, 1700000000);
    return band;
}

MainBandInfo Loaded(const std::string& file, BandPlanReport* report = nullptr) {
    MainBandInfo band = FreshBand(file);
    EXPECT_TRUE(LoadBandPlan(band, report));
    return band;
}

// A band with something in every kind of field.
MainBandInfo SampleBand(const std::string& file) {
    MainBandInfo band = FreshBand(file);
    band.Caption = "HF bands";
    band.Description = "Top band and 40 m";
    band.Active = true;
    band.ActiveSubBand = 1;
    band.NumSubBands = 3;
    SubBandInfo& top = band.SubBands[0];
    top.Caption = "160m";
    top.Description = "Top band";
    top.FreqMin = 1800000;
    top.FreqMax = 2000000;
    top.FreqCurrent = 1850000;
    top.ActivePreset = 0;
    top.InUse = true;
    PresetInfo& p = top.Presets[0];
    p.Caption = "1850";
    p.Description = "1,850,000 Hz";
    p.FreqCurrent = 1850000;
    p.DemodMode = 2;
    p.FilterMode = 3;
    p.FilterHi = 2800;
    p.FilterLo = 250;
    p.AGCMode = 2;
    p.AGCAttack = 37.5f;
    p.AGCDecay = 120.0f;
    p.TuneImage = true;
    p.Active = true;
    p.When = "2024-03-01 12:34:56";
    SubBandInfo& forty = band.SubBands[1];
    forty.Caption = "40m";
    forty.FreqMin = 7000000;
    forty.InUse = true;
    forty.Presets[11].FreqCurrent = 7074000; // AGC and edges not stored
    forty.Presets[11].FilterHi = -1;
    forty.Presets[11].FilterLo = -1;
    forty.Presets[11].AGCMode = -1;
    forty.Presets[11].AGCAttack = -1;
    forty.Presets[11].AGCDecay = -1;
    forty.Presets[11].FilterMode = -2;
    return band;
}

// The loader reads the optional keys of every preset of a sub-band in use with the default -1
// ("not stored"), so an empty preset there comes back with -1 where a new one has 0.
MainBandInfo AsLoaded(MainBandInfo band) {
    for (auto& sub : band.SubBands)
        for (auto& p : sub.Presets)
            if (sub.InUse && !p.isUsed()) {
                p.FilterHi = p.FilterLo = p.AGCMode = -1;
                p.AGCAttack = p.AGCDecay = -1.0f;
            }
    return band;
}

} // namespace

TEST(BandPlanFile, RoundTripGivesTheSameModel) {
    TempDir dir;
    const std::string file = dir.file("HF.bpl");
    const MainBandInfo band = SampleBand(file);
    ASSERT_TRUE(SaveBandPlan(band));
    BandPlanReport report;
    MainBandInfo again = Loaded(file, &report);
    EXPECT_TRUE(report.clean()) << report.describe().front();
    EXPECT_EQ(again, AsLoaded(band));
    // Saving what was loaded changes nothing.
    const std::string first = ReadText(file);
    ASSERT_TRUE(SaveBandPlan(again));
    EXPECT_EQ(ReadText(file), first);
    // The format: key order, omitted keys, the spare sub-band.
    const std::string text = ReadText(file);
    EXPECT_EQ(text.find("[MainBand]\nIndex=0\nName=HF\nCaption=HF bands\n"), 0u);
    EXPECT_NE(text.find("[Preset.0.0]\nIndex=0\nName=HF.SubBand(0).Preset(0)\nCaption=1850\n"
                        "Description=1,850,000 Hz\nActive=True\nDemodMode=2\n"
                        "FreqCurrent=1850000\nTuneImage=True\nWhen=2024-03-01 12:34:56\n"
                        "FilterMode=3\nFilterHi=2800\nFilterLo=250\nAGCMode=2\n"
                        "AGCAttack=37.5\nAGCDecay=120\n"),
              std::string::npos);
    EXPECT_NE(text.find("FilterMode=-2\n[SubBand.2]"), std::string::npos);
    EXPECT_NE(text.find("[SubBand.3]"), std::string::npos); // spare, always written
    EXPECT_EQ(text.find("[SubBand.4]"), std::string::npos);
    EXPECT_EQ(text.find("[Preset.0.1]"), std::string::npos); // empty presets are not written
}

TEST(BandPlanFile, HandEditedFileKeepsCommentsAndOtherKeys) {
    TempDir dir;
    const std::string file = dir.file("HF.bpl");
    WriteText(file, "; written by hand\n"
                    "[MainBand]\n"
                    "caption=My HF\n"
                    "Owner=G4XYZ\n"
                    "NumSubBands=1\n"
                    "\n"
                    "; top band\n"
                    "[SubBand.0]\n"
                    "FreqMin=1810000\n"
                    "Antenna=long wire\n");
    MainBandInfo band = Loaded(file);
    band.SubBands[0].FreqMax = 2000000;
    ASSERT_TRUE(SaveBandPlan(band));
    const std::string text = ReadText(file);
    EXPECT_EQ(text.find("; written by hand\n[MainBand]\ncaption=My HF\nOwner=G4XYZ\n"
                        "NumSubBands=1\nIndex=0\n"),
              0u);
    EXPECT_NE(text.find("; top band\n[SubBand.0]\nFreqMin=1810000\nAntenna=long wire\nIndex=0\n"),
              std::string::npos);
    EXPECT_NE(text.find("FreqMax=2000000\n"), std::string::npos);
    EXPECT_EQ(Loaded(file), band);
}

TEST(BandPlanFile, ClearedValuesStayClearedAfterARestart) {
    TempDir dir;
    const std::string file = dir.file("HF.bpl");
    MainBandInfo band = SampleBand(file);
    ASSERT_TRUE(SaveBandPlan(band));
    band.SubBands[0].Presets[0].FreqCurrent = 0; // a preset set to 0 is not written
    band.SubBands[1].Presets[11].FreqCurrent = 0;
    ASSERT_TRUE(SaveBandPlan(band));
    const MainBandInfo again = Loaded(file);
    EXPECT_FALSE(again.SubBands[0].Presets[0].isUsed());
    EXPECT_FALSE(again.SubBands[1].Presets[11].isUsed());
    EXPECT_EQ(ReadText(file).find("[Preset."), std::string::npos);

    band = SampleBand(file);
    ASSERT_TRUE(SaveBandPlan(band));
    band.SubBands[0].Presets[0].AGCMode = -1; // no longer stored
    band.SubBands[0].Presets[0].AGCAttack = -1;
    band.SubBands[0].Presets[0].FilterHi = -1;
    ASSERT_TRUE(SaveBandPlan(band));
    const PresetInfo p = Loaded(file).SubBands[0].Presets[0];
    EXPECT_EQ(p.AGCMode, -1);
    EXPECT_EQ(p.AGCAttack, -1.0f);
    EXPECT_EQ(p.FilterHi, -1);
    EXPECT_EQ(p.FilterLo, 250);
}

// A file with no band-plan section loads as an empty band but is reported: nothing in it could
// be read.
TEST(BandPlanFile, FileWithoutKeysLoadsAsEmptyBandAndIsReported) {
    TempDir dir;
    const std::string file = dir.file("Empty.bpl");
    WriteText(file, "; nothing here yet\n");
    BandPlanReport report;
    const MainBandInfo band = Loaded(file, &report);
    ASSERT_EQ(report.skippedCount(), 1u);
    EXPECT_NE(report.describe()[0].find("not a band plan"), std::string::npos);
    // A file that holds something else is never overwritten by the shutdown save.
    const std::string other = dir.file("Notes.bpl");
    WriteText(other, "[Notes]\nkeep=this\n");
    MainBandInfo notes = FreshBand(other);
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    EXPECT_FALSE(SaveBandPlan(notes));
    EXPECT_TRUE(sink.contains("is not a band plan; it is not overwritten"));
    EXPECT_EQ(ReadText(other), "[Notes]\nkeep=this\n");
    EXPECT_EQ(band.NumSubBands, 17);
    EXPECT_EQ(band.SubBands[4].Presets[2].Name, "HF.SubBand(4).Preset(2)");
    EXPECT_EQ(band.SubBands[4].Presets[2].Caption, "P3");
    for (int s = 0; s < 17; ++s) {
        EXPECT_EQ(band.SubBands[s].Caption, "S" + std::to_string(s + 1));
        EXPECT_FALSE(band.SubBands[s].InUse);
    }
    EXPECT_EQ(band, FreshBand(file));
}

TEST(BandPlanFile, BadItemsAreSkippedAndReported) {
    TempDir dir;
    const std::string file = dir.file("Bad.bpl");
    WriteText(file, "[MainBand]\n"
                    "Active=maybe\n"      // 2
                    "ActiveSubBand=40\n"  // 3
                    "NumSubBands=19\n"    // 4: more than 18 buttons
                    "this is not a key\n" // 5
                    "[SubBand.0]\n"
                    "Caption=Topband160\n"                 // 7: cut to 6
                    "Description=Tab\there \x01 caf\xE9\n" // 8: odd bytes
                    "FreqMin=abc\n"                        // 9
                    "FreqMax=99999999999\n"                // 10
                    "FreqCurrent=1850000\n"
                    "ActivePreset=12\n" // 12
                    "[SubBand.0]\n"     // 13: duplicate
                    "FreqMin=1\n"
                    "[Preset.0.0]\n"
                    "Caption=123456789\n" // 16
                    "FreqCurrent=1850000\n"
                    "DemodMode=9\n"    // 18
                    "FilterMode=-1\n"  // 19
                    "FilterHi=99999\n" // 20
                    "FilterLo=-7\n"
                    "AGCMode=2\n"
                    "AGCAttack=12,5\n" // decimal comma of a regional format
                    "AGCDecay=x\n"     // 24
                    "[Preset.0.1]\n"
                    "FreqCurrent=7000000\n"
                    "FreqCurrent=1\n"); // 27: duplicate key
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    BandPlanReport report;
    const MainBandInfo band = Loaded(file, &report);

    EXPECT_FALSE(band.Active);
    EXPECT_EQ(band.ActiveSubBand, 0);
    EXPECT_EQ(band.NumSubBands, 17);
    const SubBandInfo& sub = band.SubBands[0];
    EXPECT_EQ(sub.Caption, "Topban");
    EXPECT_EQ(sub.Description, "Tab here ? caf\xC3\xA9");
    EXPECT_EQ(sub.FreqMin, -1);
    EXPECT_EQ(sub.FreqMax, -1);
    EXPECT_EQ(sub.ActivePreset, -1);
    EXPECT_TRUE(sub.InUse);
    const PresetInfo& p = sub.Presets[0];
    EXPECT_EQ(p.Caption, "1234567");
    EXPECT_EQ(p.DemodMode, 0);
    EXPECT_EQ(p.FilterMode, 0);
    EXPECT_EQ(p.FilterHi, -1);
    EXPECT_EQ(p.FilterLo, -1);
    EXPECT_EQ(p.AGCMode, 2);
    EXPECT_EQ(p.AGCAttack, 12.5f);
    EXPECT_EQ(p.AGCDecay, -1.0f);
    EXPECT_EQ(sub.Presets[1].FreqCurrent, 7000000);

    std::vector<int> skipped, noted;
    for (const auto& i : report.issues)
        (i.skipped ? skipped : noted).push_back(i.line);
    std::sort(skipped.begin(), skipped.end());
    std::sort(noted.begin(), noted.end());
    EXPECT_EQ(skipped, (std::vector<int>{2, 3, 4, 5, 9, 10, 12, 13, 18, 19, 20, 24, 27}));
    EXPECT_EQ(noted, (std::vector<int>{7, 8, 16}));
    ASSERT_EQ(sink.messages().size(), 1u); // one message for the whole file
    EXPECT_TRUE(sink.contains("Bandplan " + file + ": 13 items were skipped"));
    EXPECT_TRUE(sink.contains("line 9 [SubBand.0] FreqMin=\"abc\": not a number"));
}

TEST(BandPlanFile, SubBandCountLimits) {
    TempDir dir;
    const std::string file = dir.file("HF.bpl");
    for (const auto& [text, expected] :
         std::vector<std::pair<std::string, int>>{{"18", 18}, {"0", 0}, {"-1", 17}, {"1e9", 17}}) {
        WriteText(file, "[MainBand]\nNumSubBands=" + text + "\n[SubBand.18]\nFreqMin=1\n");
        RecordingMessageSink sink;
        ScopedMessageSink scope(sink);
        const MainBandInfo band = Loaded(file);
        EXPECT_EQ(band.NumSubBands, expected) << text;
        EXPECT_EQ(band.SubBands[18].InUse, expected == 18) << text;
    }
}

TEST(BandPlanFile, VeryLargeFileLoadsWhatItCan) {
    TempDir dir;
    const std::string file = dir.file("Big.bpl");
    std::string text = "[MainBand]\nCaption=Big\nNumSubBands=2\n[SubBand.1]\nFreqMin=7000000\n";
    for (int i = 0; i < 200000; ++i)
        text += "junk line " + std::to_string(i) + "\n";
    text += "[Preset.1.0]\nFreqCurrent=7050000\nDescription=" + std::string(100000, 'd') + "\n";
    WriteText(file, text);
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    BandPlanReport report;
    const MainBandInfo band = Loaded(file, &report);
    EXPECT_EQ(band.Caption, "Big");
    EXPECT_EQ(band.SubBands[1].Presets[0].FreqCurrent, 7050000);
    EXPECT_EQ(band.SubBands[1].Presets[0].Description.size(), kProfileBufferSize - 1);
    EXPECT_EQ(report.skippedCount(), 200000u);
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_LT(sink.messages()[0].text.size(), 2000u); // the message shows the first few only
}

TEST(BandPlanFile, UnreadableFileIsReportedAndNeverOverwritten) {
    TempDir dir;
    const std::string folderAsFile = dir.file("HF.bpl");
    ASSERT_EQ(::mkdir(folderAsFile.c_str(), 0755), 0);
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    MainBandInfo band = FreshBand(folderAsFile);
    BandPlanReport report;
    EXPECT_FALSE(LoadBandPlan(band, &report));
    EXPECT_TRUE(report.readFailed);
    EXPECT_TRUE(sink.contains("ProfileGetItemError: 21 Is a directory"));
    EXPECT_FALSE(SaveBandPlan(band));
    EXPECT_TRUE(sink.contains("ProfileSaveItem: 21 Is a directory"));
}

TEST(BandPlanBusy, LoadWaitsForTheFlagAndGivesUpInsteadOfHanging) {
    TempDir dir;
    const std::string file = dir.file("HF.bpl");
    const MainBandInfo band = SampleBand(file);
    ASSERT_TRUE(SaveBandPlan(band));
    MainBandInfo loaded = FreshBand(file);
    {
        auto holder = std::make_unique<BandPlanBusyGuard>();
        ASSERT_TRUE(holder->acquired());
        int yields = 0;
        ScopedYieldHook hook([&] {
            if (++yields == 3) holder->release(); // the other operation finishes
        });
        EXPECT_TRUE(LoadBandPlan(loaded));
        EXPECT_EQ(yields, 3);
    }
    EXPECT_EQ(loaded, AsLoaded(band));
    EXPECT_FALSE(BandPlanBusy());

    BandPlanBusyGuard holder; // held by a caller below: it can never be released
    int yields = 0;
    ScopedYieldHook hook([&] { ++yields; });
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    EXPECT_FALSE(SaveBandPlan(band));
    EXPECT_EQ(yields, kBandPlanBusyYields);
    EXPECT_TRUE(sink.contains("busy"));
}

TEST(Discovery, FindsLoadsAndPicksTheActiveBand) {
    TempDir dir;
    WriteText(dir.file("b.bpl"), "[MainBand]\nActive=True\n");
    WriteText(dir.file("A.BPL"), "[MainBand]\nActive=True\n");
    WriteText(dir.file("c.bpl"), "[MainBand]\nCaption=Third\n");
    WriteText(dir.file("notes.txt"), "");
    WriteText(dir.file(".HF.bpl.tmp.abc123"), ""); // an interrupted save
    BandPlanModel model;
    std::vector<std::string> shown;
    std::vector<BandPlanReport> reports;
    ASSERT_TRUE(DiscoverBandPlans(
        model, dir.path(), [&](const std::string& n) { shown.push_back(n); }, &reports));
    EXPECT_EQ(shown, (std::vector<std::string>{"A", "b", "c"}));
    ASSERT_EQ(model.MainBands.size(), 3u);
    EXPECT_EQ(model.MainBands[2].Index, 2);
    EXPECT_EQ(model.MainBands[2].FileName, dir.file("c.bpl"));
    EXPECT_EQ(model.MainBands[2].Caption, "Third");
    EXPECT_EQ(model.MainBands[0].SubBandSlots, 18);
    EXPECT_EQ(model.CurrentMainBandIndex, 1); // the last active band wins
    EXPECT_EQ(reports.size(), 3u);

    TempDir empty;
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    BandPlanModel none;
    EXPECT_FALSE(DiscoverBandPlans(none, empty.path()));
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].text,
              "No Bandplan (.bpl) files found - You must have at least 1 Bandplan \n"
              "Please Re-Install Application or find a .BPL file");
    EXPECT_EQ(sink.messages()[0].title, "OrvexSDR_Brisko - No Bandplan found");
    EXPECT_EQ(sink.messages()[0].icon, MessageIcon::Critical);
}

TEST(ShippedPlans, LoadWithoutAMessageAndSaveUnchanged) {
    TempDir dir;
    const auto shipped = ListBandPlanFiles(ORVEX_TEST_BANDPLAN_DIR);
    ASSERT_GE(shipped.size(), 3u);
    for (const auto& path : shipped)
        WriteText(dir.file(path.substr(path.rfind('/') + 1)), ReadText(path));
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    BandPlanModel model;
    std::vector<BandPlanReport> reports;
    ASSERT_TRUE(DiscoverBandPlans(model, dir.path(), {}, &reports));
    EXPECT_TRUE(sink.messages().empty());
    for (const auto& r : reports)
        EXPECT_TRUE(r.clean()) << r.fileName;
    for (const auto& band : model.MainBands) {
        EXPECT_GE(band.NumSubBands, 10) << band.Name;
        EXPECT_TRUE(band.SubBands[0].InUse) << band.Name;
    }
    ASSERT_TRUE(SaveAllBandPlans(model));
    for (std::size_t i = 0; i < shipped.size(); ++i)
        EXPECT_EQ(ReadText(model.MainBands[i].FileName), ReadText(shipped[i])) << shipped[i];
}

// Two windows on one band-plan folder: the first stores a preset and closes; the second, which
// only moved its tuning in another sub-band, must not write the first one's preset away. Only
// what changed in a run is written back, and the second model, finding the folder locked, is
// told so and writes nothing at all.
TEST(TwoWindows, OnlyWhatChangedIsWrittenAndASecondModelOnTheFolderSavesNothing) {
    TempDir dir;
    WriteText(dir.file("HF.bpl"), "; my notes\n[MainBand]\nCaption=HF\n"
                                  "[SubBand.0]\nCaption=160m\nFreqMin=1800000\nFreqMax=2000000\n"
                                  "FreqCurrent=1850000\n"
                                  "[SubBand.1]\nCaption=80m\nFreqMin=3500000\nFreqMax=3800000\n"
                                  "FreqCurrent=3600000\n");
    const std::string before = ReadText(dir.file("HF.bpl"));
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    auto first = std::make_unique<BandPlanModel>();
    ASSERT_TRUE(DiscoverBandPlans(*first, dir.path()));
    BandPlanModel second;
    ASSERT_TRUE(DiscoverBandPlans(second, dir.path()));
    EXPECT_TRUE(first->WriteBack);
    EXPECT_FALSE(second.WriteBack);
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_NE(sink.messages()[0].text.find("Another OrvexSDR window is using the band plans in " +
                                           dir.path()),
              std::string::npos);

    ASSERT_TRUE(SaveAllBandPlans(*first)); // nothing changed: the file is not even rewritten
    EXPECT_EQ(ReadText(dir.file("HF.bpl")), before);
    // The first stores a preset in 160 m; the second moves its tuning in 80 m. The second
    // closes last.
    PresetInfo& stored = first->MainBands[0].SubBands[0].Presets[3];
    stored.FreqCurrent = 1843000;
    stored.DemodMode = 2;
    stored.Caption = "Net";
    second.MainBands[0].SubBands[1].FreqCurrent = 3650000;
    ASSERT_TRUE(SaveAllBandPlans(*first));
    ASSERT_TRUE(SaveAllBandPlans(second));
    MainBandInfo after = Loaded(dir.file("HF.bpl"));
    EXPECT_EQ(after.SubBands[0].Presets[3].FreqCurrent, 1843000);
    EXPECT_EQ(after.SubBands[0].Presets[3].Caption, "Net");
    EXPECT_EQ(after.SubBands[1].FreqCurrent, 3600000); // the second wrote nothing

    // Once the first is gone the folder is free; a later run that changes one key of a
    // sub-band writes that key and leaves the preset another writer added meanwhile alone.
    first.reset();
    BandPlanModel third;
    ASSERT_TRUE(DiscoverBandPlans(third, dir.path()));
    ASSERT_TRUE(third.WriteBack);
    ASSERT_TRUE(ProfileSaveItem("Preset.1.0", "FreqCurrent", "3573000", dir.file("HF.bpl")));
    third.MainBands[0].SubBands[1].FreqCurrent = 3700000;
    ASSERT_TRUE(SaveAllBandPlans(third));
    after = Loaded(dir.file("HF.bpl"));
    EXPECT_EQ(after.SubBands[1].FreqCurrent, 3700000);
    EXPECT_EQ(after.SubBands[1].Presets[0].FreqCurrent, 3573000);
    EXPECT_EQ(after.SubBands[0].Presets[3].FreqCurrent, 1843000);
    EXPECT_EQ(ReadText(dir.file("HF.bpl")).rfind("; my notes\n", 0), 0u);
    // Emptying the stored preset removes it.
    third.MainBands[0].SubBands[0].Presets[3].FreqCurrent = -1;
    ASSERT_TRUE(SaveAllBandPlans(third));
    EXPECT_EQ(ReadText(dir.file("HF.bpl")).find("[Preset.0.3]"), std::string::npos);
}

TEST(BandPlanFolders, RuleAndSeeding) {
    TempDir root;
    const std::string shipped = root.file("shipped");
    ASSERT_EQ(::mkdir(shipped.c_str(), 0755), 0);
    WriteText(shipped + "/HF.bpl", "[MainBand]\nCaption=HF\n");
    BandPlanFolderRule rule;
    rule.userFolder = root.file("home/.local/share/OrvexSDR/bandplans");
    rule.shippedFolders = {root.file("nothing-here"), shipped};

    // First start: the user folder is made and seeded.
    auto choice = ChooseBandPlanFolder(rule);
    EXPECT_EQ(choice.folder, rule.userFolder);
    EXPECT_EQ(choice.seededFrom, shipped);
    EXPECT_EQ(ReadText(rule.userFolder + "/HF.bpl"), "[MainBand]\nCaption=HF\n");
    // Later starts: the user's copy is used as it is.
    WriteText(rule.userFolder + "/HF.bpl", "[MainBand]\nCaption=Mine\n");
    choice = ChooseBandPlanFolder(rule);
    EXPECT_TRUE(choice.seededFrom.empty());
    EXPECT_EQ(ReadText(rule.userFolder + "/HF.bpl"), "[MainBand]\nCaption=Mine\n");

    rule.environmentFolder = root.file("env");
    EXPECT_EQ(ChooseBandPlanFolder(rule).folder, root.file("env"));
    rule.overrideFolder = root.file("cmdline");
    EXPECT_EQ(ChooseBandPlanFolder(rule).source, "command line");

    // A user folder that cannot be made: the shipped plans are used, with a note.
    BandPlanFolderRule blocked;
    WriteText(root.file("file"), "");
    blocked.userFolder = root.file("file/bandplans");
    blocked.shippedFolders = {shipped};
    choice = ChooseBandPlanFolder(blocked);
    EXPECT_EQ(choice.folder, shipped);
    ASSERT_FALSE(choice.notes.empty());
    EXPECT_NE(choice.notes[0].find("Not a directory"), std::string::npos);
}
