// Capture and playback buffers that run on a frame clock of their own instead of a sound
// card: capture reads from a source (a file, silence, the simulated receiver), playback
// writes to a sink (a file, nothing, a test recorder). The clock is advanced by the caller:
// by the test itself, as fast as processing allows (free-running) or in real time.
#pragma once

#include "audio/AudioDevices.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex::audio {

/// Where captured frames come from.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    /// Fills `frames` interleaved frames of `format`.
    virtual void read(std::int16_t* interleaved, std::int64_t frames, const PcmFormat& format) = 0;
    /// True once the source has nothing more to give (a file at its end, or one that failed).
    virtual bool finished() const { return false; }
    /// Why the source stopped early (a file that could not be read to its end); empty when it
    /// did not. A source that fails gives silence from then on.
    virtual std::string error() const { return {}; }
};

/// Where played frames go, as the play cursor passes them, volume applied.
class PlaybackSink {
public:
    virtual ~PlaybackSink() = default;
    virtual void write(const std::int16_t* interleaved, std::int64_t frames,
                       const PcmFormat& format) = 0;
    /// Completes what the sink writes (a WAV file is finished and moved into place); false
    /// with the reason when that fails.
    virtual bool finish(std::string* error) {
        (void)error;
        return true;
    }
    /// Drops what was written (a WAV file's temporary file is removed), for a run that failed;
    /// finish() then completes nothing.
    virtual void discard() {}
};

class SilenceSource final : public CaptureSource {
public:
    void read(std::int16_t* interleaved, std::int64_t frames, const PcmFormat& format) override;
};

class NullSink final : public PlaybackSink {
public:
    void write(const std::int16_t*, std::int64_t, const PcmFormat&) override {}
};

/// Keeps everything played (tests).
class RecordingSink final : public PlaybackSink {
public:
    void write(const std::int16_t* interleaved, std::int64_t frames,
               const PcmFormat& format) override;
    const std::vector<std::int16_t>& samples() const { return m_samples; }

private:
    std::vector<std::int16_t> m_samples;
};

class ClockedDevice;

/// The time base of clocked devices, in frames. advance() moves every running device in
/// step and fires their notifications in time order; at the same instant playback
/// notifications come before capture ones.
class FrameClock {
public:
    void attach(ClockedDevice* device);
    void detach(ClockedDevice* device);
    /// Moves time on by `frames`, firing every notification that falls due.
    void advance(std::int64_t frames);
    std::int64_t now() const { return m_now; }
    /// Frames until the next notification of any running device (0 when none is due).
    std::int64_t framesToNextEvent() const;

private:
    std::vector<ClockedDevice*> m_devices;
    std::int64_t m_now = 0;
    bool m_advancing = false;
};

/// Common part of clocked capture and playback buffers: a circular byte buffer, a cursor and
/// the notification positions.
class ClockedDevice {
public:
    ClockedDevice(FrameClock& clock, EventRegistry& events, const PcmFormat& format,
                  std::int64_t bytes);
    virtual ~ClockedDevice();
    ClockedDevice(const ClockedDevice&) = delete;
    ClockedDevice& operator=(const ClockedDevice&) = delete;

    bool running() const { return m_running; }
    /// Frames until the cursor passes the next notification position.
    std::int64_t framesToNextNotification() const;
    /// Moves the cursor by frames (not past the next notification).
    void step(std::int64_t frames);
    /// Fires the notification at the cursor, if one is due.
    void fireDue();
    virtual bool isPlayback() const = 0;

protected:
    virtual void transfer(std::int64_t byteOffset, std::int64_t bytes) = 0;
    void setPositions(const std::vector<NotifyPosition>& positions);
    void setRunning(bool on);

    FrameClock& m_clock;
    EventRegistry& m_events;
    PcmFormat m_format;
    std::vector<std::uint8_t> m_buffer;
    std::int64_t m_cursor = 0; // byte position of the next frame
    std::vector<NotifyPosition> m_positions;
    std::vector<int> m_due; // events whose position the cursor has just passed
    bool m_running = false;
};

class ClockedCaptureBuffer final : public ClockedDevice, public CaptureBuffer {
public:
    ClockedCaptureBuffer(FrameClock& clock, EventRegistry& events, const PcmFormat& format,
                         std::int64_t bytes, CaptureSource& source);
    void setNotificationPositions(const std::vector<NotifyPosition>& positions) override {
        setPositions(positions);
    }
    void start() override { setRunning(true); }
    void stop() override { setRunning(false); }
    BufferStatus status() const override {
        return m_running ? BufferStatus::Running : BufferStatus::Stopped;
    }
    void readBuffer(std::int64_t start, std::int64_t size, void* destination) override;
    bool isPlayback() const override { return false; }

private:
    void transfer(std::int64_t byteOffset, std::int64_t bytes) override;
    CaptureSource& m_source;
};

class ClockedPlaybackBuffer final : public ClockedDevice, public PlaybackBuffer {
public:
    ClockedPlaybackBuffer(FrameClock& clock, EventRegistry& events, const PcmFormat& format,
                          std::int64_t bytes, PlaybackSink& sink);
    void setNotificationPositions(const std::vector<NotifyPosition>& positions) override {
        setPositions(positions);
    }
    void start() override { setRunning(true); }
    void stop() override { setRunning(false); }
    BufferStatus status() const override {
        return m_running ? BufferStatus::Running : BufferStatus::Stopped;
    }
    void writeBuffer(std::int64_t start, std::int64_t size, const void* source) override;
    void setVolume(int hundredthsDb) override;
    bool isPlayback() const override { return true; }
    int volume() const { return m_volume; }

private:
    void transfer(std::int64_t byteOffset, std::int64_t bytes) override;
    PlaybackSink& m_sink;
    int m_volume = 0;
    float m_gain = 1.0f;
    std::vector<std::int16_t> m_scratch;
};

/// A one-device capture side on a frame clock. The source is made when the device opens.
class ClockedCaptureProvider final : public CaptureProvider {
public:
    using SourceFactory = std::function<std::unique_ptr<CaptureSource>()>;
    ClockedCaptureProvider(FrameClock& clock, std::string name, SourceFactory factory);
    std::vector<std::string> deviceNames() override { return {m_name}; }
    void open(int device) override;
    bool isOpen() const override { return m_source != nullptr; }
    std::unique_ptr<CaptureBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                EventRegistry& events) override;
    void close() override { m_source.reset(); }
    CaptureSource* source() { return m_source.get(); }

private:
    FrameClock& m_clock;
    std::string m_name;
    SourceFactory m_factory;
    std::unique_ptr<CaptureSource> m_source;
};

class ClockedPlaybackProvider final : public PlaybackProvider {
public:
    using SinkFactory = std::function<std::unique_ptr<PlaybackSink>()>;
    ClockedPlaybackProvider(FrameClock& clock, std::string name, SinkFactory factory);
    std::vector<std::string> deviceNames() override { return {m_name}; }
    void open(int device) override;
    bool isOpen() const override { return m_sink != nullptr; }
    std::unique_ptr<PlaybackBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                 EventRegistry& events) override;
    /// Closing finishes the sink (a WAV file is completed) and drops it; while an exception is
    /// unwinding the stack (the run failed), or when no buffer was ever made on it (the devices
    /// could not be opened, so nothing streamed), the sink is discarded instead: a failed start
    /// leaves no empty output file behind.
    void close() override;
    PlaybackSink* sink() { return m_sink.get(); }
    /// Why the last close could not finish the sink; empty when it could.
    const std::string& lastError() const { return m_lastError; }

private:
    FrameClock& m_clock;
    std::string m_name;
    SinkFactory m_factory;
    std::unique_ptr<PlaybackSink> m_sink;
    bool m_buffered = false; // a buffer was made on the open sink
    std::string m_lastError;
};

} // namespace orvex::audio
