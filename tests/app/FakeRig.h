// A receiver for the rigctl server's tests: plain state behind the RigControl interface, with
// counts of the calls that change it.
#pragma once

#include "app/RigControl.h"

namespace orvex::testutil {

class FakeRig : public app::RigControl {
public:
    double FrequencyHz() const override { return frequencyHz; }
    bool setFrequencyHz(double hz) override {
        if (hz < MinFrequencyHz() || hz > MaxFrequencyHz()) return false;
        frequencyHz = hz;
        ++tuneCalls;
        return true;
    }
    double MinFrequencyHz() const override { return 10000.0; }
    double MaxFrequencyHz() const override { return 30000000.0; }
    std::int32_t DemodMode() const override { return mode; }
    void setDemodMode(std::int32_t m) override {
        mode = m;
        ++modeCalls;
    }
    std::int32_t PassbandHz() const override { return passbandHz; }
    bool setPassbandHz(std::int32_t hz) override {
        if (hz < 100 || hz > 6000) return false;
        passbandHz = hz;
        return true;
    }
    double StrengthDbOverS9() const override { return strengthDb; }
    double AfLevel() const override { return afLevel; }
    void setAfLevel(double level) override { afLevel = level; }
    bool Busy() const override { return busy; }
    bool PowerOn() const override { return power; }
    bool setPowerOn(bool on) override {
        if (on && powerFails) return false;
        power = on;
        return true;
    }

    double frequencyHz = 6015000.0;
    std::int32_t mode = 0;
    std::int32_t passbandHz = 4950;
    double strengthDb = -12.4;
    double afLevel = 0.5;
    bool power = true;
    bool busy = false;
    bool powerFails = false; ///< switching on fails (a sound device that will not open)
    int tuneCalls = 0;
    int modeCalls = 0;
};

} // namespace orvex::testutil
