// The front panel's wheel-adjustable values: numeric settings shown as plain labels that the
// user points at and changes with the mouse wheel (Shift coarse, Ctrl fine), or restores with
// a right click. Entries numbered 1 to 21; the number of the entry under the pointer
// is the wheel target (0: none).
//
//   1 frequency readout      2-5 scope channel gain and shift    6 scope width
//   7-8 AF filter edges      9 noise reducer                     10 output level
//   11-12 notch centre/width 13-14 AGC delay and ramp            15 scope centre
//   16 the spectrum surfaces (wheel tuning)  17-18 IF filter edges  19 spectrum smoothing
//   20-21 the waterfall's lowest and highest level (beyond the panel's nineteen)
//
// An entry either owns its ValueLabel or shows one that the receive chain keeps (the chain's
// labels hold its filter, notch, noise reducer, level and AGC values), so there is one copy of
// every value. Plain C++; the window only forwards wheel and mouse events here.
#pragma once

#include "dsp/ReceiveState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvex::app {

/// Wheel message as the rule reads it.
struct WheelMessage {
    bool forward = true; ///< wheel turned away from the user (positive delta)
    bool shift = false;  ///< coarse step
    bool ctrl = false;   ///< fine step (wins over Shift)
    std::int32_t x = 0, y = 0;
};

struct ValueEntry {
    std::int16_t Id = 0;
    float FineStep = 0.0f;
    float NormalStep = 0.0f;
    float CoarseStep = 0.0f;
    bool ShowValue = false;
    /// Pushes Value into the receiver; may be empty.
    std::function<void()> Apply;
    /// Restores the right-click default instead of the plain Default (the filter edges, whose
    /// default follows the filter choice); may be empty.
    std::function<void()> Reset;
    WheelMessage LastMessage;
    /// The label: Value, Min, Max, Default, Format and the caption shown.
    ValueLabel* Label = &m_own;

    ValueLabel m_own;
};

class ValueTable {
public:
    static constexpr int kEntries = 21;

    ValueTable();

    ValueEntry& entry(int n) { return m_entries[static_cast<std::size_t>(n)]; }
    const ValueEntry& entry(int n) const { return m_entries[static_cast<std::size_t>(n)]; }

    /// Sets entry n's limits, default, steps, format and ShowValue; the label's value and
    /// caption are left as they are.
    void define(int n, float min, float max, float defaultValue, float fine, float normal,
                float coarse, const char* format, bool showValue);
    /// Makes entry n show `label` (kept by its owner) instead of its own.
    void bind(int n, ValueLabel& label) { entry(n).Label = &label; }

    /// The wheel target: the entry under the pointer, 0 for none.
    std::int16_t Target() const { return m_target; }
    void setTarget(std::int16_t n) { m_target = (n >= 0 && n <= kEntries) ? n : 0; }

    /// The wheel rule on entry n: step by the modifiers (Ctrl fine, Shift coarse, else
    /// normal), forward adds and holds at Max, backward subtracts and holds at Min; the caption
    /// is rewritten when the entry shows its value; then Apply runs.
    void Wheel(int n, const WheelMessage& message);
    /// Right button on entry n's label: back to Default (or the entry's own Reset), caption
    /// rewritten, Apply run.
    void RightClick(int n);
    /// Sets entry n to value (limited to Min..Max), rewrites its caption and runs Apply, as a
    /// typed-in value would.
    void Set(int n, float value);
    /// Rewrites entry n's caption from its value in its format.
    void ShowCaption(int n);

private:
    std::array<ValueEntry, kEntries + 1> m_entries{};
    std::int16_t m_target = 0;
};

/// The mouse-wheel hook's thinning: with a gear ratio of N, one wheel message in N + 1 acts.
class WheelGear {
public:
    /// True when this message acts (and restarts the count), false when it is skipped.
    bool Pass(std::int32_t gearRatio) {
        if (m_skipped < gearRatio) {
            ++m_skipped;
            return false;
        }
        m_skipped = 0;
        return true;
    }

private:
    std::int32_t m_skipped = 0;
};

} // namespace orvex::app
