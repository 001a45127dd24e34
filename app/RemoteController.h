// Remote control of the receiver: the Hamlib network server (rigctld's protocol) on the
// receiver as clients see it (a SessionRig, whose changes go through the receiver's verbs, so
// the window follows them), its life, and its keys in section "RemoteControl".
//
// Runs on the user-interface thread; the configuration dialog shows view() and follows
// changed() while clients come and go.
#pragma once

#include "app/RigControl.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvex {
class SettingsStore;
}

namespace orvex::app {

class RadioSession;
class RigctlServer;
class TraceLog;

/// What the configuration dialog and the status line show of the server.
struct RemoteView {
    bool On = false; ///< the user's choice
    std::uint16_t Port = 4532;
    std::string Address = "127.0.0.1";
    bool Listening = false;
    std::uint16_t ListeningPort = 0; ///< the port bound (the chosen one when Port is 0)
    std::int32_t Clients = 0;
    std::string Status; ///< "rigctl: listening on 127.0.0.1:4532, 1 client" or the problem
};

class RemoteController final : public QObject {
    Q_OBJECT
public:
    /// Section of the store with the server's keys: "RigctlOn" (0 by default), "RigctlPort"
    /// (4532), "RigctlAddress" ("127.0.0.1") and "RigctlIdleTimeout" (seconds without a
    /// complete command before a client is dropped: 30; 0 never; read, not written).
    static constexpr const char* kSection = "RemoteControl";

    /// The window's power switch, as clients turn it.
    struct PowerHooks {
        std::function<bool()> powerOn;
        std::function<bool(bool on)> setPowerOn;
    };

    RemoteController(RadioSession& session, SettingsStore& store, TraceLog& trace,
                     PowerHooks power);
    ~RemoteController() override;

    /// Start-up: the server as the store says (a port that cannot be bound is a message).
    void restore();
    /// Shutdown: every client dropped, the port closed; the choice is kept for the next start.
    void stop();

    const RemoteView& view() const { return m_view; }
    /// Turns the server on at address:port, or off, and keeps the choice in the store. False
    /// with the reason in `why` (and in the status) when it cannot listen: it stays off then,
    /// and the choice is not kept.
    bool setRemoteControl(bool on, std::uint16_t port, const std::string& address,
                          std::string* why = nullptr);
    /// The receiver as remote clients see it (tests drive it directly).
    RigControl& rig();
    RigctlServer* server() { return m_rigctl.get(); }

    /// Repaints what shows this area (start-up, a change made outside its handlers).
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();

private:
    void updateStatus();

    RadioSession& m_session;
    SettingsStore& m_store;
    TraceLog& m_trace;
    PowerHooks m_power;
    std::unique_ptr<RigControl> m_rig;
    std::unique_ptr<RigctlServer> m_rigctl;
    RemoteView m_view;
};

} // namespace orvex::app
