// The front panel's wheel-adjustable values: numeric settings shown as plain labels that the
// user points at and changes with the mouse wheel (Shift coarse, Ctrl fine), or restores with
// a right click. The entry under the pointer is the wheel target (None: no entry).
//
// An entry either owns its ValueLabel or shows one that the receive chain keeps (the chain's
// labels hold its filter, notch, noise reducer, level and AGC values), so there is one copy of
// every value. Each entry's Apply pushes the value into the receiver; the controller of the
// area the entry belongs to installs it. Plain C++; the window only forwards wheel and mouse
// events here.
#pragma once

#include "dsp/ReceiveState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvex::app {

/// The entries of the table, by the number the wheel target holds.
enum class WheelEntry : std::int16_t {
    None = 0,
    Frequency = 1,       ///< the frequency readout: one tuning step per wheel message
    Chn1Gain = 2,        ///< scope channel 1 gain, 0..99
    Chn1Shift = 3,       ///< scope channel 1 shift, -100..100
    Chn2Gain = 4,        ///< scope channel 2 gain
    Chn2Shift = 5,       ///< scope channel 2 shift
    ScopeWidth = 6,      ///< the display window's width, bins or samples
    FilterHi = 7,        ///< AF filter high edge, Hz
    FilterLo = 8,        ///< AF filter low edge, Hz
    NoiseReducer = 9,    ///< noise reducer threshold
    OutputLevel = 10,    ///< output level, hundredths of a dB
    NotchCentre = 11,    ///< notch centre, Hz
    NotchWidth = 12,     ///< notch width, Hz
    AGCDelay = 13,       ///< AGC delay value, seconds x 10
    AGCRamp = 14,        ///< AGC ramp value, ms x 10
    ScopeCentre = 15,    ///< the display window's centre, bins
    ScopeTuning = 16,    ///< the spectrum surfaces: wheel tuning
    IFHi = 17,           ///< IF filter high edge, Hz
    IFLo = 18,           ///< IF filter low edge, Hz
    SpectrumSmooth = 19, ///< frames the spectrum averages, 1..24
    WaterfallMin = 20,   ///< the waterfall's lowest level, dBFS
    WaterfallMax = 21,   ///< the waterfall's highest level, dBFS
};

inline constexpr int kWheelEntries = 21;

/// Wheel message as the rule reads it.
struct WheelMessage {
    bool forward = true; ///< wheel turned away from the user (positive delta)
    bool shift = false;  ///< coarse step
    bool ctrl = false;   ///< fine step (wins over Shift)
    std::int32_t x = 0, y = 0;
};

struct ValueEntry {
    WheelEntry Id = WheelEntry::None;
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
    ValueTable();
    // Entries point at their own labels: a copy would point into the table it was made from.
    ValueTable(const ValueTable&) = delete;
    ValueTable& operator=(const ValueTable&) = delete;

    ValueEntry& entry(WheelEntry n) { return m_entries[index(n)]; }
    const ValueEntry& entry(WheelEntry n) const { return m_entries[index(n)]; }
    const ValueLabel& label(WheelEntry n) const { return *entry(n).Label; }
    ValueLabel& label(WheelEntry n) { return *entry(n).Label; }

    /// Sets entry n's limits, default, steps, format and ShowValue; the label's value and
    /// caption are left as they are.
    void define(WheelEntry n, float min, float max, float defaultValue, float fine, float normal,
                float coarse, const char* format, bool showValue);
    /// Makes entry n show `label` (kept by its owner) instead of its own.
    void bind(WheelEntry n, ValueLabel& label) { entry(n).Label = &label; }

    /// The wheel target: the entry under the pointer, None for none.
    WheelEntry target() const { return m_target; }
    void setTarget(WheelEntry n) { m_target = valid(n) ? n : WheelEntry::None; }

    /// The wheel rule on entry n: step by the modifiers (Ctrl fine, Shift coarse, else
    /// normal), forward adds and holds at Max, backward subtracts and holds at Min; the caption
    /// is rewritten when the entry shows its value; then Apply runs.
    void wheel(WheelEntry n, const WheelMessage& message);
    /// Right button on entry n's label: back to Default (or the entry's own Reset), caption
    /// rewritten, Apply run.
    void rightClick(WheelEntry n);
    /// Sets entry n to value (limited to Min..Max), rewrites its caption and runs Apply, as a
    /// typed-in value would.
    void set(WheelEntry n, float value);
    /// Rewrites entry n's caption from its value in its format.
    void showCaption(WheelEntry n);

    static bool valid(WheelEntry n) {
        const auto i = static_cast<int>(n);
        return i >= 0 && i <= kWheelEntries;
    }

private:
    static std::size_t index(WheelEntry n) { return valid(n) ? static_cast<std::size_t>(n) : 0; }
    std::array<ValueEntry, kWheelEntries + 1> m_entries{};
    WheelEntry m_target = WheelEntry::None;
};

/// The mouse-wheel hook's thinning: with a gear ratio of N, one wheel message in N + 1 acts.
class WheelGear {
public:
    /// True when this message acts (and restarts the count), false when it is skipped.
    bool pass(std::int32_t gearRatio) {
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
