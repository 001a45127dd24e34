#include "audio/WavRecorder.h"

#include "audio/WavFile.h"
#include "core/Error.h"
#include "core/Folders.h"
#include "core/MessageSink.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::audio {
namespace {

using Clock = std::chrono::steady_clock;
// How often the header and the disk are brought up to date. Half a second leaves room for
// the main loop's drain period (a few hundred ms at most) and a block within the promised
// second: the samples still queued, plus those written since the last header, stay under it.
constexpr auto kUpdateInterval = std::chrono::milliseconds(500);

std::string SecondsText(double seconds) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed, 1);
    return std::string(buf, r.ptr);
}

} // namespace

WavRecorder::WavRecorder() : WavRecorder(Config{}) {}

WavRecorder::WavRecorder(const Config& config) : m_config(config) {
    if (m_config.sampleRate <= 0 || m_config.slotSamples == 0 || m_config.slots == 0)
        throw OrvexError(ErrorKind::InvalidArgument,
                         "recorder: the sample rate, slot size and slot count must be above 0");
    m_queue.assign(m_config.slots * m_config.slotSamples, 0);
    m_slotCount.assign(m_config.slots, 0);
    if constexpr (std::endian::native != std::endian::little)
        m_bytes.assign(2 * m_config.slotSamples, 0);
}

WavRecorder::~WavRecorder() {
    stop();
}

double WavRecorder::elapsedSeconds() const {
    return static_cast<double>(m_accepted.load(std::memory_order_relaxed)) / m_config.sampleRate;
}

std::int64_t WavRecorder::fileBytes() const {
    return m_path.empty() ? 0 : kWavHeaderBytes + m_dataBytes;
}

bool WavRecorder::openFile(const std::string& path, bool& exists) {
    exists = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        exists = errno == EEXIST;
        m_error = exists ? "cannot record to " + path +
                               ": the file exists (a recording never replaces a file)"
                         : ErrnoText("cannot record to " + path, errno);
        return false;
    }
    // An empty but valid file from the start.
    std::uint8_t header[kWavHeaderBytes];
    MakeWavHeader(header, m_config.sampleRate, 1, 0);
    std::int64_t written = 0;
    if (const int err = WriteAllAt(fd, header, sizeof header, 0, written); err != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        m_error = ErrnoText("cannot record to " + path, err);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_dataBytes = m_headerBytes = 0;
    m_lastHeader = m_lastSync = Clock::now();
    m_head.store(0, std::memory_order_relaxed);
    m_tail.store(0, std::memory_order_relaxed);
    m_accepted.store(0, std::memory_order_relaxed);
    m_dropped.store(0, std::memory_order_relaxed);
    m_accepting.store(true, std::memory_order_release);
    return true;
}

bool WavRecorder::start(const std::string& path) {
    stop();
    m_error.clear();
    bool exists = false;
    return openFile(path, exists);
}

bool WavRecorder::startUnique(const std::string& folder, const std::string& fileName) {
    stop();
    m_error.clear();
    int err = 0;
    if (!MakeFolders(folder, err)) {
        m_error = ErrnoText("cannot record in " + folder, err);
        return false;
    }
    const std::size_t dot = fileName.rfind('.');
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    const std::string suffix = dot == std::string::npos ? "" : fileName.substr(dot);
    for (int n = 1; n <= 1000; ++n) {
        const std::string name = n == 1 ? fileName : stem + "_" + std::to_string(n) + suffix;
        bool exists = false;
        if (openFile(folder + "/" + name, exists)) return true;
        if (!exists) return false;
    }
    return false;
}

bool WavRecorder::pushBlock(const std::int16_t* samples, std::size_t count) noexcept {
    if (!m_accepting.load(std::memory_order_acquire)) return false;
    if (count == 0) return true;
    const std::size_t slotSamples = m_config.slotSamples;
    const std::size_t needed = (count + slotSamples - 1) / slotSamples;
    std::size_t head = m_head.load(std::memory_order_relaxed);
    const std::size_t tail = m_tail.load(std::memory_order_acquire);
    if (needed > m_config.slots - (head - tail)) {
        m_dropped.fetch_add(static_cast<std::int64_t>(count), std::memory_order_relaxed);
        return false;
    }
    for (std::size_t done = 0; done < count; ++head) {
        const std::size_t slot = head % m_config.slots;
        const std::size_t n = std::min(slotSamples, count - done);
        std::memcpy(m_queue.data() + slot * slotSamples, samples + done, n * sizeof(std::int16_t));
        m_slotCount[slot] = static_cast<std::uint32_t>(n);
        done += n;
    }
    m_head.store(head, std::memory_order_release);
    m_accepted.fetch_add(static_cast<std::int64_t>(count), std::memory_order_relaxed);
    return true;
}

bool WavRecorder::writeSlot(std::size_t slot) {
    const std::int16_t* samples = m_queue.data() + slot * m_config.slotSamples;
    std::size_t bytes = 2u * m_slotCount[slot];
    const void* data = samples;
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < bytes / 2; ++i) {
            const auto v = static_cast<std::uint16_t>(samples[i]);
            m_bytes[2 * i] = static_cast<std::uint8_t>(v);
            m_bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        data = m_bytes.data();
    }
    const bool full = m_dataBytes + static_cast<std::int64_t>(bytes) > kWavMaxDataBytes;
    if (full) bytes = static_cast<std::size_t>((kWavMaxDataBytes - m_dataBytes) & ~1LL);
    if (const int err = WriteAllAt(m_fd, data, bytes, kWavHeaderBytes + m_dataBytes, m_dataBytes);
        err != 0) {
        fail("cannot write " + m_path, err);
        return false;
    }
    if (full) {
        fail("the file has reached the 4 GiB a WAV file can hold", 0);
        return false;
    }
    return true;
}

bool WavRecorder::stillOnDisk() {
    // A file removed while it is written (or its folder removed with it) takes every sample
    // with it: writes to the open descriptor go on succeeding into a file nobody can reach.
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && st.st_nlink == 0) {
        fail("the file " + m_path + " was deleted while recording", 0, true);
        return false;
    }
    return true;
}

bool WavRecorder::updateHeader() {
    if (!stillOnDisk()) return false;
    std::uint8_t header[kWavHeaderBytes];
    const std::int64_t declared = m_dataBytes & ~1LL; // whole samples only
    MakeWavHeader(header, m_config.sampleRate, 1, static_cast<std::uint32_t>(declared));
    std::int64_t written = 0;
    if (const int err = WriteAllAt(m_fd, header, sizeof header, 0, written); err != 0) {
        fail("cannot update the header of " + m_path, err);
        return false;
    }
    m_headerBytes = declared;
    return true;
}

bool WavRecorder::drain() {
    if (m_fd < 0) return true;
    std::size_t tail = m_tail.load(std::memory_order_relaxed);
    const std::size_t head = m_head.load(std::memory_order_acquire);
    for (; tail != head; ++tail) {
        if (!writeSlot(tail % m_config.slots)) return false;
        m_tail.store(tail + 1, std::memory_order_release);
    }
    const auto now = Clock::now();
    const std::int64_t bytesPerInterval = m_config.sampleRate; // half a second of samples
    if (m_dataBytes != m_headerBytes && (now - m_lastHeader >= kUpdateInterval ||
                                         m_dataBytes - m_headerBytes >= bytesPerInterval)) {
        if (!updateHeader()) return false;
        m_lastHeader = now;
    }
    if (now - m_lastSync >= kUpdateInterval) {
        // Samples and header reach the disk together, twice a second.
        if (::fdatasync(m_fd) != 0) {
            fail("cannot flush " + m_path + " to disk", errno);
            return false;
        }
        m_lastSync = now;
    }
    return true;
}

void WavRecorder::stop() {
    if (m_fd < 0) return;
    m_accepting.store(false, std::memory_order_release);
    if (!drain()) return;        // failed and closed, with its message
    if (!updateHeader()) return; // likewise (a file deleted meanwhile too)
    if (::fdatasync(m_fd) != 0) return fail("cannot flush " + m_path + " to disk", errno);
    closeFile();
}

void WavRecorder::closeFile() {
    if (m_fd >= 0 && ::close(m_fd) != 0 && m_error.empty())
        m_error = ErrnoText("cannot close " + m_path, errno);
    m_fd = -1;
    m_accepting.store(false, std::memory_order_release);
    m_tail.store(m_head.load(std::memory_order_acquire), std::memory_order_release);
}

void WavRecorder::fail(const std::string& what, int err, bool lost) {
    m_accepting.store(false, std::memory_order_release);
    // Keep what was written as a valid file: whole samples, a header that says so.
    m_dataBytes &= ~1LL;
    if (!lost && ::ftruncate(m_fd, static_cast<off_t>(kWavHeaderBytes + m_dataBytes)) == 0) {
        std::uint8_t header[kWavHeaderBytes];
        MakeWavHeader(header, m_config.sampleRate, 1, static_cast<std::uint32_t>(m_dataBytes));
        std::int64_t written = 0;
        if (WriteAllAt(m_fd, header, sizeof header, 0, written) == 0) m_headerBytes = m_dataBytes;
        ::fdatasync(m_fd);
    }
    const std::string seconds =
        SecondsText(static_cast<double>(m_dataBytes / 2) / m_config.sampleRate);
    m_error = "Recording stopped: " + (err != 0 ? ErrnoText(what, err) : what) +
              (lost ? " (the " + seconds + " s recorded went with it)"
                    : " (" + seconds + " s kept in " + m_path + ")");
    if (lost) m_dataBytes = m_headerBytes = 0;
    m_accepted.store(m_dataBytes / 2, std::memory_order_relaxed);
    closeFile();
    ShowMessage(m_error, MessageIcon::Exclamation, "Recording");
}

std::string RecordingFileName(std::time_t utc, double frequencyHz, std::string_view mode) {
    std::tm tm{};
    ::gmtime_r(&utc, &tm);
    char when[32];
    std::strftime(when, sizeof when, "%Y%m%d_%H%M%SZ", &tm);
    char khz[48];
    auto r =
        std::to_chars(khz, khz + sizeof khz, frequencyHz / 1000.0, std::chars_format::fixed, 3);
    std::string freq(khz, r.ptr);
    while (freq.find('.') != std::string::npos && (freq.back() == '0' || freq.back() == '.'))
        freq.pop_back();
    std::string name = "OrvexSDR_" + std::string(when) + "_" + freq + "kHz";
    if (!mode.empty()) {
        name += '_';
        for (const char c : mode)
            name += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                            c == '+' || c == '-'
                        ? c
                        : '-';
    }
    return name + ".wav";
}

std::string DefaultRecordingFolder() {
    std::string folder = XdgUserFolder("MUSIC");
    if (folder.empty()) {
        const std::string home = HomeFolder();
        folder = home.empty() ? std::string(".") : home + "/Music";
    }
    return folder;
}

} // namespace orvex::audio
