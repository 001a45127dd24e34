// The platform side of sound card streaming: circular capture and playback buffers with a
// notification at chosen byte positions, behind small interfaces, so that the streaming logic
// of OrvexDX8 is the same on ALSA, on files, on the simulated receiver and on the test fakes.
#pragma once

#include "core/Error.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvex::audio {

/// PCM format of one buffer. Only 16-bit samples are streamed.
struct PcmFormat {
    int channels = 1; ///< 1 mono, 2 stereo
    int framesPerSecond = 48000;
    int bitsPerSample = 16;
    int blockAlign() const { return bitsPerSample * channels / 8; } ///< bytes per frame
    int bytesPerSecond() const { return blockAlign() * framesPerSecond; }
};

/// Buffer status as the streaming logic reads it: 1 while capturing or playing.
enum class BufferStatus { Stopped = 0, Running = 1 };

/// A notification: when the buffer's cursor passes byte `offset` (the last byte of a block),
/// event `eventId` fires.
struct NotifyPosition {
    std::int64_t offset = 0;
    int eventId = 0;
};

/// Receives buffer notifications, one call per event, on the main thread.
class DXEventTarget {
public:
    virtual ~DXEventTarget() = default;
    virtual void DirectXEvent8_DXCallback(int eventid) = 0;
};

/// Notification identifiers and the targets they fire on. Devices fire through it.
class EventRegistry {
public:
    int createEvent(DXEventTarget* target);
    void destroyEvent(int eventId);
    /// Calls the event's target; unknown or destroyed identifiers are ignored.
    void fire(int eventId);
    std::size_t size() const { return m_targets.size(); }

private:
    int m_next = 1;
    std::map<int, DXEventTarget*> m_targets;
};

/// Thrown by devices and providers; the text says what failed and why.
class AudioError : public OrvexError {
public:
    explicit AudioError(const std::string& message) : OrvexError(ErrorKind::Device, message) {}
};

/// A circular capture buffer. Started, it loops, firing each registered notification when
/// the capture cursor passes its position.
class CaptureBuffer {
public:
    virtual ~CaptureBuffer() = default;
    virtual void setNotificationPositions(const std::vector<NotifyPosition>& positions) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual BufferStatus status() const = 0;
    /// Copies `size` bytes starting at byte `start` of the circular buffer (wrapping).
    virtual void readBuffer(std::int64_t start, std::int64_t size, void* destination) = 0;
};

/// A circular playback buffer. Started, it loops, firing notifications as the play cursor
/// passes their positions.
class PlaybackBuffer {
public:
    virtual ~PlaybackBuffer() = default;
    virtual void setNotificationPositions(const std::vector<NotifyPosition>& positions) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual BufferStatus status() const = 0;
    /// Copies `size` bytes to byte `start` of the circular buffer (wrapping).
    virtual void writeBuffer(std::int64_t start, std::int64_t size, const void* source) = 0;
    /// Volume in hundredths of a decibel: 0 full, -10000 silent.
    virtual void setVolume(int hundredthsDb) = 0;
};

/// One side (capture or playback) of an audio back end: its device list and how to open one.
class CaptureProvider {
public:
    virtual ~CaptureProvider() = default;
    /// Descriptions of the devices, device n (1-based) at index n - 1.
    virtual std::vector<std::string> deviceNames() = 0;
    /// Opens device n; throws AudioError saying why it cannot.
    virtual void open(int device) = 0;
    virtual bool isOpen() const = 0;
    /// Creates the circular buffer of `bytes` bytes on the open device.
    virtual std::unique_ptr<CaptureBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                        EventRegistry& events) = 0;
    virtual void close() = 0;
};

class PlaybackProvider {
public:
    virtual ~PlaybackProvider() = default;
    virtual std::vector<std::string> deviceNames() = 0;
    virtual void open(int device) = 0;
    virtual bool isOpen() const = 0;
    virtual std::unique_ptr<PlaybackBuffer>
    createBuffer(const PcmFormat& format, std::int64_t bytes, EventRegistry& events) = 0;
    virtual void close() = 0;
};

/// The back end OrvexDX8 streams through: a capture side, a playback side and the event
/// registry both fire through. The sides may come from different back ends (the simulated
/// receiver's capture with ALSA playback, say).
class AudioBackend {
public:
    AudioBackend(std::unique_ptr<CaptureProvider> capture,
                 std::unique_ptr<PlaybackProvider> playback)
        : m_capture(std::move(capture)), m_playback(std::move(playback)) {}
    CaptureProvider& capture() { return *m_capture; }
    PlaybackProvider& playback() { return *m_playback; }
    EventRegistry& events() { return m_events; }

private:
    std::unique_ptr<CaptureProvider> m_capture;
    std::unique_ptr<PlaybackProvider> m_playback;
    EventRegistry m_events;
};

} // namespace orvex::audio
