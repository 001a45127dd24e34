// Interval timing on the steady clock, for the block load figure and for the wheel and
// encoder rate acceleration.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

/// A thin timer over the steady clock (nanosecond ticks). Two live for the life of the main
/// window: the block profiler and the wheel profiler.
class Profiler {
public:
    Profiler();

    double Duration = 0.0;            ///< last measured interval, microseconds (StopTiming)
    std::int64_t TicksPerSec = 0;     ///< counter frequency, read at construction
    std::int64_t StartTick = 0;       ///< counter at the last StartTiming
    std::int64_t StopTick = 0;        ///< counter at the last StopTiming
    std::int64_t DurationInTicks = 0; ///< StopTick - StartTick
    std::int64_t cuFrequency = 0;     ///< counter frequency read by CPUFreq

    /// The second start/stop pair: times in seconds on the same counter, and the interval as
    /// text in "#,##0.000 ms".
    double StartTime = 0.0;
    double EndTime = 0.0;
    std::string DurationMS;

    void StartTiming();
    /// Sets StopTick, DurationInTicks and Duration (microseconds).
    void StopTiming();
    /// Reads the counter frequency into cuFrequency and returns it.
    std::int64_t CPUFreq();
    void Start();
    void Stopp();

    /// The counter now, in ticks.
    static std::int64_t Now();
};

} // namespace orvex
