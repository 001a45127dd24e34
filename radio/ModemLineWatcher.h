// ModemLineWatcher: a thread that follows the CTS and DSR inputs of one open serial port and
// hands every change, in order and time-stamped, to the user-interface thread.
//
// The thread waits for a change (TIOCMIWAIT on a real port), takes the steady-clock time the
// moment the wait returns, then reads the levels and the driver's change counts
// (TIOCGICOUNT). Each read that differs from the one before becomes one ModemChange record
// in a lock-free single-producer single-consumer queue. When the queue goes from "nothing
// announced" to "records waiting", the watcher makes wakeFd() readable (one eventfd write);
// the consumer's event loop watches that descriptor (a QSocketNotifier on the user-interface
// thread), and the event it gets drains every record there is (rearm, then pop until empty).
// Nothing but the queue and that write happens on the watcher thread: the decoder and every
// handler run on the consumer's thread.
//
// The kernel's counts tell how many changes each line made between two reads, so changes
// that came faster than the thread could read are noticed and counted; the records carry the
// counts and the decoder decides what a change means.
//
// TIOCMIWAIT only sees changes after it was entered, so a change landing between a read and
// the next wait would otherwise sit unseen until the line moved again. After a change the
// lines are read again at once until a read finds nothing new, so that moment is one system
// call long; and every wait is bounded (500 us after a change, doubling while nothing moves,
// up to 1 s while the knob rests), after which the lines are read again. While the knob rests
// the thread wakes once a second.
//
// Where the driver refuses TIOCMIWAIT the thread reads the lines every 1 ms instead (a
// Polling note, once). A port that stops answering ends the thread (a Failed note).
//
// The thread asks for a low real-time priority (SCHED_FIFO 10) where the user may have one,
// so that a busy machine does not keep it from reading each change before the next.
//
// Stopping: stop() (and the destructor) ends a wait in progress with the wake signal
// (ModemWakeSignal) and returns once the thread has ended. The port must stay open until
// then.
#pragma once

#include "ModemLines.h"
#include "SpscQueue.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <time.h>

namespace orvex {

/// One record from the watcher.
struct ModemChange {
    enum class Kind : std::uint8_t {
        Start, ///< the watch began: the lines' state to decode from
        Lines, ///< CTS/DSR changed: the levels now and the changes each line made since
        Note,  ///< something to tell the user once (note says what; the text is noteText)
    };
    enum class Note : std::uint8_t {
        None,
        Polling,  ///< the driver refuses TIOCMIWAIT: the lines are read every 1 ms
        NoCounts, ///< the driver keeps no change counts: fast changes may go unseen
        Failed,   ///< the port stopped answering: the watch has ended
    };
    Kind kind = Kind::Lines;
    Note note = Note::None;
    bool cts = false; ///< CTS on
    bool dsr = false; ///< DSR on
    /// Changes of each line since the previous record (Lines): 1 for an ordinary transition,
    /// more when the lines moved faster than the thread read them.
    std::uint32_t ctsChanges = 0;
    std::uint32_t dsrChanges = 0;
    std::int64_t timeNs = 0; ///< steady clock when the change was noticed, nanoseconds
};

class ModemLineWatcher {
public:
    enum class Mode : int { Waiting, Polling, Ended };

    static constexpr std::int64_t kPollPeriodNs = 1'000'000;    ///< the fallback's read period
    static constexpr std::int64_t kFirstCheckNs = 500'000;      ///< bound of a wait after a change
    static constexpr std::int64_t kRestCheckNs = 1'000'000'000; ///< bound while nothing moves
    static constexpr std::size_t kQueueLength = 1024;           ///< records held for the consumer
    static constexpr int kRealTimePriority = 10;                ///< SCHED_FIFO, where allowed
    static constexpr const char* kThreadName = "shaft-encoder"; ///< as ps -L shows the thread

    /// Starts the thread on `source`, which must outlive the watcher.
    explicit ModemLineWatcher(ModemLineSource& source);
    /// Stops the thread.
    ~ModemLineWatcher();
    ModemLineWatcher(const ModemLineWatcher&) = delete;
    ModemLineWatcher& operator=(const ModemLineWatcher&) = delete;

    /// Ends the thread and returns when it has ended (at once when it already has).
    void stop();

    // ---- the consumer's side (one thread) ---------------------------------------------------
    /// Readable when records were queued since the last rearm() (an eventfd, for poll or a
    /// socket notifier). Open as long as the watcher lives.
    int wakeFd() const { return m_wakeFd; }
    /// Call before draining: clears wakeFd(); records queued from now on are announced again.
    void rearm();
    /// Takes the oldest record; false when none is waiting.
    bool pop(ModemChange& change);
    /// The text of a note, once its record has been popped: the device, what happened and why.
    const std::string& noteText(ModemChange::Note note) const;

    // ---- figures -----------------------------------------------------------------------------
    Mode mode() const { return m_mode.load(std::memory_order_acquire); }
    const std::string& device() const { return m_device; }
    /// CPU time the thread has used, nanoseconds.
    std::int64_t cpuTimeNs() const;
    /// Times the thread woke (waits that ended, polls), since it started.
    std::uint64_t wakeUps() const { return m_wakeUps.load(std::memory_order_relaxed); }
    /// True when the thread got its real-time priority.
    bool realTimePriority() const { return m_realTime.load(std::memory_order_acquire); }
    /// Records that found the queue full and were merged into the next one.
    std::uint64_t overflows() const { return m_overflows.load(std::memory_order_relaxed); }

private:
    void run();
    bool look(ModemChange& last, std::int64_t timeNs);
    void deliver(const ModemChange& change);
    void flushHeld();
    void note(ModemChange::Note note, std::string text);
    void announce();
    bool stopping() const { return m_stop.load(std::memory_order_acquire); }

    ModemLineSource& m_source;
    std::string m_device;
    int m_wakeFd;
    SpscQueue<ModemChange, kQueueLength> m_queue;
    std::array<ModemChange, 8> m_held{}; // producer only: records the full queue held back
    std::size_t m_heldCount = 0;
    std::string m_notes[4]; // written once each before its record is queued
    std::atomic<bool> m_announced{false};
    std::atomic<bool> m_stop{false};
    std::atomic<Mode> m_mode{Mode::Waiting};
    std::atomic<std::uint64_t> m_wakeUps{0};
    std::atomic<std::uint64_t> m_overflows{0};
    std::atomic<std::int64_t> m_finalCpuNs{0};
    std::atomic<bool> m_realTime{false};
    clockid_t m_cpuClock{};
    bool m_haveCpuClock = false;
    std::mutex m_exitMutex;
    std::condition_variable m_exitCv;
    bool m_exited = false;
    std::thread m_thread;
};

} // namespace orvex
