// The orvexsdr program as a user starts it (offscreen): SIGTERM and SIGINT shut it down as
// Close does, saving the settings and writing every band plan back.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
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

// Starts orvexsdr on the settings file and band plans in `dir` (offscreen, traced), waits until
// it is up and ends it with `signal`; false (with the reason) when it did not end normally.
::testing::AssertionResult RunUntilSignal(const QTemporaryDir& dir, int signal) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_STATE_HOME", dir.filePath("state"));
    env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
    p.setProcessEnvironment(env);
    const QString log = dir.filePath("state/OrvexSDR/OrvexSDR_Brisko.log");
    QFile::remove(log); // the start-up is this run's
    p.start(ORVEXSDR_PATH, {"trace", "--settings", dir.filePath("settings.ini"), "--bandplans",
                            dir.filePath("bandplans")});
    if (!p.waitForStarted()) return ::testing::AssertionFailure() << "did not start";
    if (!WaitForStartUp(p, log))
        return ::testing::AssertionFailure() << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), signal);
    if (!p.waitForFinished(30000)) return ::testing::AssertionFailure() << "did not end";
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return ::testing::AssertionFailure() << p.readAllStandardError().toStdString();
    return ::testing::AssertionSuccess();
}

void CopyBandPlan(const QTemporaryDir& dir) {
    QDir().mkpath(dir.filePath("bandplans"));
    QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/Broadcast.bpl",
                dir.filePath("bandplans/Broadcast.bpl"));
}

// The spectrum display's settings reach the settings file however the program ends, and what
// the listener left comes back at the next start (and is written again at its end).
TEST(ProgramSettings, TheSpectrumDisplaySurvivesRestartsEndedBySignals) {
    QTemporaryDir dir;
    CopyBandPlan(dir);
    const QString ini = dir.filePath("settings.ini");
    ASSERT_TRUE(RunUntilSignal(dir, SIGTERM)); // a first start, on no settings at all
    {
        QSettings first(ini, QSettings::IniFormat);
        for (const char* key :
             {"Mode", "WaterfallOn", "SweepWidth", "SweepCentre", "TraceGain", "SpectrumSmooth"})
            EXPECT_TRUE(first.contains(QString("SpectrumAnalyser/") + key)) << key;
        // What a listener leaves: the oscilloscope, no waterfall, a narrow sweep, +12 dB.
        first.setValue("SpectrumAnalyser/Mode", "1");
        first.setValue("SpectrumAnalyser/WaterfallOn", "False");
        first.setValue("SpectrumAnalyser/SweepWidth", "300");
        first.setValue("SpectrumAnalyser/TraceGain", "4");
        first.setValue("SpectrumAnalyser.Mode.1/FastMode", "False");
    }
    ASSERT_TRUE(RunUntilSignal(dir, SIGINT));
    QSettings second(ini, QSettings::IniFormat);
    EXPECT_EQ(second.value("SpectrumAnalyser/Mode").toString(), "1");
    EXPECT_EQ(second.value("SpectrumAnalyser/WaterfallOn").toString(), "False");
    EXPECT_EQ(second.value("SpectrumAnalyser/SweepWidth").toString(), "300");
    EXPECT_EQ(second.value("SpectrumAnalyser/TraceGain").toString(), "4");
    // The oscilloscope came back and ran: it shows every sample, without averaging.
    EXPECT_EQ(second.value("SpectrumAnalyser.Mode.1/FastMode").toString(), "True");
}

class ProgramSignals : public ::testing::TestWithParam<int> {};

TEST_P(ProgramSignals, ShutDownLikeCloseSavingSettingsAndBandPlans) {
    QTemporaryDir dir;
    CopyBandPlan(dir);
    const QString plan = dir.filePath("bandplans/Broadcast.bpl");
    const ino_t before = Inode(plan);
    ASSERT_TRUE(RunUntilSignal(dir, GetParam()));
    QFile settings(dir.filePath("settings.ini"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("CurrentDemodMode")) << text.toStdString();
    EXPECT_TRUE(text.contains("TunedFreq"));
    EXPECT_NE(Inode(plan), before); // written back (a new file replaced the old one)
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, ProgramSignals, ::testing::Values(SIGTERM, SIGINT));

} // namespace
