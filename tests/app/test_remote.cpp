// Remote control of the real receiver: Hamlib's rigctl client against the window's core on the
// simulated receiver (tuning words, modes, the S-meter, power, the kept choice), and against
// `orvexsdr-cli listen --rigctl` streaming in real time while clients poll, flood and leave.
#include "CoreRig.h"
#include "EventPump.h"
#include "app/ConfigForm.h"
#include "app/RigControl.h"
#include "app/RigctlServer.h"
#include "dsp/ReceiveChain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

using testutil::App;
using testutil::PumpUntil;

// Hamlib's rigctl as a client of port, run while this process's event loop serves it.
class HamlibClient {
public:
    HamlibClient() : m_path(QStandardPaths::findExecutable("rigctl")) {}
    bool installed() const { return !m_path.isEmpty(); }
    std::string run(std::uint16_t port, QStringList args) {
        args = QStringList{"-m", "2", "-r", "127.0.0.1:" + QString::number(port)} + args;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(m_path, args);
        if (!PumpUntil([&] { return process.state() == QProcess::NotRunning; })) process.kill();
        process.waitForFinished(1000);
        return process.readAll().toStdString();
    }

private:
    QString m_path;
};

class CoreRemoteTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        if (!client.installed()) GTEST_SKIP() << "Hamlib's rigctl is not installed";
        ASSERT_TRUE(rig.start());
        std::string why;
        ASSERT_TRUE(rig.core->remote().setRemoteControl(true, 0, "127.0.0.1", &why)) << why;
        port = rig.core->remote().view().ListeningPort;
        rig.core->power().optPwr_Click(0);
        ASSERT_TRUE(rig.core->power().view().PowerOn);
    }
    std::string ask(QStringList args) { return client.run(port, std::move(args)); }
    double strengthAfter(const char* hz) {
        ask({"F", hz});
        rig.run(80); // the AGC and the meter's averaging settle
        return std::stod(ask({"l", "STRENGTH"}));
    }
    CoreRig rig;
    HamlibClient client;
    std::uint16_t port = 0;
};

TEST_F(CoreRemoteTest, TuningModesAndTheMeterReachTheReceiver) {
    ask({"F", "7090000"});
    EXPECT_EQ(ask({"f"}), "7090000\n");
    // The simulated box decoded the word from its control lines: it is where the client asked.
    const auto tuned = rig.receiver().TunedHz();
    ASSERT_TRUE(tuned.has_value());
    EXPECT_NEAR(*tuned, 7090000.0, 0.5);
    ASSERT_TRUE(rig.receiver().TuningWord().has_value());
    EXPECT_EQ(static_cast<double>(*rig.receiver().TuningWord()),
              rig.core->session().vfo().CurrentTuningWord());
    EXPECT_DOUBLE_EQ(rig.core->session().vfo().TunedFreq(), 7.09);

    ask({"M", "USB", "2400"});
    EXPECT_EQ(ask({"m"}), "USB\n2400\n");
    EXPECT_EQ(rig.core->session().state().CurrentDemodMode, 1);
    EXPECT_EQ(rig.core->session().state().FilterHi - rig.core->session().state().FilterLo, 2400);
    ask({"M", "AM", "0"}); // 0 keeps the edges
    EXPECT_EQ(ask({"m"}), "AM\n2400\n");

    // Beyond the synthesiser's reach: refused, nothing tuned.
    const std::string refused = ask({"F", "400000000"});
    EXPECT_NE(refused.find("Invalid parameter"), std::string::npos) << refused;
    EXPECT_DOUBLE_EQ(rig.core->session().vfo().TunedFreq(), 7.09);

    // A strong broadcast station against an empty frequency.
    const double strong = strengthAfter("6000000");
    const double empty = strengthAfter("9000000");
    EXPECT_GE(strong - empty, 20.0) << "strong " << strong << " dB, empty " << empty << " dB";

    // \dump_state is read by the client without a protocol error.
    const std::string verbose = ask({"-vvvvv", "t"});
    EXPECT_EQ(verbose.find("rotocol error"), std::string::npos) << verbose;
    EXPECT_NE(verbose.find("netrigctl_open returning(0)"), std::string::npos) << verbose;

    // Power from a client is the front panel's (over a raw socket: rigctl 4.5 mangles long
    // command names given on its command line).
    QTcpSocket raw;
    raw.connectToHost("127.0.0.1", port);
    auto line = [&](const QByteArray& text) {
        raw.write(text);
        PumpUntil([&] { return raw.canReadLine(); }, 5000);
        return raw.readLine().toStdString();
    };
    ASSERT_TRUE(PumpUntil([&] { return raw.state() == QAbstractSocket::ConnectedState; }));
    EXPECT_EQ(line("\\set_powerstat 0\n"), "RPRT 0\n");
    EXPECT_FALSE(rig.core->power().view().PowerOn);
    EXPECT_FALSE(rig.core->session().streaming());
    EXPECT_EQ(line("\\get_powerstat\n"), "0\n");
    EXPECT_EQ(line("\\set_powerstat 1\n"), "RPRT 0\n");
    EXPECT_TRUE(rig.core->session().streaming());
}

TEST_F(CoreRemoteTest, TheChoiceIsKeptAndABusyPortIsReportedAndLeftOff) {
    EXPECT_EQ(rig.store.get("RemoteControl", "RigctlOn", ""), "1");
    // A second core on the same store: the server starts with it.
    rig.core->Form_Unload();
    EXPECT_FALSE(rig.core->remote().view().Listening);
    rig.core.reset();
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.core->remote().view().Listening) << rig.core->remote().view().Status;
    const std::uint16_t busy = rig.core->remote().view().ListeningPort;
    app::RigctlServer other(rig.core->remote().rig());
    EXPECT_FALSE(other.start(busy));

    CoreRig second;
    ASSERT_TRUE(second.start());
    std::string why;
    EXPECT_FALSE(second.core->remote().setRemoteControl(true, busy, "127.0.0.1", &why));
    EXPECT_NE(why.find("cannot listen on 127.0.0.1:" + std::to_string(busy)), std::string::npos)
        << why;
    EXPECT_FALSE(second.core->remote().view().Listening);
    EXPECT_NE(second.store.get("RemoteControl", "RigctlOn", "0"), "1");

    // The configuration dialog: a port out of range is refused with a message, a good one
    // starts the server, unticking stops it.
    app::ConfigForm form(second.core->config());
    form.Form_Load();
    EXPECT_FALSE(form.chkRigctl);
    form.chkRigctl = true;
    form.txtRigctlPort = "70000";
    EXPECT_FALSE(form.cmdApply_Click());
    EXPECT_NE(second.messages.messages().back().text.find("1 to 65535"), std::string::npos);
    EXPECT_FALSE(second.core->remote().view().Listening);
    QTcpServer probe; // a port that is free now
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const auto freePort = probe.serverPort();
    probe.close();
    form.txtRigctlPort = std::to_string(freePort);
    EXPECT_TRUE(form.cmdApply_Click());
    EXPECT_TRUE(second.core->remote().view().Listening);
    EXPECT_EQ(second.core->remote().view().ListeningPort, freePort);
    EXPECT_NE(form.lblRigctlStatus.find("listening on 127.0.0.1:"), std::string::npos);
    form.chkRigctl = false;
    EXPECT_TRUE(form.cmdApply_Click());
    EXPECT_FALSE(second.core->remote().view().Listening);
    EXPECT_EQ(second.store.get("RemoteControl", "RigctlOn", ""), "0");
}

// ---- orvexsdr-cli listen --rigctl, streaming in real time ----------------------------------

struct CliListen {
    explicit CliListen(const QStringList& args) {
        process.setProgram(ORVEX_CLI_PATH);
        process.setArguments(QStringList{"listen"} + args);
        process.start();
    }
    ~CliListen() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
    // The port printed on standard error at the start.
    std::uint16_t port() {
        const QRegularExpression re("rigctl listening on [^:]+:(\\d+)");
        PumpUntil([&] {
            err += process.readAllStandardError();
            return re.match(err).hasMatch() || process.state() == QProcess::NotRunning;
        });
        return static_cast<std::uint16_t>(re.match(err).captured(1).toUInt());
    }
    QProcess process;
    QString err;
};

// A blocking client with a line reader.
struct Poller {
    explicit Poller(std::uint16_t port) {
        socket.connectToHost("127.0.0.1", port);
        connected = socket.waitForConnected(5000);
    }
    std::string ask(const QByteArray& line, int lines) {
        socket.write(line);
        std::string answer;
        for (int n = 0; n < lines;) {
            while (!socket.canReadLine())
                if (!socket.waitForReadyRead(5000)) return answer + "<timeout>";
            answer += socket.readLine().toStdString();
            ++n;
        }
        return answer;
    }
    QTcpSocket socket;
    bool connected = false;
};

TEST(CliRemote, ClientsPollingFloodingAndLeavingCostNoBlock) {
    App();
    CliListen cli(
        {"--freq", "6.015", "--mode", "am", "--no-playback", "--seconds", "6", "--rigctl", "0"});
    const std::uint16_t port = cli.port();
    ASSERT_NE(port, 0) << cli.err.toStdString();

    Poller a(port), b(port);
    ASSERT_TRUE(a.connected && b.connected);
    // One leaves in the middle of a command, one floods a megabyte without a newline, one
    // sends binary garbage.
    {
        QTcpSocket half;
        half.connectToHost("127.0.0.1", port);
        ASSERT_TRUE(half.waitForConnected(5000));
        half.write("F 70");
        half.waitForBytesWritten(1000);
        half.abort();
    }
    QTcpSocket flood, garbage;
    flood.connectToHost("127.0.0.1", port);
    garbage.connectToHost("127.0.0.1", port);
    ASSERT_TRUE(flood.waitForConnected(5000) && garbage.waitForConnected(5000));
    flood.write(QByteArray(1 << 20, 'x'));
    garbage.write(QByteArray("\x00\x01\xfe\xff\n", 5));
    flood.waitForBytesWritten(100);

    EXPECT_EQ(a.ask("F 6000000\n", 1), "RPRT 0\n");
    int answered = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string f = a.ask("f\n", 1);
        const std::string l = b.ask("l STRENGTH\n", 1);
        answered += f == "6000000\n" && !l.empty() && l.find("RPRT") == std::string::npos;
    }
    EXPECT_EQ(answered, 60);
    EXPECT_TRUE(garbage.waitForDisconnected(5000) ||
                garbage.state() != QAbstractSocket::ConnectedState);

    ASSERT_TRUE(cli.process.waitForFinished(30000));
    cli.err += cli.process.readAllStandardError();
    const std::string err = cli.err.toStdString();
    EXPECT_EQ(cli.process.exitCode(), 0) << err;
    EXPECT_NE(err.find("dropped client"), std::string::npos) << err;
    EXPECT_NE(err.find("dropped 0;"), std::string::npos) << err;
    EXPECT_NE(err.find("underruns 0"), std::string::npos) << err;
}

TEST(CliRemote, APortInUseIsAClearError) {
    App();
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::LocalHost, 0));
    QProcess cli;
    cli.start(ORVEX_CLI_PATH, {"listen", "--no-playback", "--seconds", "1", "--rigctl",
                               QString::number(busy.serverPort())});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 2);
    const QString err = cli.readAllStandardError();
    EXPECT_TRUE(
        err.contains("rigctl: cannot listen on 127.0.0.1:" + QString::number(busy.serverPort())))
        << err.toStdString();
}

} // namespace
} // namespace orvex::test
