#include "AlsaDevices.h"

#include "core/SafeFile.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <alsa/asoundlib.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace orvex::audio {
namespace {

std::string AlsaText(int err) {
    return snd_strerror(err);
}

std::string FirstLine(const char* s) {
    if (!s) return {};
    std::string t(s);
    const auto nl = t.find('\n');
    return nl == std::string::npos ? t : t.substr(0, nl);
}

// Seconds without a block before a running stream counts as stuck.
constexpr double kStallSeconds = 1.5;
// An ALSA configuration file of our own defines a few PCMs: a megabyte is far beyond one.
constexpr std::uint64_t kMaxAlsaConfigBytes = 1024 * 1024;

// One opened PCM and the watching of its poll descriptors.
class AlsaStream {
public:
    AlsaStream(snd_pcm_t* pcm, bool capture, AlsaContext& context, std::string name)
        : m_pcm(pcm), m_capture(capture), m_context(context), m_name(std::move(name)) {}
    ~AlsaStream() { unwatch(); }

    snd_pcm_t* pcm() const { return m_pcm; }
    const std::string& name() const { return m_name; }
    AlsaContext& context() { return m_context; }

    // Hardware and software parameters: 16-bit interleaved, the format's channels and rate
    // exactly, periods of `periodFrames`, a buffer of `bufferFrames`, and a wake-up once a
    // whole period can be read or written.
    void configure(const PcmFormat& format, snd_pcm_uframes_t periodFrames,
                   snd_pcm_uframes_t bufferFrames) {
        snd_pcm_hw_params_t* hw = nullptr;
        snd_pcm_hw_params_alloca(&hw);
        check(snd_pcm_hw_params_any(m_pcm, hw), "reading the hardware parameters");
        check(snd_pcm_hw_params_set_access(m_pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED),
              "setting interleaved access");
        check(snd_pcm_hw_params_set_format(m_pcm, hw, SND_PCM_FORMAT_S16),
              "setting 16-bit samples");
        check(snd_pcm_hw_params_set_channels(m_pcm, hw, static_cast<unsigned>(format.channels)),
              "setting " + std::to_string(format.channels) + " channel(s)");
        unsigned rate = static_cast<unsigned>(format.framesPerSecond);
        check(snd_pcm_hw_params_set_rate(m_pcm, hw, rate, 0),
              "setting " + std::to_string(rate) + " frames per second");
        snd_pcm_uframes_t period = periodFrames;
        int dir = 0;
        check(snd_pcm_hw_params_set_period_size_near(m_pcm, hw, &period, &dir),
              "setting the period size");
        snd_pcm_uframes_t buffer = std::max(bufferFrames, 2 * period);
        check(snd_pcm_hw_params_set_buffer_size_near(m_pcm, hw, &buffer),
              "setting the buffer size");
        check(snd_pcm_hw_params(m_pcm, hw), "applying the hardware parameters");
        m_periodMs = static_cast<int>(1000.0 * static_cast<double>(period) / rate);
        snd_pcm_sw_params_t* sw = nullptr;
        snd_pcm_sw_params_alloca(&sw);
        check(snd_pcm_sw_params_current(m_pcm, sw), "reading the software parameters");
        check(snd_pcm_sw_params_set_avail_min(m_pcm, sw, periodFrames),
              "setting the wake-up level");
        // Playback is started by hand once the buffer is filled.
        if (!m_capture)
            check(snd_pcm_sw_params_set_start_threshold(m_pcm, sw, buffer * 2),
                  "setting the start level");
        check(snd_pcm_sw_params(m_pcm, sw), "applying the software parameters");
    }

    template <class F>
    void watch(F onReady) {
        unwatch();
        if (m_capture && snd_pcm_type(m_pcm) == SND_PCM_TYPE_NULL) {
            // A null capture device is always ready and has no clock of its own: waking on its
            // descriptors would spin. It gives one period per period instead (playback is paced
            // by its buffer, below).
            m_pacer = std::make_unique<QTimer>();
            m_pacer->setTimerType(Qt::PreciseTimer);
            QObject::connect(m_pacer.get(), &QTimer::timeout, m_pacer.get(),
                             [onReady] { onReady(); });
            m_pacer->start(std::max(1, m_periodMs));
        }
        const int count = snd_pcm_poll_descriptors_count(m_pcm);
        if (count <= 0) throw AudioError("ALSA device '" + m_name + "' offers no poll descriptors");
        m_fds.resize(static_cast<std::size_t>(count));
        snd_pcm_poll_descriptors(m_pcm, m_fds.data(), static_cast<unsigned>(count));
        for (const auto& fd : m_fds) {
            if (m_pacer) break;
            const auto type =
                (fd.events & POLLOUT) ? QSocketNotifier::Write : QSocketNotifier::Read;
            auto n = std::make_unique<QSocketNotifier>(fd.fd, type);
            QObject::connect(n.get(), &QSocketNotifier::activated, n.get(),
                             [onReady] { onReady(); });
            m_notifiers.push_back(std::move(n));
        }
    }

    void unwatch() {
        m_pacer.reset();
        m_notifiers.clear();
        m_fds.clear();
    }

    // The stream's readiness after a notifier fired, as ALSA interprets its descriptors.
    unsigned short revents() {
        for (auto& fd : m_fds)
            fd.revents = 0;
        if (::poll(m_fds.data(), m_fds.size(), 0) < 0) return 0;
        unsigned short r = 0;
        snd_pcm_poll_descriptors_revents(m_pcm, m_fds.data(), static_cast<unsigned>(m_fds.size()),
                                         &r);
        return r;
    }

    // Recovers from an overrun, underrun or suspend; false when the error is not one of those
    // or recovery fails (the device is gone or broken).
    bool recover(int err) {
        if (err == -EPIPE) {
            if (m_capture)
                ++m_context.stats().overruns;
            else
                ++m_context.stats().underruns;
            return snd_pcm_prepare(m_pcm) >= 0;
        }
        if (err == -ESTRPIPE) {
            int r;
            while ((r = snd_pcm_resume(m_pcm)) == -EAGAIN) {
            }
            return r >= 0 || snd_pcm_prepare(m_pcm) >= 0;
        }
        return false;
    }

    bool disconnected() const { return snd_pcm_state(m_pcm) == SND_PCM_STATE_DISCONNECTED; }

private:
    void check(int err, const std::string& what) {
        if (err < 0)
            throw AudioError("ALSA device '" + m_name + "': " + what + " failed: " + AlsaText(err));
    }

    snd_pcm_t* m_pcm;
    bool m_capture;
    AlsaContext& m_context;
    std::string m_name;
    std::vector<pollfd> m_fds;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
    std::unique_ptr<QTimer> m_pacer; ///< for a device without a clock (the null device)
    int m_periodMs = 0;
};

// Blocks of the circular buffer as the notification positions lay them out.
struct BlockLayout {
    std::int64_t blockBytes = 0;
    std::size_t blocks = 0;
};

BlockLayout LayoutFrom(const std::vector<NotifyPosition>& positions, std::int64_t totalBytes,
                       const PcmFormat& format) {
    if (positions.empty()) throw AudioError("no notification positions for the ALSA stream");
    const std::int64_t block = positions[0].offset + 1;
    for (std::size_t i = 0; i < positions.size(); ++i)
        if (positions[i].offset != static_cast<std::int64_t>(i + 1) * block - 1)
            throw AudioError("ALSA streams take notifications at the end of equal blocks only");
    if (block % format.blockAlign() != 0 ||
        block * static_cast<std::int64_t>(positions.size()) != totalBytes)
        throw AudioError("notification blocks do not tile the buffer");
    return {block, positions.size()};
}

// ---- Capture buffer ------------------------------------------------------------------------

class AlsaCaptureBuffer final : public CaptureBuffer {
public:
    AlsaCaptureBuffer(AlsaStream& stream, const PcmFormat& format, std::int64_t bytes,
                      EventRegistry& events)
        : m_stream(stream), m_format(format), m_image(static_cast<std::size_t>(bytes), 0),
          m_events(events) {
        m_watchdog.setInterval(250);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] { checkStalled(); });
    }
    ~AlsaCaptureBuffer() override { stopStream(); }

    void setNotificationPositions(const std::vector<NotifyPosition>& positions) override {
        m_layout = LayoutFrom(positions, static_cast<std::int64_t>(m_image.size()), m_format);
        m_positions = positions;
        const auto period =
            static_cast<snd_pcm_uframes_t>(m_layout.blockBytes / m_format.blockAlign());
        m_stream.configure(m_format, period, period * m_layout.blocks);
    }

    void start() override {
        if (m_running) return;
        if (m_positions.empty())
            throw AudioError("ALSA capture started before its notifications were set");
        const int err = snd_pcm_prepare(m_stream.pcm());
        if (err < 0)
            throw AudioError("ALSA capture '" + m_stream.name() +
                             "' cannot start: " + AlsaText(err));
        const int s = snd_pcm_start(m_stream.pcm());
        if (s < 0)
            throw AudioError("ALSA capture '" + m_stream.name() + "' cannot start: " + AlsaText(s));
        m_next = 0;
        m_running = true;
        m_lastBlock = std::chrono::steady_clock::now();
        m_restartedForStall = false;
        m_stream.watch([this] { onReady(); });
        m_watchdog.start();
    }

    void stop() override { stopStream(); }
    BufferStatus status() const override {
        return m_running ? BufferStatus::Running : BufferStatus::Stopped;
    }

    void readBuffer(std::int64_t start, std::int64_t size, void* destination) override {
        const auto total = static_cast<std::int64_t>(m_image.size());
        auto* out = static_cast<std::uint8_t*>(destination);
        std::int64_t pos = ((start % total) + total) % total;
        while (size > 0) {
            const std::int64_t run = std::min(size, total - pos);
            std::memcpy(out, m_image.data() + pos, static_cast<std::size_t>(run));
            out += run;
            size -= run;
            pos = 0;
        }
    }

private:
    void stopStream() {
        if (!m_running) return;
        m_running = false;
        m_watchdog.stop();
        m_stream.unwatch();
        snd_pcm_drop(m_stream.pcm());
    }

    void lost(const std::string& why) {
        stopStream();
        m_stream.context().reportLost("ALSA capture '" + m_stream.name() + "' stopped: " + why);
    }

    // One period per wake-up; the notifier fires again at once while more is waiting.
    void onReady() {
        if (!m_running) return;
        const unsigned short r = m_stream.revents();
        if (r & (POLLERR | POLLHUP | POLLNVAL)) {
            if (m_stream.disconnected()) return lost("the device was disconnected");
            if (!m_stream.recover(-EPIPE) || snd_pcm_start(m_stream.pcm()) < 0)
                return lost("it could not be restarted after an error");
            return;
        }
        if (!(r & POLLIN)) return;
        const snd_pcm_uframes_t frames =
            static_cast<snd_pcm_uframes_t>(m_layout.blockBytes / m_format.blockAlign());
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(m_stream.pcm());
        if (avail < 0) return handleError(static_cast<int>(avail));
        if (static_cast<snd_pcm_uframes_t>(avail) < frames) return;
        const snd_pcm_sframes_t got = snd_pcm_readi(
            m_stream.pcm(),
            m_image.data() + static_cast<std::int64_t>(m_next) * m_layout.blockBytes, frames);
        if (got < 0) return handleError(static_cast<int>(got));
        if (static_cast<snd_pcm_uframes_t>(got) < frames)
            return; // a short read is completed next time
        m_lastBlock = std::chrono::steady_clock::now();
        const int id = m_positions[m_next].eventId;
        m_next = (m_next + 1) % m_layout.blocks;
        m_events.fire(id);
    }

    void handleError(int err) {
        if (err == -EAGAIN) return;
        if (err == -ENODEV || m_stream.disconnected()) return lost("the device was disconnected");
        if (!m_stream.recover(err)) return lost(AlsaText(err));
        const int s = snd_pcm_start(m_stream.pcm());
        if (s < 0 && s != -EBADFD) lost("it could not be restarted: " + AlsaText(s));
    }

    // A running capture that delivers nothing for too long is restarted once; if it stays
    // silent it is reported lost, so the program never waits on a dead stream.
    void checkStalled() {
        if (!m_running) return;
        const double idle =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_lastBlock).count();
        if (idle < kStallSeconds) return;
        if (m_restartedForStall)
            return lost("no audio arrived for " + std::to_string(static_cast<int>(idle)) + " s");
        m_restartedForStall = true;
        m_lastBlock = std::chrono::steady_clock::now();
        snd_pcm_drop(m_stream.pcm());
        if (snd_pcm_prepare(m_stream.pcm()) < 0 || snd_pcm_start(m_stream.pcm()) < 0)
            lost("it could not be restarted after stalling");
    }

    AlsaStream& m_stream;
    PcmFormat m_format;
    std::vector<std::uint8_t> m_image;
    EventRegistry& m_events;
    std::vector<NotifyPosition> m_positions;
    BlockLayout m_layout;
    std::size_t m_next = 0;
    bool m_running = false;
    bool m_restartedForStall = false;
    std::chrono::steady_clock::time_point m_lastBlock;
    QTimer m_watchdog;
};

// ---- Playback buffer -----------------------------------------------------------------------

class AlsaPlaybackBuffer final : public PlaybackBuffer {
public:
    AlsaPlaybackBuffer(AlsaStream& stream, const PcmFormat& format, std::int64_t bytes,
                       EventRegistry& events)
        : m_stream(stream), m_format(format), m_image(static_cast<std::size_t>(bytes), 0),
          m_scratch(static_cast<std::size_t>(bytes / 2), 0), m_events(events) {
        m_pace.setSingleShot(true);
        m_pace.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_pace, &QTimer::timeout, [this] { onPace(); });
    }
    ~AlsaPlaybackBuffer() override { stopStream(); }

    void setNotificationPositions(const std::vector<NotifyPosition>& positions) override {
        m_layout = LayoutFrom(positions, static_cast<std::int64_t>(m_image.size()), m_format);
        m_positions = positions;
        const auto period =
            static_cast<snd_pcm_uframes_t>(m_layout.blockBytes / m_format.blockAlign());
        m_stream.configure(m_format, period, period * m_layout.blocks);
    }

    void start() override {
        if (m_running) return;
        if (m_positions.empty())
            throw AudioError("ALSA playback started before its notifications were set");
        m_running = true;
        m_next = 0;
        if (!primeAndStart(false)) return;
        // ALSA's null device takes every period the moment it is written, so its descriptor
        // is always ready and nothing paces it: refilling on readiness would spin as fast as
        // the processor allows. It is paced by the clock instead, one block per block's time,
        // as a card would take them.
        if (snd_pcm_type(m_stream.pcm()) == SND_PCM_TYPE_NULL) {
            m_paceStart = std::chrono::steady_clock::now();
            m_paced = 0;
            schedulePace();
            return;
        }
        m_stream.watch([this] { onReady(); });
    }

    void stop() override { stopStream(); }
    BufferStatus status() const override {
        return m_running ? BufferStatus::Running : BufferStatus::Stopped;
    }

    void writeBuffer(std::int64_t start, std::int64_t size, const void* source) override {
        const auto total = static_cast<std::int64_t>(m_image.size());
        const auto* in = static_cast<const std::uint8_t*>(source);
        std::int64_t pos = ((start % total) + total) % total;
        while (size > 0) {
            const std::int64_t run = std::min(size, total - pos);
            std::memcpy(m_image.data() + pos, in, static_cast<std::size_t>(run));
            in += run;
            size -= run;
            pos = 0;
        }
    }

    // Applied in software to what is written from now on, as a buffer's own volume is.
    void setVolume(int hundredthsDb) override {
        const int v = std::clamp(hundredthsDb, -10000, 0);
        m_gain = v <= -10000 ? 0.0f : static_cast<float>(std::pow(10.0, v / 2000.0));
    }

private:
    void stopStream() {
        if (!m_running) return;
        m_running = false;
        m_stream.unwatch();
        m_pace.stop();
        snd_pcm_drop(m_stream.pcm());
    }

    // The time the next block of a paced device is due: start + blocks x block period.
    void schedulePace() {
        const double blockSeconds = static_cast<double>(m_layout.blockBytes) /
                                    static_cast<double>(m_format.bytesPerSecond());
        const auto due =
            m_paceStart + std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::duration<double>(blockSeconds * (m_paced + 1)));
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            due - std::chrono::steady_clock::now());
        m_pace.start(static_cast<int>(std::max<std::int64_t>(0, wait.count())));
    }

    void onPace() {
        if (!m_running) return;
        ++m_paced;
        deliverBlock();
        if (m_running) schedulePace();
    }

    void lost(const std::string& why) {
        stopStream();
        m_stream.context().reportLost("ALSA playback '" + m_stream.name() + "' stopped: " + why);
    }

    // Fills the card's buffer with every block of the image (or with silence after an
    // underrun, so nothing already heard is repeated) and starts it.
    bool primeAndStart(bool silence) {
        int err = snd_pcm_prepare(m_stream.pcm());
        for (std::size_t b = 0; err >= 0 && b < m_layout.blocks; ++b)
            err = writeBlock(b, silence);
        if (err >= 0) err = snd_pcm_start(m_stream.pcm());
        if (err < 0) {
            lost("it could not be started: " + AlsaText(err));
            return false;
        }
        return true;
    }

    int writeBlock(std::size_t block, bool silence) {
        const std::int64_t samples = m_layout.blockBytes / 2;
        const auto* in = reinterpret_cast<const std::int16_t*>(
            m_image.data() + static_cast<std::int64_t>(block) * m_layout.blockBytes);
        for (std::int64_t i = 0; i < samples; ++i)
            m_scratch[static_cast<std::size_t>(i)] =
                silence ? 0
                        : static_cast<std::int16_t>(m_gain == 1.0f ? in[i]
                                                                   : std::lrint(in[i] * m_gain));
        const auto frames =
            static_cast<snd_pcm_uframes_t>(m_layout.blockBytes / m_format.blockAlign());
        snd_pcm_uframes_t done = 0;
        while (done < frames) {
            const snd_pcm_sframes_t w = snd_pcm_writei(
                m_stream.pcm(),
                m_scratch.data() + done * static_cast<snd_pcm_uframes_t>(m_format.channels),
                frames - done);
            if (w == -EAGAIN) continue;
            if (w < 0) return static_cast<int>(w);
            done += static_cast<snd_pcm_uframes_t>(w);
        }
        return 0;
    }

    // The card has consumed a block: announce it, so the owner refills it, then queue it.
    void onReady() {
        if (!m_running) return;
        const unsigned short r = m_stream.revents();
        if (r & (POLLERR | POLLHUP | POLLNVAL)) {
            if (m_stream.disconnected()) return lost("the device was disconnected");
            if (!m_stream.recover(-EPIPE)) return lost("it could not recover from an error");
            primeAndStart(true);
            return;
        }
        if (!(r & POLLOUT)) return;
        const auto frames =
            static_cast<snd_pcm_sframes_t>(m_layout.blockBytes / m_format.blockAlign());
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(m_stream.pcm());
        if (avail < 0) return handleError(static_cast<int>(avail));
        if (avail < frames) return;
        deliverBlock();
    }

    // A block has been played: announce it, so the owner refills it, then queue it.
    void deliverBlock() {
        const std::size_t block = m_next;
        m_next = (m_next + 1) % m_layout.blocks;
        m_events.fire(m_positions[block].eventId);
        if (!m_running) return; // the owner stopped us from inside the notification
        const int err = writeBlock(block, false);
        if (err < 0) handleError(err);
    }

    void handleError(int err) {
        if (err == -EAGAIN) return;
        if (err == -ENODEV || m_stream.disconnected()) return lost("the device was disconnected");
        if (!m_stream.recover(err)) return lost(AlsaText(err));
        primeAndStart(true);
    }

    AlsaStream& m_stream;
    PcmFormat m_format;
    std::vector<std::uint8_t> m_image;
    std::vector<std::int16_t> m_scratch;
    EventRegistry& m_events;
    std::vector<NotifyPosition> m_positions;
    BlockLayout m_layout;
    std::size_t m_next = 0;
    float m_gain = 1.0f;
    bool m_running = false;
    QTimer m_pace; // the null device's clock
    std::chrono::steady_clock::time_point m_paceStart;
    std::int64_t m_paced = 0;
};

// Opens device `name` for one direction, with the context's local configuration when the
// name is one of its own PCMs.
snd_pcm_t* OpenPcm(AlsaContext& context, const std::string& name, bool capture) {
    snd_pcm_t* pcm = nullptr;
    const auto stream = capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
    int err;
    if (snd_config_t* local = context.localConfig(name))
        err = snd_pcm_open_lconf(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK, local);
    else
        err = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (err < 0) {
        std::string hint;
        if (err == -EBUSY) hint = " (another program is using it)";
        if (err == -EACCES || err == -EPERM) hint = " (the user must be in the 'audio' group)";
        throw AudioError(std::string("ALSA ") + (capture ? "capture" : "playback") + " device '" +
                         name + "' cannot be opened: " + AlsaText(err) + hint);
    }
    return pcm;
}

// alsa-lib prints its own errors on stderr; every failure is reported through our errors
// instead, with the device name and alsa-lib's reason.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

} // namespace

// ---- Context -------------------------------------------------------------------------------

AlsaContext::AlsaContext(const std::string& extraConfigFile) {
    snd_lib_error_set_handler(&QuietAlsaErrors);
    std::string file = extraConfigFile;
    if (file.empty())
        if (const char* env = std::getenv("ORVEX_ALSA_CONFIG")) file = env;
    if (file.empty()) return;
    // Read as every input is (a regular file of bounded size), then parsed from memory.
    std::string text;
    FileError readError;
    if (!ReadWholeFile(file, text, kMaxAlsaConfigBytes, &readError))
        throw AudioError("ALSA configuration '" + file +
                         "' cannot be read: " + readError.describe());
    snd_input_t* in = nullptr;
    int err = snd_input_buffer_open(&in, text.data(), static_cast<ssize_t>(text.size()));
    if (err < 0)
        throw AudioError("ALSA configuration '" + file + "' cannot be read: " + AlsaText(err));
    err = snd_config_top(&m_config);
    if (err >= 0) err = snd_config_load(m_config, in);
    snd_input_close(in);
    if (err < 0) {
        if (m_config) snd_config_delete(m_config);
        m_config = nullptr;
        throw AudioError("ALSA configuration '" + file + "' is not valid: " + AlsaText(err));
    }
    snd_config_t* pcms = nullptr;
    if (snd_config_search(m_config, "pcm", &pcms) >= 0) {
        snd_config_iterator_t i, next;
        snd_config_for_each(i, next, pcms) {
            const char* id = nullptr;
            if (snd_config_get_id(snd_config_iterator_entry(i), &id) >= 0 && id)
                m_extraNames.emplace_back(id);
        }
    }
}

AlsaContext::~AlsaContext() {
    if (m_config) snd_config_delete(m_config);
}

std::vector<AlsaDeviceInfo> AlsaContext::devices(bool capture) const {
    std::vector<AlsaDeviceInfo> list;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) >= 0 && hints) {
        for (void** h = hints; *h; ++h) {
            char* name = snd_device_name_get_hint(*h, "NAME");
            char* desc = snd_device_name_get_hint(*h, "DESC");
            char* ioid = snd_device_name_get_hint(*h, "IOID");
            const bool fits = !ioid || std::strcmp(ioid, capture ? "Input" : "Output") == 0;
            if (name && fits) list.push_back({name, FirstLine(desc)});
            std::free(name);
            std::free(desc);
            std::free(ioid);
        }
        snd_device_name_free_hint(hints);
    }
    // "default" first: it reaches PipeWire or PulseAudio where they run.
    const auto def = std::find_if(list.begin(), list.end(),
                                  [](const AlsaDeviceInfo& d) { return d.name == "default"; });
    if (def != list.end())
        std::rotate(list.begin(), def, def + 1);
    else
        list.insert(list.begin(), AlsaDeviceInfo{"default", "Default ALSA device"});
    for (const auto& n : m_extraNames)
        list.push_back({n, n + " (from the ORVEX_ALSA_CONFIG file)"});
    for (const auto& n : m_named)
        list.push_back({n, "named on the command line"});
    return list;
}

int AlsaContext::deviceNumber(bool capture, const std::string& name) {
    for (int pass = 0; pass < 2; ++pass) {
        const auto list = devices(capture);
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].name == name) return static_cast<int>(i) + 1;
        m_named.push_back(name);
    }
    return 0;
}

snd_config_t* AlsaContext::localConfig(const std::string& name) const {
    return std::find(m_extraNames.begin(), m_extraNames.end(), name) != m_extraNames.end()
               ? m_config
               : nullptr;
}

void AlsaContext::reportLost(const std::string& reason) const {
    if (m_lost) m_lost(reason);
}

// ---- Providers -----------------------------------------------------------------------------

// What both sides share: the device list of their direction and the one open stream.
struct AlsaSide {
    AlsaContext& context;
    bool capture;
    std::unique_ptr<AlsaStream> stream;

    const char* direction() const { return capture ? "capture" : "playback"; }
    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const auto& d : context.devices(capture))
            names.push_back(d.name + " - " + d.description);
        return names;
    }
    void open(int device) {
        const auto list = context.devices(capture);
        if (device < 1 || device > static_cast<int>(list.size()))
            throw AudioError(std::string(direction()) + " device " + std::to_string(device) +
                             " does not exist (there are " + std::to_string(list.size()) + ")");
        openByName(list[static_cast<std::size_t>(device - 1)].name);
    }
    void openByName(const std::string& name) {
        close();
        snd_pcm_t* pcm = OpenPcm(context, name, capture);
        stream = std::make_unique<AlsaStream>(pcm, capture, context, name);
    }
    AlsaStream& open() const {
        if (!stream) throw AudioError(std::string("no ALSA ") + direction() + " device is open");
        return *stream;
    }
    void close() {
        if (!stream) return;
        snd_pcm_t* pcm = stream->pcm();
        stream.reset();
        snd_pcm_close(pcm);
    }
};

struct AlsaCaptureProvider::Impl : AlsaSide {};
struct AlsaPlaybackProvider::Impl : AlsaSide {};

AlsaCaptureProvider::AlsaCaptureProvider(AlsaContext& context)
    : m_impl(new Impl{{context, true, nullptr}}) {}
AlsaCaptureProvider::~AlsaCaptureProvider() {
    close();
}
std::vector<std::string> AlsaCaptureProvider::deviceNames() {
    return m_impl->names();
}
void AlsaCaptureProvider::open(int device) {
    m_impl->open(device);
}
void AlsaCaptureProvider::openByName(const std::string& name) {
    m_impl->openByName(name);
}
bool AlsaCaptureProvider::isOpen() const {
    return m_impl->stream != nullptr;
}
void AlsaCaptureProvider::close() {
    m_impl->close();
}
std::unique_ptr<CaptureBuffer> AlsaCaptureProvider::createBuffer(const PcmFormat& format,
                                                                 std::int64_t bytes,
                                                                 EventRegistry& events) {
    return std::make_unique<AlsaCaptureBuffer>(m_impl->open(), format, bytes, events);
}

AlsaPlaybackProvider::AlsaPlaybackProvider(AlsaContext& context)
    : m_impl(new Impl{{context, false, nullptr}}) {}
AlsaPlaybackProvider::~AlsaPlaybackProvider() {
    close();
}
std::vector<std::string> AlsaPlaybackProvider::deviceNames() {
    return m_impl->names();
}
void AlsaPlaybackProvider::open(int device) {
    m_impl->open(device);
}
void AlsaPlaybackProvider::openByName(const std::string& name) {
    m_impl->openByName(name);
}
bool AlsaPlaybackProvider::isOpen() const {
    return m_impl->stream != nullptr;
}
void AlsaPlaybackProvider::close() {
    m_impl->close();
}
std::unique_ptr<PlaybackBuffer> AlsaPlaybackProvider::createBuffer(const PcmFormat& format,
                                                                   std::int64_t bytes,
                                                                   EventRegistry& events) {
    return std::make_unique<AlsaPlaybackBuffer>(m_impl->open(), format, bytes, events);
}

} // namespace orvex::audio
