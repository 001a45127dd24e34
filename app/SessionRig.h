// The receiver as a remote-control client sees it: RigControl over the receiver's verbs
// (RadioSession), shared by the window's core and `orvexsdr-cli listen`. A client's change
// goes through the same verb a front-panel control uses, so every view of the receiver
// follows it.
//
// Power is the one thing the window does more about than the session (priority, the power
// buttons, recordings): the window's core gives its own power switch as hooks; without hooks,
// power is the session's own On and Off.
#pragma once

#include "app/RigControl.h"

#include <cstdint>
#include <functional>
#include <string>

namespace orvex::app {

class RadioSession;

class SessionRig final : public RigControl {
public:
    struct PowerHooks {
        std::function<bool()> powerOn;
        std::function<bool(bool on)> setPowerOn;
    };

    explicit SessionRig(RadioSession& session, PowerHooks hooks = {});

    double FrequencyHz() const override;
    bool setFrequencyHz(double hz) override;
    double MinFrequencyHz() const override { return 0.0; }
    double MaxFrequencyHz() const override;

    std::int32_t DemodMode() const override;
    void setDemodMode(std::int32_t mode) override;

    std::int32_t PassbandHz() const override;
    bool setPassbandHz(std::int32_t hz) override;

    double StrengthDbOverS9() const override;

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
    PowerHooks m_hooks;
    std::string m_powerError;
};

} // namespace orvex::app
