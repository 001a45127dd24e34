// Clock calibration: the new-clock arithmetic and Try / Apply / Cancel.
#include "RadioTestSupport.h"
#include "radio/DDSCalibration.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace orvex;

TEST(DDSCalibration, TheWorkedExample) {
    test::RecordedVfo r;
    ad9951& v = *r.vfo;
    v.setIFFreq(0.0);
    v.setTunedFreq(50.0);
    v.setCurrentTuningWord(600000000.0);
    DDSCalibration cal(v);
    cal.Form_Load();
    EXPECT_EQ(cal.Caption(), "OrvexSDR_Brisko - Calibrate DDS CLKIN");
    EXPECT_EQ(cal.lblCurrentTunedFreq(), "50.000 000");
    EXPECT_EQ(cal.lblDDSClkInCurrent(), "360.096 000");
    EXPECT_EQ(cal.txtOfficialFreq(), "50.000 000");
    EXPECT_EQ(cal.OfficialHz(), 50000000);
    EXPECT_NEAR(cal.NewClock(), 357.913941, 1e-6);
    EXPECT_EQ(cal.lblDDSClkinNew(), "357.913 941");
    EXPECT_TRUE(r.messages.messages().empty());
}

TEST(DDSCalibration, ZeroOrNonsenseIsRefusedAndKeepsTheNewClock) {
    test::RecordedVfo r;
    r.vfo->setIFFreq(0.0);
    r.vfo->setTunedFreq(50.0);
    r.vfo->setCurrentTuningWord(600000000.0);
    DDSCalibration cal(*r.vfo);
    cal.Form_Load();
    const double first = cal.NewClock();
    for (const char* text : {"0", "0.0000001", "abc", ""}) {
        r.messages.clear();
        cal.txtOfficialFreq_Change(text);
        ASSERT_EQ(r.messages.messages().size(), 1u) << text;
        EXPECT_EQ(r.messages.messages()[0].text, "Official Frequency must not be ZERO");
        EXPECT_EQ(cal.NewClock(), first);
        EXPECT_EQ(cal.lblDDSClkinNew(), "357.913 941");
    }
    cal.txtOfficialFreq_Change("50.000 100"); // grouped as the dialog shows it
    EXPECT_NEAR(cal.NewClock(), 357.913941 * 50.0001 / 50.0, 1e-6);
}

TEST(DDSCalibration, TryThenCancelRestoresTheClock) {
    test::RecordedVfo r;
    r.start();
    r.vfo->setTunedFreq(10.0);
    const std::uint32_t wordBefore = *r.decoder.FrequencyWord();
    DDSCalibration cal(*r.vfo);
    cal.Form_Load();
    cal.txtOfficialFreq_Change("10.001");
    cal.cmdTry_Click();
    EXPECT_NEAR(r.vfo->ClkIn(), cal.NewClock(), 1e-12);
    EXPECT_NE(r.vfo->ClkIn(), 360.096);
    EXPECT_EQ(*r.decoder.FrequencyWord(), wordBefore); // Try sends nothing
    EXPECT_FALSE(cal.Unloaded());
    cal.cmdCancel_Click();
    EXPECT_EQ(r.vfo->ClkIn(), 360.096);
    EXPECT_DOUBLE_EQ(r.vfo->MaxFreq(), 180.048);
    EXPECT_TRUE(cal.ApplyChanges);
    EXPECT_TRUE(cal.Unloaded());
}

TEST(DDSCalibration, ApplyKeepsTheNewClockAndTheNextTuningUsesIt) {
    test::RecordedVfo r;
    r.start();
    r.vfo->setTunedFreq(10.0);
    DDSCalibration cal(*r.vfo);
    cal.Form_Load();
    cal.txtOfficialFreq_Change("10.000500");
    cal.cmdApply_Click();
    EXPECT_TRUE(cal.ApplyChanges);
    EXPECT_NEAR(r.vfo->ClkIn(), cal.NewClock(), 1e-12);
    r.vfo->setTunedFreq(r.vfo->TunedFreq());
    EXPECT_EQ(*r.decoder.FrequencyWord(),
              static_cast<std::uint32_t>(std::llround(4294967296.0 * 55.0 / cal.NewClock())));
}

TEST(DDSCalibration, ATrueClockIsRecoveredFromAHeardStation) {
    // The box's clock really runs at 360.000 MHz, the receiver believes 360.096. Tuned to
    // 10 MHz, the station heard there is really at word x 360 / 2^32 - IF.
    test::RecordedVfo r;
    r.start();
    r.vfo->setTunedFreq(10.0);
    const double word = r.vfo->CurrentTuningWord();
    const double heardMHz = word * 360.0 / 4294967296.0 - 45.0;
    DDSCalibration cal(*r.vfo);
    cal.Form_Load();
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", heardMHz);
    cal.txtOfficialFreq_Change(text);
    cal.cmdApply_Click();
    EXPECT_NEAR(r.vfo->ClkIn(), 360.0, 1e-5); // within the 1 Hz the typed frequency keeps
}

TEST(DDSCalibration, ImageAndLowSideInjection) {
    test::RecordedVfo r;
    r.vfo->setCurrentTuningWord(100000000.0);
    r.vfo->setIFFreq(-10.7);
    r.vfo->setTunedFreq(30.0);
    DDSCalibration cal(*r.vfo);
    cal.Form_Load();
    cal.txtOfficialFreq_Change("30");
    // Low side: the oscillator ran at |30 - 10.7| = 19.3 MHz.
    EXPECT_NEAR(cal.NewClock(), 4294967296.0 * 19.3 / 100000000.0, 1e-9);
    r.vfo->setTuneImage(true);
    cal.txtOfficialFreq_Change("30");
    EXPECT_NEAR(cal.NewClock(), 4294967296.0 * 40.7 / 100000000.0, 1e-9);
}

TEST(DDSCalibration, WithoutAUsableWordTheClockIsLeftAlone) {
    test::RecordedVfo r; // nothing sent yet: word 0
    r.vfo->setTunedFreq(10.0);
    DDSCalibration cal(*r.vfo);
    cal.Form_Load();
    EXPECT_EQ(cal.NewClock(), 0.0);
    cal.cmdTry_Click();
    EXPECT_EQ(r.vfo->ClkIn(), 360.096);
    r.vfo->setCurrentTuningWord(-1.0); // the all-ones word at the Nyquist limit
    DDSCalibration again(*r.vfo);
    again.Form_Load();
    again.cmdApply_Click();
    EXPECT_EQ(r.vfo->ClkIn(), 360.096);
    EXPECT_TRUE(again.ApplyChanges);
}
