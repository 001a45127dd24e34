// Soak: thirty minutes (by default) of streaming through OrvexDX8 and the receive chain,
// free-running on clocked devices, with every optional stage on. Reports the blocks captured,
// processed and played, any block lost or played as silence, the resident memory over the run
// and the time taken. Usage: soak_streaming [minutes]
#include "audio/ClockedDevices.h"
#include "audio/OrvexDX8.h"
#include "audio/OrvexDX8ChainPort.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int kBlock = 2048;

long ResidentKiB() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// An upper-sideband tone on the IF with a little noise: never silent.
class ToneSource final : public audio::CaptureSource {
public:
    void read(std::int16_t* out, std::int64_t frames, const audio::PcmFormat&) override {
        for (std::int64_t i = 0; i < frames; ++i) {
            m_phase += 2.0 * M_PI * 13000.0 / 48000.0;
            if (m_phase > 2.0 * M_PI) m_phase -= 2.0 * M_PI;
            m_noise = m_noise * 1664525u + 1013904223u;
            *out++ = static_cast<std::int16_t>(5000.0 * std::cos(m_phase) +
                                               static_cast<double>(m_noise >> 24) - 128.0);
        }
    }

private:
    double m_phase = 0.0;
    std::uint32_t m_noise = 1;
};

// Counts played blocks and silent ones once the real audio has begun.
class CheckingSink final : public audio::PlaybackSink {
public:
    void write(const std::int16_t* s, std::int64_t frames, const audio::PcmFormat&) override {
        for (std::int64_t i = 0; i < frames; ++i) {
            const bool silent = s[i] == 0;
            if (!silent) started = true;
            if (started) run = silent ? run + 1 : 0;
            if (run == kBlock) ++silentBlocks;
            ++samples;
        }
    }
    bool started = false;
    std::int64_t run = 0, silentBlocks = 0, samples = 0;
};

class Owner final : public audio::DXEventTarget {
public:
    Owner(OrvexDX8& card, ReceiveChain& chain)
        : m_card(card), m_chain(chain), a(kBlock), b(kBlock) {
        card.setEventForm(this);
        card.DataReady = [this](std::int16_t* x, std::int16_t* y, std::int32_t n) {
            m_chain.SoundCard_DataReady(x, y, n);
            ++blocks;
        };
    }
    void DirectXEvent8_DXCallback(int id) override { m_card.EventHandler(id, a.data(), b.data()); }
    OrvexDX8& m_card;
    ReceiveChain& m_chain;
    std::vector<std::int16_t> a, b;
    std::int64_t blocks = 0;
};

class Timers final : public ChainTimers {
public:
    void ArmSpectrumTimer(std::int32_t) override {}
    void ArmStatsTimer(std::int32_t) override { armed = true; }
    bool armed = false;
};

} // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30.0;
    const bool optimised = spl::Probe();
    vec::SetUseSPL(optimised);
    audio::FrameClock clock;
    CheckingSink* sink = nullptr;
    audio::AudioBackend backend(
        std::make_unique<audio::ClockedCaptureProvider>(
            clock, "tone", [] { return std::make_unique<ToneSource>(); }),
        std::make_unique<audio::ClockedPlaybackProvider>(clock, "check", [&] {
            auto s = std::make_unique<CheckingSink>();
            sink = s.get();
            return s;
        }));
    OrvexDX8 card(backend);
    card.setFSampling(48000);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    ReceiveChain chain;
    OrvexDX8ChainPort port(card);
    Timers timers;
    chain.AttachSoundCard(&port);
    chain.AttachTimers(&timers);
    chain.RestoreDefaults();
    chain.CompleteStartup();
    chain.optMode_Click(1);
    chain.SetCheck(ChainCheck::NB, true);
    chain.SetLabel(ChainLabel::NB, 2000);
    chain.SetCheck(ChainCheck::IFFilter, true);
    chain.optIFFilter_Click(2);
    chain.SetCheck(ChainCheck::NotchOn, true);
    chain.SetCheck(ChainCheck::NotchType, true);
    chain.SetCheck(ChainCheck::DynFilter, true);
    chain.SetCheck(ChainCheck::AGC, true);
    chain.optAGC_Click(2);
    chain.tmrPerfStats_Timer();
    Owner owner(card, chain);
    if (!card.PrepareDevices()) {
        std::fprintf(stderr, "soak: %s\n", card.LastErrText().c_str());
        return 2;
    }
    card.StartSound();

    const std::int64_t total = static_cast<std::int64_t>(minutes * 60.0 * 48000.0 / kBlock);
    const auto t0 = std::chrono::steady_clock::now();
    std::clock_t c0 = std::clock();
    long rssAtMinute = 0, rssMax = 0;
    std::printf("soak: %.1f minutes of audio (%lld blocks), %s back end\n", minutes,
                static_cast<long long>(total), optimised ? "optimised" : "portable");
    for (std::int64_t b = 0; b < total; ++b) {
        clock.advance(kBlock);
        if (timers.armed) {
            timers.armed = false;
            chain.tmrPerfStats_Timer();
        }
        if ((b + 1) % static_cast<std::int64_t>(60.0 * 48000.0 / kBlock) == 0) {
            const long rss = ResidentKiB();
            if (rssAtMinute == 0) rssAtMinute = rss;
            rssMax = std::max(rssMax, rss);
            std::printf("  %5.1f min: RSS %ld KiB\n",
                        static_cast<double>(b + 1) * kBlock / 48000.0 / 60.0, rss);
            std::fflush(stdout);
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    const long rssEnd = ResidentKiB();
    const std::int64_t played = sink ? sink->samples / kBlock : 0;
    std::printf("captured %lld blocks, processed %lld, dropped by the handler %lld, played %lld, "
                "silent blocks after the start %lld\n",
                static_cast<long long>(total), static_cast<long long>(owner.blocks),
                static_cast<long long>(chain.DroppedBlocks()), static_cast<long long>(played),
                static_cast<long long>(sink ? sink->silentBlocks : -1));
    std::printf(
        "RSS after the first minute %ld KiB, at the end %ld KiB (max %ld): growth %ld KiB\n",
        rssAtMinute, rssEnd, rssMax, rssEnd - rssAtMinute);
    std::printf("time %.1f s wall, %.1f s CPU for %.1f s of audio (%.0fx real time)\n", wall, cpu,
                minutes * 60.0, minutes * 60.0 / wall);
    const bool ok = owner.blocks == total && chain.DroppedBlocks() == 0 && sink &&
                    sink->silentBlocks == 0 && rssEnd - rssAtMinute < 1024;
    std::printf("%s\n", ok ? "soak: no block lost, no memory growth" : "soak: FAILED");
    return ok ? 0 : 1;
}
