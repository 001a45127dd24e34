// The Hamlib network control server: rigctld's text protocol on a TCP port, so that programs
// built on Hamlib (WSJT-X, fldigi, loggers; radio model 2, "NET rigctl") tune and read the
// receiver. Off until start() is called.
//
// Everything runs on the thread that owns the server, through its Qt event loop: client
// sockets are non-blocking descriptors watched by socket notifiers, each client's lines are
// answered in order, a client gets at most kLinesPerTurn answers before the loop turns again,
// and what a client may hold is bounded, so no client can hold up the block path.
//
// A client is dropped when a line grows past kMaxLineBytes without a newline, when a line
// holds control bytes (binary garbage), when it stops reading its answers (more than
// kMaxPendingOutput bytes unsent), or when it sends no complete line for the idle timeout
// (30 s unless set otherwise); the others go on undisturbed. When every slot is taken, the
// client that has been quiet longest gives way to a new one, so clients that sit on a slot
// can never lock out one that behaves.
//
// A client that sends its commands and then shuts its sending side (`printf 'f\n' | nc -N`,
// socat, scripts) gets every complete line answered and all its answers before the server
// closes the connection. `q` ends a session the same way.
//
// A command that waits for the synthesiser lets the event loop run; lines that arrive
// meanwhile wait until it has been answered, so commands never nest; so do lines that arrive
// while the receiver is busy with a tuning step of its own (RigControl::Busy).
#pragma once

#include "app/RigControl.h"
#include "app/RigctlProtocol.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QObject;
class QSocketNotifier;
class QTcpServer;
class QTimer;

namespace orvex::app {

class RigctlServer {
public:
    static constexpr std::uint16_t kDefaultPort = 4532;
    static constexpr int kMaxClients = 32;
    static constexpr qsizetype kMaxLineBytes = 1024;        ///< longest accepted command line
    static constexpr qint64 kMaxPendingOutput = 256 * 1024; ///< unsent answers per client
    static constexpr int kLinesPerTurn = 32;                ///< answers per client per loop turn
    static constexpr int kBusyRetryMs = 2; ///< retry while the receiver sends a tuning word
    static constexpr int kDefaultIdleTimeoutMs = 30000; ///< no complete line for this long: drop

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

    /// A client that sends no complete command line for this long is dropped (ms; 0: never).
    /// Clients whose lines wait for a command in progress are never idle.
    void setIdleTimeoutMs(int ms);
    int idleTimeoutMs() const { return m_idleTimeoutMs; }

    bool isListening() const;
    /// The port listened on (the chosen one when started with 0); 0 when not listening.
    std::uint16_t port() const;
    /// Why the last start() failed, e.g. "cannot listen on 127.0.0.1:4532: The bound address
    /// is already in use".
    const QString& errorText() const { return m_error; }

    int clientCount() const { return static_cast<int>(m_clients.size()); }
    /// Command lines answered since construction.
    std::int64_t commandsAnswered() const { return m_answered; }
    /// Clients dropped for flooding, garbage, not reading, idling or giving way, and clients
    /// refused.
    std::int64_t clientsDropped() const { return m_dropped; }

    /// Called with the new number of clients whenever one connects or leaves.
    std::function<void(int)> onClientCountChanged;
    /// Called with a line for the log when a client is dropped, e.g. "rigctl: dropped client
    /// 127.0.0.1:51234: a line longer than 1024 bytes".
    std::function<void(const QString&)> onClientDropped;

private:
    using Clock = std::chrono::steady_clock;
    using Id = std::uint64_t;
    struct Client {
        int fd = -1;
        QString peer;
        QSocketNotifier* reader = nullptr;
        QSocketNotifier* writer = nullptr;
        QByteArray in;            // received, not yet answered (bounded, see kReadBufferBytes)
        QByteArray out;           // answers not yet sent
        bool inputClosed = false; // the peer shut its sending side: no more lines come
        bool closing = false;     // close once `out` is sent
        bool scheduled = false;
        Clock::time_point lastLine; // the last complete line arrived (or the connection)
    };
    // A connection being closed politely: our side shut, what the peer still sends is read
    // and dropped until it closes too (or kLingerMs pass), so our last answers are not lost
    // to a reset.
    struct Lingering {
        int fd = -1;
        QSocketNotifier* reader = nullptr;
        Clock::time_point until;
    };
    class Listener;

    Client* find(Id id);
    void accept(int fd);
    bool makeRoom();
    void readable(Id id);
    void writable(Id id);
    void serve(Id id);
    void schedule(Id id, int delayMs = 0);
    bool send(Id id);
    void finishWhenSent(Id id);
    void checkIdle();
    void updateTimer();
    void resumeWaiting();
    void releaseRetired();
    void retire(QObject* object);
    void drop(Id id, const QString& reason);
    void remove(Id id, bool graceful);
    void closeLingering(Id id);

    RigControl& m_rig;
    RigctlState m_state;
    std::unique_ptr<Listener> m_server;
    std::map<Id, Client> m_clients;
    std::map<Id, Lingering> m_lingering;
    std::unique_ptr<QTimer> m_timer;    // idle and lingering deadlines
    std::unique_ptr<QObject> m_context; // owner of the single-shot retries
    Id m_nextId = 1;
    QString m_error;
    int m_idleTimeoutMs = kDefaultIdleTimeoutMs;
    std::int64_t m_answered = 0;
    std::int64_t m_dropped = 0;
    bool m_answering = false; // a command is being answered (it may let the event loop run)
    Id m_answeringId = 0;
    // Notifiers and a server given up while a command ran, deleted once it has returned.
    std::vector<QObject*> m_retired;
    std::unique_ptr<Listener> m_retiredServer;
    // Clients whose lines arrived while a command ran, served once it has returned.
    std::vector<Id> m_waiting;
};

} // namespace orvex::app
