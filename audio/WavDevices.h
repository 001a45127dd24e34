// WAV files as clocked sound card devices: capture reads a recorded file, playback writes what
// the play cursor passes into a new file.
#pragma once

#include "audio/ClockedDevices.h"
#include "audio/WavFile.h"

#include <memory>
#include <string>
#include <vector>

namespace orvex::audio {

/// Captures from a WAV file of 16-bit PCM at the stream's rate. A file with more channels than
/// the stream gives its first channel(s); a mono file feeds every channel. After the last
/// frame the source gives silence and reports finished(); a file that cannot be read to its end
/// (it shrank while being read) does the same and tells why in error().
class WavFileSource final : public CaptureSource {
public:
    /// Throws OrvexError naming the file and the fault when it cannot be read or its rate is
    /// not `framesPerSecond`.
    WavFileSource(const std::string& path, int framesPerSecond);
    void read(std::int16_t* interleaved, std::int64_t frames, const PcmFormat& format) override;
    bool finished() const override { return m_finished; }
    std::string error() const override { return m_error; }
    const WavFormat& fileFormat() const { return m_reader.format(); }

private:
    WavReader m_reader;
    std::vector<std::int16_t> m_frames;
    bool m_finished = false;
    std::string m_error;
};

/// Writes everything played to a WAV file, atomically: the file appears under its name only
/// when finish() succeeds, and a run that stops early leaves nothing behind.
class WavFileSink final : public PlaybackSink {
public:
    /// Opens the output at once, so an unwritable folder is reported before anything streams;
    /// a target that is one of `inputs` is refused. Throws OrvexError(File).
    WavFileSink(const std::string& path, int framesPerSecond, int channels,
                const std::vector<NamedInput>& inputs = {});
    void write(const std::int16_t* interleaved, std::int64_t frames,
               const PcmFormat& format) override;
    bool finish(std::string* error) override;
    void discard() override;
    std::int64_t framesWritten() const { return m_writer.framesWritten(); }

private:
    WavWriter m_writer;
    int m_channels;
    std::string m_error;
};

} // namespace orvex::audio
