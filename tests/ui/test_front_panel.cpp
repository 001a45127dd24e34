// The front panel on the simulated receiver, driven with synthetic mouse, key and wheel events
// on the real widgets (offscreen).
#include "PanelRig.h"
#include "app/EncoderInput.h"
#include "sim/SimulatedReceiver.h"
#include "ui/DisplaySizePanel.h"
#include "ui/FilterPanel.h"
#include "ui/FrequencyPanel.h"
#include "ui/PanelWidgets.h"
#include "ui/PowerPanel.h"
#include "ui/frmMain.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

TEST(FrontPanelTuning, DigitsChooseTheStepAndTheKeysTuneOneStepPerPress) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    app::ReceiverCore& core = *rig.core;
    ad9951& vfo = core.session().vfo();

    rig.hoverDigit(2); // the third digit: 100 kHz
    EXPECT_DOUBLE_EQ(vfo.TuneStep(), 0.1);
    EXPECT_EQ(rig.window->frequency()->rateCaption()->text(), "x 100 KHz");

    // The arrows move the selected digit between 1 kHz and 1 Hz, never further.
    rig.readout()->setFocus();
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(rig.readout(), Qt::Key_Left);
    EXPECT_EQ(core.tuning().model().Highlighted, 4);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(rig.readout(), Qt::Key_Right);
    EXPECT_EQ(core.tuning().model().Highlighted, 7);
    EXPECT_DOUBLE_EQ(vfo.TuneStep(), 0.000001);

    // A key held across two timer ticks tunes exactly one step.
    ASSERT_TRUE(core.tuning().tuneTo(7.0));
    QTest::keyClick(rig.readout(), Qt::Key_Left); // 10 Hz
    QTest::keyPress(rig.readout(), Qt::Key_Up);
    core.tmrTune_Timer();
    core.tmrTune_Timer();
    QTest::keyRelease(rig.readout(), Qt::Key_Up);
    core.tmrTune_Timer();
    EXPECT_NEAR(vfo.TunedFreq(), 7.00001, 1e-9);
    EXPECT_EQ(core.tuning().model().lbl7Seg[0] + core.tuning().model().lbl7Seg[1], "07");

    // Ten clicks through the knob's rate presets come back to 1 kHz.
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(rig.window->frequency()->dialRate(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(vfo.TuneStep(), 0.001);
    EXPECT_EQ(rig.window->frequency()->rateCaption()->text(), "x 1 KHz");

    // Zeroing the Hz digits keeps the tenths.
    ASSERT_TRUE(core.tuning().tuneTo(14.2345678));
    QTest::mouseClick(rig.window->frequency()->scale(2), Qt::LeftButton);
    EXPECT_NEAR(vfo.TunedFreq(), 14.2340008, 1e-9);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 14234000.8, 0.5);
}

// The shaft encoder and the on-screen dial move one knob: encoder steps turn the dial, and the
// dial turned after them tunes the way it is turned.
TEST(FrontPanelTuning, TheDialAndTheShaftEncoderShareOneKnob) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    app::ReceiverCore& core = *rig.core;
    ASSERT_TRUE(core.tuning().tuneTo(7.1));
    core.tuning().setEnableShaftEncoder(true);
    const ShaftEncoder& decoder = core.session().encoder().decoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return decoder.decoding(); }, 10000));
    QDial* dial = rig.window->frequency()->knob();
    const int span = dial->maximum() - dial->minimum() + 1;
    const int at = dial->value();
    sim::SimulatedEncoder& knob = rig.receiver().Encoder();
    for (unsigned n = 1; n <= 5; ++n) {
        knob.step(1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return decoder.stepsUp() == n; }, 10000));
    }
    EXPECT_NEAR(core.session().vfo().TunedFreq(), 7.1005, 1e-9); // 100 Hz a step, rate unlocked
    EXPECT_EQ(core.tuning().model().knobPosition(), 5);
    EXPECT_EQ(dial->value(), (at + 5) % span);
    QTest::keyClick(dial, Qt::Key_Up); // the dial one notch on: up, not back to where it was
    EXPECT_NEAR(core.session().vfo().TunedFreq(), 7.1006, 1e-9);
    EXPECT_EQ(core.tuning().model().knobPosition(), 6);
    knob.step(-1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return decoder.stepsDown() == 1; }, 10000));
    EXPECT_NEAR(core.session().vfo().TunedFreq(), 7.1005, 1e-9);
    EXPECT_EQ(dial->value(), (at + 5) % span);
}

TEST(FrontPanelTuning, TheWheelOverADigitTunesByItsStepThroughTheGear) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.1));
    rig.core->session().vfo().setMouseWheelGearRatio(0);
    rig.hoverDigit(4); // 1 kHz
    for (int i = 0; i < 3; ++i)
        Wheel(rig.readout(), true);
    Wheel(rig.readout(), false);
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 7.102, 1e-9);
}

TEST(FrontPanelTuning, TypedFrequenciesTuneAndBadOnesAreRefused) {
    EXPECT_DOUBLE_EQ(ui::ParseTypedFrequency("7050"), 7.05);
    EXPECT_DOUBLE_EQ(ui::ParseTypedFrequency("7.05"), 7.05);
    EXPECT_DOUBLE_EQ(ui::ParseTypedFrequency("7050 kHz"), 7.05);
    EXPECT_DOUBLE_EQ(ui::ParseTypedFrequency(" 14,2 MHz"), 14.2);
    EXPECT_LT(ui::ParseTypedFrequency("seven"), 0.0);
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    rig.readout()->setFocus();
    QTest::keyClicks(rig.readout(), "9");
    ui::FrequencyPanel* f = rig.window->frequency();
    ASSERT_TRUE(f->entry()->isVisible());
    QTest::keyClicks(f->entry(), "580");
    QTest::keyClick(f->entry(), Qt::Key_Return);
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 9.58, 1e-9);
    EXPECT_FALSE(f->entry()->isVisible());
    QTest::keyClick(rig.readout(), Qt::Key_G, Qt::ControlModifier);
    QTest::keyClicks(f->entry(), "900 MHz");
    QTest::keyClick(f->entry(), Qt::Key_Return);
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 9.58, 1e-9);
    EXPECT_TRUE(rig.messages.contains("The receiver tunes from 0 to"));
    QTest::keyClick(f->entry(), Qt::Key_Escape);
    EXPECT_FALSE(f->entry()->isVisible());
}

TEST(FrontPanelValues, WheelAndRightClickOnAValueLabel) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    ui::ValueLabelWidget* hi = rig.window->filters()->filterHi();
    QTest::mouseMove(hi);
    EXPECT_EQ(rig.core->values().target(), app::WheelEntry::FilterHi);
    // Gear ratio 1 (the start-up value): every second notch acts.
    for (int i = 0; i < 4; ++i)
        Wheel(hi, false, Qt::ControlModifier);
    EXPECT_EQ(rig.core->session().state().FilterHi, 4998);
    EXPECT_EQ(hi->text(), "4998");
    QTest::mouseClick(hi, Qt::RightButton);
    EXPECT_EQ(rig.core->session().state().FilterHi, 5000);
    // Leaving the label for its frame clears the wheel target: the wheel then does nothing.
    QTest::mouseMove(rig.window->filters(), QPoint(2, rig.window->filters()->height() - 3));
    EXPECT_EQ(rig.core->values().target(), app::WheelEntry::None);
    for (int i = 0; i < 4; ++i)
        Wheel(hi, true);
    EXPECT_EQ(rig.core->session().state().FilterHi, 5000);
}

TEST(FrontPanelWindow, EveryControlHasAnAccessibleNameAndTheReadoutSpeaksTheFrequency) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    EXPECT_GT(CheckAccessibleNames(rig.window.get(), rig.window.get()), 50);
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.05));
    QAccessibleInterface* f = QAccessible::queryAccessibleInterface(rig.readout());
    EXPECT_EQ(f->text(QAccessible::Name), "Frequency");
    EXPECT_EQ(f->text(QAccessible::Description), "7.0500000 MHz");
    QAccessibleInterface* v =
        QAccessible::queryAccessibleInterface(rig.window->filters()->filterLo());
    ASSERT_NE(v->valueInterface(), nullptr);
    EXPECT_EQ(v->valueInterface()->currentValue().toDouble(), 50.0);
}

TEST(FrontPanelWindow, DisplaySizesAndTheCloseBoxShutDownLikeClose) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    QTest::mouseClick(rig.window->displaySize()->option(1), Qt::LeftButton); // Std
    QApplication::processEvents();
    const QSize standard = rig.window->size();
    EXPECT_LE(standard.width(), 1366);
    EXPECT_LE(standard.height(), 768 - 40); // room for a desktop panel
    QTest::mouseClick(rig.window->displaySize()->option(2), Qt::LeftButton); // Comp
    QApplication::processEvents();
    EXPECT_LT(rig.window->size().height(), standard.height() / 2);

    QTest::mouseClick(rig.window->power()->button(0), Qt::LeftButton);
    ASSERT_TRUE(rig.core->power().view().PowerOn);
    EXPECT_TRUE(rig.window->power()->button(2)->isHidden());
    rig.window->close();
    EXPECT_TRUE(rig.core->unloaded());
    EXPECT_FALSE(rig.core->session().streaming());
    EXPECT_EQ(rig.store.get("frmMain", "CompactDisplay", ""), "True");
}

} // namespace
} // namespace orvex::test
