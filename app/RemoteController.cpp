#include "RemoteController.h"

#include "app/RigctlServer.h"
#include "app/SessionRig.h"
#include "app/TraceLog.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"

namespace orvex::app {

RemoteController::RemoteController(RadioSession& session, SettingsStore& store, TraceLog& trace,
                                   PowerHooks power)
    : m_session(session), m_store(store), m_trace(trace), m_power(std::move(power)) {}

RemoteController::~RemoteController() = default;

RigControl& RemoteController::rig() {
    if (!m_rig)
        m_rig = std::make_unique<SessionRig>(
            m_session, SessionRig::PowerHooks{m_power.powerOn, m_power.setPowerOn});
    return *m_rig;
}

void RemoteController::restore() {
    RemoteView& r = m_view;
    r.On = m_store.get(kSection, "RigctlOn", "0") == "1";
    if (const auto port = ParseNumber(m_store.get(kSection, "RigctlPort", "4532"));
        port && *port >= 0 && *port <= 65535 && *port == static_cast<int>(*port))
        r.Port = static_cast<std::uint16_t>(*port);
    if (const std::string a = m_store.get(kSection, "RigctlAddress", ""); !a.empty()) r.Address = a;
    if (!r.On) return updateStatus();
    std::string why;
    if (!setRemoteControl(true, r.Port, r.Address, &why)) {
        // The choice stays for the next start; this run goes on without the server.
        r.On = true;
        m_trace.add("Form_Load : " + why);
        ShowMessage(why, MessageIcon::Exclamation, kApplicationName);
    }
}

bool RemoteController::setRemoteControl(bool on, std::uint16_t port, const std::string& address,
                                        std::string* why) {
    RemoteView& r = m_view;
    if (!on) {
        stop();
        r.On = false;
        m_store.save(kSection, "RigctlOn", "0");
        updateStatus();
        Q_EMIT changed();
        return true;
    }
    if (!m_rigctl) {
        m_rigctl = std::make_unique<RigctlServer>(rig());
        m_rigctl->onClientCountChanged = [this](int) {
            updateStatus();
            Q_EMIT changed();
        };
        m_rigctl->onClientDropped = [this](const QString& line) {
            m_trace.add(line.toStdString());
        };
        // Seconds without a complete command before a client is dropped (0: never).
        if (const auto s = ParseNumber(m_store.get(kSection, "RigctlIdleTimeout", "30"));
            s && *s >= 0 && *s <= 86400)
            m_rigctl->setIdleTimeoutMs(static_cast<int>(*s * 1000));
    }
    const bool same = m_rigctl->isListening() && r.Port == port && r.Address == address;
    if (!same && !m_rigctl->start(port, QString::fromStdString(address))) {
        const std::string text = m_rigctl->errorText().toStdString();
        stop();
        r.On = false;
        updateStatus();
        r.Status = "rigctl: " + text;
        if (why) *why = r.Status;
        Q_EMIT changed();
        return false;
    }
    r.On = true;
    r.Port = port;
    r.Address = address;
    m_store.save(kSection, "RigctlOn", "1");
    m_store.save(kSection, "RigctlPort", IntText(port));
    m_store.save(kSection, "RigctlAddress", address);
    updateStatus();
    m_trace.add("rigctl : " + r.Status);
    Q_EMIT changed();
    return true;
}

void RemoteController::stop() {
    if (m_rigctl) m_rigctl->stop();
    updateStatus();
}

void RemoteController::updateStatus() {
    RemoteView& r = m_view;
    r.Listening = m_rigctl && m_rigctl->isListening();
    r.ListeningPort = r.Listening ? m_rigctl->port() : 0;
    r.Clients = r.Listening ? m_rigctl->clientCount() : 0;
    if (!r.Listening) {
        r.Status = "rigctl: off";
        return;
    }
    r.Status = "rigctl: listening on " + r.Address + ":" + IntText(r.ListeningPort) + ", " +
               IntText(r.Clients) + (r.Clients == 1 ? " client" : " clients");
}

} // namespace orvex::app
