// The Hamlib network control server: rigctld's text protocol on a TCP port, so that programs
// built on Hamlib (WSJT-X, fldigi, loggers; radio model 2, "NET rigctl") tune and read the
// receiver. Off until start() is called.
//
// Everything runs on the thread that owns the server, through its Qt event loop: sockets are
// non-blocking, each client's lines are answered in order, a client gets at most
// kLinesPerTurn answers before the loop turns again, and what a client may hold is bounded, so
// no client can hold up the block path. A client is dropped when a line grows past
// kMaxLineBytes without a newline, when a line holds control bytes (binary garbage), or when
// it stops reading its answers (more than kMaxPendingOutput bytes unsent); the others go on
// undisturbed. A command that waits for the synthesiser lets the event loop run; lines that
// arrive meanwhile wait until it has been answered, so commands never nest; so do lines that
// arrive while the receiver is busy with a tuning step of its own (RigControl::Busy).
#pragma once

#include "app/RigControl.h"
#include "app/RigctlProtocol.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace orvex::app {

class RigctlServer {
public:
    static constexpr std::uint16_t kDefaultPort = 4532;
    static constexpr int kMaxClients = 32;
    static constexpr qsizetype kMaxLineBytes = 1024;        ///< longest accepted command line
    static constexpr qint64 kMaxPendingOutput = 256 * 1024; ///< unsent answers per client
    static constexpr int kLinesPerTurn = 32;                ///< answers per client per loop turn
    static constexpr int kBusyRetryMs = 2; ///< retry while the receiver sends a tuning word

    /// rig must outlive the server.
    explicit RigctlServer(RigControl& rig);
    ~RigctlServer();
    RigctlServer(const RigctlServer&) = delete;
    RigctlServer& operator=(const RigctlServer&) = delete;

    /// Listens on address:port (port 0 picks a free port, see port()). The address is an IPv4
    /// or IPv6 literal, "localhost", or "any"/"0.0.0.0"/"::" for every interface. Returns
    /// false with errorText() set when the address is bad or the port cannot be bound; a
    /// server already listening is stopped first.
    bool start(std::uint16_t port = kDefaultPort, const QString& address = "127.0.0.1");
    /// Closes the listening socket and every client.
    void stop();

    bool isListening() const;
    /// The port listened on (the chosen one when started with 0); 0 when not listening.
    std::uint16_t port() const;
    /// Why the last start() failed, e.g. "cannot listen on 127.0.0.1:4532: The bound address
    /// is already in use".
    const QString& errorText() const { return m_error; }

    int clientCount() const { return static_cast<int>(m_clients.size()); }
    /// Command lines answered since construction.
    std::int64_t commandsAnswered() const { return m_answered; }
    /// Clients dropped for flooding, garbage or not reading.
    std::int64_t clientsDropped() const { return m_dropped; }

    /// Called with the new number of clients whenever one connects or leaves.
    std::function<void(int)> onClientCountChanged;
    /// Called with a line for the log when a client is dropped, e.g. "rigctl: dropped client
    /// 127.0.0.1:51234: a line longer than 1024 bytes".
    std::function<void(const QString&)> onClientDropped;

private:
    struct Client {
        QByteArray pending; // received bytes not yet answered, at most kMaxLineBytes + 1
        bool scheduled = false;
        QMetaObject::Connection readyRead, disconnected;
    };
    void accept();
    void serve(QTcpSocket* socket);
    void schedule(QTcpSocket* socket, Client& client, int delayMs = 0);
    void releaseRetired();
    void resumeWaiting();
    void drop(QTcpSocket* socket, const QString& reason);
    void remove(QTcpSocket* socket, bool graceful);

    RigControl& m_rig;
    RigctlState m_state;
    std::unique_ptr<QTcpServer> m_server;
    std::unordered_map<QTcpSocket*, Client> m_clients;
    QString m_error;
    std::int64_t m_answered = 0;
    std::int64_t m_dropped = 0;
    bool m_answering = false; // a command is being answered (it may let the event loop run)
    // Sockets and a server given up while a command ran, deleted once it has returned.
    std::vector<QTcpSocket*> m_retired;
    // Clients whose lines arrived while a command ran, served once it has returned.
    std::vector<QTcpSocket*> m_waiting;
    std::unique_ptr<QTcpServer> m_retiredServer;
};

} // namespace orvex::app
