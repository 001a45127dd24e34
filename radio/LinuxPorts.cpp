#include "LinuxPorts.h"

#include "core/Error.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace orvex {
namespace {

/// A file descriptor closed on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

class LinuxSerialLines final : public SerialLines {
public:
    LinuxSerialLines(int fd, std::string device) : m_fd(fd), m_device(std::move(device)) {}
    ~LinuxSerialLines() override {
        // Leave the lines at rest; the close also drops DTR and RTS (HUPCL).
        ::ioctl(m_fd, TIOCCBRK);
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }

    bool setDTR(bool asserted) override { return modemBits(TIOCM_DTR, asserted, "DTR"); }
    bool setRTS(bool asserted) override { return modemBits(TIOCM_RTS, asserted, "RTS"); }
    bool setBreak(bool set) override {
        if (::ioctl(m_fd, set ? TIOCSBRK : TIOCCBRK) == 0) return true;
        return fail(set ? "set the TXD break" : "clear the TXD break");
    }
    ModemLineSource* modemLines() override { return &m_modemLines; }
    const std::string& device() const override { return m_device; }
    const std::string& lastError() const override { return m_lastError; }

private:
    bool modemBits(int bit, bool on, const char* name) {
        if (::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return true;
        return fail(std::string(on ? "assert " : "release ") + name);
    }
    bool fail(const std::string& what) {
        m_lastError = ErrnoText("cannot " + what + " on " + m_device, errno);
        return false;
    }

    int m_fd;
    std::string m_device;
    std::string m_lastError;
    LinuxModemLines m_modemLines{m_fd, m_device};
};

// A POSIX timer of one thread that sends it ModemWakeSignal: it bounds that thread's
// TIOCMIWAIT. Periodic while armed, so an expiry that lands just before the wait is entered
// (and is lost) is followed by another.
class WaitTimer {
public:
    WaitTimer() {
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = ModemWakeSignal();
        event._sigev_un._tid = ::gettid(); // sigev_notify_thread_id, unnamed in glibc
        m_ok = ::timer_create(CLOCK_MONOTONIC, &event, &m_timer) == 0;
        m_error = m_ok ? 0 : errno;
    }
    ~WaitTimer() {
        if (m_ok) ::timer_delete(m_timer);
    }
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;
    bool ok() const { return m_ok; }
    int error() const { return m_error; }
    void arm(std::int64_t ns) {
        const timespec period{static_cast<time_t>(ns / 1'000'000'000),
                              static_cast<long>(ns % 1'000'000'000)};
        const itimerspec timing{period, period};
        ::timer_settime(m_timer, 0, &timing, nullptr);
    }
    void disarm() {
        const itimerspec timing{};
        ::timer_settime(m_timer, 0, &timing, nullptr);
    }

private:
    timer_t m_timer{};
    bool m_ok = false;
    int m_error = 0;
};

bool Refusal(int err) {
    return err == ENOTTY || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

class LinuxParallelLines final : public ParallelLines {
public:
    LinuxParallelLines(int fd, std::string device) : m_fd(fd), m_device(std::move(device)) {}
    ~LinuxParallelLines() override {
        ::ioctl(m_fd, PPRELEASE);
        ::close(m_fd);
    }
    bool writeData(std::uint8_t value) override {
        unsigned char byte = value;
        if (::ioctl(m_fd, PPWDATA, &byte) == 0) return true;
        m_lastError = ErrnoText("cannot write the data lines of " + m_device, errno);
        return false;
    }
    const std::string& device() const override { return m_device; }
    const std::string& lastError() const override { return m_lastError; }

private:
    int m_fd;
    std::string m_device;
    std::string m_lastError;
};

} // namespace

ModemLineSource::Wait LinuxModemLines::waitForChange(std::int64_t timeoutNs) {
    thread_local WaitTimer timer;
    if (!timer.ok()) {
        m_error = ErrnoText("no timer for the TIOCMIWAIT wait", timer.error());
        return Wait::Refused;
    }
    timer.arm(timeoutNs > 0 ? timeoutNs : 1);
    const int result = ::ioctl(m_fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR);
    const int err = errno;
    timer.disarm();
    if (result == 0) return Wait::Changed;
    if (err == EINTR) return Wait::TimedOut;
    m_error =
        ErrnoText(Refusal(err) ? "TIOCMIWAIT" : "cannot wait for CTS and DSR on " + m_device, err);
    return Refusal(err) ? Wait::Refused : Wait::Failed;
}

bool LinuxModemLines::read(ModemSnapshot& snapshot) {
    // Counts, levels, counts again: when a change slipped in between, the picture is taken
    // again, so the levels and the counts always belong together.
    for (int attempt = 0;; ++attempt) {
        serial_icounter_struct before{}, after{};
        if (m_counts && ::ioctl(m_fd, TIOCGICOUNT, &before) != 0) {
            if (errno == EINTR) continue;
            if (!Refusal(errno)) {
                m_error = ErrnoText("cannot read the CTS and DSR counts of " + m_device, errno);
                return false;
            }
            m_counts = false;
        }
        int bits = 0;
        if (::ioctl(m_fd, TIOCMGET, &bits) != 0) {
            if (errno == EINTR) continue;
            m_error = ErrnoText("cannot read CTS and DSR on " + m_device, errno);
            return false;
        }
        if (m_counts && ::ioctl(m_fd, TIOCGICOUNT, &after) != 0) {
            if (errno == EINTR) continue;
            m_error = ErrnoText("cannot read the CTS and DSR counts of " + m_device, errno);
            return false;
        }
        if (m_counts && (after.cts != before.cts || after.dsr != before.dsr) && attempt < 3)
            continue;
        snapshot.cts = (bits & TIOCM_CTS) != 0;
        snapshot.dsr = (bits & TIOCM_DSR) != 0;
        snapshot.counted = m_counts;
        snapshot.ctsChanges = m_counts ? static_cast<std::uint32_t>(after.cts) : 0;
        snapshot.dsrChanges = m_counts ? static_cast<std::uint32_t>(after.dsr) : 0;
        return true;
    }
}

PortError DescribePortError(const std::string& device, int errnoValue, bool parallel) {
    PortError e;
    std::string hint;
    switch (errnoValue) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        e.fault = PortFault::NotFound;
        hint = parallel ? "there is no parallel port (load the parport_pc and ppdev modules)"
                        : "there is no such serial port (is the adapter plugged in?)";
        break;
    case EACCES:
    case EPERM:
        e.fault = PortFault::Permission;
        hint = parallel ? "the user must be in the 'lp' group (sudo usermod -aG lp $USER, then "
                          "log in again)"
                        : "the user must be in the 'dialout' group (sudo usermod -aG dialout "
                          "$USER, then log in again)";
        break;
    case EBUSY:
    case EWOULDBLOCK:
        e.fault = PortFault::Busy;
        hint = parallel ? "another driver or program uses the port (a printer driver such as lp?)"
                        : "another program is using the port";
        break;
    case ENOTTY:
    case EINVAL:
        e.fault = PortFault::NotSerial;
        hint = parallel ? "it is not a parallel port device (ppdev)" : "it is not a serial device";
        break;
    case EIO:
        e.fault = PortFault::Io;
        hint = "no working port hardware answers there";
        break;
    default:
        e.fault = PortFault::Io;
        break;
    }
    e.text = ErrnoText("cannot use " + device, errnoValue);
    if (!hint.empty()) e.text += " - " + hint;
    return e;
}

std::unique_ptr<SerialLines> LinuxPorts::openSerial(const std::string& device, PortError& error) {
    error = {};
    Fd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        error = DescribePortError(device, errno, false);
        return nullptr;
    }
    termios tio{};
    if (::tcgetattr(fd.get(), &tio) != 0) {
        error = DescribePortError(device, errno, false);
        return nullptr;
    }
    // Another program holding the port: an flock (picocom, screen, ...) or TIOCEXCL (opens by
    // others then fail with EBUSY, caught above). Ours is set only once the port proved usable.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        error = DescribePortError(device, errno, false);
        return nullptr;
    }
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (::tcsetattr(fd.get(), TCSANOW, &tio) != 0) {
        error = DescribePortError(device, errno, false);
        return nullptr;
    }
    int bits = 0;
    if (::ioctl(fd.get(), TIOCMGET, &bits) != 0) {
        const int err = errno;
        error.fault = PortFault::NoModemLines;
        error.text = ErrnoText("cannot read the modem lines of " + device, err) +
                     " - the device has no DTR, RTS, CTS and DSR lines (a pseudo-terminal?)";
        return nullptr;
    }
    ::ioctl(fd.get(), TIOCEXCL); // best effort: keeps other programs out while we drive it
    auto lines = std::make_unique<LinuxSerialLines>(fd.release(), device);
    // Opening a tty raises DTR and RTS; put the synthesiser's lines at rest.
    if (!lines->setBreak(false) || !lines->setDTR(false) || !lines->setRTS(false)) {
        error.fault = PortFault::NoModemLines;
        error.text = lines->lastError();
        return nullptr;
    }
    return lines;
}

std::unique_ptr<ParallelLines> LinuxPorts::openParallel(const std::string& device,
                                                        PortError& error) {
    error = {};
    Fd fd(::open(device.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0) {
        error = DescribePortError(device, errno, true);
        return nullptr;
    }
    // Exclusive registration first: it fails at once when another driver shares the port,
    // where a plain claim would wait for that driver to let go.
    if (::ioctl(fd.get(), PPEXCL) != 0 || ::ioctl(fd.get(), PPCLAIM) != 0) {
        error = DescribePortError(device, errno, true);
        return nullptr;
    }
    return std::make_unique<LinuxParallelLines>(fd.release(), device);
}

PortProvider& DefaultPorts() {
    static LinuxPorts ports;
    return ports;
}

} // namespace orvex
