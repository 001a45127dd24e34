// The spectrum panel on the simulated receiver: the real widgets offscreen, the pictures they
// show measured, and the pointer, clicks and wheel as a user gives them.
#include "PanelRig.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"
#include "ui/DisplaySizePanel.h"
#include "ui/SpectrumPanel.h"
#include "ui/SpectrumView.h"
#include "ui/WaterfallView.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

// Receiving on the simulated box in display size "Ext" with the spectrum on, log scale.
struct ScopeRig : PanelRig {
    ScopeRig() {
        if (!ok) return;
        QTest::mouseClick(window->displaySize()->option(0), Qt::LeftButton); // Ext
        if (!panel()->onOff()->isChecked()) QTest::mouseClick(panel()->onOff(), Qt::LeftButton);
        if (child<QCheckBox>("chkLog")->isChecked()) click("chkLog");
        QApplication::processEvents();
        core->power().optPwr_Click(0);
    }
    ui::SpectrumPanel* panel() const { return window->spectrum(); }
    ui::SpectrumView* view() const { return panel()->display(); }
    clsSpectrumAnalyser& analyser() const { return *window->analyserEngine(); }
    template <class T>
    T* child(const char* name) const {
        return panel()->findChild<T*>(name);
    }
    void click(const char* name) {
        QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton, {}, QPoint(6, 6));
    }
    std::string readout() const { return view()->readout()->text().toStdString(); }
    double tunedHz() { return receiver().TunedHz().value_or(0.0); }
};

// The trace's highest point in the picture the display shows: the top of the green or yellow
// trace pixels.
QPoint TracePeak(const QImage& image) {
    int bestY = image.height(), sumX = 0, n = 0;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QRgb p = image.pixel(x, y);
            if (qGreen(p) != 255 || qBlue(p) != 0) continue; // not a trace
            if (y < bestY) {
                bestY = y;
                sumX = n = 0;
            }
            if (y == bestY) {
                sumX += x;
                ++n;
            }
            break;
        }
    return n > 0 ? QPoint(sumX / n, bestY) : QPoint(-1, -1);
}

// The column of the newest waterfall line that shows the highest level (colour map index).
int BrightestColumn(const QImage& image) {
    const auto& map = Waterfall::ColourMap();
    int best = -1, bestIndex = -1;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, 0) | 0xFF000000u;
        const auto it = std::find_if(map.begin(), map.end(),
                                     [p](std::uint32_t c) { return (c | 0xFF000000u) == p; });
        const int index = it == map.end() ? -1 : static_cast<int>(it - map.begin());
        if (index > bestIndex) {
            bestIndex = index;
            best = x;
        }
    }
    return best;
}

double ReadoutHz(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return std::stod(text.substr(0, text.find(':')));
}

TEST(SpectrumPanel, AClickAtAStationTunesThereInWholeKilohertzAndTheRightButtonNever) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->power().view().PowerOn);
    // The AM station "Radio Orvex" is 3.7 kHz above; its carrier is the strongest line.
    ASSERT_TRUE(rig.core->tuning().tuneTo(5.5013));
    const std::int64_t frames = rig.core->spectrum().frames();
    rig.run(20);
    EXPECT_EQ(rig.core->spectrum().frames(), frames + 20); // one frame per block
    rig.core->spectrum().tmrSpectrumDisplay_Timer();
    EXPECT_EQ(rig.core->spectrum().frames(), frames + 20); // and never a second one
    const QPoint peak = TracePeak(rig.view()->grab().toImage());
    ASSERT_GE(peak.x(), 0);

    QTest::mouseClick(rig.view(), Qt::RightButton, {}, peak);
    EXPECT_NEAR(rig.tunedHz(), 5501300.0, 1.0);
    QTest::mouseClick(rig.view(), Qt::LeftButton, {}, peak);
    EXPECT_NEAR(rig.tunedHz(), 5505000.0, 1.0);

    // The waterfall's newest line is brightest in the station's column; a click there tunes
    // as the trace does.
    ASSERT_TRUE(rig.core->tuning().tuneTo(5.5013));
    rig.run(3);
    ui::WaterfallView* fall = rig.panel()->waterfall();
    ASSERT_TRUE(fall->isVisible());
    const int column = BrightestColumn(fall->grab().toImage());
    EXPECT_NEAR(column, peak.x(), 2);
    QTest::mouseClick(fall, Qt::LeftButton, {}, QPoint(column, fall->height() / 2));
    EXPECT_NEAR(rig.tunedHz(), 5505000.0, 1.0);

    // In "Std" the spectrum does not run: no frame is drawn.
    QTest::mouseClick(rig.window->displaySize()->option(1), Qt::LeftButton);
    const std::int64_t before = rig.core->spectrum().frames();
    rig.run(3);
    EXPECT_EQ(rig.core->spectrum().frames(), before);
    EXPECT_FALSE(rig.analyser().Active());
}

TEST(SpectrumPanel, AfOutShowsAudioFrequencyRisingToTheRightAndDoesNotTune) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->tuning().tuneTo(5.5013));
    rig.click("optSpectrumSource3");
    EXPECT_EQ(rig.core->session().state().SpectrumSource, 3);
    rig.run(10);
    auto labels = rig.analyser().FrequencyLabels();
    ASSERT_GE(labels.size(), 10u);
    std::sort(labels.begin(), labels.end(),
              [](const GraticuleLabel& a, const GraticuleLabel& b) { return a.X < b.X; });
    EXPECT_LT(labels.front().Value, 200.0); // 0 Hz at the left edge
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_NE(labels[i].Text.find('.'), std::string::npos) << labels[i].Text; // kHz, x.x
        EXPECT_LE(labels[i].Value, 6030.0);
        if (i > 0) {
            EXPECT_GT(labels[i].Value, labels[i - 1].Value);
        }
    }
    EXPECT_GT(labels.back().Value, 5500.0); // the audio band fills the display
    const QPoint middle(rig.view()->width() / 2, 30);
    QTest::mouseMove(rig.view(), middle);
    EXPECT_TRUE(rig.view()->readout()->isVisible());
    EXPECT_EQ(rig.readout().find_first_not_of("0123456789"), std::string::npos) << rig.readout();
    EXPECT_NEAR(ReadoutHz(rig.readout()), 3000.0, 30.0);
    QTest::mouseClick(rig.view(), Qt::LeftButton, {}, middle);
    EXPECT_NEAR(rig.tunedHz(), 5501300.0, 1.0);
}

TEST(SpectrumPanel, TheNotchMarkerStandsWhereAnAudioNotchActs) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.1));
    rig.core->controls().setCheck(ChainCheck::NotchOn, true); // at audio, 1000 Hz
    clsSpectrumAnalyser& a = rig.analyser();
    const auto drawnAt = [&](float hz) { return a.Axis().FrequencyOfBin(hz / a.HzPerBin()); };
    // On the IF: where the signal lies that the detector makes 1 kHz of.
    rig.core->controls().optMode_Click(kModeUSB);
    rig.run(2);
    ASSERT_TRUE(a.ShowNotch());
    EXPECT_NEAR(drawnAt(a.NotchCentre()), 7101000.0, 25.0);
    EXPECT_LT(a.SecondNotchCentre(), 0.0f);
    rig.core->controls().optMode_Click(kModeAM); // both sidebands
    rig.run(1);
    EXPECT_NEAR(drawnAt(std::min(a.NotchCentre(), a.SecondNotchCentre())) +
                    drawnAt(std::max(a.NotchCentre(), a.SecondNotchCentre())),
                2 * 7100000.0, 50.0);
    EXPECT_NEAR(std::fabs(drawnAt(a.NotchCentre()) - drawnAt(a.SecondNotchCentre())), 2000.0, 50.0);
    rig.core->controls().optMode_Click(kModeFM); // no one place: no marker
    rig.run(1);
    EXPECT_FALSE(a.ShowNotch());
    rig.click("optSpectrumSource3"); // the audio itself
    rig.run(1);
    ASSERT_TRUE(a.ShowNotch());
    EXPECT_NEAR(drawnAt(a.NotchCentre()), 1000.0, 1.0);
}

TEST(SpectrumPanel, TheReadoutFollowsThePointerAndNamesWhatIsDrawnThere) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.1));
    rig.run(2);
    const auto check = [&](const char* window) {
        const auto& labels = rig.analyser().FrequencyLabels();
        ASSERT_GE(labels.size(), 10u) << window;
        for (const GraticuleLabel& l : labels) {
            const QPoint at(static_cast<int>(std::lround(l.X)), 40);
            QTest::mouseMove(rig.view(), at);
            QLabel* r = rig.view()->readout();
            ASSERT_TRUE(r->isVisible());
            // Within a pixel's worth of the frequency the label names.
            EXPECT_NEAR(ReadoutHz(rig.readout()), l.Value, 25.0) << window << " " << l.Text;
            EXPECT_EQ(r->accessibleDescription(), r->text());
            // Beside the pointer, or pulled back inside at the right edge.
            EXPECT_TRUE(r->x() == at.x() + 17 || r->geometry().right() == rig.view()->width() - 1)
                << r->x();
        }
    };
    check("full");
    // A narrowed window: 201 bins (about 4.7 kHz) a third of the way up the IF.
    rig.core->values().valueSet(app::WheelEntry::ScopeWidth, 200);
    rig.core->values().valueSet(app::WheelEntry::ScopeCentre, 350);
    rig.run(1);
    EXPECT_EQ(rig.analyser().StartBin(), 250);
    check("narrow");
    QTest::mouseMove(rig.panel(), QPoint(2, 2));
    EXPECT_FALSE(rig.view()->readout()->isVisible());
}

TEST(SpectrumPanel, TheWheelOverTheScopeTunesOneStepChosenByHeight) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.1));
    rig.core->spectrum().setWheelOverScope(true);
    rig.core->session().vfo().setMouseWheelGearRatio(0);
    QTest::mouseMove(rig.view(), QPoint(100, 0)); // the top: 1 kHz
    EXPECT_EQ(rig.core->values().target(), app::WheelEntry::ScopeTuning);
    EXPECT_NE(rig.readout().find(" : 1000"), std::string::npos) << rig.readout();
    Wheel(rig.view(), true, Qt::NoModifier, QPoint(100, 0));
    EXPECT_TRUE(rig.core->tuning().model().TuneUpPending);
    rig.core->tmrTune_Timer();
    rig.core->tmrTune_Timer();
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 7.101, 1e-9);
    QTest::mouseMove(rig.view(), QPoint(100, rig.view()->height() - 1)); // the bottom: 10 Hz
    EXPECT_NE(rig.readout().find(" : 10"), std::string::npos) << rig.readout();
    Wheel(rig.view(), false, Qt::NoModifier, QPoint(100, rig.view()->height() - 1));
    rig.core->tmrTune_Timer();
    EXPECT_NEAR(rig.core->session().vfo().TunedFreq(), 7.10099, 1e-9);
}

TEST(SpectrumPanel, TimeModeShowsItsControlsAndKeepsOneTriggerChosen) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    rig.click("chkScopeMode1");
    QApplication::processEvents();
    EXPECT_EQ(rig.analyser().Mode(), 1);
    EXPECT_FALSE(rig.child<QWidget>("frScopeYMode")->isVisible());
    EXPECT_FALSE(rig.panel()->waterfall()->isVisible());
    EXPECT_TRUE(rig.analyser().FastMode());
    EXPECT_FALSE(rig.analyser().LogMode());
    EXPECT_EQ(rig.child<QGroupBox>("frScopeSweep")->title(), "Timebase");
    auto* trig1 = rig.child<QCheckBox>("chkTrigOn1");
    ASSERT_TRUE(trig1->isVisible());
    rig.click("chkTrigOn1");
    rig.click("chkTrigOn1");
    EXPECT_TRUE(trig1->isChecked());
    EXPECT_EQ(rig.analyser().TriggerChn(), 1);
    rig.core->values().valueSet(app::WheelEntry::ScopeWidth, 0); // held at ten samples
    EXPECT_EQ(rig.analyser().ScreenWidth(), 10);
    rig.click("chkScopeMode0");
    EXPECT_TRUE(rig.panel()->waterfall()->isVisible());
}

TEST(SpectrumPanel, EveryControlIsNamedForScreenReaders) {
    ScopeRig rig;
    ASSERT_TRUE(rig.ok);
    int checked = 0;
    for (int mode : {0, 1}) {
        rig.core->spectrum().chkScopeMode_Click(mode);
        checked += CheckAccessibleNames(rig.panel(), rig.window.get());
    }
    EXPECT_GT(checked, 40);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(rig.view())->text(QAccessible::Name),
              "Spectrum display");
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(rig.panel()->waterfall())->text(QAccessible::Name),
        "Waterfall");
}

} // namespace
} // namespace orvex::test
