#include "audio/CompositeDevices.h"

namespace orvex::audio {
namespace {

// Device n of the concatenated lists: the provider and its own 1-based number.
template <class Provider>
Provider* Locate(const std::vector<std::unique_ptr<Provider>>& providers, int device, int* local) {
    int first = 1;
    for (const auto& p : providers) {
        const int count = static_cast<int>(p->deviceNames().size());
        if (device >= first && device < first + count) {
            if (local) *local = device - first + 1;
            return p.get();
        }
        first += count;
    }
    return nullptr;
}

template <class Provider>
std::vector<std::string> Names(const std::vector<std::unique_ptr<Provider>>& providers) {
    std::vector<std::string> all;
    for (const auto& p : providers) {
        auto names = p->deviceNames();
        all.insert(all.end(), names.begin(), names.end());
    }
    return all;
}

template <class Provider>
int Add(std::vector<std::unique_ptr<Provider>>& providers, std::unique_ptr<Provider> p) {
    int first = 1;
    for (const auto& q : providers)
        first += static_cast<int>(q->deviceNames().size());
    providers.push_back(std::move(p));
    return first;
}

[[noreturn]] void NoSuchDevice(const char* kind, int device, std::size_t count) {
    throw AudioError(std::string("there is no ") + kind + " device " + std::to_string(device) +
                     " (devices 1 to " + std::to_string(count) + " exist)");
}

} // namespace

int CompositeCaptureProvider::add(std::unique_ptr<CaptureProvider> provider) {
    return Add(m_providers, std::move(provider));
}
std::vector<std::string> CompositeCaptureProvider::deviceNames() {
    return Names(m_providers);
}
CaptureProvider* CompositeCaptureProvider::providerOf(int device, int* local) {
    return Locate(m_providers, device, local);
}
void CompositeCaptureProvider::open(int device) {
    close();
    int local = 0;
    CaptureProvider* p = providerOf(device, &local);
    if (!p) NoSuchDevice("capture", device, deviceNames().size());
    p->open(local);
    m_open = p;
}
bool CompositeCaptureProvider::isOpen() const {
    return m_open && m_open->isOpen();
}
std::unique_ptr<CaptureBuffer> CompositeCaptureProvider::createBuffer(const PcmFormat& format,
                                                                      std::int64_t bytes,
                                                                      EventRegistry& events) {
    if (!m_open) throw AudioError("no capture device is open");
    return m_open->createBuffer(format, bytes, events);
}
void CompositeCaptureProvider::close() {
    if (m_open) m_open->close();
    m_open = nullptr;
}

int CompositePlaybackProvider::add(std::unique_ptr<PlaybackProvider> provider) {
    return Add(m_providers, std::move(provider));
}
std::vector<std::string> CompositePlaybackProvider::deviceNames() {
    return Names(m_providers);
}
PlaybackProvider* CompositePlaybackProvider::providerOf(int device, int* local) {
    return Locate(m_providers, device, local);
}
void CompositePlaybackProvider::open(int device) {
    close();
    int local = 0;
    PlaybackProvider* p = providerOf(device, &local);
    if (!p) NoSuchDevice("playback", device, deviceNames().size());
    p->open(local);
    m_open = p;
}
bool CompositePlaybackProvider::isOpen() const {
    return m_open && m_open->isOpen();
}
std::unique_ptr<PlaybackBuffer> CompositePlaybackProvider::createBuffer(const PcmFormat& format,
                                                                        std::int64_t bytes,
                                                                        EventRegistry& events) {
    if (!m_open) throw AudioError("no playback device is open");
    return m_open->createBuffer(format, bytes, events);
}
void CompositePlaybackProvider::close() {
    if (m_open) m_open->close();
    m_open = nullptr;
}

} // namespace orvex::audio
