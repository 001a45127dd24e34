// One device list made of several back ends, so that OrvexDX8's device numbers reach every
// kind of device the receiver can use: the simulated receiver, the ALSA devices, an IF
// recording, a file or no playback at all. Device n of the list is device k of the back end
// it comes from; the numbering follows the order the back ends were added.
#pragma once

#include "audio/AudioDevices.h"

#include <memory>
#include <string>
#include <vector>

namespace orvex::audio {

class CompositeCaptureProvider final : public CaptureProvider {
public:
    /// Adds a back end at the end of the list; returns the number its first device gets.
    int add(std::unique_ptr<CaptureProvider> provider);
    std::vector<std::string> deviceNames() override;
    /// Opens device n (1-based over the whole list); throws AudioError when n names none.
    void open(int device) override;
    bool isOpen() const override;
    std::unique_ptr<CaptureBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                EventRegistry& events) override;
    void close() override;
    /// The back end of device n and n's number inside it, or nullptr.
    CaptureProvider* providerOf(int device, int* local = nullptr);
    /// The back end now open, or nullptr.
    CaptureProvider* openProvider() { return m_open; }

private:
    std::vector<std::unique_ptr<CaptureProvider>> m_providers;
    CaptureProvider* m_open = nullptr;
};

class CompositePlaybackProvider final : public PlaybackProvider {
public:
    int add(std::unique_ptr<PlaybackProvider> provider);
    std::vector<std::string> deviceNames() override;
    void open(int device) override;
    bool isOpen() const override;
    std::unique_ptr<PlaybackBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                 EventRegistry& events) override;
    void close() override;
    PlaybackProvider* providerOf(int device, int* local = nullptr);
    PlaybackProvider* openProvider() { return m_open; }

private:
    std::vector<std::unique_ptr<PlaybackProvider>> m_providers;
    PlaybackProvider* m_open = nullptr;
};

} // namespace orvex::audio
