#include "WavDevices.h"

#include "core/Error.h"

#include <algorithm>
#include <cstring>

namespace orvex::audio {

WavFileSource::WavFileSource(const std::string& path, int framesPerSecond) : m_reader(path) {
    if (m_reader.format().SampleRate != framesPerSecond)
        throw OrvexError(ErrorKind::Format,
                         path + ": sample rate is " + std::to_string(m_reader.format().SampleRate) +
                             " Hz; the receiver needs " + std::to_string(framesPerSecond) + " Hz");
}

void WavFileSource::read(std::int16_t* interleaved, std::int64_t frames, const PcmFormat& format) {
    const int fileChannels = m_reader.format().Channels;
    m_frames.resize(static_cast<std::size_t>(frames * fileChannels));
    std::int64_t got = 0;
    if (!m_finished) {
        try {
            got = m_reader.read(m_frames.data(), frames);
        } catch (const std::exception& e) {
            m_error = e.what(); // told by error(); silence from here on
            got = 0;
        }
        if (got < frames) m_finished = true;
    }
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < format.channels; ++c)
            *interleaved++ = f < got ? m_frames[static_cast<std::size_t>(
                                           f * fileChannels + std::min(c, fileChannels - 1))]
                                     : std::int16_t{0};
}

WavFileSink::WavFileSink(const std::string& path, int framesPerSecond, int channels,
                         const std::vector<NamedInput>& inputs)
    : m_writer(path, framesPerSecond, channels, inputs), m_channels(channels) {}

void WavFileSink::discard() {
    m_writer.discard();
    if (m_error.empty()) m_error = "the output was discarded";
}

void WavFileSink::write(const std::int16_t* interleaved, std::int64_t frames,
                        const PcmFormat& format) {
    if (!m_error.empty() || format.channels != m_channels) return;
    try {
        m_writer.write(interleaved, frames);
    } catch (const std::exception& e) {
        m_error = e.what(); // reported by finish(); nothing more is written
    }
}

bool WavFileSink::finish(std::string* error) {
    if (m_error.empty()) {
        try {
            m_writer.commit();
            return true;
        } catch (const std::exception& e) {
            m_error = e.what();
        }
    }
    m_writer.discard();
    if (error) *error = m_error;
    return false;
}

} // namespace orvex::audio
