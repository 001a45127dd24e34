// The statistics and the S-meter: the statistics panel's figures (peak in and out, AGC gain,
// the LO, the load and the block time) refreshed after each block while the statistics run,
// their switch, and the meter the chain draws on (the window's engine) with its zero button.
//
// Runs on the user-interface thread; the statistics panel shows view() and repaints on
// changed(), the meter's panel on meterChanged() (after every block).
#pragma once

#include "app/LifeCycle.h"
#include "core/Colours.h"
#include "dsp/ReceiveState.h"

#include <QObject>
#include <array>
#include <string>

namespace orvex {
class MeterDisplay;
}

namespace orvex::app {

class RadioSession;

/// What the statistics panel shows (lblStatsVal 0 peak in, 1 peak out, 2 AGC gain, 3 LO,
/// 4 load, 5 block time).
struct StatsView {
    std::array<std::string, 6> lblStatsVal;
    PanelColour CPUColour = kColourGreen;
};

class StatsController final : public QObject {
    Q_OBJECT
public:
    StatsController(RadioSession& session, const LifeCycle& life);

    /// "Form_Load : Draw SMeter": the window's meter, which the chain draws on (may be null).
    void attachMeter(MeterDisplay* meter);
    /// Lets go of the meter (before it goes).
    void detachMeter();

    const StatsView& view() const { return m_view; }
    /// The chain's state: the statistics' switch (chkPerfStatsOn) and whether they run.
    const ReceiveState& state() const;
    /// The statistics' switch.
    void setPerfStats(bool on);
    /// "ZeroS": the present level becomes the meter's zero.
    void zeroMeter();
    /// The LO figure of the tuning (refreshed with the readout).
    void setLOText(const std::string& text);
    /// After each block's statistics run: the figures, then the meter.
    void statisticsUpdated();
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();
    void meterChanged();

private:
    void updateTexts();
    RadioSession& m_session;
    const LifeCycle& m_life;
    StatsView m_view;
};

} // namespace orvex::app
