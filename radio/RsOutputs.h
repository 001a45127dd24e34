// RsOutputs: bit-level output to the synthesiser over the control lines.
//
// Serial port wiring (the Brisko control cable):
//   DTR  frame / chip select: asserted for the length of a transfer
//   RTS  data, inverted: a 1 bit releases RTS, a 0 bit asserts it
//   TXD  clock, through the break state: break set = clock edge, break cleared = back at rest
// Parallel port (address 888, /dev/parport0), data register bits:
//   bit 0 (1)  data; inverted in the 16-bit word sender (set for a 0 bit), plain for the AD9850
//   bit 1 (2)  clock
//   bit 2 (4)  frame in the word sender, frequency update (FQ_UD) for the AD9850
//
// Every line change is followed by at least one bit period (1 / 230400 s, about 4.34 us)
// where the sequences below say so. A wait spins on the steady clock and lets pending window
// events run (YieldToUser) at least once, so the window stays alive during a transfer; the
// DDS controller's re-entrancy flags keep a second transfer from starting meanwhile.
//
// One object holds the process's one serial port and the parallel port; the DDS controller
// owns it. Not thread-safe: everything runs on the user-interface thread.
#pragma once

#include "LineDriver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvex {

/// One period of 230400 Hz in nanoseconds, rounded up so a wait is never shorter.
inline constexpr std::int64_t kBitPeriodNs = 4341;

class RsOutputs {
public:
    /// `ports` opens the devices (real ports, a recorder, the simulated receiver) and must
    /// outlive this object.
    explicit RsOutputs(PortProvider& ports);
    ~RsOutputs();
    RsOutputs(const RsOutputs&) = delete;
    RsOutputs& operator=(const RsOutputs&) = delete;

    // ---- serial port -------------------------------------------------------------------
    /// Opens the serial device (e.g. "/dev/ttyUSB0"), closing any port open before. True
    /// when open; otherwise LastOpenError() says why and no port is open.
    bool ComOpen(const std::string& device);
    /// Closes the serial port; afterwards no port is open (the handle does not linger).
    void ComClose();
    /// True while a serial port is open (a valid port handle is held).
    bool HasSerialPort() const { return m_serial != nullptr; }
    /// The open serial port, or nullptr.
    SerialLines* SerialPort() { return m_serial.get(); }
    /// Told of the serial port: with the port just after one opened, with nullptr just before
    /// it closes (while it is still open), so that a thread reading the port can end first.
    void setSerialPortHook(std::function<void(SerialLines*)> hook) {
        m_serialHook = std::move(hook);
    }

    /// Level 1 asserts, any other value releases. Without a port the call does nothing and
    /// returns false.
    bool SetDTR(int level);
    bool SetRTS(int level);
    bool SetBreak(int level);

    /// Eight bits, most significant first, on RTS (data) and the TXD break (clock). The
    /// caller frames the bytes with DTR.
    void SerialSendByte(std::uint8_t b);
    /// Sixteen bits, most significant first, framed by DTR (the AD9835 word on serial lines).
    void SerialSendWord(std::uint16_t w);

    // ---- parallel port -----------------------------------------------------------------
    /// Opens and claims the parallel device (e.g. "/dev/parport0"). True when open;
    /// otherwise LastOpenError() says why.
    bool ParallelPortOpen(const std::string& device);
    void ParallelPortClose();
    bool HasParallelPort() const { return m_parallel != nullptr; }
    /// Writes one byte to the data register (Out32 to the port at address 888). Without an
    /// open parallel port nothing happens.
    void Out32(std::uint8_t value);
    /// Sixteen bits, most significant first, on the parallel port (the AD9835 word).
    void ParallelSendWord(std::uint16_t w);

    /// Line changes that failed on an open port since creation.
    std::uint64_t LineFaults() const { return m_lineFaults; }
    /// Why the last ComOpen or ParallelPortOpen failed.
    const PortError& LastOpenError() const { return m_openError; }

    // ---- bit timing --------------------------------------------------------------------
    /// Sets the bit period to one period of 230400 Hz. Shows "Your hardware doesn't support a
    /// high-resolution performance counter!" and returns false when the steady clock is
    /// coarser than a microsecond (the senders still run).
    bool InitBitTiming();
    /// Waits one bit period, letting window events run at least once.
    void BitWait();
    /// The bit period in nanoseconds (kBitPeriodNs after InitBitTiming). A simulation or a
    /// test may shorten it; 0 still yields once per wait.
    std::int64_t BitPeriodNs() const { return m_bitPeriodNs; }
    void setBitPeriodNs(std::int64_t ns) { m_bitPeriodNs = ns < 0 ? 0 : ns; }
    /// Waits made since creation.
    std::uint64_t BitWaitCount() const { return m_bitWaits; }

private:
    bool serialLine(LineId line, int level);
    void closeSerial();
    void lineFault(const std::string& text);

    PortProvider& m_ports;
    std::unique_ptr<SerialLines> m_serial;
    std::function<void(SerialLines*)> m_serialHook;
    std::unique_ptr<ParallelLines> m_parallel;
    PortError m_openError;
    bool m_faultReported = false;
    std::uint64_t m_lineFaults = 0;
    std::int64_t m_bitPeriodNs = kBitPeriodNs;
    std::uint64_t m_bitWaits = 0;
};

} // namespace orvex
