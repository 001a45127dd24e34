// The Record panel on the simulated receiver: a click on Record makes the file, and the time
// and size beside the button move on as blocks come.
#include "PanelRig.h"
#include "ui/PowerPanel.h"
#include "ui/RecordPanel.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

TEST(RecordPanel, ARecordClickMakesTheFileAndTheTimeAndSizeMoveOn) {
    PanelRig rig;
    ASSERT_TRUE(rig.ok);
    ui::RecordPanel* panel = rig.window->record();
    const QString folder = QString::fromStdString(rig.path("music"));
    rig.core->record().setFolder(folder.toStdString());
    EXPECT_FALSE(panel->recordButton()->isEnabled()); // off: nothing to record
    QTest::mouseClick(rig.window->power()->button(0), Qt::LeftButton);
    ASSERT_TRUE(panel->recordButton()->isEnabled());
    EXPECT_EQ(CheckAccessibleNames(panel, rig.window.get()), 2);

    QTest::mouseClick(panel->ifBox(), Qt::LeftButton);
    QTest::mouseClick(panel->recordButton(), Qt::LeftButton);
    EXPECT_TRUE(panel->recordButton()->isChecked());
    const QStringList files = QDir(folder).entryList({"*.wav"});
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    EXPECT_TRUE(panel->recordButton()->toolTip().contains(folder + "/OrvexSDR_"));
    EXPECT_EQ(panel->timeLabel()->text(), "0:00");
    EXPECT_EQ(panel->sizeLabel()->text(), "88 B"); // two empty files

    for (int i = 0; i < 2 * 24; ++i) { // two seconds of blocks, drained as the timer does
        rig.run(1);
        rig.core->record().recorder().drain();
    }
    EXPECT_EQ(panel->timeLabel()->text(), "0:02");
    // As of the update when the second second was full (block 47): 2 x (44 + 2 x 47 x 2048).
    EXPECT_EQ(panel->sizeLabel()->text(), "385 kB");

    QTest::mouseClick(panel->recordButton(), Qt::LeftButton);
    EXPECT_FALSE(panel->recordButton()->isChecked());
    EXPECT_TRUE(panel->recordButton()->toolTip().startsWith("Recorded to "));
    EXPECT_EQ(panel->timeLabel()->text(), "0:02"); // the last recording stays shown
}

TEST(RecordPanel, TimeAndSizeTexts) {
    EXPECT_EQ(ui::RecordPanel::ElapsedText(59.9), "0:59");
    EXPECT_EQ(ui::RecordPanel::ElapsedText(754), "12:34");
    EXPECT_EQ(ui::RecordPanel::ElapsedText(3723), "1:02:03");
    EXPECT_EQ(ui::RecordPanel::SizeText(999), "999 B");
    EXPECT_EQ(ui::RecordPanel::SizeText(1234567), "1.2 MB");
    EXPECT_EQ(ui::RecordPanel::SizeText(3400000000), "3.40 GB");
}

} // namespace
} // namespace orvex::test
