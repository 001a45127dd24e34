// The recorder's cost. "PushBlock" is what the block path pays per 2048-sample block (a copy
// into the queue), "DrainBlock" what the main loop pays to write one block to the file, and
// "RecordMinute" one minute of audio through both, including the header updates and the
// once-a-second flush to disk (in a run faster than real time that is one flush, at the end;
// "FlushSecond" is what each second of a real-time recording pays for it); the reference is the
// same minute written by the plain WAV writer, which flushes once at the end.
#include "RatioReporter.h"
#include "audio/WavFile.h"
#include "audio/WavRecorder.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvex::audio;

namespace {

constexpr std::size_t kBlock = 2048;
constexpr int kBlocksPerMinute = 60 * 48000 / kBlock;

std::string TempFile(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("orvex_bench_") + std::to_string(::getpid()) + "_" + name + ".wav"))
        .string();
}

const std::vector<std::int16_t>& Block() {
    static const std::vector<std::int16_t> block = [] {
        std::vector<std::int16_t> b(kBlock);
        for (std::size_t i = 0; i < kBlock; ++i)
            b[i] = static_cast<std::int16_t>(i * 37);
        return b;
    }();
    return block;
}

// Starts the recording anew once the file holds 64 MiB, so the disk does not fill.
bool Restart(WavRecorder& recorder, const std::string& path) {
    if (recorder.isRecording() && recorder.fileBytes() < (64LL << 20)) return true;
    recorder.stop();
    std::filesystem::remove(path);
    return recorder.start(path);
}

// Times only the pushes: 60 blocks into an empty queue, then an untimed drain.
void PushBlock(benchmark::State& state) {
    const std::string path = TempFile("push");
    WavRecorder recorder;
    for (auto _ : state) {
        if (!Restart(recorder, path)) return state.SkipWithError("cannot record");
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 60; ++i)
            if (!recorder.pushBlock(Block().data(), kBlock))
                return state.SkipWithError("block refused");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / 60);
        recorder.drain();
    }
    recorder.stop();
    std::filesystem::remove(path);
}

void DrainBlock(benchmark::State& state) {
    const std::string path = TempFile("drain");
    WavRecorder recorder;
    for (auto _ : state) {
        state.PauseTiming();
        if (!Restart(recorder, path)) return state.SkipWithError("cannot record");
        recorder.pushBlock(Block().data(), kBlock);
        state.ResumeTiming();
        recorder.drain();
    }
    recorder.stop();
    std::filesystem::remove(path);
}

void RecordMinute(benchmark::State& state) {
    for (auto _ : state) {
        const std::string path = TempFile("minute");
        WavRecorder recorder;
        recorder.start(path);
        for (int b = 0; b < kBlocksPerMinute; ++b) {
            recorder.pushBlock(Block().data(), kBlock);
            recorder.drain();
        }
        recorder.stop();
        std::filesystem::remove(path);
    }
}

// What the main loop pays once a second while recording in real time: the second's samples
// and the header written, then flushed to disk (fdatasync).
void FlushSecond(benchmark::State& state) {
    const std::string path = TempFile("flush");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<std::uint8_t> second(96000, 0x55);
    std::uint8_t header[kWavHeaderBytes];
    off_t at = kWavHeaderBytes;
    for (auto _ : state) {
        if (::pwrite(fd, second.data(), second.size(), at) < 0) state.SkipWithError("write");
        at += static_cast<off_t>(second.size());
        MakeWavHeader(header, 48000, 1, static_cast<std::uint32_t>(at - kWavHeaderBytes));
        if (::pwrite(fd, header, sizeof header, 0) < 0) state.SkipWithError("write");
        ::fdatasync(fd);
    }
    ::close(fd);
    std::filesystem::remove(path);
}

void WriterMinute(benchmark::State& state) {
    for (auto _ : state) {
        const std::string path = TempFile("writer");
        WavWriter writer(path, 48000, 1);
        for (int b = 0; b < kBlocksPerMinute; ++b)
            writer.write(Block().data(), kBlock);
        writer.commit();
        std::filesystem::remove(path);
    }
}

} // namespace

BENCHMARK(PushBlock)->UseManualTime()->Iterations(2000)->Unit(benchmark::kNanosecond);
BENCHMARK(DrainBlock)->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordMinute)->Unit(benchmark::kMillisecond);
BENCHMARK(FlushSecond)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriterMinute)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    orvex::bench::RatioReporter reporter(
        std::vector<std::pair<std::string, std::string>>{{"RecordMinute", "WriterMinute"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
