// Audio for other programs in the window: the "OrvexSDR" source and the UDP stream
// (app/ProgramAudio.h) on the session, their keys in section "ProgramAudio", and each problem
// shown once, after the block that met it.
//
// Runs on the user-interface thread; the configuration dialog shows settings() and status().
#pragma once

#include "app/ProgramAudio.h"

#include <QObject>
#include <string>

namespace orvex {
class SettingsStore;
}

namespace orvex::app {

class RadioSession;
class TraceLog;

class ProgramAudioController final : public QObject {
    Q_OBJECT
public:
    /// Section of the store: "ToPrograms" (0 by default: the source "OrvexSDR"), "UdpOn" (0)
    /// and "UdpAddress" ("127.0.0.1:7355").
    static constexpr const char* kSection = "ProgramAudio";

    ProgramAudioController(RadioSession& session, SettingsStore& store, TraceLog& trace);

    /// Start-up: the choice the store keeps (made at the next On).
    void restore();
    const ProgramAudioSettings& settings() const { return m_audio.settings(); }
    /// Keeps the choice in the store and applies it (at once while the receiver is on, else
    /// at the next On). A UDP address that is not HOST:PORT is refused (false, `why`).
    bool setSettings(const ProgramAudioSettings& settings, std::string* why = nullptr);
    /// What is offered, or why not (the configuration dialog's line).
    std::string status() const { return m_audio.statusText(); }
    ProgramAudio& audio() { return m_audio; }

private:
    SettingsStore& m_store;
    TraceLog& m_trace;
    ProgramAudio m_audio;
};

} // namespace orvex::app
