#include "RsOutputs.h"

#include "core/MessageSink.h"
#include "core/Profiler.h"
#include "core/YieldHook.h"

#include <time.h>

namespace orvex {

RsOutputs::RsOutputs(PortProvider& ports) : m_ports(ports) {}

RsOutputs::~RsOutputs() {
    closeSerial();
}

bool RsOutputs::ComOpen(const std::string& device) {
    closeSerial();
    m_faultReported = false;
    m_serial = m_ports.openSerial(device, m_openError);
    if (m_serial && m_serialHook) m_serialHook(m_serial.get());
    return m_serial != nullptr;
}

void RsOutputs::ComClose() {
    closeSerial();
}

void RsOutputs::closeSerial() {
    if (!m_serial) return;
    if (m_serialHook) m_serialHook(nullptr);
    m_serial.reset();
}

bool RsOutputs::serialLine(LineId line, int level) {
    if (!m_serial) return false;
    const bool on = level == 1;
    const bool ok = line == LineId::DTR   ? m_serial->setDTR(on)
                    : line == LineId::RTS ? m_serial->setRTS(on)
                                          : m_serial->setBreak(on);
    if (!ok) lineFault(m_serial->lastError());
    return ok;
}

bool RsOutputs::SetDTR(int level) {
    return serialLine(LineId::DTR, level);
}
bool RsOutputs::SetRTS(int level) {
    return serialLine(LineId::RTS, level);
}
bool RsOutputs::SetBreak(int level) {
    return serialLine(LineId::Break, level);
}

// A port that opened but stops taking line changes (a USB adapter pulled out) is reported
// once; the transfer goes on without effect, as a missing port does.
void RsOutputs::lineFault(const std::string& text) {
    ++m_lineFaults;
    if (m_faultReported) return;
    m_faultReported = true;
    ShowMessage("The synthesiser's control lines cannot be driven: " + text,
                MessageIcon::Exclamation);
}

void RsOutputs::SerialSendByte(std::uint8_t b) {
    for (int bit = 7; bit >= 0; --bit) {
        SetRTS(((b >> bit) & 1) != 0 ? 0 : 1); // data inverted: a 1 releases RTS
        SetBreak(1);
        BitWait();
        SetBreak(0);
        BitWait();
    }
}

void RsOutputs::SerialSendWord(std::uint16_t w) {
    SetBreak(0);
    BitWait();
    SetDTR(1);
    BitWait();
    for (int bit = 15; bit >= 0; --bit) {
        SetRTS(((w >> bit) & 1) != 0 ? 0 : 1);
        BitWait();
        SetBreak(1);
        BitWait();
        SetBreak(0);
        BitWait();
        BitWait();
    }
    BitWait();
    SetDTR(0);
    BitWait();
}

bool RsOutputs::ParallelPortOpen(const std::string& device) {
    m_parallel.reset();
    m_faultReported = false;
    m_parallel = m_ports.openParallel(device, m_openError);
    return m_parallel != nullptr;
}

void RsOutputs::ParallelPortClose() {
    m_parallel.reset();
}

void RsOutputs::Out32(std::uint8_t value) {
    if (m_parallel && !m_parallel->writeData(value)) lineFault(m_parallel->lastError());
}

void RsOutputs::ParallelSendWord(std::uint16_t w) {
    const auto write = [this](std::uint8_t v) {
        Out32(v);
        BitWait();
    };
    write(0);
    write(4);
    for (int bit = 15; bit >= 0; --bit) {
        if (((w >> bit) & 1) != 0) {
            write(4);
            write(6);
            write(4);
        } else {
            write(5);
            write(7);
            write(5);
        }
    }
    write(4);
}

bool RsOutputs::InitBitTiming() {
    m_bitPeriodNs = kBitPeriodNs;
    timespec res{};
    if (::clock_getres(CLOCK_MONOTONIC, &res) != 0 || res.tv_sec != 0 || res.tv_nsec > 1000) {
        ShowMessage("Your hardware doesn't support a high-resolution performance counter!",
                    MessageIcon::Information);
        return false;
    }
    return true;
}

void RsOutputs::BitWait() {
    const std::int64_t target = Profiler::Now() + m_bitPeriodNs;
    do {
        YieldToUser();
    } while (Profiler::Now() < target);
    ++m_bitWaits;
}

} // namespace orvex
