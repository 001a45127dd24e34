// The model behind the frequency readout and its tuning controls: nine digits from tens of MHz down
// to tenths of a hertz, which double as the tuning-rate selector (the digit under the pointer, or a
// locked digit, sets the step); keyboard tuning over the readout; the knob; the dial-rate
// presets; the zeroing buttons; and the two timers, tmrTune (performs pending steps, 50 ms,
// 20 ms once the keyboard has been used) and tmrVFOUpdate (periodic synthesiser refresh).
//
// Digit i (0..8) stands for 10 / 10^i MHz and shows character i + 1 of the DDS controller's
// FormattedTunedFreq. All tuning goes through the DDS controller. Plain C++: the tuning
// controller (app/TuningController.h) forwards the readout's events here and the frequency
// panel shows the fields.
#pragma once

#include "core/Colours.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvex {
class ad9951;
class TuningKnob;
} // namespace orvex

namespace orvex::app {

/// Key codes the readout acts on (as the keyboard reports them).
enum TuneKey : std::int32_t {
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeyA = 65,
    kKeyZ = 90,
};

inline constexpr PanelColour kDigitColour = 247;    ///< a digit at rest
inline constexpr PanelColour kDigitSelected = 255;  ///< the digit that sets the step
inline constexpr PanelColour kRateUnlocked = 255;   ///< lblTuningRate while unlocked
inline constexpr PanelColour kRateLocked = 8421631; ///< 0x8080FF, while locked

class TuningModel {
public:
    static constexpr int kDigits = 9;

    TuningModel(ad9951& vfo, TuningKnob& knob);
    TuningModel(const TuningModel&) = delete;
    TuningModel& operator=(const TuningModel&) = delete;

    // ---- what the window shows ------------------------------------------------------------
    std::array<std::string, kDigits> lbl7Seg; ///< one character each
    /// The hundreds of MHz and above, left of digit 0 (empty below 100 MHz): the readout shows
    /// every digit of the tuned frequency, the nine digits the last nine.
    std::string lbl7SegHigh;
    std::array<PanelColour, kDigits> digitColour{}; ///< kDigitColour or kDigitSelected
    std::int32_t Highlighted = -1;                  ///< digit framed by shpTuneStep (-1: none yet)
    std::string lblTuningRate;                      ///< "x 1 KHz"
    PanelColour lblTuningRateColour = kRateUnlocked;
    std::string lblTuningRateToolTip = "Click to Lock Tuning Rate";
    std::string lblTuneDialRate; ///< copy of lblTuningRate after each tmrTune tick
    /// The LO statistic (lblStatsVal(3)), refreshed with the digits.
    std::string LOText;

    // ---- state -----------------------------------------------------------------------------
    bool TuneUpPending = false;
    bool TuneDownPending = false;
    double PendingStep = 0.0; ///< MHz; 0 means one TuneStep
    bool tuneRateLocked() const;
    std::int32_t KeyboardDigit = 0; ///< 0: none chosen yet, then 4..7
    std::int32_t DialRatePreset = 0;
    std::int32_t MenuTag = 0; ///< digit the "VFO Control" menu acts on
    bool AutoDDSRefresh = false;
    std::int32_t tmrTuneInterval = 50;        ///< ms
    std::int32_t tmrVFOUpdateInterval = 1000; ///< ms

    // ---- operations ------------------------------------------------------------------------
    /// Shows a frequency string in units of 0.1 Hz, nine characters or more (nothing happens
    /// when it is the one shown): the last nine on the digits, any before them on lbl7SegHigh.
    void Display7Seg(const std::string& text);
    /// Display7Seg with the DDS controller's FormattedTunedFreq; the LO figure follows the
    /// synthesiser's output also when the digits stay (a new IF or clock).
    void showTunedFreq();
    /// The pointer moved over digit i.
    void digitHover(std::int32_t i);
    /// TuneStep = base / 10^digit MHz, with highlight and caption.
    void SetTuneRate(std::int32_t digit, double base);
    void digitClick(std::int32_t i);       ///< "Lock Tune Rate" on digit i
    void digitDoubleClick(std::int32_t i); ///< "Unlock Tune rate"
    /// Right button on digit i: remembers it for the "VFO Control" menu the window opens.
    void digitRightButton(std::int32_t i) { MenuTag = i; }
    /// Menu item 0 "Cancel", 1 separator, 2 "Lock Tune Rate", 3 "Unlock Tune rate".
    void mnuVFOControlSub_Click(std::int32_t index);
    void lblTuningRate_Click();
    /// A click on picTuneDial or lblTuneDialRate: the next dial-rate preset.
    void picTuneDial_Click();
    void keyPress(std::int32_t keyCode);
    void keyRelease();
    /// Mouse button released over the readout: left clears the up step, right the down step.
    void mouseUp(bool leftButton);
    /// Zeroes the MHz (0), kHz (1) or Hz (2) digits.
    void lblScale_Click(std::int32_t k);
    void tmrTune_Timer();
    /// Runs the refresh when AutoDDSRefresh; returns the interval to use next (ms). `random01`
    /// gives r in [0, 1).
    std::int32_t tmrVFOUpdate_Timer(const std::function<double()>& random01);
    /// The knob moved to `position`.
    void dialtuner_Change(std::int32_t position);
    /// The knob's position, which the shaft encoder moves too (one position a step).
    std::int32_t knobPosition() const;

    /// Caption of a step x (MHz) shown by digit index.
    static std::string rateCaption(std::int32_t digit, double x);
    /// The frequency as the readout shows it, for people and screen readers ("14.2345678 MHz").
    std::string spokenFrequency() const;

private:
    void setLocked(bool locked);
    ad9951& m_vfo;
    TuningKnob& m_knob;
    std::string m_lastShown;
};

} // namespace orvex::app
