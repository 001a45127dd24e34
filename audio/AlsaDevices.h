// ALSA capture and playback for OrvexDX8. Each ALSA stream stands in for a circular buffer
// with block-end notifications: capture reads one period at a time into an image of the
// circular buffer and fires the notification of that block; playback fires the notification
// of the block the card has just consumed, then writes that block's (refilled) image to the
// card, to be heard after the blocks already queued. Readiness comes from ALSA's poll
// descriptors watched by QSocketNotifier, so every notification runs on the main thread in
// the Qt event loop.
#pragma once

#include "audio/AudioDevices.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _snd_config snd_config_t;

namespace orvex::audio {

/// One ALSA PCM as the device lists show it.
struct AlsaDeviceInfo {
    std::string name;        ///< what snd_pcm_open takes: "default", "hw:1,0", "plughw:..."
    std::string description; ///< the hint's description, first line
};

/// Counters of stream faults, for the status line.
struct AlsaStreamStats {
    std::uint64_t overruns = 0;  ///< capture ran out of room (-EPIPE), recovered
    std::uint64_t underruns = 0; ///< playback ran dry (-EPIPE), recovered
};

/// PCM configuration shared by both sides: the system's devices, plus the PCMs defined in an
/// optional configuration file of our own (ORVEX_ALSA_CONFIG or the constructor argument),
/// which are listed after the system's and opened against that file.
class AlsaContext {
public:
    explicit AlsaContext(const std::string& extraConfigFile = {});
    ~AlsaContext();
    AlsaContext(const AlsaContext&) = delete;
    AlsaContext& operator=(const AlsaContext&) = delete;

    /// Devices that can capture (input) or play (output); "default" first.
    std::vector<AlsaDeviceInfo> devices(bool capture) const;
    /// The 1-based number of ALSA device `name` in the list for the direction; a name the
    /// hints do not list ("hw:1,0", "plughw:CARD=Device") is added at the end of both lists.
    int deviceNumber(bool capture, const std::string& name);
    /// The local configuration the extra PCMs are opened with, or nullptr.
    snd_config_t* localConfig(const std::string& name) const;
    const AlsaStreamStats& stats() const { return m_stats; }
    AlsaStreamStats& stats() { return m_stats; }
    /// Called (on the main thread) when a device stops working while streaming: unplugged,
    /// or failing in a way that recovery cannot mend. The stream is stopped first.
    void setDeviceLostHandler(std::function<void(const std::string& reason)> handler) {
        m_lost = std::move(handler);
    }
    void reportLost(const std::string& reason) const;

private:
    snd_config_t* m_config = nullptr;
    std::vector<std::string> m_extraNames;
    std::vector<std::string> m_named;
    AlsaStreamStats m_stats;
    std::function<void(const std::string&)> m_lost;
};

class AlsaCaptureProvider final : public CaptureProvider {
public:
    explicit AlsaCaptureProvider(AlsaContext& context);
    ~AlsaCaptureProvider() override;
    std::vector<std::string> deviceNames() override;
    void open(int device) override;
    bool isOpen() const override;
    std::unique_ptr<CaptureBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                EventRegistry& events) override;
    void close() override;
    /// Opens a device by its ALSA name instead of its number.
    void openByName(const std::string& name);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class AlsaPlaybackProvider final : public PlaybackProvider {
public:
    explicit AlsaPlaybackProvider(AlsaContext& context);
    ~AlsaPlaybackProvider() override;
    std::vector<std::string> deviceNames() override;
    void open(int device) override;
    bool isOpen() const override;
    std::unique_ptr<PlaybackBuffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                                 EventRegistry& events) override;
    void close() override;
    void openByName(const std::string& name);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace orvex::audio
