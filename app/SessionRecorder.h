// Recording of a running receiver: the audio output (what is played) and the IF input (what
// the sound card captured), each to its own 16-bit mono WAV file at 48000 samples/s.
//
// The recorder is the session's after-block hook: after each block's handler it copies the
// block's processed audio and its captured IF into two bounded queues (audio::WavRecorder),
// which never blocks and never allocates. A timer on the main loop (every 200 ms) writes the
// queues to the files; the header is brought up to date and the file flushed to disk twice a
// second, so a crash, a SIGKILL or a power loss loses at most the last second. A write that
// fails (disk full, the folder gone, an I/O error) stops that recording, keeps what was written
// as a valid WAV file and reports recordingFailed(); reception goes on untouched.
//
// A caller that advances the session without an event loop (free-running runs, tests) calls
// drain() itself after each block or few, since the timer cannot fire then.
//
// Both queues are allocated by the constructor. Everything runs on the session's thread.
#pragma once

#include "audio/WavRecorder.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::app {

class RadioSession;

/// Which of the two recordings.
enum class RecordStream : int { Audio = 0, IF = 1 };

class SessionRecorder final : public QObject {
    Q_OBJECT
public:
    /// How often the queues are written to the files, ms.
    static constexpr int kDrainIntervalMs = 200;

    /// Installs itself as the session's after-block hook; the session must outlive it.
    explicit SessionRecorder(RadioSession& session, QObject* parent = nullptr);
    /// Finishes both recordings and removes the hook.
    ~SessionRecorder() override;
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    /// Starts recording `stream` into the new file `path` (an existing file is never replaced).
    /// False with `error` ("cannot record to PATH: ...") when the file cannot be created.
    bool start(RecordStream stream, const std::string& path, std::string& error);
    /// Starts recording `stream` under its default name in `folder` (created when missing):
    /// RecordingFileName(utc, frequencyHz, mode), with "_IF" before ".wav" for the IF input;
    /// "_2", "_3", ... are added when the name is taken.
    bool startDefault(RecordStream stream, const std::string& folder, std::time_t utc,
                      double frequencyHz, std::string_view mode, std::string& error);
    /// Writes what is queued, completes the header and closes the file. Nothing happens when
    /// the stream is not recording.
    void stop(RecordStream stream);
    void stopAll();

    /// Writes what is queued for both files (the timer's work). Returns false when a recording
    /// failed in this call; recordingFailed() has then been emitted for it.
    bool drain();

    bool recording(RecordStream stream) const { return rec(stream).isRecording(); }
    bool anyRecording() const;
    /// Audio taken so far by the running or last recording, seconds.
    double elapsedSeconds(RecordStream stream) const { return rec(stream).elapsedSeconds(); }
    /// Size of its file as written so far, bytes.
    std::int64_t fileBytes(RecordStream stream) const { return rec(stream).fileBytes(); }
    /// Its file (empty before the first recording).
    const std::string& path(RecordStream stream) const { return rec(stream).path(); }
    /// Samples lost because the main loop fell more than the queue (2.7 s) behind.
    std::int64_t droppedSamples(RecordStream stream) const { return rec(stream).droppedSamples(); }
    /// Why the last start failed or the last recording stopped early; empty otherwise.
    const std::string& errorText(RecordStream stream) const { return rec(stream).errorText(); }

    /// The default file name of `stream` (see startDefault).
    static std::string DefaultFileName(RecordStream stream, std::time_t utc, double frequencyHz,
                                       std::string_view mode);

Q_SIGNALS:
    /// A recording stopped on a failure; `message` says why and how much was kept.
    void recordingFailed(int stream, const QString& message);
    /// Once a second of recorded audio has passed (and when a recording starts or stops), for
    /// the window's elapsed time and file size.
    void progressed();

private:
    audio::WavRecorder& rec(RecordStream s) { return m_rec[static_cast<std::size_t>(s)]; }
    const audio::WavRecorder& rec(RecordStream s) const {
        return m_rec[static_cast<std::size_t>(s)];
    }
    bool anyOtherRecording(RecordStream stream) const;
    void afterBlock(const std::int16_t* audio, const std::int16_t* input);
    void updateTimer();

    RadioSession& m_session;
    std::array<audio::WavRecorder, 2> m_rec;
    std::vector<std::int16_t> m_silence; // one block, for a block the chain dropped
    std::int64_t m_droppedBlocks = -1;   // the chain's count at the last block (-1: none yet)
    QTimer m_drainTimer;
    std::int64_t m_shownSecond = -1;
    bool m_draining = false;
};

} // namespace orvex::app
