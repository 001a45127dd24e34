// The receiver as a remote-control client sees it: RigControl over the receiver's one wiring
// (RadioSession), shared by the window's core and `orvexsdr-cli listen`.
//
// Without hooks it acts on the session itself: the DDS controller tunes, the chain's mode
// buttons and filter labels change, and power is streaming on or off. The window's core sets
// hooks so that a client's change goes exactly where the front panel's own would (the
// readout follows, the panels repaint).
#pragma once

#include "app/RigControl.h"

#include <cstdint>
#include <functional>
#include <string>

namespace orvex::app {

class RadioSession;

class SessionRig final : public RigControl {
public:
    struct Hooks {
        /// Tunes to mhz (already range-checked); empty: the DDS controller's setTunedFreq.
        std::function<void(double mhz)> tune;
        /// Selects mode 0..5; empty: the chain's mode button.
        std::function<void(std::int32_t mode)> selectMode;
        /// The power switch; empty: streaming on or off.
        std::function<bool()> powerOn;
        std::function<bool(bool on)> setPowerOn;
        /// Called after a client changed the filter edges or the output level.
        std::function<void()> chainChanged;
    };

    explicit SessionRig(RadioSession& session, Hooks hooks = {});

    double FrequencyHz() const override;
    bool setFrequencyHz(double hz) override;
    double MinFrequencyHz() const override { return 0.0; }
    double MaxFrequencyHz() const override;

    std::int32_t DemodMode() const override;
    void setDemodMode(std::int32_t mode) override;

    std::int32_t PassbandHz() const override;
    /// Keeps the low edge and moves the high one; a pass band wider than the filter's range
    /// takes the whole range, and one that would pass the top moves the low edge down.
    bool setPassbandHz(std::int32_t hz) override;

    double StrengthDbOverS9() const override;

    /// The output level control's whole range (-100 dB attenuation to +19 dB gain) as 0..1.
    double AfLevel() const override;
    void setAfLevel(double level) override;

    /// The DDS controller is sending (a tuning step from the front panel in progress).
    bool Busy() const override;

    bool PowerOn() const override;
    bool setPowerOn(bool on) override;

    /// Why the last setPowerOn(true) without a hook could not start streaming; empty if it did.
    const std::string& powerError() const { return m_powerError; }

private:
    RadioSession& m_session;
    Hooks m_hooks;
    std::string m_powerError;
};

} // namespace orvex::app
