// The orvexsdr program as a user starts it (offscreen): SIGTERM and SIGINT shut it down as
// Close does, saving the settings and writing every band plan back.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

ino_t Inode(const QString& path) {
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_ino : 0;
}

// Waits until the traced start has logged its last line (or the program ended).
bool WaitForStartUp(QProcess& p, const QString& log) {
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && p.state() == QProcess::Running) {
        QFile f(log);
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains("Form_Initialize : End"))
            return true;
        p.waitForFinished(20); // lets the child run; returns early only when it ends
    }
    return false;
}

class ProgramSignals : public ::testing::TestWithParam<int> {};

TEST_P(ProgramSignals, ShutDownLikeCloseSavingSettingsAndBandPlans) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("bandplans"));
    QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/Broadcast.bpl",
                dir.filePath("bandplans/Broadcast.bpl"));
    const QString plan = dir.filePath("bandplans/Broadcast.bpl");
    const ino_t before = Inode(plan);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_STATE_HOME", dir.filePath("state"));
    env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
    p.setProcessEnvironment(env);
    p.start(ORVEXSDR_PATH, {"trace", "--settings", dir.filePath("settings.ini"), "--bandplans",
                            dir.filePath("bandplans")});
    ASSERT_TRUE(p.waitForStarted());
    ASSERT_TRUE(WaitForStartUp(p, dir.filePath("state/OrvexSDR/OrvexSDR_Brisko.log")))
        << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), GetParam());
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile settings(dir.filePath("settings.ini"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("CurrentDemodMode")) << text.toStdString();
    EXPECT_TRUE(text.contains("TunedFreq"));
    EXPECT_NE(Inode(plan), before); // written back (a new file replaced the old one)
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, ProgramSignals, ::testing::Values(SIGTERM, SIGINT));

} // namespace
