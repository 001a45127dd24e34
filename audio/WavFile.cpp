#include "WavFile.h"

#include "core/Error.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace orvex::audio {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::int64_t kHeaderBytes = kWavHeaderBytes;
constexpr std::int64_t kMaxDataBytes = kWavMaxDataBytes;
constexpr std::int64_t kChunkFrames = 65536;
constexpr std::uint32_t kUnknownLength = 0xFFFFFFFFu;

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

[[noreturn]] void FormatFault(const std::string& path, const std::string& what) {
    throw OrvexError(ErrorKind::Format, path + ": " + what);
}

// The header of a 16-bit PCM file; dataBytes kUnknownLength (and the RIFF size with it) for a
// stream whose length is not known yet.

} // namespace

void MakeWavHeader(std::uint8_t* h, std::int32_t rate, std::int32_t channels,
                   std::uint32_t dataBytes) {
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, dataBytes == kUnknownLength ? kUnknownLength : 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, kFormatPcm);
    Put16(h + 22, static_cast<std::uint32_t>(channels));
    Put32(h + 24, static_cast<std::uint32_t>(rate));
    Put32(h + 28, static_cast<std::uint32_t>(rate) * 2u * static_cast<std::uint32_t>(channels));
    Put16(h + 32, static_cast<std::uint32_t>(2 * channels));
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, dataBytes);
}

int WriteAllAt(int fd, const void* data, std::size_t size, std::int64_t offset,
               std::int64_t& written) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, p + done, size - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        done += static_cast<std::size_t>(n);
        written += n;
    }
    return 0;
}

// ---- Reader --------------------------------------------------------------------------------

std::size_t WavReader::readBytes(void* dst, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw OrvexError(ErrorKind::File, ErrnoText("cannot read " + m_path, errno));
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void WavReader::skipBytes(std::int64_t size) {
    if (m_fileSize >= 0) {
        if (::lseek(m_fd, static_cast<off_t>(size), SEEK_CUR) < 0)
            throw OrvexError(ErrorKind::File, ErrnoText("cannot read " + m_path, errno));
        return;
    }
    std::uint8_t scrap[4096];
    while (size > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size, sizeof scrap));
        if (readBytes(scrap, want) < want) return; // the end: the caller finds no chunk
        size -= static_cast<std::int64_t>(want);
    }
}

WavReader::WavReader(const std::string& path, bool acceptFloat)
    : m_path(path == "-" ? "standard input" : path) {
    if (path == "-") {
        m_fd = STDIN_FILENO;
    } else {
        FileError error;
        if (!m_file.open(path, &error))
            throw OrvexError(ErrorKind::File, "cannot open " + path + ": " + error.describe());
        m_fd = m_file.fd();
        m_fileSize = m_file.size();
    }
    // Whether size bytes can follow pos (in a file; a stream is taken on trust until it ends).
    const auto fits = [&](std::int64_t pos, std::int64_t size) {
        return m_fileSize < 0 || pos + size <= m_fileSize;
    };

    std::uint8_t riff[12];
    if (!fits(0, 12) || readBytes(riff, 12) < 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        FormatFault(m_path, "not a WAV file (no RIFF/WAVE header)");

    bool haveFmt = false;
    std::int64_t pos = 12;
    for (;;) {
        std::uint8_t hdr[8];
        if (!fits(pos, 8) || readBytes(hdr, 8) < 8)
            FormatFault(m_path, haveFmt ? "no data chunk" : "no fmt chunk");
        const std::int64_t size = Le32(hdr + 4);
        const std::int64_t body = pos + 8;
        if (std::memcmp(hdr, "fmt ", 4) == 0) {
            if (size < 16)
                FormatFault(m_path, "fmt chunk too short (" + std::to_string(size) + " bytes)");
            if (!fits(body, size)) FormatFault(m_path, "truncated fmt chunk");
            std::uint8_t fmt[40] = {};
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size, 40));
            if (readBytes(fmt, want) < want) FormatFault(m_path, "truncated fmt chunk");
            skipBytes(size - static_cast<std::int64_t>(want) + (size & 1));
            std::uint16_t tag = Le16(fmt);
            const std::uint16_t channels = Le16(fmt + 2);
            const std::uint32_t rate = Le32(fmt + 4);
            const std::uint16_t align = Le16(fmt + 12);
            const std::uint16_t bits = Le16(fmt + 14);
            if (tag == kFormatExtensible) {
                // The sub-format GUID starts with the plain format tag.
                if (size < 40) FormatFault(m_path, "extensible fmt chunk too short");
                tag = Le16(fmt + 24);
            }
            const bool isFloat = acceptFloat && tag == kFormatFloat;
            if (tag != kFormatPcm && !isFloat)
                FormatFault(m_path, std::string(acceptFloat ? "neither PCM nor float audio"
                                                            : "not PCM audio") +
                                        " (format tag " + std::to_string(tag) + ")");
            if (isFloat && bits != 32)
                FormatFault(m_path, "not 32-bit float audio (" + std::to_string(bits) +
                                        " bits per sample)");
            if (!isFloat && bits != 16)
                FormatFault(m_path,
                            "not 16-bit audio (" + std::to_string(bits) + " bits per sample)");
            if (channels < 1 || channels > 16)
                FormatFault(m_path, "unsupported channel count " + std::to_string(channels));
            if (rate == 0 || rate > 1000000)
                FormatFault(m_path, "invalid sample rate " + std::to_string(rate) + " Hz");
            if (align != channels * bits / 8)
                FormatFault(m_path, "inconsistent block alignment " + std::to_string(align));
            m_format.SampleRate = static_cast<std::int32_t>(rate);
            m_format.Channels = channels;
            m_format.BitsPerSample = bits;
            m_format.Float = isFloat;
            haveFmt = true;
        } else if (std::memcmp(hdr, "data", 4) == 0) {
            if (!haveFmt) FormatFault(m_path, "data chunk before the fmt chunk");
            const std::int64_t frameBytes =
                static_cast<std::int64_t>(m_format.BitsPerSample / 8) * m_format.Channels;
            if (size == kUnknownLength) {
                // Written before its length was known: the data runs to the end.
                m_format.Frames = m_fileSize < 0 ? -1 : (m_fileSize - body) / frameBytes;
            } else {
                if (!fits(body, size))
                    FormatFault(m_path, "truncated data: the data chunk declares " +
                                            std::to_string(size) + " bytes but only " +
                                            std::to_string(m_fileSize - body) + " follow");
                if (size % frameBytes != 0)
                    FormatFault(m_path, "truncated data: " + std::to_string(size) +
                                            " bytes is not a whole number of " +
                                            std::to_string(frameBytes) + "-byte frames");
                m_format.Frames = size / frameBytes;
            }
            m_remaining = m_format.Frames;
            break;
        } else {
            skipBytes(size + (size & 1)); // chunks are padded to an even length
        }
        pos = body + size + (size & 1);
    }
}

WavReader::~WavReader() = default;

std::optional<FileIdentity> WavReader::identity() const {
    if (!m_file.isOpen()) return std::nullopt;
    return m_file.identity();
}

std::int64_t WavReader::readRaw(void* dst, std::int64_t maxFrames) {
    const std::int64_t frames = m_remaining < 0 ? maxFrames : std::min(maxFrames, m_remaining);
    if (frames <= 0) return 0;
    const std::size_t frameBytes = static_cast<std::size_t>(m_format.BitsPerSample / 8) *
                                   static_cast<std::size_t>(m_format.Channels);
    const std::size_t bytes = static_cast<std::size_t>(frames) * frameBytes;
    const std::size_t got = readBytes(dst, bytes);
    if (got < bytes && m_remaining >= 0)
        FormatFault(m_path, "truncated data: the file ended early");
    const auto whole = static_cast<std::int64_t>(got / frameBytes);
    if (m_remaining >= 0)
        m_remaining -= whole;
    else if (got < bytes)
        m_remaining = 0; // a stream has ended (a part frame at its end is dropped)
    return whole;
}

std::int64_t WavReader::read(std::int16_t* dst, std::int64_t maxFrames) {
    if (m_format.Float) FormatFault(m_path, "float samples where 16-bit ones were expected");
    // On a little-endian machine the file's samples are read straight into place.
    constexpr bool kDirect = std::endian::native == std::endian::little;
    const std::size_t channels = static_cast<std::size_t>(m_format.Channels);
    const std::size_t bytes =
        static_cast<std::size_t>(std::max<std::int64_t>(maxFrames, 0)) * 2u * channels;
    if (!kDirect && m_bytes.size() < bytes) m_bytes.resize(bytes);
    const std::int64_t whole =
        readRaw(kDirect ? static_cast<void*>(dst) : m_bytes.data(), maxFrames);
    if constexpr (!kDirect)
        for (std::size_t i = 0; i < static_cast<std::size_t>(whole) * channels; ++i)
            dst[i] = static_cast<std::int16_t>(Le16(m_bytes.data() + 2 * i));
    return whole;
}

std::int64_t WavReader::readFloat(float* dst, std::int64_t maxFrames) {
    const std::size_t channels = static_cast<std::size_t>(m_format.Channels);
    const std::size_t width = static_cast<std::size_t>(m_format.BitsPerSample / 8);
    const std::size_t bytes =
        static_cast<std::size_t>(std::max<std::int64_t>(maxFrames, 0)) * width * channels;
    if (m_bytes.size() < bytes) m_bytes.resize(bytes);
    const std::int64_t whole = readRaw(m_bytes.data(), maxFrames);
    const std::size_t count = static_cast<std::size_t>(whole) * channels;
    const std::uint8_t* p = m_bytes.data();
    for (std::size_t i = 0; i < count; ++i) {
        if (m_format.Float) {
            const float v = std::bit_cast<float>(Le32(p + 4 * i));
            if (!std::isfinite(v)) FormatFault(m_path, "a float sample is not a finite number");
            dst[i] = v;
        } else {
            dst[i] = static_cast<float>(static_cast<std::int16_t>(Le16(p + 2 * i))) / 32768.0f;
        }
    }
    return whole;
}

WavData ReadWavFile(const std::string& path) {
    WavReader reader(path);
    WavData data;
    data.format = reader.format();
    const auto channels = static_cast<std::size_t>(data.format.Channels);
    if (data.format.Frames > 0)
        data.samples.reserve(static_cast<std::size_t>(data.format.Frames) * channels);
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(kChunkFrames) * channels);
    std::int64_t got = 0;
    while ((got = reader.read(chunk.data(), kChunkFrames)) > 0)
        data.samples.insert(
            data.samples.end(), chunk.begin(),
            chunk.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(got) * channels));
    data.format.Frames = static_cast<std::int64_t>(data.samples.size() / channels);
    return data;
}

// ---- Writer --------------------------------------------------------------------------------

WavWriter::WavWriter(const std::string& path, std::int32_t sampleRate, std::int32_t channels,
                     const std::vector<NamedInput>& inputs)
    : m_path(path), m_rate(sampleRate), m_channels(channels) {
    if (sampleRate <= 0 || channels < 1 || channels > 16)
        throw OrvexError(ErrorKind::InvalidArgument,
                         path + ": cannot write " + std::to_string(channels) + " channels at " +
                             std::to_string(sampleRate) + " Hz");
    FileError error;
    if (!m_file.open(path, &error, inputs)) fail(error);
    std::uint8_t header[kHeaderBytes];
    MakeWavHeader(header, m_rate, m_channels, kUnknownLength); // sizes filled in by commit
    if (!m_file.append(header, sizeof header, &error)) fail(error);
}

WavWriter::~WavWriter() {
    discard();
}

void WavWriter::fail(const FileError& error) {
    m_file.discard();
    throw OrvexError(ErrorKind::File, "cannot write " + m_path + ": " + error.describe());
}

void WavWriter::discard() noexcept {
    m_file.discard();
}

void WavWriter::write(const std::int16_t* frames, std::int64_t frameCount) {
    if (!m_file.isOpen()) throw OrvexError(ErrorKind::File, m_path + ": writer already closed");
    if (frameCount <= 0) return;
    const std::int64_t frameBytes = 2LL * m_channels;
    if ((m_frames + frameCount) * frameBytes > kMaxDataBytes) {
        m_file.discard();
        throw OrvexError(ErrorKind::File, m_path + ": more audio than a WAV file can hold (4 GiB)");
    }
    const auto count = static_cast<std::size_t>(frameCount * m_channels);
    const void* bytes = frames; // the file's byte order already on a little-endian machine
    if constexpr (std::endian::native != std::endian::little) {
        if (m_bytes.size() < 2 * count) m_bytes.resize(2 * count);
        for (std::size_t i = 0; i < count; ++i)
            Put16(m_bytes.data() + 2 * i, static_cast<std::uint16_t>(frames[i]));
        bytes = m_bytes.data();
    }
    FileError error;
    if (!m_file.append(bytes, 2 * count, &error)) fail(error);
    m_frames += frameCount;
}

void WavWriter::commit() {
    if (!m_file.isOpen()) throw OrvexError(ErrorKind::File, m_path + ": writer already closed");
    std::uint8_t header[kHeaderBytes];
    MakeWavHeader(header, m_rate, m_channels,
                  static_cast<std::uint32_t>(m_frames * 2 * m_channels));
    FileError error;
    if (!m_file.writeAt(0, header, sizeof header, &error) || !m_file.commit(&error)) fail(error);
}

void WriteWavFile(const std::string& path, std::int32_t sampleRate, std::int32_t channels,
                  const std::vector<std::int16_t>& samples) {
    WavWriter writer(path, sampleRate, channels);
    writer.write(samples.data(), static_cast<std::int64_t>(samples.size()) / channels);
    writer.commit();
}

} // namespace orvex::audio
