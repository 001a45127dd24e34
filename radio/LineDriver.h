// The control lines between the PC and the synthesiser, behind small interfaces.
//
// The receiver's DDS is clocked bit by bit over lines the PC can switch one at a time:
//  - on a serial port, DTR (frame / chip select), RTS (data, inverted) and the break state of
//    TXD (clock); CTS and DSR come back in and carry the shaft encoder;
//  - on a parallel port, the eight data lines written as one byte.
// The DDS controller talks to these interfaces only. Real ports (termios, ppdev), the test
// recorder and the simulated receiver each provide a PortProvider that opens them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvex {

class ModemLineSource;

/// Which line a LineEvent changed.
enum class LineId : std::uint8_t {
    DTR,   ///< serial DTR; value 1 = asserted
    RTS,   ///< serial RTS; value 1 = asserted
    Break, ///< serial TXD break; value 1 = break set
    Data,  ///< parallel data register; value = the byte written
};

/// One write the PC made to the control lines, as the hardware sees it.
struct LineEvent {
    LineId line = LineId::DTR;
    std::uint8_t value = 0;  ///< 0/1 for DTR, RTS, Break; 0 to 255 for Data
    std::int64_t timeNs = 0; ///< steady-clock time of the write, nanoseconds
};

/// Anything that listens to the lines as they change: the chip decoder, the simulated receiver.
class LineEventSink {
public:
    virtual ~LineEventSink() = default;
    virtual void lineChanged(const LineEvent& event) = 0;
};

/// Why a port did not open.
enum class PortFault {
    None,
    NotFound,     ///< no such device (ENOENT, ENODEV, ENXIO) or no device for the port number
    Permission,   ///< EACCES / EPERM
    Busy,         ///< another program has the port (EBUSY, TIOCEXCL, an flock)
    NotSerial,    ///< the device is not a serial port (ENOTTY) or not a parallel port
    NoModemLines, ///< a tty without modem-control lines (a pseudo-terminal)
    Io,           ///< any other failure (EIO from a port with no hardware behind it, ...)
};

struct PortError {
    PortFault fault = PortFault::None;
    std::string text; ///< what failed and why, naming the device, for the user
};

/// An open serial port seen as individually switchable lines. Each call is one line change
/// (an ioctl on a real port) and returns false when it failed; lastError() says why.
class SerialLines {
public:
    virtual ~SerialLines() = default;
    virtual bool setDTR(bool asserted) = 0;
    virtual bool setRTS(bool asserted) = 0;
    virtual bool setBreak(bool set) = 0;
    /// CTS and DSR as a thread follows them (the shaft encoder's inputs), valid while the port
    /// is open; nullptr when the port has no such inputs to follow.
    virtual ModemLineSource* modemLines() { return nullptr; }
    /// The device path, e.g. "/dev/ttyUSB0".
    virtual const std::string& device() const = 0;
    virtual const std::string& lastError() const = 0;
};

/// An open parallel port's data register.
class ParallelLines {
public:
    virtual ~ParallelLines() = default;
    /// Writes one byte to the data lines; false when it failed.
    virtual bool writeData(std::uint8_t value) = 0;
    virtual const std::string& device() const = 0;
    virtual const std::string& lastError() const = 0;
};

/// Opens ports. The DDS controller asks its provider for a port by device path; real Linux
/// ports, the recorder and the simulated receiver are providers.
class PortProvider {
public:
    virtual ~PortProvider() = default;
    /// Opens a serial port with no handshaking, DTR and RTS released and no break; nullptr
    /// with `error` filled when it cannot be used.
    virtual std::unique_ptr<SerialLines> openSerial(const std::string& device,
                                                    PortError& error) = 0;
    /// Opens and claims a parallel port; nullptr with `error` filled on failure.
    virtual std::unique_ptr<ParallelLines> openParallel(const std::string& device,
                                                        PortError& error) = 0;
};

} // namespace orvex
