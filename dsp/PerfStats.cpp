// The statistics timer that runs once after every block: meter, statistics, filter rebuild,
// dynamic filter and automatic notch, in that order.
#include "OrvexVector.h"
#include "ReceiveChain.h"
#include "core/Format.h"
#include "core/Numeric.h"
#include "core/YieldHook.h"

#include <cstdlib>

namespace orvex {

void ReceiveChain::chkPerfStatsOn_Click() {
    m_s.PerfStatsOn = m_s.chkPerfStatsOn.Value;
}

void ReceiveChain::cmdCalibrateSMeter_Click() {
    if (!m_s.MeterZeroRequest) m_s.MeterZeroRequest = true;
}

void ReceiveChain::tmrPerfStats_Timer() {
    auto& s = m_s;
    if (m_statsBusy) return;
    m_statsBusy = true;

    double level = 0.0;
    for (float p : s.SMeterPower)
        level += p;
    level /= static_cast<double>(s.SMeterPower.size());
    if (s.MeterZeroRequest) {
        s.MeterZeroRequest = false;
        s.MeterReference = level;
        if (m_meter)
            m_meter->setMeterToolTip("Meter Backoff=" +
                                     FormatNumber(20.0 * Log10Abs(s.MeterReference), "#0.00 dB"));
    }
    if (level - s.MeterReference < 1.1) level = s.MeterReference + 1.1;
    s.MeterLevel = level - s.MeterReference;
    if (m_meter) m_meter->DrawSMeter(s.MeterLevel);

    if (s.PerfStatsOn) {
        constexpr double n = kStatsRingSize;
        s.AvgPeakIn = dll::Sum_Int16_1(s.InPeakRing.data(), kStatsRingSize) / n;
        s.AvgPeakOut = dll::Sum_Int16_1(s.OutPeakRing.data(), kStatsRingSize) / n;
        s.AvgBlockTime = dll::Sum_Int32_1(s.BlockTimeRing.data(), kStatsRingSize) / n;
        s.AvgLoad = s.AvgBlockTime / 1000000.0 / kBlockPeriod;
    }

    // Audio keeps priority: wait until no block is in progress.
    YieldToUser();
    waitForBlock();
    if (s.FiltersChanged) {
        s.FiltersChanged = false;
        RebuildFilters();
        YieldToUser();
        waitForBlock();
    }
    dynamicTracking();
    m_statsBusy = false;
}

void ReceiveChain::computePeakFreq() {
    auto& s = m_s;
    // Average of the strongest-bin history, counted from the audio band's first bin.
    constexpr std::int32_t u = kPeakBinHistoryUpper;
    double sum = 0.0;
    for (std::int32_t k = 0; k < u; ++k)
        sum += s.PeakBinHistory[static_cast<std::size_t>(k)];
    const std::int32_t b = std::max(1, RoundHalfEven32(m_NotchFilter.HzPerBin));
    const std::int32_t bin = RoundHalfEven32(sum) / u + s.FilterLo / b;
    s.PeakFreq = (m_NotchFilter.FSampling / 2) * bin / m_NotchFilter.Points;
}

void ReceiveChain::dynamicTracking() {
    auto& s = m_s;
    const bool track = s.DynFilterOn || s.NotchMode == 1;
    if (track) computePeakFreq();

    // Dynamic filter: follow the peak, but only within the band FilterLo..FilterHi.
    if (s.DynFilterOn && std::abs(s.PeakFreq - s.DynCentre) > 100) {
        const std::int32_t d = s.PeakFreq - s.DynCentre;
        m_AFFilter.FHigh += d;
        m_AFFilter.FLow += d;
        if (m_AFFilter.Active) {
            const std::int32_t hiFloor = RoundHalfEven32(s.FilterHi - 0.2 * s.FilterWidth);
            const std::int32_t loCeiling = RoundHalfEven32(s.FilterLo + 0.1 * s.FilterWidth);
            m_AFFilter.FHigh = std::min(std::max(m_AFFilter.FHigh, hiFloor), s.FilterHi);
            m_AFFilter.FLow = std::max(std::min(m_AFFilter.FLow, loCeiling), s.FilterLo);
        }
        m_AFFilter.MakeFilter();
        YieldToUser();
        waitForBlock();
        s.DynCentre = s.PeakFreq;
    }

    // Automatic notch: put the notch on the peak; redesign only when it has moved by more
    // than an eighth of the notch width.
    if (track) {
        s.NotchCentre = s.PeakFreq;
        s.lblNotch = FormatNumber(s.PeakFreq, "###0");
        s.sldNotch.ToolTip = "Fcentre : " + FormatNumber(s.PeakFreq, "#,###0 Hz");
    }
    if (m_NotchFilter.Active && s.NotchMode == 1) {
        s.NotchLo = s.NotchCentre - s.NotchWidth / 2;
        s.NotchHi = s.NotchCentre + s.NotchWidth / 2;
        if (std::abs(s.NotchCentre - s.NotchAppliedCentre) > s.NotchWidth / 8)
            s.NotchChanged = true;
    }
    if (s.NotchChanged) {
        s.NotchChanged = false;
        if (s.NotchMode == 0 || s.NotchMode == 1) {
            m_NotchFilter.FLow = s.NotchLo;
            m_NotchFilter.FHigh = s.NotchHi;
            m_NotchFilter.MakeFilter();
            ++m_notchRedesigns;
        }
        s.NotchAppliedCentre = s.NotchCentre;
    }
}

} // namespace orvex
