// Band-plan files: the cost of reading and writing a full plan (18 sub-bands of 12 presets,
// every key present: the largest file the panel can fill), beside a plain read and write of
// the same bytes as the reference.
#include "bandplan/modBandPlan.h"
#include "core/MessageSink.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace orvex;

namespace {

MainBandInfo FullBand(const std::string& file) {
    MainBandInfo band;
    band.Name = "Full";
    band.FileName = file;
    InitBandPlan(band, 1700000000);
    band.NumSubBands = 18;
    for (std::int32_t s = 0; s <= 18; ++s) {
        SubBandInfo& sub = band.SubBands[static_cast<std::size_t>(s)];
        sub.FreqMin = 1000000 * (s + 1);
        sub.FreqMax = sub.FreqMin + 500000;
        sub.FreqCurrent = sub.FreqMin;
        sub.InUse = true;
        for (std::int32_t p = 0; p < 12; ++p) {
            PresetInfo& preset = sub.Presets[static_cast<std::size_t>(p)];
            preset.FreqCurrent = sub.FreqMin + 10000 * p;
            preset.Description = "Preset at " + std::to_string(preset.FreqCurrent) + " Hz";
            preset.FilterHi = 2800;
            preset.FilterLo = 300;
            preset.AGCMode = 2;
            preset.AGCAttack = 50;
            preset.AGCDecay = 100;
        }
    }
    return band;
}

struct FullPlanFile {
    std::string path = "/tmp/orvex-bench-" + std::to_string(::getpid()) + ".bpl";
    MainBandInfo band = FullBand(path);
    std::string text;
    FullPlanFile() {
        IniDocument doc;
        SaveBandPlanToDocument(band, doc);
        text = doc.text();
        std::ofstream(path, std::ios::binary) << text;
    }
    ~FullPlanFile() { std::remove(path.c_str()); }
};

void BM_ParseAndLoad(benchmark::State& state) {
    FullPlanFile plan;
    for (auto _ : state) {
        MainBandInfo band = FullBand(plan.path);
        BandPlanReport report;
        LoadBandPlanFromDocument(band, IniDocument::Parse(plan.text), report);
        benchmark::DoNotOptimize(band);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(plan.text.size()));
}

void BM_LoadFromDisk(benchmark::State& state) {
    FullPlanFile plan;
    for (auto _ : state) {
        MainBandInfo band = FullBand(plan.path);
        benchmark::DoNotOptimize(LoadBandPlan(band));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(plan.text.size()));
}

void BM_ReadBytesReference(benchmark::State& state) {
    FullPlanFile plan;
    for (auto _ : state) {
        std::ifstream in(plan.path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        benchmark::DoNotOptimize(out.str());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(plan.text.size()));
}

// Whole save: read the file back, update every key, write a temporary file, fsync, rename.
void BM_SaveAtomic(benchmark::State& state) {
    FullPlanFile plan;
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveBandPlan(plan.band));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(plan.text.size()));
}

// Reference: the same bytes written over the file in place with one fsync.
void BM_WriteBytesReference(benchmark::State& state) {
    FullPlanFile plan;
    for (auto _ : state) {
        FILE* f = std::fopen(plan.path.c_str(), "wb");
        std::fwrite(plan.text.data(), 1, plan.text.size(), f);
        std::fflush(f);
        ::fsync(::fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(plan.text.size()));
}

} // namespace

BENCHMARK(BM_ParseAndLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFromDisk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBytesReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveAtomic)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteBytesReference)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
