// The rigctl server: the protocol line by line, then the server on loopback with raw sockets
// (several clients, floods, garbage, half-sent commands), then Hamlib's own rigctl client.
#include "EventPump.h"
#include "FakeRig.h"
#include "app/RigctlProtocol.h"
#include "app/RigctlServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace orvex;
using namespace orvex::app;
using orvex::testutil::App;
using orvex::testutil::FakeRig;
using orvex::testutil::PumpUntil;

namespace {

class ProtocolTest : public ::testing::Test {
protected:
    std::string ask(const std::string& line) { return AnswerRigctlLine(rig, state, line).text; }
    FakeRig rig;
    RigctlState state;
};

TEST_F(ProtocolTest, FrequencyIsSetAndReadInHertzAndRefusedOutOfRange) {
    EXPECT_EQ(ask("F 7090000"), "RPRT 0\n");
    EXPECT_EQ(ask("f"), "7090000\n");
    // Hamlib 4 clients put a VFO before the value and send fractions.
    EXPECT_EQ(ask("F VFOA 7100000.000000"), "RPRT 0\n");
    EXPECT_EQ(ask("f VFOA"), "7100000\n");
    EXPECT_EQ(ask("\\set_freq 14074000\r"), "RPRT 0\n");
    EXPECT_EQ(ask("\\get_freq"), "14074000\n");
    const int tunes = rig.tuneCalls;
    for (const char* bad : {"F 99e9", "F -5", "F", "F 7e6 1", "F 7MHz", "F nan", "F inf"})
        EXPECT_EQ(ask(bad), "RPRT -1\n") << bad;
    EXPECT_EQ(rig.tuneCalls, tunes);
    EXPECT_EQ(rig.frequencyHz, 14074000.0);
}

TEST_F(ProtocolTest, ModesRoundTripAndThePassbandSetsTheFilter) {
    // Every token "M ?" lists is accepted, and the receiver's own modes read back unchanged.
    std::string list = ask("M ?");
    ASSERT_EQ(list.substr(list.size() - 7), "RPRT 0\n");
    std::istringstream tokens(list.substr(0, list.find('\n')));
    int accepted = 0;
    for (std::string token; tokens >> token; ++accepted)
        EXPECT_EQ(ask("M " + token + " 0"), "RPRT 0\n") << token;
    EXPECT_GE(accepted, 6);
    for (std::int32_t mode = 0; mode <= 5; ++mode) {
        const std::string name = HamlibModeName(mode);
        ASSERT_EQ(ask("M " + name + " 0"), "RPRT 0\n");
        EXPECT_EQ(rig.mode, mode) << name;
        EXPECT_EQ(ask("m"), name + "\n" + std::to_string(rig.passbandHz) + "\n");
    }
    EXPECT_EQ(ask("M USB 2400"), "RPRT 0\n");
    EXPECT_EQ(ask("m"), "USB\n2400\n");
    EXPECT_EQ(ask("M PKTLSB 0"), "RPRT 0\n"); // data mode of a digital-mode program
    EXPECT_EQ(ask("m"), "LSB\n2400\n");       // 0 keeps the edges
    EXPECT_EQ(ask("M VFOA USB -1"), "RPRT 0\n");
    EXPECT_EQ(ask("m"), "USB\n2400\n");
    // A bad token changes nothing; a refused pass band is reported.
    const int modeCalls = rig.modeCalls;
    for (const char* bad : {"M CW 500", "M USB x", "M USB -2", "M", "M USB 2400 7"})
        EXPECT_EQ(ask(bad), "RPRT -1\n") << bad;
    EXPECT_EQ(rig.modeCalls, modeCalls);
    EXPECT_EQ(ask("M USB 20"), "RPRT -1\n");
    EXPECT_EQ(rig.passbandHz, 2400);
    // With the mode locked a client's set_mode is accepted and ignored.
    EXPECT_EQ(ask("\\set_lock_mode 1"), "RPRT 0\n");
    EXPECT_EQ(ask("\\get_lock_mode"), "1\n");
    EXPECT_EQ(ask("M AM 5000"), "RPRT 0\n");
    EXPECT_EQ(rig.mode, 1);
}

TEST_F(ProtocolTest, LevelsPowerVfoAndReceiverOnlyCommands) {
    EXPECT_EQ(ask("l STRENGTH"), "-12\n");
    rig.strengthDb = 23.6;
    EXPECT_EQ(ask("l VFOA STRENGTH"), "24\n");
    EXPECT_EQ(ask("l ?"), "AF STRENGTH\n");
    EXPECT_EQ(ask("L ?"), "AF\nRPRT 0\n");
    EXPECT_EQ(ask("L AF 0.25"), "RPRT 0\n");
    EXPECT_DOUBLE_EQ(rig.afLevel, 0.25);
    EXPECT_EQ(ask("l AF"), "0.250000\n");
    for (const char* bad : {"L AF 1.5", "L AF -0.1", "L STRENGTH 3", "L AF", "l RFPOWER", "l"})
        EXPECT_EQ(ask(bad), "RPRT -1\n") << bad;
    EXPECT_DOUBLE_EQ(rig.afLevel, 0.25);

    EXPECT_EQ(ask("t"), "0\n");
    EXPECT_EQ(ask("T 0"), "RPRT 0\n");
    EXPECT_EQ(ask("T 1"), "RPRT -11\n");
    EXPECT_EQ(ask("v"), "VFOA\n");
    EXPECT_EQ(ask("V VFOA"), "RPRT 0\n");
    EXPECT_EQ(ask("V VFOB"), "RPRT -11\n");
    EXPECT_EQ(ask("s"), "0\nVFOA\n");
    EXPECT_EQ(ask("S 0 VFOA"), "RPRT 0\n");
    EXPECT_EQ(ask("S 1 VFOB"), "RPRT -11\n");
    EXPECT_EQ(ask("\\chk_vfo"), "0\n");

    EXPECT_EQ(ask("\\set_powerstat 0"), "RPRT 0\n");
    EXPECT_FALSE(rig.power);
    EXPECT_EQ(ask("\\get_powerstat"), "0\n");
    EXPECT_EQ(ask("\\set_powerstat 1"), "RPRT 0\n");
    EXPECT_TRUE(rig.power);
    EXPECT_EQ(ask("\\set_powerstat 7"), "RPRT -1\n");
    // A receiver that cannot switch on says so and stays off.
    ask("\\set_powerstat 0");
    rig.powerFails = true;
    EXPECT_EQ(ask("\\set_powerstat 1"), "RPRT -6\n");
    EXPECT_EQ(ask("\\get_powerstat"), "0\n");
}

TEST_F(ProtocolTest, ExtendedResponsesErrorsAndEndOfSession) {
    EXPECT_EQ(ask("+f"), "get_freq:\nFrequency: 6015000\nRPRT 0\n");
    EXPECT_EQ(ask("+\\set_mode USB 2400"), "set_mode: USB 2400\nRPRT 0\n");
    EXPECT_EQ(ask(";\\get_mode"), "get_mode:;Mode: USB;Passband: 2400;RPRT 0\n");
    EXPECT_EQ(ask("|M USB 2400"), "set_mode: USB 2400|RPRT 0\n");
    EXPECT_EQ(ask("+l STRENGTH"), "get_level: STRENGTH\nLevel Value: -12\nRPRT 0\n");
    EXPECT_EQ(ask("+F 1"), "set_freq: 1\nRPRT -1\n");
    // Unknown commands, known ones a receiver has no use for, junk.
    EXPECT_EQ(ask("\\no_such_command"), "RPRT -4\n");
    EXPECT_EQ(ask("J 100"), "RPRT -4\n");
    EXPECT_EQ(ask("+\\frobnicate 1"), "frobnicate: 1\nRPRT -4\n");
    EXPECT_EQ(ask(""), "");
    EXPECT_EQ(ask("   \r"), "");
    EXPECT_EQ(ask("# a comment"), "");
    const RigctlAnswer quit = AnswerRigctlLine(rig, state, "q");
    EXPECT_TRUE(quit.close);
    EXPECT_EQ(quit.text, "");
}

// A raw client on loopback: sends bytes, collects what comes back.
struct RawClient {
    explicit RawClient(std::uint16_t port) {
        socket.connectToHost("127.0.0.1", port);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
    }
    bool connected() {
        return PumpUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    // Sends text and waits for `lines` newline-terminated lines of answer.
    std::string ask(const QByteArray& text, int lines) {
        received.clear();
        socket.write(text);
        PumpUntil([&] { return received.count('\n') >= lines || closed; });
        return received.toStdString();
    }
    QTcpSocket socket;
    QByteArray received;
    bool closed = false;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(server.start(0)) << server.errorText().toStdString();
        server.onClientDropped = [this](const QString& line) { drops.push_back(line); };
    }
    FakeRig rig;
    RigctlServer server{rig};
    std::vector<QString> drops;
};

TEST_F(ServerTest, ClientsAreAnsweredInOrderAndOneBadClientDisturbsNoOther) {
    RawClient a(server.port()), b(server.port());
    ASSERT_TRUE(a.connected() && b.connected());
    ASSERT_TRUE(PumpUntil([&] { return server.clientCount() == 2; }));
    // Lines sent at once, more than one turn's worth, answered in order.
    QByteArray burst;
    std::string expected;
    for (int i = 0; i < 3 * RigctlServer::kLinesPerTurn; ++i) {
        const int hz = 7000000 + i;
        burst += "F " + QByteArray::number(hz) + "\nf\n";
        expected += "RPRT 0\n" + std::to_string(hz) + "\n";
    }
    EXPECT_EQ(a.ask(burst, 6 * RigctlServer::kLinesPerTurn), expected);
    EXPECT_EQ(b.ask("m\nt\n", 3), "AM\n4950\n0\n");

    // A client that stops in the middle of a command and leaves: nothing is tuned.
    {
        RawClient half(server.port());
        ASSERT_TRUE(half.connected());
        const int tunes = rig.tuneCalls;
        half.socket.write("F 14");
        half.socket.flush();
        half.socket.disconnectFromHost();
        ASSERT_TRUE(PumpUntil([&] { return server.clientCount() == 2; }));
        EXPECT_EQ(rig.tuneCalls, tunes);
    }
    // A megabyte without a newline, and binary garbage: both dropped, the others served.
    RawClient flood(server.port()), garbage(server.port());
    ASSERT_TRUE(flood.connected() && garbage.connected());
    flood.socket.write(QByteArray(1 << 20, 'x'));
    garbage.socket.write(QByteArray("f\n\x00\x01\xff\x7fq\n", 9));
    ASSERT_TRUE(PumpUntil([&] { return flood.closed && garbage.closed; }));
    EXPECT_EQ(server.clientsDropped(), 2);
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_NE(drops[0].indexOf("dropped client 127.0.0.1:"), -1);
    EXPECT_EQ(a.ask("f\n", 1), "7000095\n");
    EXPECT_EQ(b.ask("+\\get_powerstat\n", 3), "get_powerstat:\nPower Status: 1\nRPRT 0\n");
    EXPECT_EQ(server.clientCount(), 2);
    // q ends only that session.
    EXPECT_EQ(a.ask("v\nq\nf\n", 99), "VFOA\n");
    EXPECT_TRUE(a.closed);
    EXPECT_EQ(b.ask("f\n", 1), "7000095\n");
}

// Tuning waits for the synthesiser with the event loop running, as the DDS controller's bit
// waits do in the window: lines arriving meanwhile are answered after, in order, never nested.
TEST(ServerYieldTest, CommandsArriveWhileATuningStepYieldsAndNeverNest) {
    App();
    struct YieldingRig : FakeRig {
        bool setFrequencyHz(double hz) override {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            for (int i = 0; i < 20; ++i) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                if (i == 10 && onYield) onYield();
            }
            const bool ok = FakeRig::setFrequencyHz(hz);
            --depth;
            return ok;
        }
        int depth = 0, maxDepth = 0;
        std::function<void()> onYield;
    } rig;
    auto server = std::make_unique<RigctlServer>(rig);
    ASSERT_TRUE(server->start(0));
    RawClient a(server->port()), b(server->port());
    ASSERT_TRUE(a.connected() && b.connected());
    a.socket.write("F 7000001\nF 7000002\nf\n");
    b.socket.write("F 7000003\nf\n");
    ASSERT_TRUE(
        PumpUntil([&] { return a.received.count('\n') >= 3 && b.received.count('\n') >= 2; }));
    EXPECT_EQ(rig.maxDepth, 1);
    EXPECT_EQ(rig.tuneCalls, 3);
    EXPECT_TRUE(a.received.startsWith("RPRT 0\nRPRT 0\n")) << a.received.toStdString();
    EXPECT_TRUE(b.received.startsWith("RPRT 0\n")) << b.received.toStdString();

    // While the receiver sends a tuning word of its own, commands wait for it to finish.
    a.received.clear();
    const double before = rig.frequencyHz;
    rig.busy = true;
    a.socket.write("F 7000004\nf\n");
    EXPECT_FALSE(PumpUntil([&] { return !a.received.isEmpty(); }, 300));
    EXPECT_EQ(rig.frequencyHz, before);
    rig.busy = false;
    ASSERT_TRUE(PumpUntil([&] { return a.received.count('\n') >= 2; }));
    EXPECT_EQ(a.received.toStdString(), "RPRT 0\n7000004\n");

    // A client that leaves, and the server stopped, while its command waits: nothing breaks.
    RawClient c(server->port());
    ASSERT_TRUE(c.connected());
    c.socket.write("F 7100000\n");
    c.socket.flush();
    c.socket.abort();
    a.socket.write("F 7200000\n");
    a.socket.flush();
    rig.onYield = [&] { server->stop(); };
    const int tunes = rig.tuneCalls;
    PumpUntil([&] { return rig.tuneCalls > tunes && !server->isListening(); }, 3000);
    EXPECT_FALSE(server->isListening());
    EXPECT_EQ(server->clientCount(), 0);
}

TEST_F(ServerTest, ABusyPortOrABadAddressIsReported) {
    RigctlServer second(rig);
    EXPECT_FALSE(second.start(server.port()));
    EXPECT_NE(second.errorText().indexOf("cannot listen on 127.0.0.1:"), -1)
        << second.errorText().toStdString();
    EXPECT_FALSE(second.start(0, "not-an-address"));
    EXPECT_FALSE(second.isListening());
    server.stop();
    EXPECT_EQ(server.port(), 0);
    EXPECT_TRUE(second.start(0, "any"));
}

// A client on a plain socket, for what QTcpSocket cannot do: shut only its sending side.
struct PlainClient {
    explicit PlainClient(std::uint16_t port) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    ~PlainClient() { ::close(fd); }
    void send(const std::string& text) {
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void shutSending() { ::shutdown(fd, SHUT_WR); }
    // Reads (with the server's loop running) until the server closes; false if it does not.
    bool readToEnd(int guardMs = 10000) {
        return PumpUntil(
            [this] {
                char buffer[4096];
                ssize_t n = 0;
                while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                    received.append(buffer, static_cast<std::size_t>(n));
                closed = n == 0 || (n < 0 && errno != EAGAIN);
                return closed;
            },
            guardMs);
    }
    int fd = -1;
    bool ok = false;
    bool closed = false;
    std::string received;
};

// `printf ... | nc -N` and scripts: the client sends its lines and shuts its sending side at
// once. Every complete line is answered, in order, even while the receiver holds commands
// back, and the answers all arrive before the server closes; a last half line is no command.
TEST_F(ServerTest, AClientThatShutsItsSendingSideGetsEveryAnswerBeforeTheClose) {
    PlainClient a(server.port());
    ASSERT_TRUE(a.ok);
    std::string lines, expected;
    for (int i = 0; i < 3 * RigctlServer::kLinesPerTurn; ++i) {
        const int hz = 7000000 + i;
        lines += "F " + std::to_string(hz) + "\nf\n";
        expected += "RPRT 0\n" + std::to_string(hz) + "\n";
    }
    rig.busy = true; // the receiver sends a tuning word of its own meanwhile
    a.send(lines + "F 1400");
    a.shutSending();
    EXPECT_FALSE(PumpUntil([&] { return rig.tuneCalls > 0; }, 200));
    rig.busy = false;
    ASSERT_TRUE(a.readToEnd());
    EXPECT_EQ(a.received, expected);
    EXPECT_EQ(rig.frequencyHz, 7000095.0); // not 1400
    EXPECT_EQ(server.clientCount(), 0);
    EXPECT_EQ(server.clientsDropped(), 0);

    // The same with programs nobody here wrote: OpenBSD netcat's -N and socat.
    const auto viaProgram = [&](const QString& program, const QStringList& args) {
        QProcess process;
        process.start(program, args);
        process.write("F 7123000\nf\n+\\get_mode\n");
        process.closeWriteChannel();
        const bool done = PumpUntil([&] { return process.state() == QProcess::NotRunning; });
        if (!done) process.kill();
        process.waitForFinished(1000);
        return process.readAllStandardOutput().toStdString();
    };
    const QString port = QString::number(server.port());
    const std::string answers = "RPRT 0\n7123000\nget_mode:\nMode: AM\nPassband: 4950\nRPRT 0\n";
    const QString nc = QStandardPaths::findExecutable("nc");
    const QString socat = QStandardPaths::findExecutable("socat");
    ASSERT_FALSE(nc.isEmpty() || socat.isEmpty()) << "tools/install-deps installs nc and socat";
    EXPECT_EQ(viaProgram(nc, {"-N", "127.0.0.1", port}), answers);
    EXPECT_EQ(viaProgram(socat, {"-", "TCP:127.0.0.1:" + port}), answers);
}

// Clients that send half a command and sit there, or nothing at all, are dropped after the
// idle timeout; one that polls stays. With every slot taken by such clients, a new client
// that behaves is served at once: the one quiet longest gives way.
TEST_F(ServerTest, IdleClientsAreDroppedAndGiveWayToOneThatBehaves) {
    server.setIdleTimeoutMs(400);
    RawClient poller(server.port()), half(server.port()), silent(server.port());
    ASSERT_TRUE(poller.connected() && half.connected() && silent.connected());
    half.socket.write("F 14");
    QElapsedTimer elapsed;
    elapsed.start();
    int polls = 0;
    ASSERT_TRUE(PumpUntil([&] {
        if (elapsed.elapsed() > 100 * (polls + 1)) {
            ++polls;
            poller.socket.write("f\n");
        }
        return half.closed && silent.closed;
    }));
    EXPECT_GE(elapsed.elapsed(), 400);
    EXPECT_FALSE(poller.closed);
    EXPECT_EQ(server.clientCount(), 1);
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_NE(drops[0].indexOf("no complete command for 0.4 s"), -1) << drops[0].toStdString();
    EXPECT_EQ(rig.tuneCalls, 0);

    server.setIdleTimeoutMs(RigctlServer::kDefaultIdleTimeoutMs);
    drops.clear();
    std::vector<std::unique_ptr<RawClient>> squatters;
    for (int i = 1; i < RigctlServer::kMaxClients; ++i) {
        squatters.push_back(std::make_unique<RawClient>(server.port()));
        ASSERT_TRUE(squatters.back()->connected());
        squatters.back()->socket.write("F 7");
    }
    ASSERT_TRUE(PumpUntil([&] { return server.clientCount() == RigctlServer::kMaxClients; }));
    poller.received.clear();
    poller.socket.write("f\n"); // the poller is the most recent to have sent a command
    ASSERT_TRUE(PumpUntil([&] { return poller.received.contains("6015000"); }));
    PlainClient newcomer(server.port());
    ASSERT_TRUE(newcomer.ok);
    newcomer.send("f\nq\n");
    ASSERT_TRUE(newcomer.readToEnd());
    EXPECT_EQ(newcomer.received, "6015000\n");
    ASSERT_TRUE(PumpUntil([&] { return squatters[0]->closed; }));
    EXPECT_FALSE(poller.closed);
    ASSERT_FALSE(drops.empty());
    EXPECT_NE(drops[0].indexOf("gave way to a new client"), -1) << drops[0].toStdString();
}

// Hamlib's own client, run with QProcess while this test's event loop serves it.
class HamlibClientTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        m_rigctl = QStandardPaths::findExecutable("rigctl");
        if (m_rigctl.isEmpty()) GTEST_SKIP() << "Hamlib's rigctl is not installed";
    }
    // Runs "rigctl -m 2 -r 127.0.0.1:PORT ARGS..." and returns what it printed.
    std::string rigctl(QStringList args, int* exitCode = nullptr) {
        args.prepend("127.0.0.1:" + QString::number(server.port()));
        args.prepend("-r");
        args.prepend("2");
        args.prepend("-m");
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(m_rigctl, args);
        const bool finished =
            PumpUntil([&] { return process.state() == QProcess::NotRunning; }, 20000);
        if (!finished) process.kill();
        process.waitForFinished(1000);
        if (exitCode) *exitCode = finished ? process.exitCode() : -1;
        return process.readAll().toStdString();
    }
    QString m_rigctl;
};

TEST_F(HamlibClientTest, TunesSetsModesAndReadsTheMeter) {
    int code = -1;
    // Each call is a fresh client, so the reads come from the server, not the client's cache.
    rigctl({"F", "7090000"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(rig.frequencyHz, 7090000.0);
    EXPECT_EQ(rigctl({"f"}, &code), "7090000\n");
    rigctl({"M", "USB", "2400"});
    EXPECT_EQ(rig.mode, 1);
    EXPECT_EQ(rig.passbandHz, 2400);
    EXPECT_EQ(rigctl({"m"}), "USB\n2400\n");
    EXPECT_EQ(rigctl({"l", "STRENGTH"}), "-12\n");
    // Modes and levels come from the client's reading of \dump_state.
    const std::string modes = rigctl({"M", "?"});
    for (const char* m : {"AM ", "USB ", "LSB ", "FM ", "AMS "})
        EXPECT_NE(modes.find(m), std::string::npos) << m << " missing from " << modes;
    EXPECT_EQ(QString::fromStdString(rigctl({"l", "?"})).simplified(), "AF STRENGTH");
    const std::string refused = rigctl({"F", "99000000000"}, &code);
    EXPECT_NE(refused.find("Invalid parameter"), std::string::npos) << refused;
    EXPECT_EQ(rig.frequencyHz, 7090000.0);
}

TEST_F(HamlibClientTest, DumpStateIsReadWithoutAProtocolError) {
    int code = -1;
    const std::string verbose = rigctl({"-vvvvv", "f"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(verbose.find("netrigctl_open returning(0)"), std::string::npos) << verbose;
    EXPECT_EQ(verbose.find("rotocol error"), std::string::npos) << verbose;
    EXPECT_EQ(verbose.find("RPRT -"), std::string::npos) << verbose; // nothing it asks fails
}

} // namespace
