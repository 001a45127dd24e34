#include "ShaftEncoder.h"

#include "ModemLineWatcher.h"
#include "TuningKnob.h"
#include "ad9951.h"
#include "core/Numeric.h"

namespace orvex {
namespace {

int StateOf(bool cts, bool dsr) {
    return (cts ? 0 : 1) + (dsr ? 0 : 2);
}

} // namespace

ShaftEncoder::ShaftEncoder(ad9951& vfo, TuningKnob& knob) : m_vfo(vfo), m_knob(knob) {}

void ShaftEncoder::modemChanged(const ModemChange& change) {
    if (!EnableShaftEncoder) {
        m_started = false; // enabled again: decoding starts from the next Start record
        return;
    }
    const int s = StateOf(change.cts, change.dsr);
    if (change.kind == ModemChange::Kind::Start) {
        m_previous = s;
        m_lastTransitionNs = change.timeNs;
        m_started = true;
        return;
    }
    if (change.kind != ModemChange::Kind::Lines || !m_started) return;
    const std::uint64_t changes = static_cast<std::uint64_t>(change.ctsChanges) + change.dsrChanges;
    if (changes == 0) return;
    m_code = 4 * m_previous + s;
    m_previous = s;
    if (changes > 1) {
        // Several changes between two reads: their order, and so their direction, is
        // unknown. Counted, never guessed.
        m_uncounted += changes;
        m_lastTransitionNs = change.timeNs;
        return;
    }
    switch (m_code) {
    case 1:
    case 7:
    case 8:
    case 14:
        takeStep(-1, change.timeNs);
        break;
    case 2:
    case 4:
    case 11:
    case 13:
        takeStep(1, change.timeNs);
        break;
    default: // one change that left the state where it was cannot come from a real read
        m_uncounted += changes;
        break;
    }
}

void ShaftEncoder::takeStep(int direction, std::int64_t timeNs) {
    ++(direction > 0 ? m_stepsUp : m_stepsDown);
    if (ShaftAutoRate) {
        EncoderDownCount = direction < 0 ? 1 : 0;
        EncoderUpCount = direction > 0 ? 1 : 0;
        ChooseRate(timeNs);
    } else {
        m_lastTransitionNs = timeNs;
        m_knob.setPosition(m_knob.Position() + direction);
    }
}

void ShaftEncoder::ChooseRate(std::int64_t timeNs) {
    const double micros = static_cast<double>(timeNs - m_lastTransitionNs) / 1000.0;
    m_lastTransitionNs = timeNs;

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
