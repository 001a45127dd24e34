// Recording of the audio output and the IF input from the front panel (the Record panel).
#include "RecordController.h"

#include "app/RadioSession.h"
#include "app/TraceLog.h"
#include "audio/WavRecorder.h"
#include "core/MessageSink.h"

#include <ctime>
#include <unistd.h>

namespace orvex::app {
namespace {

const char* ModeName(std::int32_t mode) {
    static const char* const kNames[] = {"AM", "USB", "LSB", "DRM", "FM", "BC"};
    return mode >= 0 && mode <= 5 ? kNames[mode] : "";
}

} // namespace

RecordController::RecordController(RadioSession& session, TraceLog& trace)
    : m_session(session), m_trace(trace), m_folder(audio::DefaultRecordingFolder()) {
    m_recorder = std::make_unique<SessionRecorder>(m_session);
    connect(m_recorder.get(), &SessionRecorder::progressed, this, [this] { Q_EMIT changed(); });
    connect(m_recorder.get(), &SessionRecorder::recordingFailed, this,
            [this](int stream, const QString& message) {
                failed(static_cast<RecordStream>(stream), message.toStdString());
            });
    // Recording can start while the receiver is on: the button follows power.
    connect(&m_session, &RadioSession::controlsChanged, this, [this] {
        if (m_session.poweredOn() == m_powered) return;
        m_powered = m_session.poweredOn();
        Q_EMIT changed();
    });
}

RecordController::~RecordController() {
    m_recorder.reset(); // finishes any recording and leaves the session's hook
}

RecordView RecordController::view() const {
    RecordView v;
    const SessionRecorder& r = *m_recorder;
    v.Enabled = m_session.poweredOn();
    v.Recording = r.recording(RecordStream::Audio);
    v.IFRecording = r.recording(RecordStream::IF);
    v.RecordIF = m_recordIF;
    // The running or last recording that started: its files, also after it stopped.
    if (m_shown) {
        v.Seconds = r.elapsedSeconds(RecordStream::Audio);
        v.AudioPath = r.path(RecordStream::Audio);
        v.Bytes = r.fileBytes(RecordStream::Audio);
    }
    if (m_shown && m_shownIF) {
        v.IFPath = r.path(RecordStream::IF);
        v.Bytes += r.fileBytes(RecordStream::IF);
    }
    v.Error = m_error;
    return v;
}

bool RecordController::setRecording(bool on) {
    SessionRecorder& r = *m_recorder;
    if (!on) {
        const bool was = r.anyRecording();
        stopAll();
        if (was) m_trace.add("Recording : stopped, " + r.path(RecordStream::Audio));
        Q_EMIT changed();
        return true;
    }
    if (r.recording(RecordStream::Audio)) return true;
    m_error.clear();
    std::string error;
    if (!m_session.poweredOn()) {
        error = "Recording needs the receiver on: press On first.";
    } else {
        // Both files take the same moment, frequency and mode in their names.
        const std::time_t now = std::time(nullptr);
        const double hz = m_session.tunedMHz() * 1e6;
        const char* mode = ModeName(m_session.state().CurrentDemodMode);
        if (r.startDefault(RecordStream::Audio, m_folder, now, hz, mode, error) && m_recordIF &&
            !r.startDefault(RecordStream::IF, m_folder, now, hz, mode, error)) {
            // Both or neither: the audio file just made holds nothing yet and goes again.
            const std::string empty = r.path(RecordStream::Audio);
            r.stop(RecordStream::Audio);
            ::unlink(empty.c_str());
        }
    }
    m_shown = r.recording(RecordStream::Audio);
    m_shownIF = m_shown && m_recordIF;
    if (m_shown) {
        m_trace.add("Recording : " + r.path(RecordStream::Audio) +
                    (m_recordIF ? " and " + r.path(RecordStream::IF) : std::string()));
        Q_EMIT changed();
        return true;
    }
    report(error);
    return false;
}

void RecordController::report(const std::string& text) {
    m_error = text;
    m_trace.add("Recording : " + text);
    Q_EMIT changed();
    Q_EMIT problem(QString::fromStdString(text));
    ShowMessage(text, MessageIcon::Exclamation, "Recording");
}

void RecordController::setRecordIF(bool on) {
    if (m_recordIF == on) return;
    m_recordIF = on;
    Q_EMIT changed();
}

void RecordController::stopAll() {
    if (m_recorder) m_recorder->stopAll();
}

void RecordController::failed(RecordStream stream, const std::string& message) {
    // The Record button stands for both files: when the audio stops, the IF stops with it.
    // An IF recording that fails alone leaves the audio running, and says so.
    if (stream == RecordStream::Audio) m_recorder->stop(RecordStream::IF);
    report(message);
}

} // namespace orvex::app
