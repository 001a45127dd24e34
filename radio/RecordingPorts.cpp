#include "RecordingPorts.h"

#include "core/Profiler.h"

namespace orvex {

class RecordedSerialLines final : public SerialLines {
public:
    RecordedSerialLines(RecordingPorts& owner, std::string device,
                        std::unique_ptr<SerialLines> real)
        : m_owner(owner), m_device(std::move(device)), m_real(std::move(real)) {
        ++m_owner.m_openSerial;
    }
    ~RecordedSerialLines() override { --m_owner.m_openSerial; }

    bool setDTR(bool asserted) override { return change(LineId::DTR, asserted); }
    bool setRTS(bool asserted) override { return change(LineId::RTS, asserted); }
    bool setBreak(bool set) override { return change(LineId::Break, set); }
    ModemLineSource* modemLines() override {
        return m_real ? m_real->modemLines() : &m_owner.m_modemLines;
    }
    const std::string& device() const override { return m_device; }
    const std::string& lastError() const override { return m_lastError; }

private:
    bool change(LineId line, bool on) {
        if (m_owner.m_linesFail) return fail("cannot switch a line on " + m_device);
        bool ok = true;
        if (m_real) {
            ok = line == LineId::DTR   ? m_real->setDTR(on)
                 : line == LineId::RTS ? m_real->setRTS(on)
                                       : m_real->setBreak(on);
            if (!ok) return fail(m_real->lastError());
        }
        m_owner.record(line, on ? 1 : 0);
        return ok;
    }
    bool fail(const std::string& text) {
        m_lastError = text;
        return false;
    }

    RecordingPorts& m_owner;
    std::string m_device;
    std::unique_ptr<SerialLines> m_real;
    std::string m_lastError;
};

class RecordedParallelLines final : public ParallelLines {
public:
    RecordedParallelLines(RecordingPorts& owner, std::string device,
                          std::unique_ptr<ParallelLines> real)
        : m_owner(owner), m_device(std::move(device)), m_real(std::move(real)) {
        ++m_owner.m_openParallel;
    }
    ~RecordedParallelLines() override { --m_owner.m_openParallel; }

    bool writeData(std::uint8_t value) override {
        if (m_owner.m_linesFail) {
            m_lastError = "cannot write the data lines of " + m_device;
            return false;
        }
        if (m_real && !m_real->writeData(value)) {
            m_lastError = m_real->lastError();
            return false;
        }
        m_owner.record(LineId::Data, value);
        return true;
    }
    const std::string& device() const override { return m_device; }
    const std::string& lastError() const override { return m_lastError; }

private:
    RecordingPorts& m_owner;
    std::string m_device;
    std::unique_ptr<ParallelLines> m_real;
    std::string m_lastError;
};

bool RecordingPorts::takeInjectedError(const std::string& device, PortError& error) {
    error = {};
    m_lastDevice = device;
    if (m_nextError.fault == PortFault::None) return false;
    error = std::move(m_nextError);
    m_nextError = {};
    return true;
}

std::unique_ptr<SerialLines> RecordingPorts::openSerial(const std::string& device,
                                                        PortError& error) {
    if (takeInjectedError(device, error)) return nullptr;
    std::unique_ptr<SerialLines> real;
    if (m_forward) {
        real = m_forward->openSerial(device, error);
        if (!real) return nullptr;
    }
    return std::make_unique<RecordedSerialLines>(*this, device, std::move(real));
}

std::unique_ptr<ParallelLines> RecordingPorts::openParallel(const std::string& device,
                                                            PortError& error) {
    if (takeInjectedError(device, error)) return nullptr;
    std::unique_ptr<ParallelLines> real;
    if (m_forward) {
        real = m_forward->openParallel(device, error);
        if (!real) return nullptr;
    }
    return std::make_unique<RecordedParallelLines>(*this, device, std::move(real));
}

void RecordingPorts::record(LineId line, std::uint8_t value) {
    const LineEvent event{line, value, Profiler::Now()};
    if (m_keepEvents) m_events.push_back(event);
    if (m_sink) m_sink->lineChanged(event);
}

} // namespace orvex
