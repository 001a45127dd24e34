// The front panel tells the truth and keeps what the listener set: figures read from the real
// widgets and through the accessibility interface after clicks, wheel notches and accessible
// actions, and a restart of the window on the settings the first run saved.
#include "PanelRig.h"
#include "core/IniSettingsStore.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"
#include "dsp/ReceiveChain.h"
#include "ui/DisplaySizePanel.h"
#include "ui/FilterPanel.h"
#include "ui/FrequencyPanel.h"
#include "ui/SpectrumPanel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDial>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QWindow>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

template <typename T = QWidget>
T* Child(QWidget* in, const char* name) {
    T* w = in->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

std::string Text(QWidget* in, const char* name) {
    return Child<QLabel>(in, name)->text().toStdString();
}

// An accessible action as a screen reader or voice control sends it.
void Act(QWidget* w, const QString& action) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->actionInterface(), nullptr) << w->objectName().toStdString();
    a->actionInterface()->doAction(action);
}

// A click on a check box's indicator or a button, as a pointer gives it.
void Click(QWidget* in, const char* name) {
    auto* b = Child<QAbstractButton>(in, name);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// The pointer moved over the middle of `w`, as the window system reports it to the window.
void PointAt(QWidget* w) {
    QTest::mouseMove(w->window()->windowHandle(), w->mapTo(w->window(), w->rect().center()));
}

double AccessibleValue(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->valueInterface()->currentValue().toDouble();
}

TEST(PanelTruth, TheAFFilterFiguresFollowEveryChangeOfTheFilter) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    QWidget* w = rig.window.get();
    const ReceiveState& s = rig.core->session().state();
    // From the start the edges beside the sliders show the restored filter.
    EXPECT_EQ(Text(w, "lblFLo"), "50");
    EXPECT_EQ(Text(w, "lblFHi"), "5000");
    EXPECT_EQ(Child<QAbstractButton>(w, "optFilter2")->text(), "2.0 kHz");

    Click(w, "optFilter1"); // "400 Hz"
    EXPECT_EQ(Text(w, "lblFLo"), "200");
    EXPECT_EQ(Text(w, "lblFHi"), "600");
    EXPECT_EQ(rig.window->filters()->filterHi()->text(), "600");
    EXPECT_EQ(rig.window->filters()->slider(1)->toolTip(), "Fhi : 600 Hz");
    EXPECT_EQ(rig.window->filters()->slider(1)->value(), 6000 - 600);

    // A wheel notch starts from the edge in force.
    rig.core->session().vfo().setMouseWheelGearRatio(0);
    ui::ValueLabelWidget* hi = rig.window->filters()->filterHi();
    QTest::mouseMove(hi);
    Wheel(hi, true);
    EXPECT_EQ(s.FilterHi, 610);
    EXPECT_EQ(Text(w, "lblFHi"), "610");
    EXPECT_EQ(AccessibleValue(hi), 610.0);

    // The dynamic filter, switched off, gives back the preset's edges, and the figures say so.
    Click(w, "chkDynFilter");
    Click(w, "chkDynFilter");
    EXPECT_EQ(s.FilterHi, 600);
    EXPECT_EQ(Text(w, "lblFHi"), "600");
    EXPECT_EQ(AccessibleValue(hi), 600.0);
    EXPECT_EQ(rig.window->filters()->slider(1)->value(), 6000 - 600);

    // Music mode lowers the low edge, and every figure shows it.
    Click(w, "chkMusic");
    EXPECT_EQ(Text(w, "lblFLo"), "50");
    EXPECT_EQ(AccessibleValue(rig.window->filters()->filterLo()), 50.0);
    EXPECT_EQ(rig.window->filters()->slider(0)->toolTip(), "Flo : 50 Hz");
}

TEST(PanelTruth, AnIFNotchCentreIsAnOffsetFromTheIFOverItsWholeRange) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    QWidget* w = rig.window.get();
    const ReceiveState& s = rig.core->session().state();
    rig.core->power().optPwr_Click(0);
    Click(w, "chkNotchOn");
    Click(w, "chkNotchType"); // at IF
    auto* slider = Child<QSlider>(w, "sldNotch");
    EXPECT_EQ(slider->minimum(), -6000);
    EXPECT_EQ(slider->maximum(), 6000);
    slider->setValue(-2500);
    EXPECT_EQ(Text(w, "lblNotchC"), "-2500");
    EXPECT_EQ(s.NotchCentre, 12000 - 2500);
    rig.run(2); // the statistics timer redesigns the notch
    const clsFFTFilter& notch = rig.core->session().chain().NotchFilter();
    EXPECT_EQ(notch.FLow + notch.FHigh, 2 * (12000 - 2500));
    // Back at audio the slider is an audio frequency again.
    Click(w, "chkNotchType");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->value(), static_cast<int>(s.lblNotchC.Value));
    EXPECT_EQ(s.NotchCentre, slider->value());
}

TEST(PanelTruth, TheReadoutShowsEveryDigitAndItsZeroingKeepsTheHundreds) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->tuning().tuneTo(123.4567891));
    const app::TuningModel& t = rig.core->tuning().model();
    std::string shown = t.lbl7SegHigh;
    for (const std::string& d : t.lbl7Seg)
        shown += d;
    EXPECT_EQ(shown, "1234567891");
    QAccessibleInterface* f = QAccessible::queryAccessibleInterface(rig.readout());
    EXPECT_EQ(f->text(QAccessible::Description), "123.4567891 MHz");
    // The hundreds are drawn left of digit 0, which keeps its place and its step (10 MHz).
    const QRect tens = rig.readout()->digitRect(0);
    const QImage drawn = rig.readout()->grab().toImage();
    int lit = 0;
    for (int x = tens.left() - tens.width(); x < tens.left(); ++x)
        for (int y = tens.top(); y <= tens.bottom(); ++y)
            lit += qRed(drawn.pixel(x, y)) > 128 ? 1 : 0;
    EXPECT_GT(lit, 10);
    rig.hoverDigit(0);
    EXPECT_DOUBLE_EQ(rig.core->session().vfo().TuneStep(), 10.0);
    // Each zeroing label stands under the digits it zeroes, the hundreds included.
    const int first[3] = {0, 2, 5}, last[3] = {1, 4, 8};
    for (int k = 0; k < 3; ++k) {
        const QLabel* l = rig.window->frequency()->scale(k);
        const int centre = rig.readout()->mapFromGlobal(l->mapToGlobal(l->rect().center())).x();
        EXPECT_GT(centre, rig.readout()->digitRect(first[k]).left() - (k == 0 ? tens.width() : 0));
        EXPECT_LT(centre, rig.readout()->digitRect(last[k]).right()) << k;
    }
    QTest::mouseClick(rig.window->frequency()->scale(1), Qt::LeftButton); // the kHz digits
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 123.0007891, 1e-9);
    EXPECT_EQ(f->text(QAccessible::Description), "123.0007891 MHz");
    // The knob's click steps its rate presets and tunes nothing.
    QTest::mouseClick(rig.window->frequency()->knob(), Qt::LeftButton);
    EXPECT_EQ(t.DialRatePreset, 1);
    EXPECT_DOUBLE_EQ(rig.core->session().vfo().TuneStep(), 0.0005);
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 123.0007891, 1e-9);
}

TEST(PanelTruth, TheWheelActsOnlyOnTheValueUnderThePointer) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    QWidget* w = rig.window.get();
    rig.core->session().vfo().setMouseWheelGearRatio(0);
    auto* delay = Child<ui::ValueLabelWidget>(w, "lblAGCAttack");
    Click(w, "chkAGC");
    PointAt(Child(w, "frAGC")); // the pointer comes into the window over the AGC frame
    PointAt(delay);
    EXPECT_EQ(rig.core->values().target(), app::WheelEntry::AGCDelay);
    const float before = rig.core->session().state().lblAGCAttack.Value;
    auto* slow = Child<QAbstractButton>(w, "optAGC3");
    PointAt(slow);
    Wheel(slow, true);
    EXPECT_EQ(rig.core->session().state().lblAGCAttack.Value, before);
    EXPECT_EQ(rig.core->values().target(), app::WheelEntry::None);
}

TEST(PanelTruth, EveryCheckableControlActsAlikeThroughItsAccessibleActions) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    QWidget* w = rig.window.get();
    app::ReceiverCore& core = *rig.core;
    const ReceiveState& s = core.session().state();
    const QString toggle = QAccessibleActionInterface::toggleAction();

    auto* full = rig.window->displaySize()->option(3);
    Act(full, toggle);
    EXPECT_EQ(core.window().view().DisplaySize, 3);
    EXPECT_TRUE(full->isChecked());
    EXPECT_TRUE(Child(w, "frSpectrum")->isVisibleTo(w));

    Act(Child(w, "optMode1"), toggle);
    EXPECT_EQ(s.CurrentDemodMode, kModeUSB);
    Act(Child(w, "chkAGC"), toggle);
    EXPECT_TRUE(s.AGCON);
    Act(Child(w, "chkNotchOn"), toggle);
    EXPECT_TRUE(s.NotchActive);
    // The press action clicks after its animation, as a pointer's click does.
    auto* narrow = Child<QAbstractButton>(w, "optFilter1");
    Act(narrow, QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(s.CurrentFilterMode, 1);
    EXPECT_TRUE(narrow->isChecked());
    // Toggling the chosen button off chooses it again: it never shows off while in force.
    Act(narrow, toggle);
    EXPECT_EQ(s.CurrentFilterMode, 1);
    EXPECT_TRUE(narrow->isChecked());
    // A button the receiver ignores (an IF filter mode while the IF filter is off) stays off.
    auto* track = Child<QAbstractButton>(w, "optIFFilter2");
    Act(track, toggle);
    EXPECT_FALSE(track->isChecked());
    EXPECT_EQ(s.CurrentIFFilterMode, 1);

    Act(Child(w, "chkScopeMode1"), toggle);
    EXPECT_EQ(rig.window->analyserEngine()->Mode(), 1);
    Act(Child(w, "optSpectrumSource3"), toggle);
    EXPECT_EQ(s.SpectrumSource, 3);
    Act(Child(w, "chkWaterfall"), toggle);
    EXPECT_FALSE(rig.window->waterfallEngine()->Enabled());
    Act(Child(w, "chkSpectrumAnalyser"), toggle);
    EXPECT_TRUE(core.spectrum().analyserOn());

    // A sub-band and a preset recall as a left click does.
    auto* sub = Child<QAbstractButton>(w, "optSubBand1");
    ASSERT_TRUE(sub->isVisibleTo(w));
    Act(sub, toggle);
    EXPECT_EQ(core.bands().view().SelectedSubBand, 1);
    EXPECT_TRUE(sub->isChecked());
    const double before = core.session().vfo().TunedFreq();
    for (int p = 0; p < 12; ++p) {
        auto* preset = Child<QAbstractButton>(w, QString("optPreset%1").arg(p).toUtf8());
        if (!preset->isVisibleTo(w) || preset->text().startsWith('P') ||
            p == core.bands().view().SelectedPreset)
            continue;
        Act(preset, toggle);
        EXPECT_EQ(core.bands().view().SelectedPreset, p);
        EXPECT_TRUE(preset->isChecked());
        break;
    }
    EXPECT_NE(core.session().vfo().TunedFreq(), before);
}

// Changed on the panel, kept over a close with the close box and a new start on the settings
// file the first run wrote.
TEST(PanelTruth, WhatTheListenerSetComesBackAfterARestart) {
    std::unique_ptr<IniSettingsStore> file; // outlives the rig's core
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    const auto startOnFile = [&] {
        rig.window.reset();
        rig.core.reset();
        file = std::make_unique<IniSettingsStore>(rig.path("settings.ini"));
        ASSERT_TRUE(file->load());
        rig.core = std::make_unique<app::ReceiverCore>(*file, rig.options);
        rig.window = std::make_unique<ui::frmMain>(*rig.core);
        ASSERT_TRUE(rig.window->start());
        rig.window->show();
    };
    startOnFile();
    ASSERT_FALSE(HasFatalFailure());
    QWidget* w = rig.window.get();
    QTest::mouseClick(rig.window->displaySize()->option(0), Qt::LeftButton); // Ext
    const auto setValue = [&](const char* name, double v) {
        QAccessible::queryAccessibleInterface(Child(w, name))->valueInterface()->setCurrentValue(v);
    };
    Click(w, "chkWaterfall"); // off
    setValue("lblScopeXWidth", 300);
    setValue("lblSpectrumSmooth", 4);
    Child<QSlider>(w, "sldSpectrumGain")->setValue(6); // +24 dB
    Click(w, "chkScopeMode1");                         // the oscilloscope
    Click(w, "chkDynFilter");
    Click(w, "optFilter3");
    Click(w, "chkMusic");
    Click(w, "chkAGC");
    Click(w, "optAGC1"); // Fast, with a delay of its own ...
    setValue("lblAGCAttack", 40);
    Click(w, "optAGC3"); // ... then Slow
    Click(w, "chkRecordIF");
    rig.window->close(); // the close box
    ASSERT_TRUE(rig.core->unloaded());

    startOnFile(); // what reached the disk, read by a new store
    ASSERT_FALSE(HasFatalFailure());
    w = rig.window.get();
    const ReceiveState& s = rig.core->session().state();
    EXPECT_TRUE(Child<QAbstractButton>(w, "chkScopeMode1")->isChecked());
    EXPECT_TRUE(Child<QAbstractButton>(w, "chkRecordIF")->isChecked());
    EXPECT_EQ(rig.window->analyserEngine()->Mode(), 1);
    EXPECT_FALSE(Child<QAbstractButton>(w, "chkWaterfall")->isChecked());
    EXPECT_FALSE(rig.window->waterfallEngine()->Enabled());
    EXPECT_EQ(AccessibleValue(Child(w, "lblScopeXWidth")), 300.0);
    EXPECT_EQ(AccessibleValue(Child(w, "lblSpectrumSmooth")), 4.0);
    EXPECT_EQ(rig.window->analyserEngine()->SpectrumSmooth(), 4);
    EXPECT_EQ(Child<QSlider>(w, "sldSpectrumGain")->value(), 6);
    EXPECT_EQ(rig.window->analyserEngine()->Gain(), 16.0f);
    EXPECT_TRUE(Child<QAbstractButton>(w, "chkDynFilter")->isChecked());
    EXPECT_TRUE(s.DynFilterOn);
    // Music mode came back on "3.2 kHz" and gives back that preset's own low edge.
    EXPECT_TRUE(Child<QAbstractButton>(w, "chkMusic")->isChecked());
    EXPECT_EQ(Text(w, "lblFLo"), "50");
    Click(w, "chkMusic");
    EXPECT_EQ(Text(w, "lblFLo"), "300");
    Click(w, "optAGC1");
    EXPECT_EQ(AccessibleValue(Child(w, "lblAGCAttack")), 40.0);
}

} // namespace
} // namespace orvex::test
