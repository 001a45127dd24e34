// Recording of the audio output and the IF input from the front panel (the Record panel).
#include "ReceiverCore.h"
#include "audio/WavRecorder.h"
#include "core/MessageSink.h"
#include "radio/ad9951.h"

#include <ctime>
#include <unistd.h>

namespace orvex::app {
namespace {

const char* ModeName(std::int32_t mode) {
    static const char* const kNames[] = {"AM", "USB", "LSB", "DRM", "FM", "BC"};
    return mode >= 0 && mode <= 5 ? kNames[mode] : "";
}

} // namespace

void ReceiverCore::setUpRecording() {
    m_recordFolder = audio::DefaultRecordingFolder();
    m_recorder = std::make_unique<SessionRecorder>(m_session);
    connect(m_recorder.get(), &SessionRecorder::progressed, this,
            [this] { emitChanged(kAreaRecord); });
    connect(m_recorder.get(), &SessionRecorder::recordingFailed, this,
            [this](int stream, const QString& message) {
                recordingFailed(static_cast<RecordStream>(stream), message.toStdString());
            });
}

ReceiverCore::RecordView ReceiverCore::recordView() const {
    RecordView v;
    const SessionRecorder& r = *m_recorder;
    v.Enabled = m_panel.PowerOn;
    v.Recording = r.recording(RecordStream::Audio);
    v.IFRecording = r.recording(RecordStream::IF);
    v.RecordIF = m_recordIF;
    // The running or last recording that started: its files, also after it stopped.
    if (m_recordShown) {
        v.Seconds = r.elapsedSeconds(RecordStream::Audio);
        v.AudioPath = r.path(RecordStream::Audio);
        v.Bytes = r.fileBytes(RecordStream::Audio);
    }
    if (m_recordShown && m_recordShownIF) {
        v.IFPath = r.path(RecordStream::IF);
        v.Bytes += r.fileBytes(RecordStream::IF);
    }
    v.Error = m_recordError;
    return v;
}

bool ReceiverCore::setRecording(bool on) {
    SessionRecorder& r = *m_recorder;
    if (!on) {
        const bool was = r.anyRecording();
        stopRecordings();
        if (was) log("Recording : stopped, " + r.path(RecordStream::Audio));
        return true;
    }
    if (r.recording(RecordStream::Audio)) return true;
    m_recordError.clear();
    std::string error;
    if (!m_panel.PowerOn) {
        error = "Recording needs the receiver on: press On first.";
    } else {
        // Both files take the same moment, frequency and mode in their names.
        const std::time_t now = std::time(nullptr);
        const double hz = m_session.vfo().TunedFreq() * 1e6;
        const char* mode = ModeName(state().CurrentDemodMode);
        if (r.startDefault(RecordStream::Audio, m_recordFolder, now, hz, mode, error) &&
            m_recordIF && !r.startDefault(RecordStream::IF, m_recordFolder, now, hz, mode, error)) {
            // Both or neither: the audio file just made holds nothing yet and goes again.
            const std::string empty = r.path(RecordStream::Audio);
            r.stop(RecordStream::Audio);
            ::unlink(empty.c_str());
        }
    }
    m_recordShown = r.recording(RecordStream::Audio);
    m_recordShownIF = m_recordShown && m_recordIF;
    if (m_recordShown) {
        log("Recording : " + r.path(RecordStream::Audio) +
            (m_recordIF ? " and " + r.path(RecordStream::IF) : std::string()));
        emitChanged(kAreaRecord);
        return true;
    }
    reportRecordingProblem(error);
    return false;
}

void ReceiverCore::reportRecordingProblem(const std::string& text) {
    m_recordError = text;
    m_panel.StatusText = text;
    log("Recording : " + text);
    emitChanged(kAreaRecord);
    Q_EMIT statusMessage(QString::fromStdString(text));
    ShowMessage(text, MessageIcon::Exclamation, "Recording");
}

void ReceiverCore::setRecordIF(bool on) {
    if (m_recordIF == on) return;
    m_recordIF = on;
    emitChanged(kAreaRecord);
}

void ReceiverCore::stopRecordings() {
    if (m_recorder) m_recorder->stopAll();
}

void ReceiverCore::recordingFailed(RecordStream stream, const std::string& message) {
    // The Record button stands for both files: when the audio stops, the IF stops with it.
    // An IF recording that fails alone leaves the audio running, and says so.
    if (stream == RecordStream::Audio) m_recorder->stop(RecordStream::IF);
    reportRecordingProblem(message);
}

} // namespace orvex::app
