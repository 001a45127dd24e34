// The Hamlib network control server in the window's core: the receiver as clients see it (a
// SessionRig whose changes go through the front panel's own paths), the server's life and its
// keys in section "RemoteControl".
#include "ReceiverCore.h"
#include "app/RigctlServer.h"
#include "app/SessionRig.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"

namespace orvex::app {

RigControl& ReceiverCore::rig() {
    if (!m_rig) {
        SessionRig::Hooks hooks;
        hooks.tune = [this](double mhz) { TuneTo(mhz); };
        hooks.selectMode = [this](std::int32_t mode) { Click(Control::optMode, mode); };
        hooks.powerOn = [this] { return m_panel.PowerOn; };
        hooks.setPowerOn = [this](bool on) {
            if (m_unloaded) return false;
            if (on != m_panel.PowerOn) optPwr_Click(on ? 0 : 1);
            return m_panel.PowerOn == on;
        };
        hooks.chainChanged = [this] { emitChanged(kAreaChain); };
        m_rig = std::make_unique<SessionRig>(m_session, std::move(hooks));
    }
    return *m_rig;
}

void ReceiverCore::RestoreRemoteControl() {
    RemoteView& r = m_remote;
    r.On = m_store.get(kRemoteSection, "RigctlOn", "0") == "1";
    if (const auto port = ParseNumber(m_store.get(kRemoteSection, "RigctlPort", "4532"));
        port && *port >= 0 && *port <= 65535 && *port == static_cast<int>(*port))
        r.Port = static_cast<std::uint16_t>(*port);
    if (const std::string a = m_store.get(kRemoteSection, "RigctlAddress", ""); !a.empty())
        r.Address = a;
    if (!r.On) return updateRemoteStatus();
    std::string why;
    if (!setRemoteControl(true, r.Port, r.Address, &why)) {
        // The choice stays for the next start; this run goes on without the server.
        r.On = true;
        log("Form_Load : " + why);
        ShowMessage(why, MessageIcon::Exclamation, kProductName);
    }
}

bool ReceiverCore::setRemoteControl(bool on, std::uint16_t port, const std::string& address,
                                    std::string* why) {
    RemoteView& r = m_remote;
    if (!on) {
        StopRemoteControl();
        r.On = false;
        m_store.save(kRemoteSection, "RigctlOn", "0");
        updateRemoteStatus();
        return true;
    }
    if (!m_rigctl) {
        m_rigctl = std::make_unique<RigctlServer>(rig());
        m_rigctl->onClientCountChanged = [this](int) {
            updateRemoteStatus();
            emitChanged(kAreaRemote);
        };
        m_rigctl->onClientDropped = [this](const QString& line) { log(line.toStdString()); };
    }
    const bool same = m_rigctl->isListening() && r.Port == port && r.Address == address;
    if (!same && !m_rigctl->start(port, QString::fromStdString(address))) {
        const std::string text = m_rigctl->errorText().toStdString();
        StopRemoteControl();
        r.On = false;
        updateRemoteStatus();
        r.Status = "rigctl: " + text;
        if (why) *why = r.Status;
        emitChanged(kAreaRemote);
        return false;
    }
    r.On = true;
    r.Port = port;
    r.Address = address;
    m_store.save(kRemoteSection, "RigctlOn", "1");
    m_store.save(kRemoteSection, "RigctlPort", IntText(port));
    m_store.save(kRemoteSection, "RigctlAddress", address);
    updateRemoteStatus();
    log("rigctl : " + r.Status);
    emitChanged(kAreaRemote);
    return true;
}

void ReceiverCore::StopRemoteControl() {
    if (m_rigctl) m_rigctl->stop();
}

void ReceiverCore::updateRemoteStatus() {
    RemoteView& r = m_remote;
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
