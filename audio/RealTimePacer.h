// Runs a frame clock at the pace of the wall clock, from the Qt event loop: the clocked
// devices (files, the simulated receiver) then notify in real time, as a sound card would.
#pragma once

#include "audio/ClockedDevices.h"

#include <QTimer>
#include <chrono>
#include <cstdint>

namespace orvex::audio {

class RealTimePacer {
public:
    /// framesPerSecond: the clock's rate. tickMs: how often the clock is brought up to date.
    RealTimePacer(FrameClock& clock, int framesPerSecond, int tickMs = 5);
    void start();
    void stop();
    bool running() const { return m_timer.isActive(); }
    /// Frames the clock lags behind the wall clock beyond one second (a stall that was
    /// skipped rather than caught up), counted since start.
    std::int64_t skippedFrames() const { return m_skipped; }

private:
    void tick();

    FrameClock& m_clock;
    int m_rate;
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_start;
    std::int64_t m_startFrames = 0;
    std::int64_t m_skipped = 0;
};

} // namespace orvex::audio
