// One device list made of several back ends, so that OrvexDX8's device numbers reach every
// kind of device the receiver can use: the simulated receiver, the ALSA devices, an IF
// recording, a file or no playback at all. Device n of the list is device k of the back end
// it comes from; the numbering follows the order the back ends were added.
#pragma once

#include "audio/AudioDevices.h"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace orvex::audio {

/// The list over back ends of one direction (Provider: CaptureProvider or PlaybackProvider,
/// Buffer: its buffer type).
template <class Provider, class Buffer>
class CompositeProvider : public Provider {
public:
    /// Adds a back end at the end of the list; returns the number its first device gets.
    int add(std::unique_ptr<Provider> provider) {
        const int first = static_cast<int>(deviceNames().size()) + 1;
        m_providers.push_back(std::move(provider));
        return first;
    }
    std::vector<std::string> deviceNames() override {
        std::vector<std::string> all;
        for (const auto& p : m_providers) {
            auto names = p->deviceNames();
            all.insert(all.end(), names.begin(), names.end());
        }
        return all;
    }
    /// Opens device n (1-based over the whole list); throws AudioError when n names none.
    void open(int device) override {
        close();
        int local = 0;
        Provider* p = providerOf(device, &local);
        if (!p)
            throw AudioError("there is no " + std::string(kDirection) + " device " +
                             std::to_string(device) + " (devices 1 to " +
                             std::to_string(deviceNames().size()) + " exist)");
        p->open(local);
        m_open = p;
    }
    bool isOpen() const override { return m_open && m_open->isOpen(); }
    std::unique_ptr<Buffer> createBuffer(const PcmFormat& format, std::int64_t bytes,
                                         EventRegistry& events) override {
        if (!m_open) throw AudioError("no " + std::string(kDirection) + " device is open");
        return m_open->createBuffer(format, bytes, events);
    }
    void close() override {
        if (m_open) m_open->close();
        m_open = nullptr;
    }
    /// The back end of device n and n's number inside it, or nullptr.
    Provider* providerOf(int device, int* local = nullptr) {
        int first = 1;
        for (const auto& p : m_providers) {
            const int count = static_cast<int>(p->deviceNames().size());
            if (device >= first && device < first + count) {
                if (local) *local = device - first + 1;
                return p.get();
            }
            first += count;
        }
        return nullptr;
    }
    /// The back end now open, or nullptr.
    Provider* openProvider() { return m_open; }

private:
    static constexpr const char* kDirection =
        std::is_same_v<Provider, CaptureProvider> ? "capture" : "playback";
    std::vector<std::unique_ptr<Provider>> m_providers;
    Provider* m_open = nullptr;
};

class CompositeCaptureProvider final : public CompositeProvider<CaptureProvider, CaptureBuffer> {};
class CompositePlaybackProvider final : public CompositeProvider<PlaybackProvider, PlaybackBuffer> {
};

} // namespace orvex::audio
