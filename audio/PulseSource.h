// The receiver's audio as a capture source of the desktop's sound server, so that WSJT-X,
// fldigi or any recorder on the same machine picks "OrvexSDR" as its input while the sound card
// keeps playing.
//
// The source is the sound server's own pipe source (module-pipe-source, which PulseAudio and
// PipeWire's PulseAudio server both provide), loaded through the server's client library
// (libpulse): it reads 16-bit mono samples at 48000 per second from a FIFO that the server makes,
// and this object writes each block into it.
//
//  - open() connects to the server (never starting one), removes a source of the same name
//    that a killed OrvexSDR left behind (its FIFO's name carries the process number; a process
//    that no longer runs owns nothing), loads the module and opens the FIFO. close() unloads it,
//    and the server removes the FIFO. Both wait for the server at most `timeoutMs`.
//  - write() never blocks: the FIFO is open for reading and writing (so it always has a reader
//    and a server that went away cannot raise SIGPIPE) and non-blocking. While no program
//    records from the source the server does not read the FIFO; audio older than two blocks is
//    then thrown away, so a program that starts recording hears the present, not a backlog.
//  - Blocks that cannot be written (an error) are counted, and the first error is kept for the
//    caller to show once.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvex::audio {

struct PulseSourceOptions {
    /// The source's name and the description programs show.
    std::string name = "OrvexSDR";
    std::string description = "OrvexSDR";
    /// The server to use ("unix:/run/user/1000/pulse/native"); empty: libpulse's choice (the
    /// PULSE_SERVER variable, then the user's own server).
    std::string server;
    /// Where the FIFO goes; empty: $XDG_RUNTIME_DIR, else a private folder under /tmp.
    std::string fifoFolder;
    /// The longest wait for the server, ms.
    int timeoutMs = 3000;
};

class PulseSource {
public:
    /// Bytes the pipe may hold before the backlog is thrown away: two blocks.
    static constexpr std::size_t kMaxBacklogBytes = 2 * 2048 * 2;

    explicit PulseSource(PulseSourceOptions options = {});
    ~PulseSource();
    PulseSource(const PulseSource&) = delete;
    PulseSource& operator=(const PulseSource&) = delete;

    /// Options for the next open().
    void setOptions(PulseSourceOptions options) { m_options = std::move(options); }

    /// Makes the source. False with `error` when it cannot: no sound server ("no sound server
    /// is running (...)"), a source of that name owned by another running OrvexSDR or by
    /// something else, a module the server refuses.
    bool open(std::string& error);
    /// Removes the source. Nothing happens when it is not open.
    void close();
    bool isOpen() const { return m_fd >= 0; }

    /// Writes `count` samples (16-bit, mono). Never blocks.
    void write(const std::int16_t* samples, std::size_t count);

    /// Samples written, thrown away while nobody recorded, and lost to errors since open.
    std::int64_t samplesWritten() const { return m_written; }
    std::int64_t samplesDiscarded() const { return m_discarded; }
    std::int64_t samplesLost() const { return m_lost; }
    /// The first write error since open, empty when none.
    const std::string& firstError() const { return m_firstError; }
    /// The FIFO the server reads, and the server's number of the loaded module.
    const std::string& fifoPath() const { return m_fifo; }
    std::uint32_t moduleIndex() const { return m_module; }
    /// Sources of this name left by processes that no longer run, removed by the last open().
    int staleRemoved() const { return m_staleRemoved; }

private:
    PulseSourceOptions m_options;
    int m_fd = -1;
    std::string m_fifo;
    std::uint32_t m_module = 0xFFFFFFFFu;
    std::vector<std::uint8_t> m_scratch; // the backlog read out of the FIFO
    std::int64_t m_written = 0, m_discarded = 0, m_lost = 0;
    std::string m_firstError;
    int m_staleRemoved = 0;
};

} // namespace orvex::audio
