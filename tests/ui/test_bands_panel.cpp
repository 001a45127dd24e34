// Bands, sub-bands and presets on the front panel and the preset editors, on the simulated
// receiver: synthetic mouse and key events on the real widgets (offscreen), the receiver's
// decoded tuning word, and the band-plan files written at Close.
#include "../app/CoreRig.h"
#include "dsp/ReceiveChain.h"
#include "ui/BandsPanel.h"
#include "ui/frmEditUserPreset.h"
#include "ui/frmMain.h"
#include "ui/frmPresetDesc.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace orvex::test {
namespace {

struct BandsRig : CoreRig {
    /// The rig's band-plan folder holds the shipped amateur HF plan only.
    BandsRig() : CoreRig({"orvexsdr"}, false) {
        QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/Amateur-HF.bpl",
                    dir.filePath("bandplans/Amateur-HF.bpl"));
    }
    /// Starts a core and its window on the rig's store and band-plan folder.
    bool open() {
        core = std::make_unique<app::ReceiverCore>(store, options);
        window = std::make_unique<ui::frmMain>(*core);
        const bool ok = window->start();
        if (ok) core->session().vfo().Lines().setBitPeriodNs(0);
        window->show();
        return ok;
    }
    /// Close as the user does, then the objects go; the store and the plans stay.
    void close() {
        window->close();
        window.reset();
        core.reset();
    }
    ui::BandsPanel& panel() { return *window->bands(); }
    const app::BandsView& view() { return core->bands().view(); }
    const ReceiveState& rx() { return core->session().state(); }
    PresetInfo& preset(int p) {
        auto& band = core->bands().model().MainBands[core->bands().model().CurrentMainBandIndex];
        return band.SubBands[band.ActiveSubBand].Presets[p];
    }
    std::string file(const char* name) {
        std::ifstream in(path((std::string("bandplans/") + name).c_str()));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::unique_ptr<ui::frmMain> window; // goes before the core
};

QString FirstLine(const QString& text) {
    return text.section('\n', 0, 0);
}

// Runs `act` on the preset editor once it is showing modally (exec() waits in its own loop).
void OnEditor(std::function<void(ui::frmEditUserPreset&)> act, int tries = 50) {
    QTimer::singleShot(10, [act, tries] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<ui::frmEditUserPreset*>(w); d && d->isVisible()) {
                act(*d);
                return;
            }
        if (tries > 0) OnEditor(act, tries - 1);
    });
}

// A plan of 17 sub-bands in use (and a spare one, also in use, that is not shown); sub-band 0
// has a used preset but no active one, sub-band 1 its preset 0 active.
void WriteTestPlan(const std::string& path) {
    std::ofstream out(path);
    out << "[MainBand]\nCaption=Test plan\nActive=False\nActiveSubBand=0\nNumSubBands=17\n";
    for (int s = 0; s <= 17; ++s)
        out << "[SubBand." << s << "]\nCaption=A" << s << "\nDescription=Test band " << s
            << "\nActivePreset=" << (s == 0 ? -1 : 0) << "\nFreqMin=" << (s + 1) * 1000000
            << "\nFreqMax=" << (s + 1) * 1000000 + 500000
            << "\nFreqCurrent=" << (s + 1) * 1000000 + 1000 << "\n";
    out << "[Preset.0.0]\nDescription=Zero\nDemodMode=0\nFreqCurrent=1500000\n";
}

TEST(BandsPanel, ABandShowsItsSubBandsAndPresetsAndANegativeActivePresetClearsThem) {
    BandsRig rig;
    WriteTestPlan(rig.path("bandplans/Test.bpl"));
    ASSERT_TRUE(rig.open());
    ui::BandsPanel& panel = rig.panel();
    EXPECT_EQ(panel.presetsFrame()->title(), "Amateur HF");
    EXPECT_EQ(panel.subBand(3)->text(), "40m");
    EXPECT_TRUE(panel.subBand(9)->isVisible());
    EXPECT_FALSE(panel.subBand(10)->isVisible()); // 10 sub-bands in this plan

    // A used preset is selected, then the other band is chosen from its picker, which shows
    // where the pointer points above the sub-band caption.
    QTest::mouseClick(panel.preset(1), Qt::LeftButton);
    EXPECT_TRUE(panel.preset(1)->isChecked());
    EXPECT_FALSE(panel.bandSelect()->isVisible());
    QTest::mouseMove(panel.presetsFrame(), panel.bandSelect()->geometry().topLeft() + QPoint(8, 3));
    ASSERT_TRUE(panel.bandSelect()->isVisible());
    panel.bandSelect()->setFocus();
    QTest::keyClick(panel.bandSelect(), Qt::Key_Down);
    EXPECT_EQ(rig.core->bands().model().CurrentMainBandIndex, 1);
    EXPECT_EQ(panel.presetsFrame()->title(), "Test plan");
    for (int s = 0; s < 17; ++s) {
        EXPECT_EQ(panel.subBand(s)->text(), QString("A%1").arg(s));
        EXPECT_TRUE(panel.subBand(s)->isVisible()) << s;
    }
    EXPECT_FALSE(panel.subBand(17)->isVisible());
    EXPECT_EQ(panel.preset(0)->text(), "1500");
    EXPECT_EQ(panel.preset(1)->text(), "P2");
    for (int p = 0; p < 12; ++p)
        EXPECT_FALSE(panel.preset(p)->isChecked()) << p;

    // Moving over the window puts the pickers away again.
    QTest::mouseMove(rig.window.get(), QPoint(1, rig.window->height() - 2));
    EXPECT_FALSE(panel.bandSelect()->isVisible());
    EXPECT_TRUE(panel.subBandLabel()->isVisible());
}

TEST(BandsPanel, PresetsRecallStoreAndTheEmptyOneRecallsTheLastUsed) {
    BandsRig rig;
    ASSERT_TRUE(rig.open());
    ui::BandsPanel& panel = rig.panel();
    rig.core->controls().optAGC_Click(2); // the listener's AGC: Normal

    // 40 m; its active preset (USB, 400 Hz filter at its default edges) is recalled.
    QTest::mouseClick(panel.subBand(3), Qt::LeftButton);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7029600, 0.5);
    EXPECT_EQ(rig.rx().CurrentDemodMode, kModeUSB);
    EXPECT_EQ(rig.rx().FilterHi, 600);
    EXPECT_EQ(rig.rx().FilterLo, 200);

    // Left on an empty preset recalls the last one used and keeps it active.
    QTest::mouseClick(panel.preset(1), Qt::LeftButton);
    ASSERT_TRUE(rig.core->tuning().tuneTo(5.505));
    QTest::mouseClick(panel.preset(7), Qt::LeftButton);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7074000, 0.5);
    EXPECT_EQ(rig.core->bands().model().MainBands[0].SubBands[3].ActivePreset, 1);
    EXPECT_TRUE(panel.preset(1)->isChecked());
    EXPECT_FALSE(panel.preset(7)->isChecked());

    // Shift + right stores the receiver into the preset; its AGC takes over as selection 4.
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.05));
    rig.core->controls().optFilter_Click(3);
    QTest::mouseClick(panel.preset(7), Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(panel.preset(7)->text(), "7050");
    EXPECT_EQ(FirstLine(panel.preset(7)->toolTip()), "7,050,000 Hz");
    EXPECT_TRUE(panel.preset(7)->toolTip().contains("F8"));
    EXPECT_EQ(rig.preset(7).AGCMode, 2);
    EXPECT_EQ(rig.preset(7).FilterHi, 3000);
    EXPECT_EQ(rig.rx().AGCMode, 4);
    EXPECT_EQ(rig.rx().optAGC.Selected, -1);
    EXPECT_EQ(rig.rx().lblAGCAttack.Value, 50.0f);
    EXPECT_EQ(rig.rx().AGCModes[4].CurrentRamp, 100);

    // A preset without AGC hands the listener's selection back; F-keys recall presets.
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    QTest::keyClick(rig.window.get(), Qt::Key_F3);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7090000, 0.5);
    EXPECT_EQ(rig.rx().CurrentDemodMode, kModeLSB);
    EXPECT_EQ(rig.rx().AGCMode, 2);
    EXPECT_EQ(rig.rx().optAGC.Selected, 2);
    EXPECT_TRUE(panel.preset(2)->hasFocus());
}

TEST(BandsPanel, TheEditorShowsSplitsAndStoresOrLeavesThePreset) {
    BandsRig rig;
    ASSERT_TRUE(rig.open());
    ui::BandsPanel& panel = rig.panel();
    QTest::mouseClick(panel.subBand(3), Qt::LeftButton);

    // An FM preset is stored with Shift + right click.
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.2));
    rig.core->controls().optMode_Click(kModeFM);
    QTest::mouseClick(panel.preset(5), Qt::RightButton, Qt::ShiftModifier);
    const std::string when = rig.preset(5).When;

    // The right button opens "&User Presets"; Edit is offered for a used preset only.
    QTest::mousePress(panel.preset(6), Qt::RightButton);
    EXPECT_TRUE(panel.userPresets()->isVisible());
    EXPECT_FALSE(panel.editPreset()->isEnabled());
    panel.userPresets()->hide();
    QTest::mouseRelease(panel.preset(6), Qt::RightButton);
    QTest::mousePress(panel.preset(5), Qt::RightButton);
    EXPECT_TRUE(panel.editPreset()->isEnabled());
    panel.userPresets()->hide();
    QTest::mouseRelease(panel.preset(5), Qt::RightButton);

    // Cancel leaves the preset exactly as it was.
    const PresetInfo before = rig.preset(5);
    OnEditor([](ui::frmEditUserPreset& d) {
        d.value(0)->setText("changed");
        d.value(1)->setText("1234");
        QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
    });
    panel.editPreset()->trigger();
    EXPECT_EQ(rig.preset(5), before);

    // FM shows as AM; `When` splits into date and time; a frequency without a leading number
    // stores 0 Hz and AM, and the button goes back to unused.
    QString shown[4];
    bool amShown = false;
    OnEditor([&](ui::frmEditUserPreset& d) {
        for (int i = 0; i < 4; ++i)
            shown[i] = d.value(i)->text();
        amShown = d.demodulation(0)->isChecked();
        EXPECT_EQ(d.windowTitle(), "OrvexSDR_Brisko - Edit Preset 5");
        EXPECT_EQ(d.saveButton()->text(), "&Update");
        d.value(1)->setText("Hz 7200000");
        QTest::mouseClick(d.saveButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(rig.core->bands().mnuUserPresets_Edit());
    EXPECT_TRUE(amShown);
    EXPECT_EQ(shown[0], "7,200,000 Hz");
    EXPECT_EQ(shown[1], "7200000");
    EXPECT_EQ(shown[2] + " " + shown[3], QString::fromStdString(when));
    EXPECT_EQ(shown[2].size(), 10);
    EXPECT_EQ(rig.preset(5).DemodMode, kModeAM);
    EXPECT_EQ(rig.preset(5).FreqCurrent, 0);
    EXPECT_EQ(panel.preset(5)->text(), "P6");

    // "Save to Preset" takes the receiver's frequency, filter edges and AGC; the typed
    // frequency is read to its first non-number ("7 0 5 1 000Hz" is 7051000), and one beyond
    // any frequency is refused.
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.1));
    rig.core->values().valueSet(app::WheelEntry::FilterHi, 2700);
    const std::int32_t agc = rig.rx().AGCMode;
    QTest::mouseClick(panel.preset(6), Qt::RightButton);
    panel.userPresets()->hide();
    OnEditor([&](ui::frmEditUserPreset& d) {
        shown[1] = d.value(1)->text();
        d.value(1)->setText("9e12");
        QTest::mouseClick(d.saveButton(), Qt::LeftButton); // refused, the dialog stays
        d.value(1)->setText("7 0 5 1 000Hz");
        d.demodulation(2)->setChecked(true);
        QTest::mouseClick(d.saveButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(rig.core->bands().mnuUserPresets_Save());
    EXPECT_EQ(shown[1], "7100000");
    EXPECT_TRUE(rig.messages.contains("beyond the frequencies a preset can hold"));
    EXPECT_EQ(rig.preset(6).FreqCurrent, 7051000);
    EXPECT_EQ(rig.preset(6).FilterHi, 2700);
    EXPECT_EQ(rig.preset(6).AGCMode, agc);
    EXPECT_EQ(panel.preset(6)->text(), "7051");
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7051000, 0.5);
    EXPECT_EQ(rig.rx().CurrentDemodMode, kModeLSB);
}

TEST(BandsPanel, HoverShowsThePickersAndTheDetailsPopUp) {
    BandsRig rig;
    ASSERT_TRUE(rig.open());
    ui::BandsPanel& panel = rig.panel();

    // The sub-band caption opens its picker; a choice there selects the sub-band.
    QTest::mouseMove(panel.subBandLabel());
    EXPECT_FALSE(panel.subBandLabel()->isVisible());
    ASSERT_TRUE(panel.subBandSelect()->isVisible());
    EXPECT_TRUE(panel.subBandSelect()->hasFocus());
    QTest::keyClick(panel.subBandSelect(), Qt::Key_Down);
    EXPECT_EQ(rig.core->bands().model().MainBands[0].ActiveSubBand, 1);
    EXPECT_EQ(panel.subBandLabel()->text(), " 80m ");
    EXPECT_TRUE(panel.subBand(1)->isChecked());

    // Ctrl on a preset button turns the details on: they follow the pointer over presets and
    // sub-bands, and go when it moves on to the frame.
    panel.preset(0)->setFocus();
    QTest::keyClick(panel.preset(0), Qt::Key_Control, Qt::ControlModifier);
    QTest::mouseMove(panel.preset(1));
    ui::frmPresetDesc* desc = panel.description();
    ASSERT_TRUE(desc->isVisible());
    EXPECT_EQ(desc->caption()->text().toStdString(), rig.preset(1).Description);
    EXPECT_TRUE(desc->details()->text().startsWith("Frequency=3.5"));
    EXPECT_TRUE(desc->details()->text().contains("Modulation="));
    QTest::mouseMove(panel.subBand(3));
    EXPECT_TRUE(desc->details()->text().startsWith("Band=40m\nFreq Lo=7000000"));
    QTest::mouseMove(panel.presetsFrame(),
                     QPoint(panel.presetsFrame()->width() - 3, panel.presetsFrame()->height() - 3));
    EXPECT_FALSE(desc->isVisible());
    QTest::keyClick(panel.preset(0), Qt::Key_Control, Qt::ControlModifier);
    QTest::mouseMove(panel.preset(1));
    EXPECT_FALSE(desc->isVisible());
}

TEST(BandsPanel, AStationStoredBeforeCloseIsRecalledAfterTheNextStart) {
    BandsRig rig;
    ASSERT_TRUE(rig.open());
    // The simulated receiver's 40 m LSB test tone, stored in an empty 40 m preset.
    QTest::mouseClick(rig.panel().subBand(3), Qt::LeftButton);
    ASSERT_TRUE(rig.core->tuning().tuneTo(7.14));
    rig.core->controls().optMode_Click(kModeLSB);
    QTest::mouseClick(rig.panel().preset(4), Qt::RightButton, Qt::ShiftModifier);
    rig.close();

    const std::string plan = rig.file("Amateur-HF.bpl");
    const auto section = plan.find("[Preset.3.4]");
    ASSERT_NE(section, std::string::npos);
    const std::string keys = plan.substr(section, plan.find("\n[", section + 1) - section);
    for (const char* key : {"Caption=7140\n", "Description=7,140,000 Hz\n", "DemodMode=2\n",
                            "FreqCurrent=7140000\n", "FilterMode=1\n", "AGCMode=1\n", "When=20"})
        EXPECT_NE(keys.find(key), std::string::npos) << key << " in\n" << keys;

    ASSERT_TRUE(rig.open());
    EXPECT_EQ(rig.panel().preset(4)->text(), "7140");
    ASSERT_TRUE(rig.core->tuning().tuneTo(5.505));
    rig.core->controls().optMode_Click(kModeAM);
    QTest::mouseClick(rig.panel().preset(4), Qt::LeftButton);
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7140000, 0.5);
    EXPECT_EQ(rig.rx().CurrentDemodMode, kModeLSB);
}

} // namespace
} // namespace orvex::test
