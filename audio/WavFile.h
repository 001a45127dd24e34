// WAV files of 16-bit PCM audio: a checking reader and an atomic writer. Used by the
// command-line demodulator and by the sound card's WAV-file back end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::audio {

struct WavFormat {
    std::int32_t SampleRate = 0;    ///< frames per second, Hz (any value above 0)
    std::int32_t Channels = 0;      ///< samples per frame, 1 to 16
    std::int32_t BitsPerSample = 0; ///< always 16 for a file the reader accepts
    std::int64_t Frames = 0;        ///< frames in the data chunk
};

/// The canonical 44-byte header of a 16-bit PCM file: RIFF, fmt, and the data chunk's header.
inline constexpr std::int64_t kWavHeaderBytes = 44;
/// The most data bytes a file can declare (RIFF sizes are 32-bit).
inline constexpr std::int64_t kWavMaxDataBytes = 0xFFFFFFFFLL - 36;
/// Fills header[0..43] for sampleRate Hz, channels 1..16, and dataBytes of samples.
void MakeWavHeader(std::uint8_t* header, std::int32_t sampleRate, std::int32_t channels,
                   std::uint32_t dataBytes);

/// Writes all size bytes at offset of the open file fd, going on after short writes and
/// interrupted calls, and adds each part written to `written` (also when a later part fails).
/// Returns 0, or the errno of the failure.
int WriteAllAt(int fd, const void* data, std::size_t size, std::int64_t offset,
               std::int64_t& written);

/// Reads a RIFF/WAVE file of 16-bit PCM (format tag 1, or the extensible format with the PCM
/// sub-format), any rate and channel count. The constructor walks the chunks, checks every size
/// against the file and throws OrvexError naming the fault and the file: ErrorKind::File when
/// the file cannot be opened or read, ErrorKind::Format for "not a RIFF/WAVE file", "not PCM",
/// "not 16-bit", a missing fmt or data chunk, or a data chunk that runs past the end of the
/// file (truncated). Frames are then read in order, interleaved.
class WavReader {
public:
    explicit WavReader(const std::string& path);
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    const WavFormat& format() const { return m_format; }
    const std::string& path() const { return m_path; }

    /// Reads up to maxFrames frames (maxFrames × Channels samples) into dst; returns the number
    /// of frames read, 0 at the end of the data. Throws OrvexError(File) on a read error and
    /// OrvexError(Format) if the file has shrunk under the reader.
    std::int64_t read(std::int16_t* dst, std::int64_t maxFrames);
    /// Frames not yet read.
    std::int64_t remainingFrames() const { return m_remaining; }

private:
    std::string m_path;
    int m_fd = -1;
    WavFormat m_format;
    std::int64_t m_dataOffset = 0; // byte offset of the next frame
    std::int64_t m_remaining = 0;
    std::vector<std::uint8_t> m_bytes; // read buffer, sized on first use
};

/// A whole file in memory: the format and every sample, interleaved.
struct WavData {
    WavFormat format;
    std::vector<std::int16_t> samples;
};

/// Reads a whole file with WavReader.
WavData ReadWavFile(const std::string& path);

/// Writes a 16-bit PCM WAV file atomically: samples go to a temporary file beside the target
/// (same folder), and commit() writes the final sizes, flushes it to disk, and renames it over
/// the target. A writer destroyed, or an error thrown, before commit() removes the temporary
/// file, so a failed run never leaves a partial file under the target name. Failures throw
/// OrvexError(File) with the operation and the errno text.
class WavWriter {
public:
    /// sampleRate > 0 Hz; channels 1 to 16. Creates the temporary file at once, so an
    /// unwritable folder is reported before any work is done.
    WavWriter(const std::string& path, std::int32_t sampleRate, std::int32_t channels);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    /// Appends frameCount interleaved frames. The data chunk is limited to 4 GiB.
    void write(const std::int16_t* frames, std::int64_t frameCount);
    /// Finishes the header, syncs and renames the file into place. Once only.
    void commit();
    /// Removes the temporary file (also done by the destructor when not committed).
    void discard() noexcept;

    std::int64_t framesWritten() const { return m_frames; }

private:
    void writeAll(const void* data, std::size_t size, std::int64_t offset);

    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
    std::int32_t m_rate;
    std::int32_t m_channels;
    std::int64_t m_frames = 0;
    std::vector<std::uint8_t> m_bytes;
};

/// Writes a whole file with WavWriter.
void WriteWavFile(const std::string& path, std::int32_t sampleRate, std::int32_t channels,
                  const std::vector<std::int16_t>& samples);

} // namespace orvex::audio
