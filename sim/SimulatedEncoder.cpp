#include "SimulatedEncoder.h"

#include "core/Profiler.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <pthread.h>
#include <random>
#include <sched.h>
#include <sys/prctl.h>

namespace orvex::sim {
namespace {

// The next state turning up (0 -> 2 -> 3 -> 1 -> 0) and down.
constexpr int kUpNext[4] = {2, 0, 3, 1};
constexpr int kDownNext[4] = {1, 3, 0, 2};

bool CtsOn(int s) {
    return (s & 1) == 0;
}
bool DsrOn(int s) {
    return (s & 2) == 0;
}

} // namespace

SimulatedEncoder::SimulatedEncoder(std::string device) : m_lines(std::move(device)) {
    const ModemSnapshot at = m_lines.snapshot();
    m_state = (at.cts ? 0 : 1) + (at.dsr ? 0 : 2);
}

SimulatedEncoder::~SimulatedEncoder() {
    stop();
}

void SimulatedEncoder::move(int direction, std::int64_t timeNs) {
    std::lock_guard lock(m_mutex);
    m_state = direction > 0 ? kUpNext[m_state] : kDownNext[m_state];
    ++m_transitions;
    m_position += direction > 0 ? 1 : -1;
    if (m_keepTimes) m_times.push_back(timeNs);
    m_lines.set(CtsOn(m_state), DsrOn(m_state));
}

void SimulatedEncoder::step(int direction) {
    move(direction, Profiler::Now());
}

void SimulatedEncoder::burst(int transitions) {
    std::lock_guard lock(m_mutex);
    std::uint32_t ctsChanges = 0, dsrChanges = 0;
    const int n = transitions < 0 ? -transitions : transitions;
    for (int i = 0; i < n; ++i) {
        const int next = transitions > 0 ? kUpNext[m_state] : kDownNext[m_state];
        ((next ^ m_state) == 1 ? ctsChanges : dsrChanges) += 1;
        m_state = next;
    }
    m_transitions += n;
    m_position += transitions;
    m_lines.apply(CtsOn(m_state), DsrOn(m_state), ctsChanges, dsrChanges);
}

std::int64_t SimulatedEncoder::transitions() const {
    std::lock_guard lock(m_mutex);
    return m_transitions;
}

std::int64_t SimulatedEncoder::position() const {
    std::lock_guard lock(m_mutex);
    return m_position;
}

int SimulatedEncoder::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void SimulatedEncoder::setKeepTimes(bool keep) {
    std::lock_guard lock(m_mutex);
    m_keepTimes = keep;
}

std::vector<std::int64_t> SimulatedEncoder::takeTimes() {
    std::lock_guard lock(m_mutex);
    std::vector<std::int64_t> times;
    times.swap(m_times);
    return times;
}

void SimulatedEncoder::turn(double rate, std::int64_t transitions, std::int64_t startDelayNs) {
    Turn t;
    t.segments.push_back({std::fabs(rate), rate < 0 ? -transitions : transitions});
    t.startDelayNs = startDelayNs;
    turn(t);
}

void SimulatedEncoder::turn(const Turn& t) {
    stop();
    {
        std::lock_guard lock(m_handMutex);
        m_letGo = false;
    }
    m_turning.store(true, std::memory_order_release);
    m_hand = std::thread([this, t] { hand(t); });
}

void SimulatedEncoder::stop() {
    {
        std::lock_guard lock(m_handMutex);
        m_letGo = true;
    }
    m_handCv.notify_all();
    if (m_hand.joinable()) m_hand.join();
    m_turning.store(false, std::memory_order_release);
}

void SimulatedEncoder::hand(Turn t) {
    // Transitions on time to the microsecond, as a knob's contacts are: no timer slack for
    // this thread's waits, and a real-time priority where the user may have one.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    sched_param priority{};
    priority.sched_priority = 20;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    std::mt19937 random(t.seed);
    std::uniform_real_distribution<double> spread(-1.0, 1.0);
    const double jitter = std::clamp(t.jitter, 0.0, 0.9);
    std::int64_t at = Profiler::Now() + t.startDelayNs;
    bool first = true;
    for (const Segment& segment : t.segments) {
        const std::int64_t n = segment.transitions < 0 ? -segment.transitions : segment.transitions;
        const int direction = segment.transitions < 0 ? -1 : 1;
        const double period = segment.rate > 0.0 ? 1e9 / segment.rate : 1e9;
        for (std::int64_t i = 0; i < n; ++i) {
            if (!first)
                at += static_cast<std::int64_t>(
                    std::llround(period * (1.0 + jitter * spread(random))));
            first = false;
            {
                std::unique_lock lock(m_handMutex);
                const auto when =
                    std::chrono::steady_clock::time_point(std::chrono::nanoseconds(at));
                if (m_handCv.wait_until(lock, when, [this] { return m_letGo; })) {
                    m_turning.store(false, std::memory_order_release);
                    return;
                }
            }
            const std::int64_t now = Profiler::Now();
            move(direction, now);
            at = std::max(at, now); // late: the next interval runs from here
        }
    }
    m_turning.store(false, std::memory_order_release);
}

} // namespace orvex::sim
