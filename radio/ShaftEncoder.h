// ShaftEncoder: a quadrature tuning knob on the CTS and DSR inputs of the serial port that
// carries the synthesiser's control lines.
//
// Noticing changes: no thread of our own and no signal. The window calls Poll() from a timer;
// Poll asks the port whether CTS or DSR moved (the kernel's transition counts, or the status
// itself where the driver keeps no counts) and runs the decoder when they did. A hand-turned
// 24-detent encoder makes transitions a few milliseconds apart, so a 1 to 2 ms timer follows
// it; tmrShaft_Timer (every 30 ms) also polls, which is enough for slow turning only.
//
// Decoding: state s = (1 if CTS is off) + (2 if DSR is off); the code 4 x previous + s of a
// one-line change gives the direction (1, 7, 8, 14 down; 2, 4, 11, 13 up). A jump across two
// states (both lines changed between reads) is ignored, since its direction is unknown.
//
// Without automatic rate each step moves the tuning knob one position (TuningKnob). With
// automatic rate a step is left for tmrShaft and the turning speed (the mean of the last five
// transition intervals) chooses the tuning step:
//
//   mean interval (us)   TuneStep     TuneStepLSD
//        0 -   999       1 kHz        1 kHz
//     1000 -  4999       500 Hz       100 Hz
//     5000 -  5999       100 Hz       100 Hz
//     6000 -  6999       50 Hz        100 Hz
//     7000 -  7999       25 Hz        100 Hz
//     8000 -  8999       12.5 Hz      10 Hz
//     9000 - 12000       10 Hz        10 Hz
//     otherwise          1 Hz         1 Hz
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace orvex {

class ad9951;
class SerialLines;
class TuningKnob;

class ShaftEncoder {
public:
    /// The encoder reads the port of `vfo` and tunes it; `knob` is moved without automatic
    /// rate. Both must outlive the encoder.
    ShaftEncoder(ad9951& vfo, TuningKnob& knob);

    bool EnableShaftEncoder = false; ///< option "EnableShaftEncoder"
    bool ShaftAutoRate = false;      ///< option "ShaftAutoRate"
    /// Pending steps for tmrShaft: set to 1 (not added to), so any number of transitions in
    /// one tick gives one step.
    std::int32_t EncoderUpCount = 0;
    std::int32_t EncoderDownCount = 0;

    /// Notices a CTS or DSR change on the port and runs the decoder; call from a timer.
    void Poll();
    /// The decoder: reads CTS and DSR and acts on a one-state move. Does nothing while the
    /// encoder is disabled, without a serial port, or when the status cannot be read.
    void OnModemStatusChange();
    /// The 30 ms timer: polls, then tunes by the pending steps (count x TuneStep).
    void tmrShaft_Timer();

    /// The automatic-rate base step, MHz (1 kHz).
    static constexpr double kAutoRateBase = 0.001;
    /// The last state read (0 to 3) and the last transition code (0 to 15).
    int PreviousState() const { return m_previous; }
    int LastCode() const { return m_code; }
    /// Transition intervals, newest first, in units of 0.0001 us (four decimal places).
    const std::array<std::int64_t, 25>& IntervalHistory() const { return m_history; }
    /// Replaces the steady clock (nanoseconds) that times the transitions; for tests.
    void setClock(std::function<std::int64_t()> nowNs);

private:
    void ChooseRate();

    ad9951& m_vfo;
    TuningKnob& m_knob;
    int m_previous = 0;
    int m_code = 0;
    std::array<std::int64_t, 25> m_history{};
    std::function<std::int64_t()> m_now;
    std::int64_t m_lastTransitionNs = 0;

    // Polling state: the port last polled, whether its first state has been taken, and its
    // last transition count.
    const SerialLines* m_polledPort = nullptr;
    bool m_primed = false;
    bool m_haveCount = false;
    std::uint64_t m_lastCount = 0;
};

} // namespace orvex
