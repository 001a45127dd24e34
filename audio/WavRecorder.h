// Live recording of the receiver's audio output or IF input to a WAV file (16-bit mono).
//
// The block path only copies a block into a bounded queue allocated up front: pushBlock never
// blocks, never allocates, and drops (and counts) a block that finds the queue full. The main
// loop calls drain(), which writes the queued blocks to the file. The header's RIFF and data
// sizes are rewritten whenever half a second of audio or of time has passed since the last
// time, and the file is flushed to disk twice a second, so a crash, a SIGKILL or a power loss
// costs at most the last second even when drain() runs only every few hundred milliseconds.
// A failing write (disk full, file too large, I/O error) stops the recording with a message,
// keeps what was written as a valid WAV, and leaves reception alone. So does a file deleted
// while it is recorded (alone or with its folder): each header update checks that the open file
// still has a name, since writes into a deleted file go on succeeding.
//
// The file is always new: it is created exclusively (O_EXCL), never over an existing one. It
// is not written through a temporary file and renamed, because a recording must be readable
// after a crash under its own name.
//
// pushBlock may run on another thread than drain (one producer, one consumer); start() and
// stop() must not run while pushBlock does.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::audio {

class WavRecorder {
public:
    struct Config {
        std::int32_t sampleRate = 48000; ///< Hz, written into the header
        std::size_t slotSamples = 2048;  ///< samples per queue slot (one block)
        std::size_t slots = 64;          ///< queue length: 64 × 2048 = 2.7 s at 48000/s
    };

    WavRecorder();
    /// Allocates the queue (slots × slotSamples samples).
    explicit WavRecorder(const Config& config);
    /// Stops a running recording (stop()).
    ~WavRecorder();
    WavRecorder(const WavRecorder&) = delete;
    WavRecorder& operator=(const WavRecorder&) = delete;

    /// Starts recording into a new file at path. False, with errorText(), when the file exists
    /// (it is never replaced) or cannot be created: "cannot record to PATH: No such file or
    /// directory". A running recording is stopped first.
    bool start(const std::string& path);
    /// Starts recording into folder/fileName, creating the folder when missing; when that name
    /// is taken, tries "NAME_2.wav", "NAME_3.wav", ... so that no recording is ever replaced.
    bool startUnique(const std::string& folder, const std::string& fileName);

    /// Block path: copies count samples (any count; blocks longer than a slot take several)
    /// into the queue. False when not recording or when the queue has no room for the whole
    /// block, which is then dropped and counted. Never blocks, never allocates.
    bool pushBlock(const std::int16_t* samples, std::size_t count) noexcept;

    /// Main loop: writes what is queued, and keeps the header and the disk up to date as
    /// described above. Returns false when a write failed in this call: the recording has
    /// stopped, errorText() says why, and the message went to the message sink
    /// (core/MessageSink.h). True otherwise, recording or not.
    bool drain();

    /// Writes what is queued, completes the header, flushes and closes the file. Nothing
    /// happens when not recording.
    void stop();

    bool isRecording() const { return m_fd >= 0; }
    /// The file of the running or the last recording.
    const std::string& path() const { return m_path; }
    /// Audio taken so far, seconds (queued and written), for the window's display.
    double elapsedSeconds() const;
    /// Size of the file as written so far (header and samples), bytes.
    std::int64_t fileBytes() const;
    /// Samples dropped because the queue was full, in this recording.
    std::int64_t droppedSamples() const { return m_dropped.load(std::memory_order_relaxed); }
    /// Why the last start() failed or the last recording stopped early; empty otherwise.
    const std::string& errorText() const { return m_error; }

private:
    bool openFile(const std::string& path, bool& exists);
    bool writeSlot(std::size_t slot);
    bool updateHeader();
    bool stillOnDisk();
    /// Stops on a failure with the message; `lost`: the file itself is gone (deleted).
    void fail(const std::string& what, int err, bool lost = false);
    void closeFile();

    Config m_config;
    std::vector<std::int16_t> m_queue;      // slots × slotSamples
    std::vector<std::uint32_t> m_slotCount; // samples held by each slot
    std::vector<std::uint8_t> m_bytes;      // little-endian copy of a slot (big-endian hosts)
    std::atomic<std::size_t> m_head{0};     // next slot pushBlock fills (producer)
    std::atomic<std::size_t> m_tail{0};     // next slot drain writes (consumer)
    std::atomic<bool> m_accepting{false};
    std::atomic<std::int64_t> m_accepted{0}; // samples taken into the queue
    std::atomic<std::int64_t> m_dropped{0};

    int m_fd = -1;
    std::string m_path;
    std::string m_error;
    std::int64_t m_dataBytes = 0;   // sample bytes written to the file
    std::int64_t m_headerBytes = 0; // data bytes the header declares
    std::chrono::steady_clock::time_point m_lastHeader, m_lastSync;
};

/// "OrvexSDR_20240517_183012Z_6015kHz_AM.wav": the UTC date and time, the tuned frequency in
/// kHz (up to three decimals, trailing zeros dropped) and the mode; characters that do not
/// belong in a file name become '-'.
std::string RecordingFileName(std::time_t utc, double frequencyHz, std::string_view mode);

/// The user's music folder as `xdg-user-dir MUSIC` finds it, else ~/Music.
std::string DefaultRecordingFolder();

} // namespace orvex::audio
