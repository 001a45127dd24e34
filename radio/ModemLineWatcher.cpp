#include "ModemLineWatcher.h"

#include "core/Profiler.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orvex {
namespace {

std::int64_t ThreadCpuNs(clockid_t clock) {
    timespec t{};
    if (::clock_gettime(clock, &t) != 0) return -1;
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Changes of one line between two reads. The driver's count says how many; it must agree
// with the levels (an odd count for a line that moved, even for one that did not), and where
// it does not, or where the driver keeps no counts, the levels add what they show.
std::uint32_t Changes(bool before, bool now, bool counted, std::uint32_t countBefore,
                      std::uint32_t countNow) {
    const bool moved = before != now;
    if (!counted) return moved ? 1 : 0;
    std::uint32_t n = countNow - countBefore; // the counts wrap at 2^32
    if (((n & 1u) != 0) != moved) ++n;
    return n;
}

} // namespace

ModemLineWatcher::ModemLineWatcher(ModemLineSource& source)
    : m_source(source), m_device(source.device()),
      m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    // The thread starts with every signal blocked (it unblocks the wake signal alone), so the
    // program's own signals (SIGINT, SIGTERM) keep going to the threads that handle them.
    const int wake = ModemWakeSignal();
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    m_thread = std::thread([this, wake] {
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, wake);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        // Named for top -H, ps -L and /proc/PID/task/*/comm.
        pthread_setname_np(pthread_self(), kThreadName);
        // The thread runs for microseconds at a change and sleeps otherwise; a real-time
        // priority lets it read each change before the next also on a busy machine. Where the
        // user may not have one (RLIMIT_RTPRIO 0), it runs at the normal priority.
        sched_param priority{};
        priority.sched_priority = kRealTimePriority;
        m_realTime.store(pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) == 0,
                         std::memory_order_release);
        run();
    });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    m_haveCpuClock = pthread_getcpuclockid(m_thread.native_handle(), &m_cpuClock) == 0;
}

ModemLineWatcher::~ModemLineWatcher() {
    stop();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void ModemLineWatcher::stop() {
    if (!m_thread.joinable()) return;
    m_stop.store(true, std::memory_order_release);
    std::unique_lock lock(m_exitMutex);
    // The signal ends a kernel wait (or a poll's sleep); a signal that lands just before the
    // thread enters its wait is lost, so it is sent again until the thread has ended.
    while (!m_exited) {
        m_source.interrupt();
        pthread_kill(m_thread.native_handle(), ModemWakeSignal());
        m_exitCv.wait_for(lock, std::chrono::milliseconds(1));
    }
    lock.unlock();
    m_thread.join();
}

void ModemLineWatcher::rearm() {
    std::uint64_t count;
    [[maybe_unused]] const auto n = ::read(m_wakeFd, &count, sizeof count); // EAGAIN: not set
    m_announced.store(false, std::memory_order_relaxed);
    // Pairs with the fence in announce(): either this drain sees the record queued, or the
    // producer sees the flag cleared and announces again.
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

bool ModemLineWatcher::pop(ModemChange& change) {
    return m_queue.pop(change);
}

const std::string& ModemLineWatcher::noteText(ModemChange::Note note) const {
    return m_notes[static_cast<int>(note)];
}

std::int64_t ModemLineWatcher::cpuTimeNs() const {
    // The thread's own clock while it runs; the figure it left when it has ended.
    if (m_haveCpuClock && mode() != Mode::Ended) {
        const std::int64_t ns = ThreadCpuNs(m_cpuClock);
        if (ns >= 0) return ns;
    }
    return m_finalCpuNs.load(std::memory_order_acquire);
}

// One write to the eventfd: a system call that never waits for the consumer (posting an
// event to a Qt object would take a lock the user-interface thread holds while it handles its
// events, and on a busy machine hold this thread up for milliseconds).
void ModemLineWatcher::announce() {
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (m_announced.exchange(true, std::memory_order_acq_rel)) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(m_wakeFd, &one, sizeof one);
}

// A record the full queue cannot take is held back and queued first once there is room: a
// Lines record behind another is merged into it (the changes add up, the levels and time are
// the newest), so nothing is lost but the order inside the merge, and the decoder counts those
// changes without a direction. Notes come at most once each, so the hold never fills.
void ModemLineWatcher::deliver(const ModemChange& change) {
    flushHeld();
    if (m_heldCount == 0 && m_queue.push(change)) {
        announce();
        return;
    }
    m_overflows.fetch_add(1, std::memory_order_relaxed);
    ModemChange* back = m_heldCount > 0 ? &m_held[m_heldCount - 1] : nullptr;
    if (change.kind == ModemChange::Kind::Lines && back && back->kind == ModemChange::Kind::Lines) {
        back->cts = change.cts;
        back->dsr = change.dsr;
        back->ctsChanges += change.ctsChanges;
        back->dsrChanges += change.dsrChanges;
        back->timeNs = change.timeNs;
    } else if (m_heldCount < m_held.size()) {
        m_held[m_heldCount++] = change;
    }
    announce();
}

void ModemLineWatcher::flushHeld() {
    std::size_t sent = 0;
    while (sent < m_heldCount && m_queue.push(m_held[sent]))
        ++sent;
    if (sent == 0) return;
    std::copy(m_held.begin() + static_cast<std::ptrdiff_t>(sent),
              m_held.begin() + static_cast<std::ptrdiff_t>(m_heldCount), m_held.begin());
    m_heldCount -= sent;
    announce();
}

void ModemLineWatcher::note(ModemChange::Note note, std::string text) {
    m_notes[static_cast<int>(note)] = std::move(text);
    ModemChange change;
    change.kind = ModemChange::Kind::Note;
    change.note = note;
    change.timeNs = Profiler::Now();
    deliver(change);
}

// Reads the lines; queues a record when they changed since `last`. True when they had.
bool ModemLineWatcher::look(ModemChange& last, std::int64_t timeNs) {
    ModemSnapshot now;
    if (!m_source.read(now)) {
        m_mode.store(Mode::Ended, std::memory_order_release);
        note(ModemChange::Note::Failed,
             m_source.error() + "; the shaft encoder is not followed any more");
        return false;
    }
    flushHeld();
    ModemChange change;
    change.kind = ModemChange::Kind::Lines;
    change.cts = now.cts;
    change.dsr = now.dsr;
    change.ctsChanges = Changes(last.cts, now.cts, now.counted, last.ctsChanges, now.ctsChanges);
    change.dsrChanges = Changes(last.dsr, now.dsr, now.counted, last.dsrChanges, now.dsrChanges);
    change.timeNs = timeNs;
    // `last` keeps the raw counts for the next difference.
    last.cts = now.cts;
    last.dsr = now.dsr;
    last.ctsChanges = now.ctsChanges;
    last.dsrChanges = now.dsrChanges;
    if (change.ctsChanges + change.dsrChanges == 0) return false;
    deliver(change);
    return true;
}

void ModemLineWatcher::run() {
    ModemSnapshot first;
    if (!m_source.read(first)) {
        m_mode.store(Mode::Ended, std::memory_order_release);
        note(ModemChange::Note::Failed, m_source.error() + "; the shaft encoder is not followed");
    } else {
        if (!first.counted)
            note(ModemChange::Note::NoCounts,
                 m_device + ": the driver keeps no count of CTS and DSR changes (TIOCGICOUNT), so "
                            "changes faster than the encoder is read go unnoticed");
        ModemChange last;
        last.kind = ModemChange::Kind::Start;
        last.cts = first.cts;
        last.dsr = first.dsr;
        last.timeNs = Profiler::Now();
        deliver(last);
        last.ctsChanges = first.ctsChanges;
        last.dsrChanges = first.dsrChanges;

        std::int64_t bound = kFirstCheckNs;
        std::int64_t nextPoll = 0;
        while (!stopping() && mode() != Mode::Ended) {
            if (mode() == Mode::Waiting) {
                const ModemLineSource::Wait result = m_source.waitForChange(bound);
                const std::int64_t t = Profiler::Now();
                if (stopping()) break;
                if (result == ModemLineSource::Wait::Refused) {
                    m_mode.store(Mode::Polling, std::memory_order_release);
                    note(ModemChange::Note::Polling,
                         m_device + ": the driver does not report CTS and DSR changes (" +
                             m_source.error() + "); the shaft encoder is read every 1 ms instead");
                    nextPoll = Profiler::Now();
                    continue;
                }
                if (result == ModemLineSource::Wait::Failed) {
                    m_mode.store(Mode::Ended, std::memory_order_release);
                    note(ModemChange::Note::Failed,
                         m_source.error() + "; the shaft encoder is not followed any more");
                    break;
                }
                m_wakeUps.fetch_add(1, std::memory_order_relaxed);
                if (look(last, t)) {
                    // Read again until a read finds nothing new: only such a read is followed
                    // by a wait, so the moment a change can slip past the wait is as short as
                    // one system call, not the time this thread spent queueing the last one.
                    while (!stopping() && mode() != Mode::Ended && look(last, Profiler::Now())) {
                    }
                    bound = kFirstCheckNs;
                } else {
                    bound = std::min(2 * bound, kRestCheckNs);
                }
            } else {
                nextPoll += kPollPeriodNs;
                const timespec at{static_cast<time_t>(nextPoll / 1'000'000'000),
                                  static_cast<long>(nextPoll % 1'000'000'000)};
                // Profiler::Now is CLOCK_MONOTONIC; the wake signal ends the sleep early.
                if (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR)
                    continue;
                const std::int64_t t = Profiler::Now();
                if (t > nextPoll + kPollPeriodNs) nextPoll = t; // late: no catching up
                m_wakeUps.fetch_add(1, std::memory_order_relaxed);
                look(last, t);
            }
        }
    }
    m_mode.store(Mode::Ended, std::memory_order_release);
    const std::int64_t cpu = ThreadCpuNs(CLOCK_THREAD_CPUTIME_ID);
    m_finalCpuNs.store(cpu < 0 ? 0 : cpu, std::memory_order_release);
    {
        std::lock_guard lock(m_exitMutex);
        m_exited = true;
    }
    m_exitCv.notify_all();
}

} // namespace orvex
