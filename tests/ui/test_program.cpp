// The orvexsdr program as a user starts it (offscreen): SIGTERM, SIGINT, SIGHUP and SIGXCPU
// shut it down as Close does, saving the settings and writing the band plans back.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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

INSTANTIATE_TEST_SUITE_P(EndingSignals, ProgramSignals,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGXCPU));

// One orvexsdr run in a test folder: traced, offscreen, its standard error kept.
class Window {
public:
    Window(const QTemporaryDir& dir, const QString& name, const QString& settings,
           const QString& bandPlans, const QStringList& environment = {},
           rlim_t fileSizeLimit = RLIM_INFINITY, const QStringList& extra = {})
        : m_log(dir.filePath(name + "/OrvexSDR/OrvexSDR_Brisko.log")) {
        if (fileSizeLimit != RLIM_INFINITY)
            m_process.setChildProcessModifier([fileSizeLimit] {
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_STATE_HOME", dir.filePath(name));
        env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        for (const QString& e : environment)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        m_process.setProcessEnvironment(env);
        m_process.start(ORVEXSDR_PATH,
                        QStringList{"trace", "--settings", settings, "--bandplans", bandPlans} +
                            extra);
    }
    ~Window() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool startedUp() { return m_process.waitForStarted() && WaitForStartUp(m_process, m_log); }
    /// Waits until standard error holds `text` (true), or the program ends or 30 s pass.
    bool says(const QString& text) {
        const QDeadlineTimer deadline(30000);
        while (!err().contains(text)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) return false;
            m_process.waitForReadyRead(50);
        }
        return true;
    }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }
    /// The exit code of a program that ended by itself within `ms`; -1 otherwise.
    int exitWithin(int ms) {
        if (!m_process.waitForFinished(ms) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    const QString& err() {
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return m_err;
    }
    qint64 pid() const { return m_process.processId(); }
    /// The port the window's rigctl server listens on, from its trace log (0 if none in 30 s).
    int rigctlPort() {
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            if (const auto match = listening.match(log()); match.hasMatch())
                return match.captured(1).toInt();
            m_process.waitForFinished(20);
        }
        return 0;
    }
    QString log() const {
        QFile f(m_log);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QProcess m_process;
    QString m_log;
    QString m_err;
};

// A rigctl client on a plain blocking socket, reading with a bound on the wait.
class RigClient {
public:
    explicit RigClient(int port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected =
            ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RigClient() { ::close(m_fd); }
    bool connected() const { return m_connected; }
    bool send(const std::string& text) {
        return ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    /// Reads until what was received holds `count` times `text`; false after 30 s or at the end.
    bool receive(const std::string& text, int count = 1) {
        const QDeadlineTimer deadline(30000);
        while (Count(received, text) < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (deadline.hasExpired() || ::poll(&p, 1, 50) < 0) return false;
            if (p.revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) return false;
            received.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    static int Count(const std::string& in, const std::string& text) {
        int n = 0;
        for (auto at = in.find(text); at != std::string::npos; at = in.find(text, at + 1))
            ++n;
        return n;
    }
    std::string received;

private:
    int m_fd;
    bool m_connected = false;
};

constexpr char kRigctlOn[] = "[RemoteControl]\nRigctlOn=1\nRigctlPort=0\n";

// Waits until the window's event loop serves a rigctl client: the window is up and running.
::testing::AssertionResult Running(Window& w) {
    const int port = w.rigctlPort();
    if (port == 0) return ::testing::AssertionFailure() << "no rigctl server in the trace log";
    RigClient client(port);
    if (!client.connected() || !client.send("f\n") || !client.receive("\n"))
        return ::testing::AssertionFailure() << "no answer on port " << port;
    return ::testing::AssertionSuccess();
}

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString CopyBandPlans(const QTemporaryDir& dir) {
    QDir().mkpath(dir.filePath("bandplans"));
    for (const QString& name : QDir(ORVEX_SOURCE_DIR "/data/bandplans").entryList({"*.bpl"}))
        QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/" + name, dir.filePath("bandplans/" + name));
    return dir.filePath("bandplans");
}

// Names of temporary files left in a folder, one string.
std::string TemporaryFiles(const QString& folder) {
    return QDir(folder)
        .entryList({".*.tmp.*"}, QDir::Files | QDir::Hidden | QDir::System)
        .join(' ')
        .toStdString();
}

// A settings file the window refuses (not a settings file, not a regular file, too large) is
// told once, at start, without holding the start up; the window runs on defaults, and SIGTERM
// ends it at once, saving nothing there and showing nothing more.
class RefusedSettings : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedSettings, AreToldOnceAtStartAndNeverHoldUpTheEnd) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("settings.ini");
    const std::string kind = GetParam();
    if (kind == "binary") {
        ASSERT_TRUE(WriteFile(settings, QByteArray("\x7f"
                                                   "ELF\x02\x01\x01\0\0\0",
                                                   10)));
    } else if (kind == "band plan") {
        QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/Broadcast.bpl", settings);
    } else if (kind == "folder") {
        QDir().mkpath(settings);
    } else if (kind == "FIFO") {
        ASSERT_EQ(::mkfifo(settings.toLocal8Bit().constData(), 0644), 0);
    } else if (kind == "too large") {
        ASSERT_TRUE(WriteFile(settings, "[frmMain]\nCurrentDemodMode=1\n"));
        ASSERT_TRUE(QFile::resize(settings, 65 * 1024 * 1024)); // sparse: never read
    }
    const QByteArray before =
        QFileInfo(settings).isFile() && kind != "too large" ? Slurp(settings) : QByteArray();
    Window w(dir, "state", settings, CopyBandPlans(dir));
    ASSERT_TRUE(w.startedUp()) << w.err().toStdString();
    ASSERT_TRUE(w.says("the file is left as it is")) << w.err().toStdString();
    w.signal(SIGTERM);
    EXPECT_EQ(w.exitWithin(10000), 0) << w.err().toStdString();
    EXPECT_EQ(w.err().count("the file is left as it is"), 1) << w.err().toStdString();
    if (!before.isEmpty()) EXPECT_EQ(Slurp(settings), before);
    if (kind == "too large") EXPECT_EQ(QFileInfo(settings).size(), 65 * 1024 * 1024);
    EXPECT_EQ(TemporaryFiles(dir.path()), "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, RefusedSettings,
                         ::testing::Values("binary", "band plan", "folder", "FIFO", "too large"));

// With the shaft encoder enabled, a thread follows the simulated receiver's control port from
// the start; SIGTERM ends it with the program, which shuts down as Close does.
TEST(ProgramEnd, ASignalEndsTheShaftEncodersThreadWithTheProgram) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("settings.ini");
    ASSERT_TRUE(WriteFile(settings, "[frmMain]\nEnableShaftEncoder=True\n"));
    Window w(dir, "state", settings, CopyBandPlans(dir));
    ASSERT_TRUE(w.startedUp()) << w.err().toStdString();
    auto threads = [&] {
        QStringList names;
        const QString tasks = QString("/proc/%1/task").arg(w.pid());
        for (const QString& t : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            names << QString::fromUtf8(Slurp(tasks + "/" + t + "/comm")).trimmed();
        return names;
    };
    const QDeadlineTimer deadline(30000);
    while (!threads().contains("shaft-encoder") && !deadline.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(threads().contains("shaft-encoder")) << threads().join(' ').toStdString();
    w.signal(SIGTERM);
    EXPECT_EQ(w.exitWithin(10000), 0) << w.err().toStdString();
    EXPECT_TRUE(Slurp(settings).contains("EnableShaftEncoder=True"));
}

// A save that fails at Close (here the settings folder replaced by a file while the window
// runs; a full disk takes the same path) is reported on stderr and in the trace log, never in
// a box that waits for OK while the session logs out.
TEST(ProgramEnd, ASaveThatFailsAtCloseIsReportedWithoutWaitingForAnyone) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("cfg"));
    const QString settings = dir.filePath("cfg/settings.ini");
    const QByteArray text = QByteArray("[frmMain]\nCurrentDemodMode=1\n") + kRigctlOn;
    ASSERT_TRUE(WriteFile(settings, text));
    Window w(dir, "state", settings, CopyBandPlans(dir));
    ASSERT_TRUE(w.startedUp()) << w.err().toStdString();
    ASSERT_TRUE(Running(w)) << w.err().toStdString(); // the signal comes to a running window
    ASSERT_TRUE(QDir(dir.path()).rename("cfg", "cfg-moved"));
    ASSERT_TRUE(WriteFile(dir.filePath("cfg"), ""));
    w.signal(SIGTERM);
    EXPECT_EQ(w.exitWithin(10000), 0) << w.err().toStdString();
    EXPECT_TRUE(w.err().contains("cannot write the settings file " + settings))
        << w.err().toStdString();
    EXPECT_TRUE(w.log().contains("Message : cannot write the settings file"))
        << w.log().toStdString();
    EXPECT_EQ(Slurp(dir.filePath("cfg-moved/settings.ini")), text);
}

// A logout (SIGTERM) while a rigctl client tunes, a decoder changing band, say: the signal
// comes while a tuning word is on the lines and the event loop runs inside it. The window
// ends cleanly once that command is done, and saves a frequency the client set.
TEST(ProgramEnd, ASignalWhileARigctlClientTunesEndsCleanly) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("settings.ini");
    ASSERT_TRUE(WriteFile(settings, QByteArray("[frmMain]\nCurrentDemodMode=1\n") + kRigctlOn));
    Window w(dir, "state", settings, CopyBandPlans(dir));
    ASSERT_TRUE(w.startedUp()) << w.err().toStdString();
    ASSERT_TRUE(Running(w)) << w.err().toStdString();
    RigClient client(w.rigctlPort());
    ASSERT_TRUE(client.connected());
    constexpr int kCommands = 2000;
    std::string commands;
    for (int i = 0; i < kCommands; ++i)
        commands += "F " + std::to_string(7000000 + 100 * i) + "\n";
    ASSERT_TRUE(client.send(commands));
    ASSERT_TRUE(client.receive("RPRT 0\n", 3)) << client.received; // tuning word after word
    w.signal(SIGTERM);
    EXPECT_EQ(w.exitWithin(10000), 0) << w.err().toStdString();
    client.receive("(the end)"); // whatever else was answered before the close
    const int answered = RigClient::Count(client.received, "RPRT 0\n");
    EXPECT_LT(answered, kCommands) << "the signal came after the last command";
    const QByteArray saved = Slurp(settings);
    const auto match =
        QRegularExpression("\\[VFO1\\][^\\[]*\\nTunedFreq=(\\d+)").match(QString::fromUtf8(saved));
    ASSERT_TRUE(match.hasMatch()) << saved.toStdString();
    const int set = (match.captured(1).toInt() - 7000000) / 100;
    EXPECT_EQ(match.captured(1).toInt(), 7000000 + 100 * set);
    EXPECT_GE(set, answered - 1); // every answered command was carried out
    EXPECT_LT(set, kCommands);
}

// A file size limit (ulimit -f) reached while saving at Close fails that save with EFBIG and
// its message, as a full disk does; it never ends the program by SIGXFSZ. The band plan the
// start-up changed (7 kB) cannot be written under a 4 kB limit and stays as it was.
TEST(ProgramEnd, AFileSizeLimitFailsTheSaveNotTheProgram) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("bandplans"));
    const QString plan = dir.filePath("bandplans/Broadcast.bpl");
    QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/Broadcast.bpl", plan);
    const QByteArray before = Slurp(plan);
    ASSERT_GT(before.size(), 4096);
    Window w(dir, "state", dir.filePath("settings.ini"), dir.filePath("bandplans"), {}, 4096);
    ASSERT_TRUE(w.startedUp()) << w.err().toStdString();
    w.signal(SIGTERM);
    EXPECT_EQ(w.exitWithin(10000), 0) << w.err().toStdString();
    EXPECT_TRUE(w.err().contains("File too large")) << w.err().toStdString();
    EXPECT_EQ(Slurp(plan), before);
    EXPECT_TRUE(Slurp(dir.filePath("settings.ini")).contains("TunedFreq")); // 1 kB: saved
}

// SIGKILL in the middle of Close's save (held there by the test hook) leaves no temporary
// file and the old settings whole; stale temporary files of the program's own targets, from a
// file system without anonymous files or an older version, go at the next start, and nothing
// of anyone else's does.
TEST(ProgramEnd, SigkillDuringTheSaveLeavesNoDebrisAndStaleOnesGoAtTheNextStart) {
    QTemporaryDir dir;
    const QString bandPlans = CopyBandPlans(dir);
    const QString settings = dir.filePath("settings.ini");
    ASSERT_TRUE(WriteFile(settings, "[frmMain]\nCurrentDemodMode=1\n"));
    {
        Window w(dir, "state", settings, bandPlans, {"ORVEX_TEST_SLOW_SAVE=60000:" + settings});
        ASSERT_TRUE(w.startedUp()) << w.err().toStdString();
        w.signal(SIGTERM);
        ASSERT_TRUE(w.says("holding the save of " + settings)) << w.err().toStdString();
        w.signal(SIGKILL);
        EXPECT_EQ(w.exitWithin(10000), -1); // killed
    }
    EXPECT_EQ(TemporaryFiles(dir.path()), "");
    EXPECT_EQ(TemporaryFiles(bandPlans), "");
    EXPECT_EQ(Slurp(settings), "[frmMain]\nCurrentDemodMode=1\n");

    const auto plant = [](const QString& path) {
        ASSERT_TRUE(WriteFile(path, "partial"));
        const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, path.toLocal8Bit().constData(), old, 0);
    };
    plant(dir.filePath(".settings.ini.tmp.Ab12Cd"));
    plant(bandPlans + "/.Broadcast.bpl.tmp.Zz9Yy8");
    plant(dir.filePath(".notes.txt.tmp.Ab12Cd"));   // another program's
    plant(bandPlans + "/.Broadcast.bpl.tmp.Zz9Yy"); // not our pattern
    Window again(dir, "state-again", settings, bandPlans);
    ASSERT_TRUE(again.startedUp()) << again.err().toStdString();
    EXPECT_EQ(TemporaryFiles(dir.path()), ".notes.txt.tmp.Ab12Cd");
    EXPECT_EQ(TemporaryFiles(bandPlans), ".Broadcast.bpl.tmp.Zz9Yy");
    again.signal(SIGTERM);
    EXPECT_EQ(again.exitWithin(10000), 0) << again.err().toStdString();
    EXPECT_TRUE(Slurp(settings).contains("TunedFreq"));
}

// A second window on the same settings is told so at start and saves nothing when it closes,
// so the first one's state stands; a window on other settings but the same band plans is told
// in a box during start-up, and SIGTERM ends it while that box is open.
TEST(ProgramEnd, ASecondWindowIsToldAndUndoesNothingAndASignalEndsItWithABoxOpen) {
    QTemporaryDir dir;
    const QString bandPlans = CopyBandPlans(dir);
    const QString settings = dir.filePath("settings.ini");
    ASSERT_TRUE(WriteFile(settings, "; mine\n[frmMain]\nCurrentDemodMode=1\n"));
    const QByteArray plans = Slurp(bandPlans + "/Amateur-HF.bpl");
    Window first(dir, "first", settings, bandPlans);
    ASSERT_TRUE(first.startedUp()) << first.err().toStdString();
    {
        Window second(dir, "second", settings, bandPlans);
        ASSERT_TRUE(second.says("Another OrvexSDR window (process " + QString::number(first.pid()) +
                                ") is using the settings in " + settings))
            << second.err().toStdString();
        ASSERT_TRUE(second.startedUp()) << second.err().toStdString();
        EXPECT_FALSE(second.err().contains("using the band plans")); // told once, not twice
        second.signal(SIGTERM);
        EXPECT_EQ(second.exitWithin(10000), 0) << second.err().toStdString();
        EXPECT_EQ(Slurp(settings), "; mine\n[frmMain]\nCurrentDemodMode=1\n");
    }
    {
        Window third(dir, "third", dir.filePath("other.ini"), bandPlans);
        ASSERT_TRUE(third.says("Another OrvexSDR window is using the band plans in " + bandPlans))
            << third.err().toStdString();
        third.signal(SIGTERM); // the box is open (or about to be): it must not hold the end
        EXPECT_EQ(third.exitWithin(10000), 0) << third.err().toStdString();
    }
    EXPECT_EQ(Slurp(bandPlans + "/Amateur-HF.bpl"), plans);
    first.signal(SIGTERM);
    EXPECT_EQ(first.exitWithin(10000), 0) << first.err().toStdString();
    const QByteArray saved = Slurp(settings);
    EXPECT_TRUE(saved.startsWith("; mine\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("TunedFreq"));
}

TEST(ProgramEnd, ASignalWhileOnWaitsOnABoxAtStartEndsCleanly) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("settings.ini");
    ASSERT_TRUE(WriteFile(settings, "[frmMain]\nCurrentPlaybackDevice=99\n"));
    Window window(dir, "on", settings, CopyBandPlans(dir), {}, RLIM_INFINITY, {"--on"});
    // On is pressed before the window's loop runs; the sound card's refusal waits in a box.
    ASSERT_TRUE(window.says("Unable to start the sound card")) << window.err().toStdString();
    window.signal(SIGTERM);
    EXPECT_EQ(window.exitWithin(10000), 0) << window.err().toStdString();
    EXPECT_TRUE(Slurp(settings).contains("TunedFreq"));
}

} // namespace
