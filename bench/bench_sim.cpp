// The simulated receiver's cost. Each benchmark renders ten seconds of IF per iteration and
// reports "cpu_s_per_10min": process CPU seconds that ten minutes of streaming would take.
//  - BM_SimIF: the IF alone, at the default tuning (4 stations in the band), in the 49 m band
//    (1 station), and in a crowded band (24 stations of every kind in the band).
//  - BM_SimIFDirect: the reference: the same number of stations as plain carriers computed
//    the direct way, std::cos per station per sample, and std::normal_distribution noise.
//  - BM_SimAndChain: the IF through the receive chain (portable back end, the stations'
//    own modes), block by block with the statistics timer after each block.
//  - BM_TenMinutes: the whole stream as the program runs it: the simulated receiver as the
//    capture device of OrvexDX8, the chain in DataReady, playback to a null sink, a frame
//    clock running free, ten minutes in one iteration.
#include "RatioReporter.h"
#include "audio/ClockedDevices.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"
#include "radio/ad9951.h"
#include "sim/SimCapture.h"
#include "sim/SimulatedReceiver.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <ctime>
#include <random>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int kRate = 48000;
constexpr std::int64_t kTenSeconds = 10 * kRate;

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// 24 stations within ±11 kHz of 7.100 MHz: every kind of signal, for the worst case.
sim::Scene CrowdedScene() {
    std::string text = "noise -80\n";
    const char* kinds[] = {"AM level=-40 audio=music:1",   "USB level=-45 audio=speech:2",
                           "LSB level=-45 audio=speech:3", "CW level=-50",
                           "FM level=-45 audio=tone:1000", "carrier level=-60",
                           "noise level=-60 width=2000",   "AM level=-40 audio=tone:400+1600"};
    for (int i = 0; i < 24; ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "station %.4f MHz %s\n", 7.089 + 0.00095 * i,
                      kinds[i % 8]);
        text += line;
    }
    return *sim::ParseScene(text, "crowded").scene;
}

// A receiver tuned through the controller, as the program tunes it.
struct Tuned {
    Tuned(sim::Scene scene, double mhz) : scope(messages), receiver(std::move(scene)) {
        vfo = std::make_unique<ad9951>(store, receiver.Ports());
        vfo->init();
        vfo->Lines().setBitPeriodNs(0);
        vfo->setTunedFreq(mhz);
        receiver.PrepareAll();
    }
    MemorySettingsStore store;
    RecordingMessageSink messages;
    ScopedMessageSink scope;
    sim::SimulatedReceiver receiver;
    std::unique_ptr<ad9951> vfo;
};

void Report(benchmark::State& state, double cpuSeconds, std::int64_t frames) {
    const double audioSeconds = static_cast<double>(frames) / kRate;
    state.counters["cpu_s_per_10min"] = cpuSeconds / audioSeconds * 600.0;
    state.counters["x_realtime"] = audioSeconds / cpuSeconds;
}

void BM_SimIF(benchmark::State& state) {
    const double mhz = state.range(0) == 0 ? 5.505 : state.range(0) == 1 ? 6.0 : 7.1;
    Tuned t(state.range(0) == 2 ? CrowdedScene() : sim::DefaultScene(), mhz);
    state.counters["stations"] = static_cast<double>(t.receiver.StationsInView().size());
    std::vector<std::int16_t> block(2048);
    std::int64_t frames = 0;
    const double cpu0 = ProcessCpuSeconds();
    for (auto _ : state) {
        for (std::int64_t at = 0; at < kTenSeconds; at += 2048) {
            t.receiver.Render(block.data(), 2048, 1, kRate);
            benchmark::DoNotOptimize(block.data());
        }
        frames += kTenSeconds;
    }
    Report(state, ProcessCpuSeconds() - cpu0, frames);
}

void BM_SimIFDirect(benchmark::State& state) {
    const int stations = static_cast<int>(state.range(0));
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 2.0f);
    std::vector<double> w(static_cast<std::size_t>(stations));
    for (int i = 0; i < stations; ++i)
        w[static_cast<std::size_t>(i)] = 2.0 * M_PI * (1000.0 + 900.0 * i) / kRate;
    std::vector<std::int16_t> block(2048);
    std::int64_t n = 0, frames = 0;
    const double cpu0 = ProcessCpuSeconds();
    for (auto _ : state) {
        for (std::int64_t at = 0; at < kTenSeconds; at += 2048) {
            for (std::size_t k = 0; k < block.size(); ++k, ++n) {
                double v = noise(rng);
                for (const double wi : w)
                    v += 300.0 * std::cos(wi * static_cast<double>(n));
                block[k] = static_cast<std::int16_t>(std::lround(v));
            }
            benchmark::DoNotOptimize(block.data());
        }
        frames += kTenSeconds;
    }
    Report(state, ProcessCpuSeconds() - cpu0, frames);
}

class NullCard final : public SoundCardPort {
public:
    void Output(const std::int16_t*, const std::int16_t*, std::int32_t) override {}
    void setOutputAttenuation(std::int32_t v) override { m_att = v; }
    std::int32_t OutputAttenuation() const override { return m_att; }
    bool Prepared() const override { return true; }
    void PrepareDevices() override {}
    void StartSound() override {}

private:
    std::int32_t m_att = 0;
};

class NoTimers final : public ChainTimers {
public:
    void ArmSpectrumTimer(std::int32_t) override {}
    void ArmStatsTimer(std::int32_t) override {}
};

void SetUpChain(ReceiveChain& chain, std::int32_t mode) {
    chain.RestoreDefaults();
    chain.CompleteStartup();
    chain.optMode_Click(mode);
    if (mode == kModeAM) {
        chain.SetCheck(ChainCheck::IFFilter, true);
        chain.optIFFilter_Click(2);
        chain.SetCheck(ChainCheck::AGC, true);
        chain.optAGC_Click(2);
    }
    chain.tmrPerfStats_Timer();
}

// Args: 0 AM on Radio Orvex (5.505 MHz), 1 USB on the 20 m DX station, 2 FM on 29.6 MHz.
void BM_SimAndChain(benchmark::State& state) {
    static constexpr double kFreq[] = {5.505, 14.2, 29.6};
    static constexpr std::int32_t kMode[] = {kModeAM, kModeUSB, kModeFM};
    const auto which = static_cast<std::size_t>(state.range(0));
    Tuned t(sim::DefaultScene(), kFreq[which]);
    ReceiveChain chain;
    NullCard card;
    NoTimers timers;
    chain.AttachSoundCard(&card);
    chain.AttachTimers(&timers);
    SetUpChain(chain, kMode[which]);
    std::vector<std::int16_t> ch1(2048), ch2(2048);
    std::int64_t frames = 0;
    const double cpu0 = ProcessCpuSeconds();
    for (auto _ : state) {
        for (std::int64_t at = 0; at < kTenSeconds; at += 2048) {
            t.receiver.Render(ch1.data(), 2048, 1, kRate);
            ch2 = ch1;
            chain.SoundCard_DataReady(ch1.data(), ch2.data(), 2048);
            chain.tmrPerfStats_Timer();
        }
        frames += kTenSeconds;
    }
    Report(state, ProcessCpuSeconds() - cpu0, frames);
}

void BM_TenMinutes(benchmark::State& state) {
    std::int64_t frames = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        Tuned t(sim::DefaultScene(), 5.505);
        audio::FrameClock clock;
        audio::AudioBackend backend(
            sim::MakeSimCaptureProvider(t.receiver, clock),
            std::make_unique<audio::ClockedPlaybackProvider>(
                clock, "null", [] { return std::make_unique<audio::NullSink>(); }));
        OrvexDX8 sound(backend);
        sound.setFSampling(kRate);
        sound.setNoChannelsIn(1);
        sound.setNoChannelsOut(1);
        sound.setSamplesPerEvent(2048);
        struct Owner final : audio::DXEventTarget {
            explicit Owner(OrvexDX8& s) : card(s), a(2048), b(2048) {}
            void DirectXEvent8_DXCallback(int id) override {
                card.EventHandler(id, a.data(), b.data());
            }
            OrvexDX8& card;
            std::vector<std::int16_t> a, b;
        } owner(sound);
        sound.setEventForm(&owner);
        // The chain queues its blocks on the sound card, as in the program.
        struct Port final : SoundCardPort {
            explicit Port(OrvexDX8& s) : card(s) {}
            void Output(const std::int16_t* c1, const std::int16_t* c2, std::int32_t n) override {
                card.Output(c1, c2, n);
            }
            void setOutputAttenuation(std::int32_t v) override { card.setOutputAttenuation(v); }
            std::int32_t OutputAttenuation() const override { return card.OutputAttenuation(); }
            bool Prepared() const override { return card.Prepared; }
            void PrepareDevices() override { card.PrepareDevices(); }
            void StartSound() override { card.StartSound(); }
            OrvexDX8& card;
        } port(sound);
        ReceiveChain chain;
        NoTimers timers;
        chain.AttachSoundCard(&port);
        chain.AttachTimers(&timers);
        SetUpChain(chain, kModeAM);
        sound.DataReady = [&chain](std::int16_t* c1, std::int16_t* c2, std::int32_t n) {
            chain.SoundCard_DataReady(c1, c2, n);
            chain.tmrPerfStats_Timer();
        };
        sound.PrepareDevices();
        sound.StartSound();
        clock.advance(600LL * kRate);
        sound.StopSound();
        frames += 600LL * kRate;
        cpu += ProcessCpuSeconds() - cpu0;
        state.counters["lost_blocks"] = static_cast<double>(chain.DroppedBlocks());
    }
    Report(state, cpu, frames);
}

} // namespace

// Arg: 0 default tuning (5.505 MHz), 1 one broadcast station (6.000 MHz), 2 crowded band.
BENCHMARK(BM_SimIF)->Arg(0)->Arg(1)->Arg(2)->ArgName("band")->Unit(benchmark::kMillisecond);
// Arg: stations.
BENCHMARK(BM_SimIFDirect)->Arg(4)->Arg(24)->ArgName("stations")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimAndChain)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("station")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenMinutes)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    orvex::bench::RatioReporter reporter({{"BM_SimIF/band:0", "BM_SimIFDirect/stations:4"},
                                          {"BM_SimIF/band:2", "BM_SimIFDirect/stations:24"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
