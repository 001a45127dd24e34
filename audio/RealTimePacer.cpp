#include "RealTimePacer.h"

#include <QObject>

namespace orvex::audio {

RealTimePacer::RealTimePacer(FrameClock& clock, int framesPerSecond, int tickMs)
    : m_clock(clock), m_rate(framesPerSecond) {
    m_timer.setInterval(tickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void RealTimePacer::start() {
    m_start = std::chrono::steady_clock::now();
    m_startFrames = m_clock.now();
    m_skipped = 0;
    m_timer.start();
}

void RealTimePacer::stop() {
    m_timer.stop();
}

void RealTimePacer::tick() {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const auto target = m_startFrames + m_skipped + static_cast<std::int64_t>(elapsed * m_rate);
    std::int64_t behind = target - m_clock.now();
    // After a long stall (a suspended machine, a debugger) the lost time is skipped instead of
    // being delivered as a burst of blocks.
    if (behind > m_rate) {
        m_skipped -= behind - m_rate / 10;
        behind = m_rate / 10;
    }
    if (behind > 0) m_clock.advance(behind);
}

} // namespace orvex::audio
