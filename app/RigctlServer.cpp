#include "app/RigctlServer.h"

#include "app/RigctlProtocol.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace orvex::app {
namespace {

// What Qt buffers per client before it stops reading the socket (the sender then waits).
constexpr qint64 kReadBufferBytes = 16 * 1024;

// No command line holds control bytes other than tab and carriage return.
bool HoldsControlBytes(const QByteArray& line) {
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7f) return true;
    }
    return false;
}

QString PeerName(const QTcpSocket* socket) {
    return socket->peerAddress().toString() + ":" + QString::number(socket->peerPort());
}

} // namespace

RigctlServer::RigctlServer(RigControl& rig) : m_rig(rig) {}

RigctlServer::~RigctlServer() {
    stop();
}

bool RigctlServer::start(std::uint16_t port, const QString& address) {
    stop();
    m_error.clear();
    QHostAddress host;
    const QString a = address.trimmed();
    if (a.isEmpty() || a == "127.0.0.1" || a.compare("localhost", Qt::CaseInsensitive) == 0)
        host = QHostAddress(QHostAddress::LocalHost);
    else if (a.compare("any", Qt::CaseInsensitive) == 0)
        host = QHostAddress(QHostAddress::Any);
    else if (!host.setAddress(a)) {
        m_error = "cannot listen on " + a + ": not an IP address";
        return false;
    }
    m_server = std::make_unique<QTcpServer>();
    m_server->setMaxPendingConnections(kMaxClients);
    QObject::connect(m_server.get(), &QTcpServer::newConnection, m_server.get(),
                     [this] { accept(); });
    if (!m_server->listen(host, port)) {
        m_error =
            "cannot listen on " + a + ":" + QString::number(port) + ": " + m_server->errorString();
        m_server.reset();
        return false;
    }
    return true;
}

void RigctlServer::stop() {
    while (!m_clients.empty())
        remove(m_clients.begin()->first, false);
    if (!m_answering) {
        m_server.reset();
        return;
    }
    // Stopped from inside a command (its tuning step let the event loop run): the socket whose
    // command runs is still on the call stack, and the server owns it, so the server goes
    // only once the command has returned.
    if (m_server) m_server->close();
    m_retiredServer = std::move(m_server);
}

void RigctlServer::resumeWaiting() {
    for (QTcpSocket* waiting : m_waiting)
        if (const auto w = m_clients.find(waiting); w != m_clients.end())
            schedule(waiting, w->second);
    m_waiting.clear();
}

void RigctlServer::releaseRetired() {
    for (QTcpSocket* socket : m_retired)
        socket->deleteLater();
    m_retired.clear();
    if (m_retiredServer) m_retiredServer.release()->deleteLater();
}

bool RigctlServer::isListening() const {
    return m_server && m_server->isListening();
}

std::uint16_t RigctlServer::port() const {
    return isListening() ? m_server->serverPort() : 0;
}

void RigctlServer::accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (clientCount() >= kMaxClients) {
            socket->abort();
            socket->deleteLater();
            ++m_dropped;
            if (onClientDropped)
                onClientDropped("rigctl: refused a client: already " +
                                QString::number(kMaxClients) + " connected");
            continue;
        }
        socket->setReadBufferSize(kReadBufferBytes);
        // Answers are small and awaited one by one: send each at once.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Client& client = m_clients[socket];
        client.readyRead = QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                            [this, socket] { serve(socket); });
        client.disconnected = QObject::connect(socket, &QTcpSocket::disconnected, socket,
                                               [this, socket] { remove(socket, false); });
        if (onClientCountChanged) onClientCountChanged(clientCount());
        // Bytes may have arrived with the connection.
        if (socket->bytesAvailable() > 0) serve(socket);
    }
}

void RigctlServer::schedule(QTcpSocket* socket, Client& client, int delayMs) {
    if (client.scheduled) return;
    client.scheduled = true;
    QTimer::singleShot(delayMs, socket, [this, socket] { serve(socket); });
}

void RigctlServer::serve(QTcpSocket* socket) {
    auto it = m_clients.find(socket);
    if (it == m_clients.end()) return;
    it->second.scheduled = false;
    // A command may wait for the synthesiser with the event loop running; a line that arrives
    // meanwhile (from any client) is answered after it, never inside it.
    // Such a client waits until the command in progress has returned (which may take long: a
    // message box shown by it runs the loop until the user closes it).
    if (m_answering) {
        if (std::find(m_waiting.begin(), m_waiting.end(), socket) == m_waiting.end())
            m_waiting.push_back(socket);
        return;
    }
    // Nor while the receiver is busy sending a tuning word of its own (a few milliseconds): a
    // change now would be lost, so the command is tried again shortly.
    if (m_rig.Busy()) return schedule(socket, it->second, kBusyRetryMs);
    const QPointer<QTcpSocket> alive(socket);
    for (int answered = 0;;) {
        it = m_clients.find(socket);
        if (!alive || it == m_clients.end()) return; // dropped or stopped while answering
        Client& client = it->second;
        const qsizetype newline = client.pending.indexOf('\n');
        if (newline < 0) {
            if (client.pending.size() > kMaxLineBytes)
                return drop(socket,
                            "a line longer than " + QString::number(kMaxLineBytes) + " bytes");
            if (socket->bytesAvailable() <= 0) return;
            // Never more than one line's worth, so the buffer stays bounded.
            client.pending += socket->read(kMaxLineBytes + 1 - client.pending.size());
            continue;
        }
        if (answered == kLinesPerTurn) {
            // Let the event loop (and the block path) run before the rest of this client.
            return schedule(socket, client);
        }
        const QByteArray line = client.pending.left(newline);
        client.pending.remove(0, newline + 1);
        if (HoldsControlBytes(line)) return drop(socket, "control bytes in a command line");
        m_answering = true;
        const RigctlAnswer answer =
            AnswerRigctlLine(m_rig, m_state, std::string_view(line.constData(), line.size()));
        m_answering = false;
        releaseRetired();
        resumeWaiting();
        ++m_answered;
        ++answered;
        if (!alive || m_clients.find(socket) == m_clients.end()) return;
        if (answer.close) return remove(socket, true);
        if (!answer.text.empty())
            socket->write(answer.text.data(), static_cast<qint64>(answer.text.size()));
        if (socket->bytesToWrite() > kMaxPendingOutput)
            return drop(socket, "it does not read its answers");
    }
}

void RigctlServer::drop(QTcpSocket* socket, const QString& reason) {
    ++m_dropped;
    const QString line = "rigctl: dropped client " + PeerName(socket) + ": " + reason;
    remove(socket, false);
    if (onClientDropped) onClientDropped(line);
}

void RigctlServer::remove(QTcpSocket* socket, bool graceful) {
    const auto it = m_clients.find(socket);
    if (it == m_clients.end()) return;
    // No more calls into the server from this socket; it goes once it is closed.
    QObject::disconnect(it->second.readyRead);
    QObject::disconnect(it->second.disconnected);
    m_clients.erase(it);
    if (graceful) {
        // q: the answers already queued still go out.
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
    } else {
        socket->abort();
        // During a command a socket may be the one whose signal is running it: it is deleted
        // once the command has returned.
        if (m_answering)
            m_retired.push_back(socket);
        else
            socket->deleteLater();
    }
    if (onClientCountChanged) onClientCountChanged(clientCount());
}

} // namespace orvex::app
