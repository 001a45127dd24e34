#include "StatsController.h"

#include "app/RadioSession.h"
#include "core/Format.h"
#include "core/Numeric.h"

namespace orvex::app {

StatsController::StatsController(RadioSession& session, const LifeCycle& life)
    : m_session(session), m_life(life) {}

void StatsController::attachMeter(MeterDisplay* meter) {
    m_session.attachMeter(meter);
}

void StatsController::detachMeter() {
    m_session.attachMeter(nullptr);
}

const ReceiveState& StatsController::state() const {
    return m_session.state();
}

void StatsController::setPerfStats(bool on) {
    if (m_life.unloaded) return;
    m_session.setCheck(ChainCheck::PerfStats, on);
    Q_EMIT changed();
}

void StatsController::zeroMeter() {
    if (!m_life.unloaded) m_session.zeroMeter();
}

void StatsController::setLOText(const std::string& text) {
    if (text == m_view.lblStatsVal[3]) return;
    m_view.lblStatsVal[3] = text;
    Q_EMIT changed();
}

void StatsController::statisticsUpdated() {
    if (m_life.unloaded) return;
    if (m_session.state().PerfStatsOn) {
        updateTexts();
        Q_EMIT changed();
    }
    Q_EMIT meterChanged();
}

void StatsController::updateTexts() {
    const ReceiveState& s = m_session.state();
    auto peak = [](double average) {
        return FormatNumber(average, "##,##0  ") +
               FormatNumber(20.0 * Log10Abs(average / 32767.0), "###,##0 dB");
    };
    m_view.lblStatsVal[0] = peak(s.AvgPeakIn);
    m_view.lblStatsVal[1] = peak(s.AvgPeakOut);
    m_view.lblStatsVal[2] =
        FormatNumber(s.AGCGain, "#0.00  ") + FormatNumber(20.0 * Log10Abs(s.AGCGain), "#0.0 dB");
    m_view.lblStatsVal[4] = FormatNumber(s.AvgLoad, "#0%");
    m_view.CPUColour = s.AvgLoad > 0.9 ? kColourRed : kColourGreen;
    m_view.lblStatsVal[5] = FormatNumber(s.AvgBlockTime, "#,##0 uS");
}

} // namespace orvex::app
