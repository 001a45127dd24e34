// The tuning area of the window: the frequency readout (its digits choose and lock the tuning
// step), keyboard tuning over it, the zeroing buttons, the tuning-rate captions, the knob, the
// dial-rate presets, the typed frequency entry, the shaft encoder's options and the work of
// tmrTune, tmrVFOUpdate and tmrShaft. The readout shows the model (app/TuningModel.h); every
// tuning goes through the DDS controller, and tuning from elsewhere (a preset, a click on the
// spectrum, a remote client) reaches the readout through RadioSession::tuned().
//
// Runs on the user-interface thread; the frequency panel shows model() and repaints on
// changed().
#pragma once

#include "app/LifeCycle.h"
#include "app/TuningModel.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvex::app {

class RadioSession;
class ValuesController;

class TuningController final : public QObject {
    Q_OBJECT
public:
    TuningController(RadioSession& session, ValuesController& values, const LifeCycle& life);
    ~TuningController() override;

    /// "Form_Load : Initialising VFO1": the knob, the encoder and the readout over the DDS
    /// controller the session has made; the readout shows the tuned frequency.
    void start();
    bool started() const { return m_model != nullptr; }
    const TuningModel& model() const { return *m_model; }

    // ---- the readout -------------------------------------------------------------------------
    void digitHover(std::int32_t i);
    void digitClick(std::int32_t i);
    void digitDoubleClick(std::int32_t i);
    /// The "VFO Control" menu's item on digit `digit`.
    void vfoMenu(std::int32_t digit, std::int32_t item);
    void lblTuningRate_Click();
    void picTuneDial_Click();
    /// The pointer over the readout's background: the wheel target is cleared.
    void readoutHover();
    void readoutKeyPress(std::int32_t keyCode);
    void readoutKeyRelease();
    void readoutMouseUp(bool leftButton);
    void lblScale_Click(std::int32_t k);
    /// The knob moved to `position` (an unbounded count of detents).
    void knobChanged(std::int32_t position);
    /// The knob's position, which the knob on screen and the shaft encoder both move.
    std::int32_t knobPosition() const;
    /// Tunes to `mhz` (typed entry). False, with the reason, when it is outside what the
    /// synthesiser can reach; nothing changes then.
    bool tuneTo(double mhz, std::string* why = nullptr);
    /// Lowest and highest frequency the synthesiser can be tuned to now, MHz.
    double minMHz() const { return 0.0; }
    double maxTunableMHz() const;
    /// Shows the frequency the DDS controller is tuned to (after the configuration changed).
    void showTunedFreq();

    // ---- the timers' work --------------------------------------------------------------------
    void tmrTune_Timer();
    /// The periodic refresh; returns the interval to use next, ms.
    std::int32_t tmrVFOUpdate_Timer();
    void tmrShaft_Timer();
    /// tmrTune's interval, ms (20 once the keyboard has been used).
    std::int32_t tuneInterval() const;

    // ---- options -----------------------------------------------------------------------------
    bool enableShaftEncoder() const { return m_enableShaftEncoder; }
    void setEnableShaftEncoder(bool on);
    bool shaftAutoRate() const { return m_shaftAutoRate; }
    void setShaftAutoRate(bool on);
    bool autoDDSRefresh() const;
    void setAutoDDSRefresh(bool on);
    /// The last tuned frequency the settings held, MHz (nothing else reads it).
    double lastTunedFrequency() const { return m_lastTunedFrequency; }
    void setLastTunedFrequency(double mhz) { m_lastTunedFrequency = mhz; }

Q_SIGNALS:
    /// The readout, the rate captions or the knob changed.
    void changed();
    /// tmrTune should run at this interval from now, ms.
    void tuneIntervalChanged(int ms);

private:
    void noteInterval();
    bool ready() const { return m_model != nullptr && !m_life.unloaded; }

    RadioSession& m_session;
    ValuesController& m_values;
    const LifeCycle& m_life;
    std::unique_ptr<TuningModel> m_model;
    bool m_enableShaftEncoder = false;
    bool m_shaftAutoRate = false;
    bool m_autoDDSRefresh = false;
    double m_lastTunedFrequency = 0.0;
    std::int32_t m_interval = 50;
};

} // namespace orvex::app
