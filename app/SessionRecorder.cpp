#include "SessionRecorder.h"

#include "RadioSession.h"
#include "core/MessageSink.h"
#include "dsp/ReceiveChain.h"

#include <algorithm>

namespace orvex::app {
namespace {

audio::WavRecorder::Config QueueConfig() {
    audio::WavRecorder::Config c;
    c.sampleRate = kChainSampleRate;
    c.slotSamples = static_cast<std::size_t>(kBlockSamples);
    c.slots = 64; // 2.7 s of blocks: the main loop may fall that far behind without a loss
    return c;
}

} // namespace

SessionRecorder::SessionRecorder(RadioSession& session, QObject* parent)
    : QObject(parent), m_session(session), m_rec{audio::WavRecorder(QueueConfig()),
                                                 audio::WavRecorder(QueueConfig())} {
    m_silence.assign(static_cast<std::size_t>(kBlockSamples), 0);
    m_drainTimer.setInterval(kDrainIntervalMs);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] { drain(); });
    m_session.setAfterBlock(
        [this](const std::int16_t* audio, const std::int16_t* input) { afterBlock(audio, input); });
}

SessionRecorder::~SessionRecorder() {
    m_session.setAfterBlock({});
    stopAll();
}

bool SessionRecorder::anyOtherRecording(RecordStream stream) const {
    return recording(stream == RecordStream::Audio ? RecordStream::IF : RecordStream::Audio);
}

bool SessionRecorder::anyRecording() const {
    return recording(RecordStream::Audio) || recording(RecordStream::IF);
}

std::string SessionRecorder::DefaultFileName(RecordStream stream, std::time_t utc,
                                             double frequencyHz, std::string_view mode) {
    std::string name = audio::RecordingFileName(utc, frequencyHz, mode);
    if (stream == RecordStream::IF) name.insert(name.size() - 4, "_IF"); // before ".wav"
    return name;
}

bool SessionRecorder::start(RecordStream stream, const std::string& path, std::string& error) {
    const bool ok = rec(stream).start(path);
    if (!ok) error = rec(stream).errorText();
    if (ok && !anyOtherRecording(stream)) m_shownSecond = 0;
    updateTimer();
    Q_EMIT progressed();
    return ok;
}

bool SessionRecorder::startDefault(RecordStream stream, const std::string& folder, std::time_t utc,
                                   double frequencyHz, std::string_view mode, std::string& error) {
    const bool ok =
        rec(stream).startUnique(folder, DefaultFileName(stream, utc, frequencyHz, mode));
    if (!ok) error = rec(stream).errorText();
    if (ok && !anyOtherRecording(stream)) m_shownSecond = 0;
    updateTimer();
    Q_EMIT progressed();
    return ok;
}

void SessionRecorder::stop(RecordStream stream) {
    if (!recording(stream)) return;
    // A failure while finishing the file is reported like one while recording.
    RecordingMessageSink messages;
    {
        ScopedMessageSink scope(messages);
        rec(stream).stop();
    }
    updateTimer();
    if (!messages.messages().empty())
        Q_EMIT recordingFailed(static_cast<int>(stream),
                               QString::fromStdString(messages.messages().front().text));
    Q_EMIT progressed();
}

void SessionRecorder::stopAll() {
    stop(RecordStream::Audio);
    stop(RecordStream::IF);
}

void SessionRecorder::updateTimer() {
    if (anyRecording()) {
        if (!m_drainTimer.isActive()) m_drainTimer.start();
    } else {
        m_drainTimer.stop();
        m_shownSecond = -1;
    }
}

bool SessionRecorder::drain() {
    if (m_draining) return true;
    m_draining = true;
    // The recorders' own message is held back: a message box shown from inside the loop would
    // run a nested event loop while a queue is half written. The signal carries it instead.
    RecordingMessageSink messages;
    std::array<bool, 2> failed{};
    {
        ScopedMessageSink scope(messages);
        for (std::size_t s = 0; s < m_rec.size(); ++s)
            failed[s] = !m_rec[s].drain();
    }
    m_draining = false;
    updateTimer();
    bool ok = true;
    for (std::size_t s = 0; s < m_rec.size(); ++s)
        if (failed[s]) {
            ok = false;
            Q_EMIT recordingFailed(static_cast<int>(s),
                                   QString::fromStdString(m_rec[s].errorText()));
        }
    double seconds = 0;
    for (const auto& r : m_rec)
        if (r.isRecording()) seconds = std::max(seconds, r.elapsedSeconds());
    const auto second = static_cast<std::int64_t>(seconds);
    if (!ok || (anyRecording() && second != m_shownSecond)) {
        m_shownSecond = second;
        Q_EMIT progressed();
    }
    return ok;
}

void SessionRecorder::afterBlock(const std::int16_t* audio, const std::int16_t* input) {
    // The block handler works in place: channel 1 arrives as the captured IF and leaves as the
    // audio played; channel 2 holds the captured IF (mono capture copies it to both). A block
    // the chain dropped (still busy with the one before) left channel 1 unprocessed and its
    // playback slot silent, so silence is recorded in its place, keeping the two files in step.
    const std::int64_t dropped = m_session.chain().DroppedBlocks();
    const bool processed = m_droppedBlocks < 0 || dropped == m_droppedBlocks;
    m_droppedBlocks = dropped;
    const auto n = static_cast<std::size_t>(kBlockSamples);
    m_rec[0].pushBlock(processed ? audio : m_silence.data(), n);
    m_rec[1].pushBlock(input, n);
}

} // namespace orvex::app
