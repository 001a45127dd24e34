#include "ShaftEncoder.h"

#include "TuningKnob.h"
#include "ad9951.h"
#include "core/Numeric.h"
#include "core/Profiler.h"

namespace orvex {
namespace {

int StateOf(const ModemStatus& s) {
    return (s.cts ? 0 : 1) + (s.dsr ? 0 : 2);
}

} // namespace

ShaftEncoder::ShaftEncoder(ad9951& vfo, TuningKnob& knob)
    : m_vfo(vfo), m_knob(knob), m_now(&Profiler::Now), m_lastTransitionNs(m_now()) {}

void ShaftEncoder::setClock(std::function<std::int64_t()> nowNs) {
    m_now = std::move(nowNs);
    m_lastTransitionNs = m_now();
}

void ShaftEncoder::Poll() {
    SerialLines* port = m_vfo.Lines().SerialPort();
    if (!EnableShaftEncoder || port == nullptr) {
        m_primed = false;
        return;
    }
    if (port != m_polledPort || !m_primed) {
        // A new port, or the encoder just enabled: take the lines' state as the starting
        // point, so the first poll is not mistaken for a turn.
        ModemStatus status;
        if (!port->readModemStatus(status)) return;
        m_polledPort = port;
        m_previous = StateOf(status);
        const auto count = port->modemChangeCount();
        m_haveCount = count.has_value();
        m_lastCount = count.value_or(0);
        m_primed = true;
        return;
    }
    if (m_haveCount) {
        const auto count = port->modemChangeCount();
        if (count && *count == m_lastCount) return; // nothing moved since the last poll
        m_lastCount = count.value_or(m_lastCount);
        m_haveCount = count.has_value();
    }
    OnModemStatusChange();
}

void ShaftEncoder::OnModemStatusChange() {
    if (!EnableShaftEncoder) return;
    SerialLines* port = m_vfo.Lines().SerialPort();
    if (port == nullptr) return;
    ModemStatus status;
    if (!port->readModemStatus(status)) return;
    const int s = StateOf(status);
    if (s == m_previous) return;
    m_code = 4 * m_previous + s;
    m_previous = s;

    int direction = 0;
    switch (m_code) {
    case 1:
    case 7:
    case 8:
    case 14:
        direction = -1;
        break;
    case 2:
    case 4:
    case 11:
    case 13:
        direction = 1;
        break;
    default:
        return; // a skipped state: direction unknown
    }
    if (ShaftAutoRate) {
        EncoderDownCount = direction < 0 ? 1 : 0;
        EncoderUpCount = direction > 0 ? 1 : 0;
        ChooseRate();
    } else {
        m_knob.setPosition(m_knob.Position() + direction);
    }
}

void ShaftEncoder::ChooseRate() {
    const std::int64_t now = m_now();
    const double micros = static_cast<double>(now - m_lastTransitionNs) / 1000.0;
    m_lastTransitionNs = now;

    for (std::size_t i = m_history.size() - 1; i > 0; --i)
        m_history[i] = m_history[i - 1];
    m_history[0] = RoundHalfEven(micros * 10000.0);

    std::int64_t sum = 0; // 64-bit: long pauses between turns cannot overflow it
    for (std::size_t i = 0; i < 5; ++i)
        sum += m_history[i];
    const std::int64_t a = RoundHalfEven(static_cast<double>(sum) / 10000.0) / 5;

    const double base = kAutoRateBase;
    double step = base / 1000.0;
    double grid = base / 1000.0;
    if (a >= 0 && a <= 999) {
        step = base;
        grid = base;
    } else if (a >= 1000 && a <= 4999) {
        step = base / 2.0;
        grid = base / 10.0;
    } else if (a >= 5000 && a <= 5999) {
        step = base / 10.0;
        grid = base / 10.0;
    } else if (a >= 6000 && a <= 6999) {
        step = base / 20.0;
        grid = base / 10.0;
    } else if (a >= 7000 && a <= 7999) {
        step = base / 40.0;
        grid = base / 10.0;
    } else if (a >= 8000 && a <= 8999) {
        step = base / 80.0;
        grid = base / 100.0;
    } else if (a >= 9000 && a <= 12000) {
        step = base / 100.0;
        grid = base / 100.0;
    }
    m_vfo.setTuneStep(step);
    m_vfo.setTuneStepLSD(grid);
}

void ShaftEncoder::tmrShaft_Timer() {
    Poll();
    if (EncoderUpCount > 0) {
        m_vfo.Inc_Freq(EncoderUpCount * m_vfo.TuneStep());
        EncoderUpCount = 0;
    }
    if (EncoderDownCount > 0) {
        m_vfo.Dec_Freq(EncoderDownCount * m_vfo.TuneStep());
        EncoderDownCount = 0;
    }
}

} // namespace orvex
