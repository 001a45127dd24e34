// ShaftEncoder: a quadrature tuning knob on the CTS and DSR inputs of the serial port that
// carries the synthesiser's control lines.
//
// Noticing changes: a ModemLineWatcher thread follows the port's CTS and DSR and queues every
// change, time-stamped when it was noticed, with the kernel's count of the changes each line
// made since the previous record. The user-interface thread hands the records, in order, to
// modemChanged (app/EncoderInput.h does the wiring); nothing here runs on the watcher thread.
//
// Decoding: state s = (1 if CTS is off) + (2 if DSR is off). A record with exactly one change
// is one transition, and the code 4 x previous + s gives its direction (1, 7, 8, 14 down;
// 2, 4, 11, 13 up). A record with more changes (the lines moved faster than the watcher read
// them, or both lines changed between two reads) is counted in UncountedChanges and moves
// nothing: its direction cannot be known, and a guess could tune the wrong way. Decoding goes
// on from the state read.
//
// Without automatic rate each step moves the tuning knob one position (TuningKnob), which
// tunes one step. With automatic rate a step sets the pending count for tmrShaft (to 1, not
// adding: any number of steps between two ticks gives one step of the chosen size) and the
// turning speed chooses the tuning step. The speed is the mean of the newest five intervals
// between transitions, measured from the records' time stamps:
//
//   mean interval (us)   TuneStep     TuneStepLSD     (transitions per second)
//        0 -   999       1 kHz        1 kHz            over 1000
//     1000 -  4999       500 Hz       100 Hz           200 - 1000
//     5000 -  5999       100 Hz       100 Hz           167 - 200
//     6000 -  6999       50 Hz        100 Hz           143 - 167
//     7000 -  7999       25 Hz        100 Hz           125 - 143
//     8000 -  8999       12.5 Hz      10 Hz            111 - 125
//     9000 - 12000       10 Hz        10 Hz             83 - 111
//     otherwise          1 Hz         1 Hz             below 83
//
// A record with more than one change restarts the interval from its time, so the next
// transition is timed from the last change seen. One thread: the user-interface thread.
#pragma once

#include <array>
#include <cstdint>

namespace orvex {

class ad9951;
class TuningKnob;
struct ModemChange;

class ShaftEncoder {
public:
    /// The encoder tunes `vfo`; `knob` is moved without automatic rate. Both must outlive
    /// the encoder.
    ShaftEncoder(ad9951& vfo, TuningKnob& knob);

    bool EnableShaftEncoder = false; ///< option "EnableShaftEncoder"
    bool ShaftAutoRate = false;      ///< option "ShaftAutoRate"
    /// Pending steps for tmrShaft: set to 1 (not added to), so any number of transitions in
    /// one tick gives one step.
    std::int32_t EncoderUpCount = 0;
    std::int32_t EncoderDownCount = 0;

    /// The decoder: one record from the watcher, in the order they were queued. A Start
    /// record sets the state to decode from; a Lines record decodes; notes are not decoded.
    /// Does nothing while the encoder is disabled.
    void modemChanged(const ModemChange& change);
    /// The 30 ms timer: tunes by the pending steps (count x TuneStep) and clears them.
    void tmrShaft_Timer();

    /// The automatic-rate base step, MHz (1 kHz).
    static constexpr double kAutoRateBase = 0.001;
    /// The last state (0 to 3) and the last transition code (0 to 15).
    int PreviousState() const { return m_previous; }
    int LastCode() const { return m_code; }
    /// Transition intervals, newest first, in units of 0.0001 us (four decimal places).
    const std::array<std::int64_t, 25>& IntervalHistory() const { return m_history; }

    /// True once the state to decode from is known (the watcher's first read arrived).
    bool decoding() const { return m_started; }
    /// Forgets the state: decoding starts again from the next Start record (a new watcher).
    void restart() { m_started = false; }
    /// Steps decoded up and down since creation (each one transition).
    std::uint64_t stepsUp() const { return m_stepsUp; }
    std::uint64_t stepsDown() const { return m_stepsDown; }
    /// Line changes seen without a direction (several between two reads), since creation.
    std::uint64_t uncountedChanges() const { return m_uncounted; }

private:
    void takeStep(int direction, std::int64_t timeNs);
    void ChooseRate(std::int64_t timeNs);

    ad9951& m_vfo;
    TuningKnob& m_knob;
    bool m_started = false;
    int m_previous = 0;
    int m_code = 0;
    std::array<std::int64_t, 25> m_history{};
    std::int64_t m_lastTransitionNs = 0;
    std::uint64_t m_stepsUp = 0, m_stepsDown = 0, m_uncounted = 0;
};

} // namespace orvex
