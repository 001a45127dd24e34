#include "ProgramAudioController.h"

#include "app/TraceLog.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"

namespace orvex::app {

ProgramAudioController::ProgramAudioController(RadioSession& session, SettingsStore& store,
                                               TraceLog& trace)
    : m_store(store), m_trace(trace), m_audio(session) {
    m_audio.onProblem = [this](const std::string& message) {
        m_trace.add("ProgramAudio : " + message);
        // Not from inside the notification that met it: a message box runs an event loop.
        QMetaObject::invokeMethod(
            this, [message] { ShowMessage(message, MessageIcon::Exclamation, kApplicationName); },
            Qt::QueuedConnection);
    };
}

void ProgramAudioController::restore() {
    ProgramAudioSettings s;
    s.toPrograms = m_store.get(kSection, "ToPrograms", "0") == "1";
    s.udp = m_store.get(kSection, "UdpOn", "0") == "1";
    const std::string address = m_store.get(kSection, "UdpAddress", s.udpDestination);
    audio::UdpEndpoint endpoint;
    std::string why;
    if (audio::ParseUdpEndpoint(address, endpoint, why)) s.udpDestination = address;
    m_audio.setSettings(s);
}

bool ProgramAudioController::setSettings(const ProgramAudioSettings& settings, std::string* why) {
    audio::UdpEndpoint endpoint;
    std::string error;
    if (!audio::ParseUdpEndpoint(settings.udpDestination, endpoint, error)) {
        if (why) *why = "The UDP address " + error;
        return false;
    }
    m_store.save(kSection, "ToPrograms", settings.toPrograms ? "1" : "0");
    m_store.save(kSection, "UdpOn", settings.udp ? "1" : "0");
    m_store.save(kSection, "UdpAddress", settings.udpDestination);
    m_audio.setSettings(settings);
    m_trace.add("ProgramAudio : " + m_audio.statusText());
    return true;
}

} // namespace orvex::app
