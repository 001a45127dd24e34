#include "Profiler.h"

#include "Format.h"

#include <chrono>

namespace orvex {

std::int64_t Profiler::Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The steady clock always exists on Linux, so a machine without a high-resolution counter
// cannot arise here.
Profiler::Profiler() : TicksPerSec(1'000'000'000) {}

void Profiler::StartTiming() {
    StartTick = Now();
}

void Profiler::StopTiming() {
    StopTick = Now();
    DurationInTicks = StopTick - StartTick;
    Duration = static_cast<double>(DurationInTicks) / static_cast<double>(TicksPerSec) * 1000000.0;
}

std::int64_t Profiler::CPUFreq() {
    cuFrequency = TicksPerSec;
    return cuFrequency;
}

void Profiler::Start() {
    StartTime = static_cast<double>(Now()) / static_cast<double>(TicksPerSec);
}

void Profiler::Stopp() {
    EndTime = static_cast<double>(Now()) / static_cast<double>(TicksPerSec);
    DurationMS = FormatNumber((EndTime - StartTime) * 1000.0, "#,##0.000 ms");
}

} // namespace orvex
