// What a remote-control client may see and change of the receiver. The application core
// implements it over the receive chain and the DDS controller; the rigctl server
// (app/RigctlServer.h) talks to the receiver only through it, and tests use a fake.
#pragma once

#include <cstdint>

namespace orvex::app {

class RigControl {
public:
    virtual ~RigControl() = default;

    /// The tuned frequency, Hz.
    virtual double FrequencyHz() const = 0;
    /// Tunes to hz through the DDS controller like any tuning step. False when hz is outside
    /// MinFrequencyHz()..MaxFrequencyHz(): nothing is changed then.
    virtual bool setFrequencyHz(double hz) = 0;
    /// The lowest and highest frequency setFrequencyHz accepts, Hz (they depend on the
    /// synthesiser clock and the IF). Advertised to clients at connection.
    virtual double MinFrequencyHz() const = 0;
    virtual double MaxFrequencyHz() const = 0;

    /// CurrentDemodMode: 0 AM, 1 USB, 2 LSB, 3 DRM, 4 FM, 5 BC.
    virtual std::int32_t DemodMode() const = 0;
    /// Selects mode 0..5 as the mode buttons do.
    virtual void setDemodMode(std::int32_t mode) = 0;

    /// The audio pass band, FilterHi - FilterLo, Hz.
    virtual std::int32_t PassbandHz() const = 0;
    /// Sets the audio filter edges for a pass band of hz (> 0). False: refused, nothing changed.
    virtual bool setPassbandHz(std::int32_t hz) = 0;

    /// Signal strength in dB relative to S9 (S9 = 0, S9+10 = 10, S8 = -6), from the S-meter.
    virtual double StrengthDbOverS9() const = 0;

    /// The output level, 0 (silent) to 1 (loudest).
    virtual double AfLevel() const = 0;
    virtual void setAfLevel(double level) = 0;

    /// True while the receiver cannot take a command without losing it (the synthesiser is
    /// being sent a word and lets the event loop run meanwhile): the server holds commands
    /// until it is free.
    virtual bool Busy() const { return false; }

    /// The front panel's On/Off.
    virtual bool PowerOn() const = 0;
    /// Switches the receiver on or off. False when it could not (a sound device that will not
    /// open): the state is then unchanged and the user has been told why.
    virtual bool setPowerOn(bool on) = 0;
};

} // namespace orvex::app
