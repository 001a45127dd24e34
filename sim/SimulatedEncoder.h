// SimulatedEncoder: the Brisko's tuning knob in software, a quadrature encoder whose two
// contacts drive the CTS and DSR inputs of the simulated receiver's serial port.
//
// Its lines are a SoftModemLines: the DDS controller's port hands them to the same watcher
// thread a real port's CTS and DSR go to (radio/ModemLineWatcher.h), so everything above
// the line reader (the queue, the event to the user-interface thread, the decoder, the rate
// chooser, the tuning) is the code a real knob drives.
//
// Quadrature: state s = (1 if CTS is off) + (2 if DSR is off), as the decoder reads it.
// Turning up goes 0 -> 2 -> 3 -> 1 -> 0 (a contact opens or closes at each transition; four
// transitions a detent on a common encoder), turning down the other way round.
//
// The hand: turn() starts a thread that makes the transitions of a Turn at their rates, each
// interval drawn around 1/rate with the Turn's jitter. An interval is timed from the previous
// transition as made, so a late hand never catches up with a rush of transitions: the knob
// never turns faster than asked. burst() makes transitions faster than any reader can follow.
#pragma once

#include "radio/ModemLines.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace orvex::sim {

class SimulatedEncoder {
public:
    /// A stretch of turning at one speed.
    struct Segment {
        double rate = 100.0;          ///< transitions per second, above 0
        std::int64_t transitions = 0; ///< how many; negative turns down
    };
    struct Turn {
        std::vector<Segment> segments;
        /// Spread of each interval: (1 + jitter x u) / rate with u uniform in [-1, 1]; 0 to 0.9.
        double jitter = 0.0;
        /// Wait before the first transition, nanoseconds.
        std::int64_t startDelayNs = 0;
        std::uint32_t seed = 1; ///< for the jitter
    };

    explicit SimulatedEncoder(std::string device = "simulated port");
    /// Lets go of the knob (the hand's thread ends).
    ~SimulatedEncoder();
    SimulatedEncoder(const SimulatedEncoder&) = delete;
    SimulatedEncoder& operator=(const SimulatedEncoder&) = delete;

    /// CTS and DSR as the port's watcher sees them.
    SoftModemLines& lines() { return m_lines; }

    /// Starts turning as `turn` says, on a thread of its own; a turn in progress stops first.
    void turn(const Turn& turn);
    /// `transitions` transitions at `rate` per second (a negative rate turns down), after
    /// `startDelayNs`.
    void turn(double rate, std::int64_t transitions, std::int64_t startDelayNs = 0);
    /// Stops turning now (returns once the hand has let go).
    void stop();
    /// True while a turn is in progress.
    bool turning() const { return m_turning.load(std::memory_order_acquire); }

    /// One transition now: up (+1) or down (-1).
    void step(int direction);
    /// `transitions` transitions (negative: down) at once, between two reads of any reader.
    void burst(int transitions);

    /// Transitions made since creation: all of them, and up minus down.
    std::int64_t transitions() const;
    std::int64_t position() const;
    /// The quadrature state now (0 to 3).
    int state() const;

    /// Keeps the steady-clock time of every transition from now on (benchmarks).
    void setKeepTimes(bool keep);
    /// The times kept so far, nanoseconds; the list is emptied.
    std::vector<std::int64_t> takeTimes();

private:
    void move(int direction, std::int64_t timeNs);
    void hand(Turn turn);

    SoftModemLines m_lines;
    mutable std::mutex m_mutex; // the state and the counters; taken before the lines' own
    int m_state = 0;
    std::int64_t m_transitions = 0, m_position = 0;
    bool m_keepTimes = false;
    std::vector<std::int64_t> m_times;

    std::mutex m_handMutex;
    std::condition_variable m_handCv;
    bool m_letGo = false;
    std::atomic<bool> m_turning{false};
    std::thread m_hand;
};

} // namespace orvex::sim
