#include "TuningKnob.h"

#include "ad9951.h"

namespace orvex {

void TuningKnob::dialtuner_Change() {
    if (m_busy) return;
    m_busy = true;
    double step = TuneRateLocked ? m_vfo.TuneStep() : 0.0001; // 100 Hz when unlocked
    const int d = m_position - m_lastPosition;
    m_lastPosition = m_position;
    if (d < 0)
        m_vfo.Dec_Freq(step);
    else if (d > 0)
        m_vfo.Inc_Freq(step);
    m_busy = false;
}

} // namespace orvex
