// Sending a tuning word: time per word through the recording line driver with the real bit
// timing, the same with the waits shortened to nothing (the software's own cost), and the
// line changes each chip needs per word. The reference is the ideal time: the number of
// waits times one bit period; "vs_ideal" is measured / ideal.
#include "core/SettingsStore.h"
#include "radio/LineDecoder.h"
#include "radio/RecordingPorts.h"
#include "radio/RsOutputs.h"
#include "radio/ad9951.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <map>

using namespace orvex;

namespace {

// Level changes among the recorded writes: a write that leaves its line as it was is a
// call on the port but not a change on the wire.
std::size_t LevelChanges(const std::vector<LineEvent>& events) {
    std::map<LineId, int> level;
    std::size_t changes = 0;
    for (const auto& e : events) {
        const auto it = level.find(e.line);
        const int before = it == level.end() ? 0 : it->second;
        if (e.value != before) ++changes;
        level[e.line] = e.value;
    }
    return changes;
}

void SendWord(benchmark::State& state, DdsChip chip, int ifType, bool realTiming) {
    MemorySettingsStore store;
    store.save("VFO1", "IFType", std::to_string(ifType));
    LineDecoder decoder(chip);
    RecordingPorts ports(nullptr, &decoder);
    ad9951 vfo(store, ports);
    vfo.setDDSType(static_cast<int>(chip));
    vfo.init();
    if (!realTiming) vfo.Lines().setBitPeriodNs(0);

    // One word on its own, for the counts.
    ports.clear();
    const auto waits0 = vfo.Lines().BitWaitCount();
    vfo.Set_DDS(50.505);
    const double writes = static_cast<double>(ports.events().size());
    const double changes = static_cast<double>(LevelChanges(ports.events()));
    const double waits = static_cast<double>(vfo.Lines().BitWaitCount() - waits0);
    ports.setKeepEvents(false);

    double f = 10.0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        vfo.Set_DDS(f);
        f += 0.000001;
    }
    const double perWordUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() /
        static_cast<double>(state.iterations());
    if (decoder.FrequencyWord() != static_cast<std::uint32_t>(vfo.CurrentTuningWord()))
        state.SkipWithError("the chip latched another word");
    state.counters["port_writes"] = writes;
    state.counters["line_changes"] = changes;
    state.counters["waits"] = waits;
    const double ideal = waits * static_cast<double>(kBitPeriodNs) / 1000.0; // us
    state.counters["ideal_us"] = ideal;
    if (realTiming && ideal > 0.0) state.counters["vs_ideal"] = perWordUs / ideal;
}

void BM_AD9951Word(benchmark::State& s) {
    SendWord(s, DdsChip::AD9951, 1, true);
}
void BM_AD9951WordNoWaits(benchmark::State& s) {
    SendWord(s, DdsChip::AD9951, 1, false);
}
void BM_AD9835SerialWord(benchmark::State& s) {
    SendWord(s, DdsChip::AD9835, 1, true);
}
void BM_AD9835ParallelWord(benchmark::State& s) {
    SendWord(s, DdsChip::AD9835, 2, true);
}
void BM_AD9850Word(benchmark::State& s) {
    SendWord(s, DdsChip::AD9850, 2, true);
}

// Decoding the line changes of one AD9951 word, as the simulated receiver does live.
void BM_DecodeAD9951Word(benchmark::State& state) {
    RecordingPorts ports;
    RsOutputs lines(ports);
    lines.setBitPeriodNs(0);
    lines.ComOpen("/dev/ttyS0");
    lines.SetDTR(1);
    for (const std::uint8_t b : {0x04, 0x23, 0xE7, 0xB4, 0x1C})
        lines.SerialSendByte(b);
    lines.SetDTR(0);
    const auto events = ports.events();
    LineDecoder decoder(DdsChip::AD9951);
    for (auto _ : state) {
        decoder.feed(events);
        benchmark::DoNotOptimize(decoder.FrequencyWord());
    }
    state.counters["events"] = static_cast<double>(events.size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events.size()));
}

} // namespace

BENCHMARK(BM_AD9951Word)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AD9951WordNoWaits)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AD9835SerialWord)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AD9835ParallelWord)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AD9850Word)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_DecodeAD9951Word)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
