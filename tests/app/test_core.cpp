// The application core on the simulated receiver: start-up and its trace, settings restore and
// save, power, shutdown, the wheel table and the statistics texts.
#include "CoreRig.h"
#include "audio/OrvexDX8.h"
#include "dsp/ReceiveChain.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return lines;
    QTextStream in(&f);
    while (!in.atEnd())
        lines.push_back(in.readLine().toStdString());
    return lines;
}

std::string LogPath(const CoreRig& rig) {
    return rig.path("state/OrvexSDR_Brisko.log");
}

TEST(CoreStartup, TracedStartWritesEveryStepInOrderAndEmptiesTheFileEachTime) {
    CoreRig first({"orvexsdr", "/trace"});
    ASSERT_TRUE(first.start());
    first.core->Form_Unload();
    CoreRig rig({"orvexsdr", "trace"});
    rig.options.traceFolder = first.path("state"); // the same log file
    ASSERT_TRUE(rig.start());
    const auto lines = FileLines(LogPath(first));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("OrvexSDR_Brisko Log File Started at Date=", 0), 0u);
    // The file holds exactly this start's lines: the header, then the list of the log window.
    const auto& list = rig.core->trace().lines();
    ASSERT_EQ(lines.size(), list.size() + 1);
    EXPECT_TRUE(std::equal(list.begin(), list.end(), lines.begin() + 1));
    // Each step is logged before it runs, in start-up order.
    const std::vector<std::string> milestones = {
        "Form_Initialize : Start",
        "Form_Load : Start",
        "Form_Load : New clsSpectrumAnalyser",
        "Form_Load : Draw SMeter",
        "Form_Load : Initialising CtlArray(1)",
        "Form_Load : Initialising dialtuner",
        "Form_Load : Initialising ctlArray(19)",
        "Form_Load : New OrvexDX8",
        "Form_Load : Initialising SoundCard",
        "Form_Load : Initialising VFO1",
        "Form_Load : Calling RestoreSettings",
        "RestoreSettings : Start",
        "RestoreSettings : End",
        "Form_Load : Call optMode_Click CInt(0)",
        "Form_Load : Call optFilter_Click CInt(0)",
        "Form_Load : Select Band in use last time",
        "Form_Load : Call Orvex.SetMemory_S",
        "Form_Load : Call tmrPerfStats_Timer",
        "Form_Load : Enable TmrClock",
        "Form_Load : Call DarkenControls",
        "Form_Load : End",
        "Form_Initialize : End",
    };
    auto at = list.begin();
    for (const auto& m : milestones) {
        at = std::find(at, list.end(), m);
        ASSERT_NE(at, list.end()) << "missing or out of order: " << m;
    }
    EXPECT_EQ(list.back(), "Form_Initialize : End");

    // Power switching is traced too; Save then writes exactly the list.
    rig.core->power().optPwr_Click(1);
    EXPECT_EQ(rig.core->trace().lines().back(), "optPwr_click : End");
    EXPECT_TRUE(rig.core->trace().save());
    EXPECT_EQ(FileLines(LogPath(first)), rig.core->trace().lines());
}

TEST(CoreStartup, WithoutTraceNoLogFileAndTheWordIsCaseSensitive) {
    EXPECT_TRUE(app::CommandLineHasTrace({"orvexsdr", "-x", "/trace", "y"}));
    EXPECT_TRUE(app::CommandLineHasTrace({"orvexsdr", "retraced"}));
    EXPECT_FALSE(app::CommandLineHasTrace({"orvexsdr", "TRACE", "Trace"}));
    EXPECT_FALSE(app::CommandLineHasTrace({"/home/tracey/bin/orvexsdr", "--on"})); // the path
    CoreRig rig({"orvexsdr", "TRACE"});
    ASSERT_TRUE(rig.start());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(LogPath(rig))));
}

TEST(CoreStartup, NoBandPlanShowsTheMessageAndCannotRun) {
    CoreRig rig({"orvexsdr"}, /*bandPlans=*/false);
    EXPECT_FALSE(rig.start());
    EXPECT_TRUE(rig.messages.contains("No Bandplan (.bpl) files found"));
}

TEST(CoreSettings, AnEmptyStoreRestoresTheStartupDefaults) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    const auto& s = rig.core->session().state();
    EXPECT_EQ(s.lblNotchC.Value, 1000.0f);
    EXPECT_EQ(s.lblNotchW.Value, 50.0f);
    EXPECT_EQ(s.FilterLo, 50);
    EXPECT_EQ(s.FilterHi, 5000);
    EXPECT_EQ(rig.core->session().soundCard().CurrentCaptureDevice(), 1);
    EXPECT_EQ(rig.core->session().soundCard().CurrentPlaybackDevice(), 1);
    for (bool size : rig.core->window().view().optDisplaySize)
        EXPECT_FALSE(size);
    // Device 1 is the simulated receiver, tuned by the controller over its own lines.
    EXPECT_TRUE(rig.receiver().TuningWord().has_value());
}

TEST(CoreSettings, StoredTextsAreReadWithTheirEncodings) {
    CoreRig rig;
    rig.store.save("frmMain", "NoiseFloor", "2500000");
    rig.store.save("frmMain", "LastTunedFrequency", "0");
    rig.store.save("frmMain", "NBOn", "True");
    rig.store.save("frmMain", "NB", "5000");
    rig.store.save("frmMain", "AGCON", "FALSE");
    rig.store.save("frmMain", "NotchActive", "0");
    rig.store.save("frmMain", "IFFilterActive", "False");
    rig.store.save("frmMain", "FilterHi", "not a number");
    rig.store.save("frmMain", "CurrentDemodMode", "17"); // no such mode: keeps AM
    rig.store.save("VFO1", "TunedFreq", "7050000");
    ASSERT_TRUE(rig.start());
    const auto& s = rig.core->session().state();
    EXPECT_DOUBLE_EQ(s.MeterReference, 25.0);
    EXPECT_DOUBLE_EQ(rig.core->tuning().lastTunedFrequency(),
                     rig.core->session().vfo().TunedFreq());
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 7.05, 1e-9);
    EXPECT_FALSE(s.chkNB.Value);
    EXPECT_EQ(s.NB, 0.0f);
    EXPECT_FALSE(s.AGCON);
    EXPECT_FALSE(s.NotchActive);
    EXPECT_FALSE(s.IFFilterActive);
    EXPECT_EQ(s.FilterHi, 5000);
    EXPECT_EQ(s.CurrentDemodMode, kModeAM);
}

TEST(CoreSettings, SaveThenRestoreRoundTripsEveryKey) {
    CoreRig a;
    ASSERT_TRUE(a.start());
    app::ReceiverCore& c = *a.core;
    c.controls().optMode_Click(kModeUSB);
    c.controls().optFilter_Click(2);
    c.controls().setCheck(ChainCheck::AGC, true);
    c.controls().optAGC_Click(3);
    c.values().valueSet(app::WheelEntry::AGCDelay, 60);
    c.values().valueSet(app::WheelEntry::AGCRamp, 120);
    c.controls().setCheck(ChainCheck::NotchOn, true);
    c.controls().setCheck(ChainCheck::NotchType, true);
    c.values().valueSet(app::WheelEntry::NotchCentre, -700);
    c.values().valueSet(app::WheelEntry::NotchWidth, 300);
    c.controls().setCheck(ChainCheck::IFFilter, true);
    c.values().valueSet(app::WheelEntry::IFHi, 2500);
    c.values().valueSet(app::WheelEntry::OutputLevel, 1000);
    c.controls().setCheck(ChainCheck::Music, true);
    c.window().optDisplaySize_Click(3);
    c.stats().setPerfStats(true);
    c.spectrum().setAnalyserOn(true);
    c.tuning().setEnableShaftEncoder(true);
    c.tuning().setShaftAutoRate(true);
    c.spectrum().setWheelOverScope(true);
    c.tuning().setAutoDDSRefresh(true);
    ASSERT_TRUE(c.tuning().tuneTo(14.2));
    c.session().chain().State().MeterReference = 3.5;
    c.Form_Unload();
    const auto saved = a.store.values();
    EXPECT_GE(saved.size(), 50u);

    CoreRig b;
    for (const auto& [key, value] : saved)
        b.store.save(key.first, key.second, value);
    ASSERT_TRUE(b.start());
    b.core->Form_Unload();
    for (const auto& [key, value] : saved)
        EXPECT_EQ(b.store.get(key.first, key.second, "<absent>"), value)
            << key.first << "/" << key.second;
    EXPECT_EQ(b.store.values().size(), saved.size());
}

TEST(CorePower, OnOffOnInitialisesTheSynthesiserEachTimeAndStreams) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    const auto atStart = rig.receiver().ControlRegisterWrites();
    EXPECT_GT(atStart, 0u); // init programmed the chip
    rig.core->power().optPwr_Click(0);
    ASSERT_TRUE(rig.core->power().view().PowerOn);
    const auto afterOn = rig.receiver().ControlRegisterWrites();
    EXPECT_GT(afterOn, atStart);
    EXPECT_FALSE(rig.core->power().view().CloseVisible);
    rig.run(12);
    ASSERT_NE(rig.played, nullptr);
    EXPECT_GT(rig.played->samples().size(), 2048u);
    rig.core->power().optPwr_Click(1);
    EXPECT_FALSE(rig.core->session().streaming());
    EXPECT_TRUE(rig.core->power().view().CloseVisible);
    rig.core->power().optPwr_Click(0);
    EXPECT_GT(rig.receiver().ControlRegisterWrites(), afterOn);
    EXPECT_TRUE(rig.core->session().streaming());
}

TEST(CorePower, ADeviceThatCannotOpenIsNamedAndTheReceiverStaysOff) {
    CoreRig rig;
    rig.store.save("frmMain", "CurrentCaptureDevice", "9");
    ASSERT_TRUE(rig.start());
    rig.core->power().optPwr_Click(0);
    EXPECT_FALSE(rig.core->power().view().PowerOn);
    EXPECT_FALSE(rig.core->session().streaming());
    ASSERT_FALSE(rig.messages.messages().empty());
    const std::string& text = rig.messages.messages().back().text;
    EXPECT_NE(text.find("capture device 9"), std::string::npos) << text;
}

TEST(CorePower, CloseWhileOnStopsSavesSettingsAndWritesTheBandPlans) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    bool closed = false;
    QObject counting; // ends the connection before the flag goes
    QObject::connect(rig.core.get(), &app::ReceiverCore::closeRequested, &counting,
                     [&] { closed = true; });
    auto& band = rig.core->bands().model().MainBands.at(0);
    band.Description = "Changed before close";
    rig.core->power().optPwr_Click(0);
    rig.run(4);
    rig.core->power().optPwr_Click(2);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(rig.core->session().streaming());
    EXPECT_TRUE(rig.store.contains("frmMain", "CurrentDemodMode"));
    EXPECT_TRUE(rig.store.contains("VFO1", "TunedFreq"));
    QFile f(QString::fromStdString(band.FileName));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Changed before close"));
}

TEST(CorePanel, WheelRuleStepsLimitsAndTheGearRatio) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& c = *rig.core;
    app::ValueTable& t = c.values().table();
    app::WheelMessage fine{true, false, true, 0, 0};
    t.entry(app::WheelEntry::Chn1Gain).Label->Value = 98.95f;
    c.values().valueWheel(app::WheelEntry::Chn1Gain, fine);
    EXPECT_NEAR(t.entry(app::WheelEntry::Chn1Gain).Label->Value, 98.96f, 1e-4);
    t.entry(app::WheelEntry::Chn1Gain).Label->Value = 99.0f;
    c.values().valueWheel(app::WheelEntry::Chn1Gain, fine);
    EXPECT_EQ(t.entry(app::WheelEntry::Chn1Gain).Label->Value, 99.0f);
    c.values().valueWheel(app::WheelEntry::SpectrumSmooth, {false, false, false, 0, 0});
    c.values().valueWheel(app::WheelEntry::SpectrumSmooth,
                          {false, true, false, 0, 0}); // Shift: 7 - 4
    EXPECT_EQ(t.entry(app::WheelEntry::SpectrumSmooth).Label->Value, 3.0f);
    t.entry(app::WheelEntry::SpectrumSmooth).Label->Value = 1.0f;
    c.values().valueWheel(app::WheelEntry::SpectrumSmooth,
                          {false, true, true, 0, 0}); // both: fine, held at the minimum
    EXPECT_EQ(t.entry(app::WheelEntry::SpectrumSmooth).Label->Value, 1.0f);
    int applied = 0;
    t.entry(app::WheelEntry::Chn2Shift).Apply = [&] { ++applied; };
    t.entry(app::WheelEntry::Chn2Shift).Label->Value = 40.0f;
    c.values().valueRightClick(app::WheelEntry::Chn2Shift);
    EXPECT_EQ(t.entry(app::WheelEntry::Chn2Shift).Label->Value, 0.0f);
    EXPECT_EQ(applied, 1);

    // The gear: with ratio N one wheel message in N + 1 acts; no target, nothing acts.
    auto acted = [&](int ratio, int messages) {
        c.session().vfo().setMouseWheelGearRatio(ratio);
        int n = 0;
        for (int i = 0; i < messages; ++i)
            n += c.values().wheelHook({true, false, false, 0, 0});
        return n;
    };
    c.values().valueHover(app::WheelEntry::None);
    EXPECT_EQ(acted(0, 5), 0);
    c.values().valueHover(app::WheelEntry::FilterHi);
    const float hi = c.session().state().lblFilterHi.Value;
    EXPECT_EQ(acted(0, 5), 5);
    EXPECT_EQ(acted(3, 8), 2);
    EXPECT_EQ(c.session().state().lblFilterHi.Value, hi + 70.0f);
    EXPECT_EQ(c.session().state().FilterHi, static_cast<std::int32_t>(hi) + 70);
}

TEST(CorePanel, StatisticsShowTheLoadInGreenUpTo90PerCentAndRedAbove) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    rig.core->stats().setPerfStats(true);
    auto& s = rig.core->session().chain().State();
    for (std::int32_t us : {38000, 39000}) {
        s.BlockTimeRing.fill(us);
        rig.core->session().chain().tmrPerfStats_Timer();
        rig.core->stats().statisticsUpdated();
        const auto& p = rig.core->stats().view();
        EXPECT_EQ(p.lblStatsVal[4], us == 38000 ? "89%" : "91%");
        EXPECT_EQ(p.CPUColour, us == 38000 ? kColourGreen : kColourRed);
        EXPECT_EQ(p.lblStatsVal[5], us == 38000 ? "38,000 uS" : "39,000 uS");
    }
}

TEST(CorePanel, TuningOutsideTheSynthesisersReachIsRefused) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    const double before = rig.core->session().vfo().TunedFreq();
    std::string why;
    EXPECT_FALSE(rig.core->tuning().tuneTo(5000.0, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(rig.core->session().vfo().TunedFreq(), before);
    EXPECT_TRUE(rig.core->tuning().tuneTo(10.0));
    EXPECT_NEAR(*rig.receiver().TunedHz(), 10e6, 1.0);
}

} // namespace
} // namespace orvex::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
