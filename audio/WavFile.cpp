#include "WavFile.h"

#include "core/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::audio {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::int64_t kHeaderBytes = kWavHeaderBytes;
constexpr std::int64_t kMaxDataBytes = kWavMaxDataBytes;
constexpr std::int64_t kChunkFrames = 8192;

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

// Reads exactly size bytes at offset; returns false at a short read (end of file).
bool ReadAt(int fd, const std::string& path, void* dst, std::size_t size, std::int64_t offset) {
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw OrvexError(ErrorKind::File, ErrnoText("cannot read " + path, errno));
        }
        if (n == 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace

void MakeWavHeader(std::uint8_t* h, std::int32_t sampleRate, std::int32_t channels,
                   std::uint32_t dataBytes) {
    const auto rate = static_cast<std::uint32_t>(sampleRate);
    const auto ch = static_cast<std::uint32_t>(channels);
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, kFormatPcm);
    Put16(h + 22, ch);
    Put32(h + 24, rate);
    Put32(h + 28, rate * 2u * ch);
    Put16(h + 32, 2u * ch);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, dataBytes);
}

// ---- Reader --------------------------------------------------------------------------------

WavReader::WavReader(const std::string& path) : m_path(path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) throw OrvexError(ErrorKind::File, ErrnoText("cannot open " + path, errno));
    try {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            throw OrvexError(ErrorKind::File, ErrnoText("cannot examine " + path, errno));
        if (!S_ISREG(st.st_mode)) FormatFault(path, "not a regular file");
        const std::int64_t fileSize = st.st_size;

        std::uint8_t riff[12];
        if (fileSize < 12 || !ReadAt(m_fd, path, riff, 12, 0) ||
            std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
            FormatFault(path, "not a WAV file (no RIFF/WAVE header)");

        bool haveFmt = false;
        std::int64_t pos = 12;
        for (;;) {
            std::uint8_t hdr[8];
            if (pos + 8 > fileSize || !ReadAt(m_fd, path, hdr, 8, pos))
                FormatFault(path, haveFmt ? "no data chunk" : "no fmt chunk");
            const std::int64_t size = Le32(hdr + 4);
            const std::int64_t body = pos + 8;
            if (std::memcmp(hdr, "fmt ", 4) == 0) {
                if (size < 16)
                    FormatFault(path, "fmt chunk too short (" + std::to_string(size) + " bytes)");
                if (body + size > fileSize) FormatFault(path, "truncated fmt chunk");
                std::uint8_t fmt[40] = {};
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size, 40));
                if (!ReadAt(m_fd, path, fmt, want, body)) FormatFault(path, "truncated fmt chunk");
                std::uint16_t tag = Le16(fmt);
                const std::uint16_t channels = Le16(fmt + 2);
                const std::uint32_t rate = Le32(fmt + 4);
                const std::uint16_t align = Le16(fmt + 12);
                const std::uint16_t bits = Le16(fmt + 14);
                if (tag == kFormatExtensible) {
                    // The sub-format GUID starts with the plain format tag.
                    if (size < 40) FormatFault(path, "extensible fmt chunk too short");
                    tag = Le16(fmt + 24);
                }
                if (tag != kFormatPcm)
                    FormatFault(path, "not PCM audio (format tag " + std::to_string(tag) + ")");
                if (bits != 16)
                    FormatFault(path,
                                "not 16-bit audio (" + std::to_string(bits) + " bits per sample)");
                if (channels < 1 || channels > 16)
                    FormatFault(path, "unsupported channel count " + std::to_string(channels));
                if (rate == 0 || rate > 1000000)
                    FormatFault(path, "invalid sample rate " + std::to_string(rate) + " Hz");
                if (align != channels * 2)
                    FormatFault(path, "inconsistent block alignment " + std::to_string(align));
                m_format.SampleRate = static_cast<std::int32_t>(rate);
                m_format.Channels = channels;
                m_format.BitsPerSample = bits;
                haveFmt = true;
            } else if (std::memcmp(hdr, "data", 4) == 0) {
                if (!haveFmt) FormatFault(path, "data chunk before the fmt chunk");
                const std::int64_t frameBytes = 2LL * m_format.Channels;
                if (body + size > fileSize)
                    FormatFault(path, "truncated data: the data chunk declares " +
                                          std::to_string(size) + " bytes but only " +
                                          std::to_string(fileSize - body) + " follow");
                if (size % frameBytes != 0)
                    FormatFault(path, "truncated data: " + std::to_string(size) +
                                          " bytes is not a whole number of " +
                                          std::to_string(frameBytes) + "-byte frames");
                m_format.Frames = size / frameBytes;
                m_remaining = m_format.Frames;
                m_dataOffset = body;
                break;
            }
            // Chunks are padded to an even length.
            pos = body + size + (size & 1);
        }
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
}

WavReader::~WavReader() {
    if (m_fd >= 0) ::close(m_fd);
}

std::int64_t WavReader::read(std::int16_t* dst, std::int64_t maxFrames) {
    const std::int64_t frames = std::min(maxFrames, m_remaining);
    if (frames <= 0) return 0;
    const std::size_t bytes =
        static_cast<std::size_t>(frames) * 2u * static_cast<std::size_t>(m_format.Channels);
    if (m_bytes.size() < bytes) m_bytes.resize(bytes);
    if (!ReadAt(m_fd, m_path, m_bytes.data(), bytes, m_dataOffset))
        FormatFault(m_path, "truncated data: the file ended early");
    const std::size_t count = bytes / 2;
    for (std::size_t i = 0; i < count; ++i)
        dst[i] = static_cast<std::int16_t>(Le16(m_bytes.data() + 2 * i));
    m_dataOffset += static_cast<std::int64_t>(bytes);
    m_remaining -= frames;
    return frames;
}

WavData ReadWavFile(const std::string& path) {
    WavReader reader(path);
    WavData data;
    data.format = reader.format();
    data.samples.resize(static_cast<std::size_t>(data.format.Frames) *
                        static_cast<std::size_t>(data.format.Channels));
    std::int64_t at = 0;
    while (reader.remainingFrames() > 0) {
        const std::int64_t got =
            reader.read(data.samples.data() + at * data.format.Channels,
                        std::min<std::int64_t>(kChunkFrames * 8, reader.remainingFrames()));
        at += got;
    }
    return data;
}

// ---- Writer --------------------------------------------------------------------------------

WavWriter::WavWriter(const std::string& path, std::int32_t sampleRate, std::int32_t channels)
    : m_path(path), m_rate(sampleRate), m_channels(channels) {
    if (sampleRate <= 0 || channels < 1 || channels > 16)
        throw OrvexError(ErrorKind::InvalidArgument,
                         path + ": cannot write " + std::to_string(channels) + " channels at " +
                             std::to_string(sampleRate) + " Hz");
    std::string name =
        path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (name.empty()) throw OrvexError(ErrorKind::File, path + ": not a file name");
    std::string tmpl = Folder(path) + "/." + name + ".XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    m_fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw OrvexError(
            ErrorKind::File,
            ErrnoText("cannot write " + path + " (no file can be created in " + Folder(path) + ")",
                      errno));
    m_tempPath = buf.data();
    ::fchmod(m_fd, 0644);
    try {
        std::uint8_t header[kHeaderBytes] = {};
        writeAll(header, sizeof header, 0); // sizes are filled in by commit
    } catch (...) {
        discard();
        throw;
    }
}

WavWriter::~WavWriter() {
    discard();
}

void WavWriter::discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
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

void WavWriter::writeAll(const void* data, std::size_t size, std::int64_t offset) {
    std::int64_t written = 0;
    if (const int err = WriteAllAt(m_fd, data, size, offset, written); err != 0)
        throw OrvexError(ErrorKind::File, ErrnoText("cannot write " + m_path, err));
}

void WavWriter::write(const std::int16_t* frames, std::int64_t frameCount) {
    if (m_fd < 0) throw OrvexError(ErrorKind::File, m_path + ": writer already closed");
    if (frameCount <= 0) return;
    const std::int64_t frameBytes = 2LL * m_channels;
    if ((m_frames + frameCount) * frameBytes > kMaxDataBytes)
        throw OrvexError(ErrorKind::File, m_path + ": more audio than a WAV file can hold (4 GiB)");
    const std::size_t count = static_cast<std::size_t>(frameCount * m_channels);
    if (m_bytes.size() < 2 * count) m_bytes.resize(2 * count);
    for (std::size_t i = 0; i < count; ++i)
        Put16(m_bytes.data() + 2 * i, static_cast<std::uint16_t>(frames[i]));
    writeAll(m_bytes.data(), 2 * count, kHeaderBytes + m_frames * frameBytes);
    m_frames += frameCount;
}

void WavWriter::commit() {
    if (m_fd < 0) throw OrvexError(ErrorKind::File, m_path + ": writer already closed");
    try {
        std::uint8_t h[kHeaderBytes];
        MakeWavHeader(h, m_rate, m_channels, static_cast<std::uint32_t>(m_frames * 2 * m_channels));
        writeAll(h, sizeof h, 0);
        if (::fsync(m_fd) != 0)
            throw OrvexError(ErrorKind::File, ErrnoText("cannot flush " + m_path, errno));
        if (::close(m_fd) != 0) {
            m_fd = -1;
            throw OrvexError(ErrorKind::File, ErrnoText("cannot close " + m_path, errno));
        }
        m_fd = -1;
        if (::rename(m_tempPath.c_str(), m_path.c_str()) != 0)
            throw OrvexError(ErrorKind::File,
                             ErrnoText("cannot rename the new file to " + m_path, errno));
        m_tempPath.clear();
        // Make the rename itself durable.
        const int dir = ::open(Folder(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    } catch (...) {
        discard();
        throw;
    }
}

void WriteWavFile(const std::string& path, std::int32_t sampleRate, std::int32_t channels,
                  const std::vector<std::int16_t>& samples) {
    WavWriter writer(path, sampleRate, channels);
    writer.write(samples.data(), static_cast<std::int64_t>(samples.size()) / channels);
    writer.commit();
}

} // namespace orvex::audio
