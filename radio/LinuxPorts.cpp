#include "LinuxPorts.h"

#include "core/Error.h"

#include <cerrno>
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
    bool readModemStatus(ModemStatus& status) override {
        int bits = 0;
        if (::ioctl(m_fd, TIOCMGET, &bits) != 0) return fail("read CTS and DSR");
        status.cts = (bits & TIOCM_CTS) != 0;
        status.dsr = (bits & TIOCM_DSR) != 0;
        return true;
    }
    std::optional<std::uint64_t> modemChangeCount() override {
        if (!m_haveCounts) return std::nullopt;
        serial_icounter_struct counts{};
        if (::ioctl(m_fd, TIOCGICOUNT, &counts) != 0) {
            m_haveCounts = false; // the driver keeps no counts: callers read the status instead
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(static_cast<unsigned>(counts.cts)) +
               static_cast<std::uint64_t>(static_cast<unsigned>(counts.dsr));
    }
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
    bool m_haveCounts = true;
};

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
