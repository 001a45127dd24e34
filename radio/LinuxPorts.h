// The real control-line drivers on Linux.
//
// Serial: the tty is opened with O_NOCTTY | O_NONBLOCK (so neither the open nor anything after
// it waits for a carrier), switched to CLOCAL with no hardware or software handshaking
// (CRTSCTS, IXON, IXOFF, IXANY cleared), locked against other programs (flock and TIOCEXCL),
// and its lines put at rest: DTR and RTS released, no break. Lines are switched with
// TIOCMBIS/TIOCMBIC (DTR, RTS) and TIOCSBRK/TIOCCBRK (TXD break); CTS and DSR are read with
// TIOCMGET and the kernel's transition counts with TIOCGICOUNT.
//
// Parallel: ppdev. The port is opened, registered exclusively (PPEXCL) and claimed (PPCLAIM);
// each data write is one PPWDATA; closing releases it (PPRELEASE).
#pragma once

#include "LineDriver.h"
#include "ModemLines.h"

namespace orvex {

/// CTS and DSR of an open tty, read from a watcher thread while the user-interface thread
/// drives the other lines of the same port. Does not own `fd`, which must stay open while a
/// watcher reads it.
///
/// A wait is TIOCMIWAIT on CTS | DSR, bounded by a POSIX timer of the calling thread that
/// sends ModemWakeSignal (so the thread must leave that signal unblocked, as the watcher
/// does). Drivers without TIOCMIWAIT (ENOTTY, EINVAL: pseudo-terminals, some USB adapters)
/// refuse the wait; drivers without TIOCGICOUNT give reads without counts.
class LinuxModemLines final : public ModemLineSource {
public:
    LinuxModemLines(int fd, std::string device) : m_fd(fd), m_device(std::move(device)) {}
    Wait waitForChange(std::int64_t timeoutNs) override;
    bool read(ModemSnapshot& snapshot) override;
    const std::string& device() const override { return m_device; }
    std::string error() const override { return m_error; }

private:
    int m_fd;
    std::string m_device;
    std::string m_error;
    bool m_counts = true;
};

class LinuxPorts final : public PortProvider {
public:
    std::unique_ptr<SerialLines> openSerial(const std::string& device, PortError& error) override;
    std::unique_ptr<ParallelLines> openParallel(const std::string& device,
                                                PortError& error) override;
};

/// The provider the program uses when none is given.
PortProvider& DefaultPorts();

/// The user-facing reason for a failed open of a serial (`parallel` false) or parallel port,
/// from the errno of the failing call: names the device, the cause and what to do about it.
PortError DescribePortError(const std::string& device, int errnoValue, bool parallel);

} // namespace orvex
