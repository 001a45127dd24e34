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

namespace orvex {

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
