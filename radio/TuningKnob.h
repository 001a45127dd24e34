// TuningKnob: the logic behind the front panel's tuning knob `dialtuner`.
//
// The window's dial forwards its position changes here; the shaft encoder (without automatic
// rate) moves the knob one position per step. Each change tunes one step in the direction of
// the movement, whatever its size: TuneStep when the tuning rate is locked, 100 Hz otherwise.
#pragma once

namespace orvex {

class ad9951;

class TuningKnob {
public:
    explicit TuningKnob(ad9951& vfo) : m_vfo(vfo) {}

    /// True: the tuning rate is locked to the selected digit (front-panel state).
    bool TuneRateLocked = false;

    /// The knob's position (an unbounded count of detents).
    int Position() const { return m_position; }
    /// Moves the knob and runs its change handler, as the dial does when turned.
    void setPosition(int position) {
        m_position = position;
        dialtuner_Change();
    }
    /// The change handler: one step down or up for a movement down or up. A nested call
    /// (from the events a tuning wait lets run) returns at once.
    void dialtuner_Change();

private:
    ad9951& m_vfo;
    int m_position = 0;
    int m_lastPosition = 0;
    bool m_busy = false;
};

} // namespace orvex
