// The window's controllers through their own interfaces, on the simulated receiver: the wheel
// table, the tuning area (knob, readout, typed frequencies), the configuration form, the path
// of a change from a verb back to every area that shows it, and Close while the receiver is
// busy.
#include "CoreRig.h"
#include "app/ConfigForm.h"
#include "core/Format.h"
#include "core/YieldHook.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <type_traits>

namespace orvex::test {
namespace {

using app::WheelEntry;

// Entries point at their own labels: a copied table would point into the one it came from.
static_assert(!std::is_copy_constructible_v<app::ValueTable>);
static_assert(!std::is_copy_assignable_v<app::ValueTable>);

TEST(ValueTable, BoundLabelsShareOneValueAndTheRulesStepLimitAndReset) {
    app::ValueTable t;
    ValueLabel owned; // kept by another object, as the chain keeps its labels
    t.bind(WheelEntry::NotchWidth, owned);
    t.define(WheelEntry::NotchWidth, 0, 100, 20, 1, 10, 50, "#0 Hz", true);
    int applied = 0;
    t.entry(WheelEntry::NotchWidth).Apply = [&] { ++applied; };
    owned.Value = 95;
    t.wheel(WheelEntry::NotchWidth, {true, false, false, 0, 0}); // +10, held at 100
    EXPECT_EQ(owned.Value, 100.0f);
    EXPECT_EQ(owned.Caption, "100 Hz");
    t.wheel(WheelEntry::NotchWidth, {false, true, true, 0, 0}); // Ctrl wins over Shift: -1
    EXPECT_EQ(owned.Value, 99.0f);
    t.set(WheelEntry::NotchWidth, -40); // a typed value is held inside the range
    EXPECT_EQ(owned.Value, 0.0f);
    t.rightClick(WheelEntry::NotchWidth);
    EXPECT_EQ(owned.Value, 20.0f);
    EXPECT_EQ(applied, 4);
    // An entry with its own reset uses it instead of the default.
    int resets = 0;
    t.entry(WheelEntry::NotchWidth).Reset = [&] { ++resets; };
    t.rightClick(WheelEntry::NotchWidth);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(applied, 4);
    // No entry, and numbers beyond the table, change nothing.
    t.wheel(WheelEntry::None, {true, false, false, 0, 0});
    t.setTarget(static_cast<WheelEntry>(99));
    EXPECT_EQ(t.target(), WheelEntry::None);
}

TEST(TuningArea, TheKnobTunesOneStepPerDetentAndTheBoxFollows) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::TuningController& tuning = rig.core->tuning();
    ASSERT_TRUE(tuning.tuneTo(7.0));
    int shown = 0;
    QObject counting; // ends the connections before the counters go
    QObject::connect(&tuning, &app::TuningController::changed, &counting, [&] { ++shown; });
    // Unlocked, the knob tunes 100 Hz a detent, in the direction turned.
    tuning.digitHover(5);
    tuning.knobChanged(1);
    tuning.knobChanged(2);
    tuning.knobChanged(1);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7000100.0, 0.5);
    // Locked on the 10 kHz digit, a detent is 10 kHz on the 10 kHz grid.
    tuning.digitClick(3);
    tuning.knobChanged(0);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 6990000.0, 0.5);
    EXPECT_EQ(tuning.model().spokenFrequency(), "6.9900000 MHz");
    EXPECT_GE(shown, 5);
    // Pointing at the readout's background leaves no wheel target.
    EXPECT_EQ(rig.core->values().target(), WheelEntry::Frequency);
    tuning.readoutHover();
    EXPECT_EQ(rig.core->values().target(), WheelEntry::None);
    // Beyond the synthesiser's reach: refused with the range, nothing sent.
    std::string why;
    EXPECT_FALSE(tuning.tuneTo(tuning.maxTunableMHz() + 1.0, &why));
    EXPECT_NE(why.find("The receiver tunes from 0 to"), std::string::npos) << why;
    EXPECT_NEAR(*rig.receiver().TunedHz(), 6990000.0, 0.5);
}

TEST(Verbs, AChangeFromAnyCallerReachesEveryAreaThatShowsIt) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& core = *rig.core;
    int controls = 0, tuning = 0;
    QObject counting; // ends the connections before the counters go
    QObject::connect(&core.controls(), &app::ControlsController::changed, &counting,
                     [&] { ++controls; });
    QObject::connect(&core.tuning(), &app::TuningController::changed, &counting, [&] { ++tuning; });
    // A remote client: the readout shows its frequency, the mode buttons its mode.
    app::RigControl& rig2 = core.remote().rig();
    ASSERT_TRUE(rig2.setFrequencyHz(9575000));
    rig2.setDemodMode(kModeUSB);
    EXPECT_GT(tuning, 0);
    EXPECT_GT(controls, 0);
    std::string shown;
    for (const std::string& d : core.tuning().model().lbl7Seg)
        shown += d;
    EXPECT_EQ(shown, "095750000");
    EXPECT_EQ(core.session().state().optMode.Selected, kModeUSB);
    // The statistics' LO follows the readout.
    EXPECT_EQ(core.stats().view().lblStatsVal[3],
              FormatNumber(core.session().vfo().FreqOut(), "#0.##0 ##0 0 MHz"));
    // A recalled preset's image flag reaches the synthesiser's own flag (calibration uses it).
    core.bands().presetTarget().setImage(true);
    EXPECT_TRUE(core.session().vfo().TuneImage());
}

TEST(ConfigForm, ApplyChecksTheIFAndClockAndSetsTheOtherAreasOptions) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& core = *rig.core;
    ASSERT_TRUE(core.tuning().tuneTo(7.1));
    const double ifBefore = core.session().vfo().IFFreq();
    {
        app::ConfigForm form(core.config());
        form.Form_Load();
        EXPECT_EQ(form.cboCapIndex, form.simulatedEntry());
        EXPECT_TRUE(form.SimOptionsEnabled);
        form.txtIFFrequency = "190 000 000"; // above half the clock: nothing to tune
        EXPECT_FALSE(form.cmdApply_Click());
        EXPECT_TRUE(rig.messages.contains("IF Frequency must be below half the DDS clock"));
        EXPECT_DOUBLE_EQ(core.session().vfo().IFFreq(), ifBefore);
    }
    app::ConfigForm form(core.config());
    form.Form_Load();
    const auto wordBefore = rig.receiver().TuningWord();
    form.txtDDSClkin = "400 000 000"; // a new clock: the same frequency, its own word
    form.chkEnableEncoder = true;
    form.chkScrollWheelEnableOverScope = true;
    ASSERT_TRUE(form.cmdOK_Click());
    ASSERT_TRUE(rig.receiver().TuningWord().has_value());
    EXPECT_NE(rig.receiver().TuningWord(), wordBefore);
    const double lo = 7.1 + core.session().vfo().IFFreq();
    EXPECT_EQ(*rig.receiver().TuningWord(),
              static_cast<std::uint32_t>(std::llround(4294967296.0 * lo / 400.0)));
    EXPECT_TRUE(core.tuning().enableShaftEncoder());
    EXPECT_TRUE(core.spectrum().wheelOverScope());
    core.config().configClosed();
    EXPECT_EQ(core.window().view().lblCLKINFreq, "400.000 000");
    app::ConfigForm again(core.config());
    again.Form_Load();
    EXPECT_TRUE(again.chkEnableEncoder && again.chkScrollWheelEnableOverScope);
    EXPECT_EQ(again.txtDDSClkin, "400000000");
}

// Close (a desktop logout, Ctrl-C) can arrive while a tuning word is being sent and the send
// lets the event loop run: the receiver is not pulled from under the word; Close follows it.
TEST(Shutdown, CloseDuringATuningWordWaitsForItAndThenSavesIt) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& core = *rig.core;
    core.session().vfo().Lines().setBitPeriodNs(200000); // a word takes a while
    ScopedYieldHook yield([] { QCoreApplication::processEvents(); });
    bool closed = false;
    QObject counting; // ends the connections before the counters go
    QObject::connect(&core, &app::ReceiverCore::closeRequested, &counting, [&] { closed = true; });
    bool closeSent = false, sendingThen = false;
    QTimer::singleShot(0, &core, [&] {
        closeSent = true;
        sendingThen = core.session().vfo().Sending();
        core.power().optPwr_Click(2);
    });
    ASSERT_TRUE(core.remote().rig().setFrequencyHz(7123000)); // Close arrives during the send
    ASSERT_TRUE(closeSent && sendingThen);
    EXPECT_FALSE(closed);
    EXPECT_FALSE(core.unloaded());
    QEventLoop wait;
    QObject::connect(&core, &app::ReceiverCore::closeRequested, &wait, &QEventLoop::quit);
    QTimer::singleShot(10000, &wait, &QEventLoop::quit); // a bound, never reached when it works
    if (!closed) wait.exec();
    EXPECT_TRUE(closed);
    EXPECT_EQ(rig.store.get("VFO1", "TunedFreq", ""), "7123000");
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7123000.0, 0.5);
}

// After shutdown no change reaches a panel: the statistics and the meter stay as they were.
TEST(Shutdown, NothingIsShownAfterCloseEvenWhenABlockIsStillDue) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& core = *rig.core;
    core.power().optPwr_Click(0);
    rig.run(3);
    core.power().optPwr_Click(2);
    ASSERT_TRUE(core.unloaded());
    int meter = 0, stats = 0;
    QObject counting; // ends the connections before the counters go
    QObject::connect(&core.stats(), &app::StatsController::meterChanged, &counting,
                     [&] { ++meter; });
    QObject::connect(&core.stats(), &app::StatsController::changed, &counting, [&] { ++stats; });
    Q_EMIT core.session().statisticsUpdated(); // a statistics run that was already queued
    core.spectrum().tmrSpectrumDisplay_Timer();
    EXPECT_EQ(meter, 0);
    EXPECT_EQ(stats, 0);
}

} // namespace
} // namespace orvex::test
