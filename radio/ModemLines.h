// The modem-status inputs of a serial port (CTS and DSR, where the shaft encoder sits) as a
// thread that follows them sees them: a wait for the next change, and a read of the levels
// together with the driver's running counts of their changes.
//
// Real ports (LinuxPorts.h) wait with TIOCMIWAIT and read with TIOCMGET and TIOCGICOUNT;
// SoftModemLines below is the same thing in memory, for the simulated receiver's encoder and
// for recorded ports. ModemLineWatcher (ModemLineWatcher.h) is the one reader of both.
//
// Threads: waitForChange and read are called by the watcher thread only; interrupt from any
// thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace orvex {

/// CTS and DSR as one read found them. The counts run from the port's opening and wrap at
/// 2^32; a line's count moves by one for every change of that line the driver noticed, also
/// for changes that came and went between two reads.
struct ModemSnapshot {
    bool cts = false;     ///< true = CTS on (asserted)
    bool dsr = false;     ///< true = DSR on
    bool counted = false; ///< the driver keeps the counts (false: ctsChanges/dsrChanges are 0)
    std::uint32_t ctsChanges = 0;
    std::uint32_t dsrChanges = 0;
};

class ModemLineSource {
public:
    enum class Wait {
        Changed,  ///< CTS or DSR changed after the wait began
        TimedOut, ///< the time ran out, or a signal (a stop) woke the waiter
        Refused,  ///< the driver cannot wait for changes: poll instead
        Failed,   ///< the port stopped answering (error() says why)
    };
    virtual ~ModemLineSource() = default;
    /// Blocks until CTS or DSR changes, at most `timeoutNs` (> 0). As with TIOCMIWAIT, only
    /// changes after the call began end the wait: a caller re-reads after each return.
    virtual Wait waitForChange(std::int64_t timeoutNs) = 0;
    /// Wakes a waitForChange in progress now (from another thread). Real ports are woken by
    /// the watcher's signal instead; this is for waits that signals do not end.
    virtual void interrupt() {}
    /// Reads the levels and the counts as one consistent picture. False when the port cannot
    /// be read (error() says why).
    virtual bool read(ModemSnapshot& snapshot) = 0;
    /// The device path (or the simulated port's name), for messages.
    virtual const std::string& device() const = 0;
    /// Why the last wait or read failed or was refused: what failed and the errno text.
    virtual std::string error() const = 0;
};

/// The signal that interrupts a watcher thread's kernel wait (a real-time signal with a
/// handler that does nothing, installed without SA_RESTART by the first call). The watcher
/// threads alone leave it unblocked, so it never reaches another thread of the program.
int ModemWakeSignal();

/// CTS and DSR held in memory: a line source for the simulated encoder and recorded ports.
/// The writer (a simulated hand, a test) changes the lines; waiters are woken as the kernel
/// wakes TIOCMIWAIT. Thread-safe.
class SoftModemLines final : public ModemLineSource {
public:
    explicit SoftModemLines(std::string device = "simulated port");

    Wait waitForChange(std::int64_t timeoutNs) override;
    void interrupt() override;
    bool read(ModemSnapshot& snapshot) override;
    const std::string& device() const override { return m_device; }
    std::string error() const override;

    /// Sets both lines at once (true = on); each line that changes counts one change.
    void set(bool cts, bool dsr);
    /// Toggles CTS (`cts`) or DSR `times` times in a row with no reader able to look in
    /// between: a burst faster than any thread reads.
    void toggle(bool cts, int times = 1);
    /// Sets the lines and makes `ctsChanges`/`dsrChanges` more changes count at once (the
    /// lines end where `cts`/`dsr` say): several changes between two reads.
    void apply(bool cts, bool dsr, std::uint32_t ctsChanges, std::uint32_t dsrChanges);
    ModemSnapshot snapshot() const;

    /// A driver without TIOCMIWAIT: waits are refused (the watcher polls).
    void setWaitSupported(bool supported);
    /// A driver without TIOCGICOUNT: reads carry no counts.
    void setCountsSupported(bool supported);
    /// Reads fail from now on (an adapter pulled out).
    void setReadFails(bool fails);

private:
    void change(bool cts, bool dsr, std::uint32_t ctsChanges, std::uint32_t dsrChanges);

    std::string m_device;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    ModemSnapshot m_lines;
    std::uint64_t m_wakeUps = 0;
    bool m_waitSupported = true;
    bool m_countsSupported = true;
    bool m_readFails = false;
};

} // namespace orvex
