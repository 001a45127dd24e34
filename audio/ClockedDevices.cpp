#include "ClockedDevices.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace orvex::audio {

// ---- Sources and sinks ---------------------------------------------------------------------

void SilenceSource::read(std::int16_t* interleaved, std::int64_t frames, const PcmFormat& format) {
    std::memset(interleaved, 0, static_cast<std::size_t>(frames * format.blockAlign()));
}

void RecordingSink::write(const std::int16_t* interleaved, std::int64_t frames,
                          const PcmFormat& format) {
    m_samples.insert(m_samples.end(), interleaved, interleaved + frames * format.channels);
}

// ---- Frame clock ---------------------------------------------------------------------------

void FrameClock::attach(ClockedDevice* device) {
    m_devices.push_back(device);
}

void FrameClock::detach(ClockedDevice* device) {
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}

std::int64_t FrameClock::framesToNextEvent() const {
    std::int64_t next = 0;
    for (const auto* d : m_devices) {
        if (!d->running()) continue;
        const std::int64_t f = d->framesToNextNotification();
        if (f > 0 && (next == 0 || f < next)) next = f;
    }
    return next;
}

void FrameClock::advance(std::int64_t frames) {
    // A handler that yields may let a pacer call back in; time only moves at the outer level.
    if (m_advancing) return;
    m_advancing = true;
    while (frames > 0) {
        std::int64_t chunk = frames;
        for (const auto* d : m_devices)
            if (d->running()) {
                const std::int64_t f = d->framesToNextNotification();
                if (f > 0) chunk = std::min(chunk, f);
            }
        const std::vector<ClockedDevice*> snapshot = m_devices;
        for (auto* d : snapshot)
            if (d->running()) d->step(chunk);
        m_now += chunk;
        frames -= chunk;
        for (bool playback : {true, false})
            for (auto* d : snapshot)
                if (d->isPlayback() == playback &&
                    std::find(m_devices.begin(), m_devices.end(), d) != m_devices.end())
                    d->fireDue();
    }
    m_advancing = false;
}

// ---- Clocked buffers -----------------------------------------------------------------------

ClockedDevice::ClockedDevice(FrameClock& clock, EventRegistry& events, const PcmFormat& format,
                             std::int64_t bytes)
    : m_clock(clock), m_events(events), m_format(format) {
    const std::int64_t align = std::max(1, format.blockAlign());
    if (bytes < align || bytes % align != 0)
        throw AudioError("buffer of " + std::to_string(bytes) +
                         " bytes does not hold whole frames of " + std::to_string(align) +
                         " bytes");
    m_buffer.assign(static_cast<std::size_t>(bytes), 0);
    m_clock.attach(this);
}

ClockedDevice::~ClockedDevice() {
    m_clock.detach(this);
}

void ClockedDevice::setPositions(const std::vector<NotifyPosition>& positions) {
    const auto size = static_cast<std::int64_t>(m_buffer.size());
    for (const auto& p : positions)
        if (p.offset < 0 || p.offset >= size)
            throw AudioError("notification position " + std::to_string(p.offset) +
                             " lies outside the buffer of " + std::to_string(size) + " bytes");
    m_positions = positions;
}

void ClockedDevice::setRunning(bool on) {
    m_running = on;
    if (!on) m_due.clear();
}

std::int64_t ClockedDevice::framesToNextNotification() const {
    const auto size = static_cast<std::int64_t>(m_buffer.size());
    const std::int64_t align = m_format.blockAlign();
    std::int64_t best = 0;
    for (const auto& p : m_positions) {
        std::int64_t d = ((p.offset + 1 - m_cursor) % size + size) % size;
        if (d == 0) d = size;
        const std::int64_t frames = (d + align - 1) / align;
        if (best == 0 || frames < best) best = frames;
    }
    return best == 0 ? size / align : best;
}

void ClockedDevice::step(std::int64_t frames) {
    const auto size = static_cast<std::int64_t>(m_buffer.size());
    std::int64_t bytes = frames * m_format.blockAlign();
    const std::int64_t start = m_cursor;
    while (bytes > 0) {
        const std::int64_t run = std::min(bytes, size - m_cursor);
        transfer(m_cursor, run);
        m_cursor = (m_cursor + run) % size;
        bytes -= run;
    }
    const std::int64_t moved = frames * m_format.blockAlign();
    for (const auto& p : m_positions) {
        const std::int64_t d = ((p.offset + 1 - start) % size + size) % size;
        if ((d == 0 ? size : d) <= moved) m_due.push_back(p.eventId);
    }
}

void ClockedDevice::fireDue() {
    std::vector<int> due;
    due.swap(m_due);
    for (int id : due)
        m_events.fire(id);
}

ClockedCaptureBuffer::ClockedCaptureBuffer(FrameClock& clock, EventRegistry& events,
                                           const PcmFormat& format, std::int64_t bytes,
                                           CaptureSource& source)
    : ClockedDevice(clock, events, format, bytes), m_source(source) {}

void ClockedCaptureBuffer::transfer(std::int64_t byteOffset, std::int64_t bytes) {
    m_source.read(reinterpret_cast<std::int16_t*>(m_buffer.data() + byteOffset),
                  bytes / m_format.blockAlign(), m_format);
}

void ClockedCaptureBuffer::readBuffer(std::int64_t start, std::int64_t size, void* destination) {
    const auto total = static_cast<std::int64_t>(m_buffer.size());
    auto* out = static_cast<std::uint8_t*>(destination);
    std::int64_t pos = ((start % total) + total) % total;
    while (size > 0) {
        const std::int64_t run = std::min(size, total - pos);
        std::memcpy(out, m_buffer.data() + pos, static_cast<std::size_t>(run));
        out += run;
        size -= run;
        pos = 0;
    }
}

ClockedPlaybackBuffer::ClockedPlaybackBuffer(FrameClock& clock, EventRegistry& events,
                                             const PcmFormat& format, std::int64_t bytes,
                                             PlaybackSink& sink)
    : ClockedDevice(clock, events, format, bytes), m_sink(sink),
      m_scratch(static_cast<std::size_t>(bytes / 2), 0) {}

void ClockedPlaybackBuffer::writeBuffer(std::int64_t start, std::int64_t size, const void* source) {
    const auto total = static_cast<std::int64_t>(m_buffer.size());
    const auto* in = static_cast<const std::uint8_t*>(source);
    std::int64_t pos = ((start % total) + total) % total;
    while (size > 0) {
        const std::int64_t run = std::min(size, total - pos);
        std::memcpy(m_buffer.data() + pos, in, static_cast<std::size_t>(run));
        in += run;
        size -= run;
        pos = 0;
    }
}

void ClockedPlaybackBuffer::setVolume(int hundredthsDb) {
    m_volume = std::clamp(hundredthsDb, -10000, 0);
    m_gain = m_volume <= -10000 ? 0.0f : static_cast<float>(std::pow(10.0, m_volume / 2000.0));
}

void ClockedPlaybackBuffer::transfer(std::int64_t byteOffset, std::int64_t bytes) {
    const std::int64_t samples = bytes / 2;
    const auto* in = reinterpret_cast<const std::int16_t*>(m_buffer.data() + byteOffset);
    if (m_gain == 1.0f) {
        std::memcpy(m_scratch.data(), in, static_cast<std::size_t>(bytes));
    } else {
        for (std::int64_t i = 0; i < samples; ++i)
            m_scratch[static_cast<std::size_t>(i)] =
                static_cast<std::int16_t>(std::lrint(in[i] * m_gain));
    }
    m_sink.write(m_scratch.data(), bytes / m_format.blockAlign(), m_format);
}

// ---- Providers -----------------------------------------------------------------------------

ClockedCaptureProvider::ClockedCaptureProvider(FrameClock& clock, std::string name,
                                               SourceFactory factory)
    : m_clock(clock), m_name(std::move(name)), m_factory(std::move(factory)) {}

void ClockedCaptureProvider::open(int device) {
    if (device != 1)
        throw AudioError("capture device " + std::to_string(device) +
                         " does not exist (only 1: " + m_name + ")");
    if (!m_source) m_source = m_factory();
}

std::unique_ptr<CaptureBuffer> ClockedCaptureProvider::createBuffer(const PcmFormat& format,
                                                                    std::int64_t bytes,
                                                                    EventRegistry& events) {
    if (!m_source) throw AudioError("capture device " + m_name + " is not open");
    return std::make_unique<ClockedCaptureBuffer>(m_clock, events, format, bytes, *m_source);
}

ClockedPlaybackProvider::ClockedPlaybackProvider(FrameClock& clock, std::string name,
                                                 SinkFactory factory)
    : m_clock(clock), m_name(std::move(name)), m_factory(std::move(factory)) {}

void ClockedPlaybackProvider::open(int device) {
    if (device != 1)
        throw AudioError("playback device " + std::to_string(device) +
                         " does not exist (only 1: " + m_name + ")");
    if (!m_sink) {
        m_sink = m_factory();
        m_buffered = false;
    }
}

std::unique_ptr<PlaybackBuffer> ClockedPlaybackProvider::createBuffer(const PcmFormat& format,
                                                                      std::int64_t bytes,
                                                                      EventRegistry& events) {
    if (!m_sink) throw AudioError("playback device " + m_name + " is not open");
    auto buffer = std::make_unique<ClockedPlaybackBuffer>(m_clock, events, format, bytes, *m_sink);
    m_buffered = true;
    return buffer;
}

void ClockedPlaybackProvider::close() {
    if (!m_sink) return;
    m_lastError.clear();
    if (std::uncaught_exceptions() > 0 || !m_buffered) {
        m_sink->discard();
        m_sink.reset();
        return;
    }
    if (!m_sink->finish(&m_lastError) && m_lastError.empty())
        m_lastError = "the output could not be finished";
    m_sink.reset();
}

} // namespace orvex::audio
