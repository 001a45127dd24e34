#include "app/RigctlServer.h"

#include "app/RigctlProtocol.h"

#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::app {
namespace {

// What a client may have received and not yet had answered; reading stops while it is full
// (the sender then waits), so a flood costs memory only up to this.
constexpr qsizetype kReadBufferBytes = 16 * 1024;
// How long a politely closed connection waits for the peer to close its side.
constexpr int kLingerMs = 2000;

// No command line holds control bytes other than tab and carriage return.
bool HoldsControlBytes(const QByteArray& line) {
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7f) return true;
    }
    return false;
}

QString PeerName(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return "?";
    QHostAddress host(reinterpret_cast<const sockaddr*>(&address));
    bool v4 = false;
    if (const quint32 ip = host.toIPv4Address(&v4); v4) host = QHostAddress(ip); // ::ffff:a.b.c.d
    const quint16 port = address.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port)
                             : ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    return host.toString() + ":" + QString::number(port);
}

QString Seconds(int ms) {
    return QString::number(ms / 1000.0, 'g', 3) + " s";
}

} // namespace

// The listening socket; each accepted connection comes as its descriptor, which the server
// handles itself (a QTcpSocket closes the whole connection when the peer shuts its sending
// side, losing the answers still to come).
class RigctlServer::Listener final : public QTcpServer {
public:
    std::function<void(int)> onConnection;

protected:
    void incomingConnection(qintptr fd) override { onConnection(static_cast<int>(fd)); }
};

RigctlServer::RigctlServer(RigControl& rig)
    : m_rig(rig), m_timer(std::make_unique<QTimer>()), m_context(std::make_unique<QObject>()) {
    QObject::connect(m_timer.get(), &QTimer::timeout, m_context.get(), [this] { checkIdle(); });
}

RigctlServer::~RigctlServer() {
    stop();
    releaseRetired();
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
    m_server = std::make_unique<Listener>();
    m_server->onConnection = [this](int fd) { accept(fd); };
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
    while (!m_lingering.empty())
        closeLingering(m_lingering.begin()->first);
    m_waiting.clear();
    updateTimer();
    if (!m_answering) {
        m_server.reset();
        return;
    }
    // Stopped from inside a command (its tuning step let the event loop run): the listener may
    // be on the call stack (a connection whose first line was answered at once), so it goes
    // only once the command has returned.
    if (m_server) m_server->close();
    m_retiredServer = std::move(m_server);
}

void RigctlServer::setIdleTimeoutMs(int ms) {
    m_idleTimeoutMs = std::max(ms, 0);
    updateTimer();
}

bool RigctlServer::isListening() const {
    return m_server && m_server->isListening();
}

std::uint16_t RigctlServer::port() const {
    return isListening() ? m_server->serverPort() : 0;
}

RigctlServer::Client* RigctlServer::find(Id id) {
    const auto it = m_clients.find(id);
    return it == m_clients.end() ? nullptr : &it->second;
}

// ---- connections ---------------------------------------------------------------------------

void RigctlServer::accept(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        ::close(fd);
        return;
    }
    (void)::fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (clientCount() >= kMaxClients && !makeRoom()) {
        const QString peer = PeerName(fd);
        ::close(fd);
        ++m_dropped;
        if (onClientDropped)
            onClientDropped("rigctl: refused client " + peer + ": already " +
                            QString::number(kMaxClients) + " connected, all of them busy");
        return;
    }
    // Answers are small and awaited one by one: send each at once.
    const int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const Id id = m_nextId++;
    Client& client = m_clients[id];
    client.fd = fd;
    client.peer = PeerName(fd);
    client.lastLine = Clock::now();
    client.reader = new QSocketNotifier(fd, QSocketNotifier::Read);
    client.writer = new QSocketNotifier(fd, QSocketNotifier::Write);
    client.writer->setEnabled(false);
    QObject::connect(client.reader, &QSocketNotifier::activated, m_context.get(),
                     [this, id] { readable(id); });
    QObject::connect(client.writer, &QSocketNotifier::activated, m_context.get(),
                     [this, id] { writable(id); });
    updateTimer();
    if (onClientCountChanged) onClientCountChanged(clientCount());
}

// The table is full: the client quiet longest (no complete line for the longest time, none
// waiting to be answered, no command of its running) gives way. False when there is none.
bool RigctlServer::makeRoom() {
    const Client* quietest = nullptr;
    Id quietestId = 0;
    for (const auto& [id, client] : m_clients) {
        if (id == m_answeringId || client.closing || client.in.contains('\n')) continue;
        if (!quietest || client.lastLine < quietest->lastLine) {
            quietest = &client;
            quietestId = id;
        }
    }
    if (!quietest) return false;
    const auto quiet =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quietest->lastLine);
    drop(quietestId, "gave way to a new client after " + Seconds(static_cast<int>(quiet.count())) +
                         " without a command");
    return true;
}

void RigctlServer::readable(Id id) {
    Client* client = find(id);
    if (!client) return;
    bool complete = false;
    while (client->in.size() < kReadBufferBytes) {
        char buffer[4096];
        const auto room = std::min<qsizetype>(sizeof buffer, kReadBufferBytes - client->in.size());
        const ssize_t n = ::read(client->fd, buffer, static_cast<std::size_t>(room));
        if (n > 0) {
            complete = complete || std::find(buffer, buffer + n, '\n') != buffer + n;
            client->in.append(buffer, n);
            continue;
        }
        if (n == 0) { // the peer shut its sending side: answer what came, then close
            client->inputClosed = true;
            client->reader->setEnabled(false);
            break;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        return remove(id, false); // reset by the peer: it is gone
    }
    if (client->in.size() >= kReadBufferBytes) client->reader->setEnabled(false); // full: wait
    if (complete) client->lastLine = Clock::now();
    serve(id);
}

void RigctlServer::writable(Id id) {
    if (!send(id)) return;
    Client* client = find(id);
    if (client && client->out.isEmpty() && client->closing) remove(id, true);
}

// Sends what can be sent now; the rest waits for the socket to take it. False when the client
// is gone (the peer reset the connection).
bool RigctlServer::send(Id id) {
    Client* client = find(id);
    if (!client) return false;
    while (!client->out.isEmpty()) {
        const ssize_t n = ::send(client->fd, client->out.constData(),
                                 static_cast<std::size_t>(client->out.size()), MSG_NOSIGNAL);
        if (n > 0) {
            client->out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        remove(id, false); // the peer is gone (EPIPE, ECONNRESET)
        return false;
    }
    client->writer->setEnabled(!client->out.isEmpty());
    return true;
}

void RigctlServer::schedule(Id id, int delayMs) {
    Client* client = find(id);
    if (!client || client->scheduled) return;
    client->scheduled = true;
    QTimer::singleShot(delayMs, m_context.get(), [this, id] { serve(id); });
}

void RigctlServer::serve(Id id) {
    Client* client = find(id);
    if (!client) return;
    client->scheduled = false;
    // A command may wait for the synthesiser with the event loop running; a line that arrives
    // meanwhile (from any client) is answered after it, never inside it.
    // Such a client waits until the command in progress has returned (which may take long: a
    // message box shown by it runs the loop until the user closes it).
    if (m_answering) {
        if (std::find(m_waiting.begin(), m_waiting.end(), id) == m_waiting.end())
            m_waiting.push_back(id);
        return;
    }
    // Nor while the receiver is busy sending a tuning word of its own (a few milliseconds): a
    // change now would be lost, so the command is tried again shortly.
    if (m_rig.Busy()) return schedule(id, kBusyRetryMs);
    for (int answered = 0;;) {
        client = find(id);
        if (!client) return; // dropped or stopped while answering
        const qsizetype newline = client->in.indexOf('\n');
        if (newline < 0 || newline > kMaxLineBytes) {
            if (client->in.size() > kMaxLineBytes)
                return drop(id, "a line longer than " + QString::number(kMaxLineBytes) + " bytes");
            if (client->inputClosed) return finishWhenSent(id); // a last half line is no command
            if (!client->closing) client->reader->setEnabled(true); // room to read again
            return;
        }
        if (answered == kLinesPerTurn) {
            // Let the event loop (and the block path) run before the rest of this client.
            return schedule(id);
        }
        const QByteArray line = client->in.left(newline);
        client->in.remove(0, newline + 1);
        if (HoldsControlBytes(line)) return drop(id, "control bytes in a command line");
        m_answering = true;
        m_answeringId = id;
        const RigctlAnswer answer =
            AnswerRigctlLine(m_rig, m_state, std::string_view(line.constData(), line.size()));
        m_answering = false;
        m_answeringId = 0;
        releaseRetired();
        resumeWaiting();
        ++m_answered;
        ++answered;
        client = find(id);
        if (!client) return;
        client->out.append(answer.text.data(), static_cast<qsizetype>(answer.text.size()));
        if (!send(id)) return;
        client = find(id);
        if (!client) return;
        if (answer.close) {
            // q: the answers already queued still go out; nothing after it is answered.
            client->in.clear();
            client->reader->setEnabled(false);
            return finishWhenSent(id);
        }
        if (client->out.size() > kMaxPendingOutput) return drop(id, "it does not read its answers");
    }
}

void RigctlServer::finishWhenSent(Id id) {
    Client* client = find(id);
    if (!client) return;
    client->closing = true;
    if (client->out.isEmpty()) return remove(id, true);
    client->writer->setEnabled(true);
}

// ---- idle clients and their end ------------------------------------------------------------

void RigctlServer::updateTimer() {
    const bool needed = (!m_clients.empty() && m_idleTimeoutMs > 0) || !m_lingering.empty();
    if (!needed) {
        m_timer->stop();
        return;
    }
    // A tenth of the timeout, within 50 ms to 1 s: a client is dropped at most 10 % late.
    const int tick = std::clamp(m_idleTimeoutMs > 0 ? m_idleTimeoutMs / 10 : 1000, 50, 1000);
    if (!m_timer->isActive() || m_timer->interval() != tick) m_timer->start(tick);
}

void RigctlServer::checkIdle() {
    const auto now = Clock::now();
    if (m_idleTimeoutMs > 0) {
        const auto limit = std::chrono::milliseconds(m_idleTimeoutMs);
        std::vector<Id> idle;
        for (const auto& [id, client] : m_clients)
            if (id != m_answeringId && !client.closing && !client.in.contains('\n') &&
                now - client.lastLine >= limit)
                idle.push_back(id);
        for (const Id id : idle)
            drop(id, "no complete command for " + Seconds(m_idleTimeoutMs));
    }
    std::vector<Id> overdue;
    for (const auto& [id, lingering] : m_lingering)
        if (now >= lingering.until) overdue.push_back(id);
    for (const Id id : overdue)
        closeLingering(id);
    updateTimer();
}

void RigctlServer::resumeWaiting() {
    const std::vector<Id> waiting = std::move(m_waiting);
    m_waiting.clear();
    for (const Id id : waiting)
        schedule(id);
}

void RigctlServer::retire(QObject* object) {
    if (!object) return;
    // No more calls into the server from it; during a command it may be the notifier whose
    // signal runs that command, so it goes only once the command has returned.
    QObject::disconnect(object, nullptr, nullptr, nullptr);
    if (auto* notifier = qobject_cast<QSocketNotifier*>(object)) notifier->setEnabled(false);
    if (m_answering)
        m_retired.push_back(object);
    else
        object->deleteLater();
}

void RigctlServer::releaseRetired() {
    for (QObject* object : m_retired)
        object->deleteLater();
    m_retired.clear();
    if (m_retiredServer) m_retiredServer.release()->deleteLater();
}

void RigctlServer::drop(Id id, const QString& reason) {
    Client* client = find(id);
    if (!client) return;
    ++m_dropped;
    const QString line = "rigctl: dropped client " + client->peer + ": " + reason;
    remove(id, false);
    if (onClientDropped) onClientDropped(line);
}

void RigctlServer::remove(Id id, bool graceful) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end()) return;
    Client client = std::move(it->second);
    m_clients.erase(it);
    retire(client.writer);
    if (graceful && !client.inputClosed) {
        // Our side is done; what the peer still sends is read and dropped until it closes, so
        // that unread input cannot turn the close into a reset that loses the last answers.
        ::shutdown(client.fd, SHUT_WR);
        Lingering& lingering = m_lingering[id];
        lingering.fd = client.fd;
        lingering.until = Clock::now() + std::chrono::milliseconds(kLingerMs);
        lingering.reader = client.reader;
        QObject::disconnect(lingering.reader, nullptr, nullptr, nullptr);
        lingering.reader->setEnabled(true);
        QObject::connect(lingering.reader, &QSocketNotifier::activated, m_context.get(),
                         [this, id] {
                             const auto l = m_lingering.find(id);
                             if (l == m_lingering.end()) return;
                             char scrap[4096];
                             ssize_t n = 0;
                             while ((n = ::read(l->second.fd, scrap, sizeof scrap)) > 0) {
                             }
                             if (n == 0 || (errno != EAGAIN && errno != EINTR)) closeLingering(id);
                         });
    } else {
        retire(client.reader);
        if (graceful) ::shutdown(client.fd, SHUT_WR);
        ::close(client.fd);
    }
    updateTimer();
    if (onClientCountChanged) onClientCountChanged(clientCount());
}

void RigctlServer::closeLingering(Id id) {
    const auto it = m_lingering.find(id);
    if (it == m_lingering.end()) return;
    retire(it->second.reader);
    ::close(it->second.fd);
    m_lingering.erase(it);
}

} // namespace orvex::app
