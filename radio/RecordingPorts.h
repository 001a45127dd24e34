// A port provider that records every line change, for tests, the command-line tool's dry run
// and the simulated receiver.
//
// Each write to a recorded port becomes a LineEvent with a steady-clock time stamp, kept in
// events() and handed at once to an optional LineEventSink (a LineDecoder, or the simulated
// receiver tuning its oscillator). With a forwarding provider the recorder sits in front of a
// real port: the port is opened through it and every change goes to both ("tee").
#pragma once

#include "LineDriver.h"
#include "ModemLines.h"

#include <vector>

namespace orvex {

class RecordingPorts final : public PortProvider {
public:
    /// `forward`: real ports to drive as well (nullptr: record only). `sink`: told of every
    /// change as it happens. Both must outlive the ports opened here.
    explicit RecordingPorts(PortProvider* forward = nullptr, LineEventSink* sink = nullptr)
        : m_forward(forward), m_sink(sink) {}

    std::unique_ptr<SerialLines> openSerial(const std::string& device, PortError& error) override;
    std::unique_ptr<ParallelLines> openParallel(const std::string& device,
                                                PortError& error) override;

    /// Every line change, in order, since creation or the last clear().
    const std::vector<LineEvent>& events() const { return m_events; }
    void clear() { m_events.clear(); }
    /// Whether events() keeps the changes (a live listener may not need them kept).
    void setKeepEvents(bool keep) { m_keepEvents = keep; }
    void setSink(LineEventSink* sink) { m_sink = sink; }

    /// CTS and DSR of the recorded serial ports (the shaft encoder's inputs), which a test
    /// sets and a watcher follows; a forwarding provider's ports give the real port's instead.
    SoftModemLines& modemLines() { return m_modemLines; }

    /// The next openSerial/openParallel fails with this error (one shot).
    void failNextOpen(PortError error) { m_nextError = std::move(error); }
    /// From now on every line change fails (a USB adapter pulled out mid-run).
    void setLinesFail(bool fail) { m_linesFail = fail; }

    /// Number of serial and parallel ports opened and still open.
    int openSerialCount() const { return m_openSerial; }
    int openParallelCount() const { return m_openParallel; }
    /// Device path of the last port opened.
    const std::string& lastDevice() const { return m_lastDevice; }

private:
    friend class RecordedSerialLines;
    friend class RecordedParallelLines;
    void record(LineId line, std::uint8_t value);

    PortProvider* m_forward;
    LineEventSink* m_sink;
    std::vector<LineEvent> m_events;
    SoftModemLines m_modemLines{"recorded port"};
    bool m_linesFail = false;
    bool m_keepEvents = true;
    /// Records the device asked for and hands out the one-shot failure, if one is set.
    bool takeInjectedError(const std::string& device, PortError& error);

    PortError m_nextError;
    int m_openSerial = 0;
    int m_openParallel = 0;
    std::string m_lastDevice;
};

} // namespace orvex
