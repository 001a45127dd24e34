// The hover and wheel area of the window: the table of wheel-adjustable values and the wheel
// target, the mouse-wheel hook (thinned by the DDS controller's MouseWheelGearRatio), the
// frames whose captions light while the pointer is well inside, and the hover reset
// (DarkenControls). Each other area installs the apply procedures of its own entries and its
// own part of the hover reset; this controller only runs them.
//
// Every value label and every frame of the window shows what this controller keeps, and
// repaints on changed(). Runs on the user-interface thread.
#pragma once

#include "app/LifeCycle.h"
#include "app/ValueTable.h"
#include "core/Colours.h"

#include <QObject>
#include <array>
#include <functional>
#include <vector>

namespace orvex::app {

class RadioSession;

/// Frames whose caption lights while the pointer is well inside.
enum class PanelFrame {
    frAF,
    frDemod,
    frFilters,
    frFreqCtl,
    frPower,
    frDispMode,
    frNotch,
    frIFFilter,
    frAGC,
    frStats,
    Count
};

/// What the frames show.
struct HoverView {
    std::array<PanelColour, static_cast<int>(PanelFrame::Count)> FrameColour{};
    PanelColour frameColour(PanelFrame f) const {
        return f == PanelFrame::Count ? kColourResting : FrameColour[static_cast<std::size_t>(f)];
    }
};

class ValuesController final : public QObject {
    Q_OBJECT
public:
    ValuesController(RadioSession& session, const LifeCycle& life);

    ValueTable& table() { return m_table; }
    const ValueTable& table() const { return m_table; }
    const HoverView& view() const { return m_view; }
    WheelEntry target() const { return m_table.target(); }
    /// Makes n the wheel target without repainting (the area that points at it repaints).
    /// True when the target changed.
    bool setTarget(WheelEntry n);

    /// The pointer over entry n's label (None: it left every label).
    void valueHover(WheelEntry n);
    /// The pointer left entry n's label: the wheel no longer acts on it (the wheel over a
    /// neighbouring button, slider or knob never changes the value last pointed at), and the
    /// label goes back to rest.
    void valueLeave(WheelEntry n);
    /// A wheel message on entry n (the rule of ValueTable::wheel), a right click (its
    /// default), a typed or spoken value.
    void valueWheel(WheelEntry n, const WheelMessage& message);
    void valueRightClick(WheelEntry n);
    void valueSet(WheelEntry n, float value);
    /// A wheel message from the application-wide hook: thinned by the gear ratio, then
    /// applied to the wheel target (nothing without one). True when it acted.
    bool wheelHook(const WheelMessage& message);

    /// Hover highlights: the pointer at (x, y) pixels inside frame f of w x h pixels.
    void frameHover(PanelFrame f, int x, int y, int w, int h);
    /// The hover reset: highlights off, pop-ups hidden, wheel target cleared.
    void DarkenControls();
    /// Adds another area's part of the hover reset (its pop-ups, pickers, read-outs).
    void addHoverReset(std::function<void()> reset) { m_resets.push_back(std::move(reset)); }

    /// Repaints every value label and frame.
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();

private:
    RadioSession& m_session;
    const LifeCycle& m_life;
    ValueTable m_table;
    WheelGear m_gear;
    HoverView m_view;
    std::vector<std::function<void()>> m_resets;
    bool m_wheelBusy = false;
};

} // namespace orvex::app
