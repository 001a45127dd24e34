// The recording area of the window: the audio output, and the IF input when chosen, recorded
// to WAV files while the receiver runs (see app/SessionRecorder.h). Recording needs the
// receiver on; Off, Close and a lost sound device finish the files (the data stops coming, so
// a recording would only hold a gap). A recording that fails (disk full, folder gone) stops
// with a message while reception goes on.
//
// Runs on the user-interface thread; the Record panel shows view() and repaints on changed().
#pragma once

#include "app/SessionRecorder.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

namespace orvex::app {

class RadioSession;
class TraceLog;

/// What the Record panel shows.
struct RecordView {
    bool Enabled = false;          ///< recording can start: the receiver is on
    bool Recording = false;        ///< the audio recording runs
    bool RecordIF = false;         ///< the IF input is recorded alongside (the "IF" box)
    bool IFRecording = false;      ///< the IF recording runs
    double Seconds = 0.0;          ///< audio recorded so far, seconds
    std::int64_t Bytes = 0;        ///< size of the running or last files together, bytes
    std::string AudioPath, IFPath; ///< the running or last files (empty: none yet)
    std::string Error;             ///< why the last recording could not start or stopped early
};

class RecordController final : public QObject {
    Q_OBJECT
public:
    RecordController(RadioSession& session, TraceLog& trace);
    ~RecordController() override;

    RecordView view() const;
    /// The Record button: starts recording the audio (and the IF input when chosen) under the
    /// default names in folder(), or stops. False, with the message shown, when a recording
    /// could not start (the receiver is off, the folder cannot be written).
    bool setRecording(bool on);
    /// Chooses whether the next recording takes the IF input too (a running one is unchanged).
    void setRecordIF(bool on);
    /// Folder of new recordings: the XDG music folder (DefaultRecordingFolder()) unless set.
    const std::string& folder() const { return m_folder; }
    void setFolder(std::string folder) { m_folder = std::move(folder); }
    /// Finishes every running recording (Off, Close, a lost device).
    void stopAll();
    SessionRecorder& recorder() { return *m_recorder; }

    /// Repaints what shows this area (start-up, a change made outside its handlers).
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();
    /// A recording problem the listener must see (also shown in a message box).
    void problem(const QString& text);

private:
    void failed(RecordStream stream, const std::string& message);
    void report(const std::string& text);

    RadioSession& m_session;
    TraceLog& m_trace;
    std::unique_ptr<SessionRecorder> m_recorder;
    std::string m_folder;
    std::string m_error;
    bool m_recordIF = false;
    bool m_shown = false;   // a recording started: the view shows its files
    bool m_shownIF = false; // it took the IF input too
    bool m_powered = false; // the receiver was on at the last change of the controls
};

} // namespace orvex::app
