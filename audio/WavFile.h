// WAV files of 16-bit PCM audio: a checking reader and a safe writer. Used by the
// command-line demodulator and by the sound card's WAV-file back end.
#pragma once

#include "core/SafeFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvex::audio {

struct WavFormat {
    std::int32_t SampleRate = 0;    ///< frames per second, Hz (any value above 0)
    std::int32_t Channels = 0;      ///< samples per frame, 1 to 16
    std::int32_t BitsPerSample = 0; ///< 16, or 32 for a float file (when the reader takes them)
    bool Float = false;             ///< 32-bit IEEE float samples (format tag 3)
    std::int64_t Frames = 0;        ///< frames in the data chunk; -1 when not known (a stream)
};

/// The canonical 44-byte header of a 16-bit PCM file: RIFF, fmt, and the data chunk's header.
inline constexpr std::int64_t kWavHeaderBytes = 44;
/// The most data bytes a file can declare (RIFF sizes are 32-bit).
inline constexpr std::int64_t kWavMaxDataBytes = 0xFFFFFFFFLL - 36;
/// Fills header[0..43] for sampleRate Hz, channels 1..16, and dataBytes of samples
/// (0xFFFFFFFF: a stream whose length is not known yet).
void MakeWavHeader(std::uint8_t* header, std::int32_t sampleRate, std::int32_t channels,
                   std::uint32_t dataBytes);

/// Writes all size bytes at offset of the open file fd, going on after short writes and
/// interrupted calls, and adds each part written to `written` (also when a later part fails).
/// Returns 0, or the errno of the failure.
int WriteAllAt(int fd, const void* data, std::size_t size, std::int64_t offset,
               std::int64_t& written);

/// Reads a RIFF/WAVE file of 16-bit PCM (format tag 1, or the extensible format with the PCM
/// sub-format), any rate and channel count, sequentially in large reads. The path "-" reads the
/// standard input (a pipe); any other path must be a regular file (checked without blocking,
/// so a FIFO named by mistake is refused at once). The constructor walks the chunks, checks
/// every size against the file and throws OrvexError naming the fault and the file:
/// ErrorKind::File when the file cannot be opened or read, ErrorKind::Format for "not a
/// RIFF/WAVE file", "not PCM", "not 16-bit", a missing fmt or data chunk, or a data chunk that
/// runs past the end of the file (truncated). A data size of 0xFFFFFFFF (a stream written
/// before its length was known) means "to the end of the file". Frames are then read in
/// order, interleaved.
///
/// A reader made with `acceptFloat` also takes 32-bit IEEE float files (format tag 3, or the
/// extensible format with the float sub-format); readFloat() reads either kind.
class WavReader {
public:
    explicit WavReader(const std::string& path, bool acceptFloat = false);
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    const WavFormat& format() const { return m_format; }
    const std::string& path() const { return m_path; }
    /// The file's identity (device and inode), for the same-file check of outputs; nothing
    /// for the standard input.
    std::optional<FileIdentity> identity() const;

    /// Reads up to maxFrames frames (maxFrames x Channels samples) into dst; returns the number
    /// of frames read, 0 at the end of the data. Throws OrvexError(File) on a read error and
    /// OrvexError(Format) if the data ends before its declared length (the file shrank under
    /// the reader, or a stream broke off).
    std::int64_t read(std::int16_t* dst, std::int64_t maxFrames);
    /// As read(), as floats: 16-bit samples divided by 32768, float samples as they are. A
    /// float sample that is not a finite number throws OrvexError(Format).
    std::int64_t readFloat(float* dst, std::int64_t maxFrames);
    /// Frames not yet read; -1 while the length is unknown (a stream to its end).
    std::int64_t remainingFrames() const { return m_remaining; }

private:
    std::size_t readBytes(void* dst, std::size_t size);
    std::int64_t readRaw(void* dst, std::int64_t maxFrames);
    void skipBytes(std::int64_t size);

    std::string m_path;
    InputFile m_file;
    int m_fd = -1;                // m_file's descriptor, or the standard input's
    std::int64_t m_fileSize = -1; // bytes, -1 for a stream
    WavFormat m_format;
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

/// Writes a 16-bit PCM WAV file through the safe writer (core/SafeFile.h): samples go to a
/// temporary file beside the target, and commit() writes the final sizes, flushes it to disk and
/// renames it over the target; a device or FIFO target (/dev/null, a pipe to a player) is
/// written directly, its header carrying the "length unknown" sizes. A writer destroyed, or an
/// error thrown, before commit() removes the temporary file, so a failed run never leaves a
/// partial file under the target name. A target that is one of `inputs` is refused. Failures
/// throw OrvexError(File) naming the file, the operation and the errno text.
class WavWriter {
public:
    /// sampleRate > 0 Hz; channels 1 to 16. Opens the output at once, so an unwritable folder
    /// is reported before any work is done.
    WavWriter(const std::string& path, std::int32_t sampleRate, std::int32_t channels,
              const std::vector<NamedInput>& inputs = {});
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    /// Appends frameCount interleaved frames. The data chunk is limited to 4 GiB.
    void write(const std::int16_t* frames, std::int64_t frameCount);
    /// Finishes the header, syncs and moves the file into place. Once only.
    void commit();
    /// Removes the temporary file (also done by the destructor when not committed).
    void discard() noexcept;

    std::int64_t framesWritten() const { return m_frames; }

private:
    [[noreturn]] void fail(const FileError& error);

    std::string m_path;
    SafeFileWriter m_file;
    std::int32_t m_rate;
    std::int32_t m_channels;
    std::int64_t m_frames = 0;
    std::vector<std::uint8_t> m_bytes;
};

/// Writes a whole file with WavWriter.
void WriteWavFile(const std::string& path, std::int32_t sampleRate, std::int32_t channels,
                  const std::vector<std::int16_t>& samples);

} // namespace orvex::audio
