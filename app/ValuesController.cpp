#include "ValuesController.h"

#include "app/RadioSession.h"
#include "radio/ad9951.h"

#include <cmath>

namespace orvex::app {
namespace {

// The frame a value label sits in, whose caption goes back to rest while the label is lit.
PanelFrame FrameOfValue(WheelEntry n) {
    switch (n) {
    case WheelEntry::FilterHi:
    case WheelEntry::FilterLo:
        return PanelFrame::frFilters;
    case WheelEntry::NotchCentre:
    case WheelEntry::NotchWidth:
        return PanelFrame::frNotch;
    case WheelEntry::AGCDelay:
    case WheelEntry::AGCRamp:
        return PanelFrame::frAGC;
    case WheelEntry::IFHi:
    case WheelEntry::IFLo:
        return PanelFrame::frIFFilter;
    default:
        return PanelFrame::Count;
    }
}

// The labels that light while the pointer is on them (and go back to rest with the frames).
constexpr WheelEntry kLitLabels[] = {
    WheelEntry::FilterHi, WheelEntry::FilterLo, WheelEntry::NotchCentre, WheelEntry::NotchWidth,
    WheelEntry::AGCDelay, WheelEntry::AGCRamp,  WheelEntry::IFHi,        WheelEntry::IFLo};

} // namespace

ValuesController::ValuesController(RadioSession& session, const LifeCycle& life)
    : m_session(session), m_life(life) {
    m_view.FrameColour.fill(kColourResting);
}

bool ValuesController::setTarget(WheelEntry n) {
    const WheelEntry before = m_table.target();
    m_table.setTarget(n);
    return before != m_table.target();
}

void ValuesController::valueHover(WheelEntry n) {
    const bool moved = setTarget(n);
    const PanelFrame frame = FrameOfValue(n);
    bool lit = false;
    if (frame != PanelFrame::Count) {
        ValueLabel& l = m_table.label(n);
        lit = l.Colour != kColourSelected;
        l.Colour = kColourSelected;
        m_view.FrameColour[static_cast<std::size_t>(frame)] = kColourResting;
    }
    if (moved || lit) Q_EMIT changed();
}

void ValuesController::valueLeave(WheelEntry n) {
    bool moved = false;
    if (m_table.target() == n) moved = setTarget(WheelEntry::None);
    bool rested = false;
    if (FrameOfValue(n) != PanelFrame::Count) {
        ValueLabel& l = m_table.label(n);
        rested = l.Colour != kColourResting;
        l.Colour = kColourResting;
    }
    if (moved || rested) Q_EMIT changed();
}

void ValuesController::valueWheel(WheelEntry n, const WheelMessage& message) {
    m_table.wheel(n, message);
    Q_EMIT changed();
}

void ValuesController::valueRightClick(WheelEntry n) {
    // The readout and the spectrum surfaces have no value to restore.
    if (n == WheelEntry::Frequency || n == WheelEntry::ScopeTuning) return;
    m_table.rightClick(n);
    Q_EMIT changed();
}

void ValuesController::valueSet(WheelEntry n, float value) {
    if (n == WheelEntry::Frequency || n == WheelEntry::ScopeTuning || !std::isfinite(value)) return;
    m_table.set(n, value);
    Q_EMIT changed();
}

bool ValuesController::wheelHook(const WheelMessage& message) {
    if (m_wheelBusy || !m_life.running()) return false;
    m_wheelBusy = true;
    bool acted = false;
    const WheelEntry target = m_table.target();
    if (target != WheelEntry::None && m_gear.pass(m_session.vfo().MouseWheelGearRatio())) {
        valueWheel(target, message);
        acted = true;
    }
    m_wheelBusy = false;
    return acted;
}

void ValuesController::DarkenControls() {
    for (WheelEntry n : kLitLabels)
        m_table.label(n).Colour = kColourResting;
    m_view.FrameColour.fill(kColourResting);
    m_table.setTarget(WheelEntry::None);
    for (const auto& reset : m_resets)
        reset();
    Q_EMIT changed();
}

void ValuesController::frameHover(PanelFrame f, int x, int y, int w, int h) {
    if (f == PanelFrame::Count) return;
    // Twips (1/15 pixel at 96 dpi): the caption lights only well inside the frame.
    constexpr int kTwipsPerPixel = 15;
    const int X = x * kTwipsPerPixel, Y = y * kTwipsPerPixel;
    const int W = w * kTwipsPerPixel, H = h * kTwipsPerPixel;
    DarkenControls();
    const bool inside = X > 50 && X < W - 50 && Y > 50 && Y < H - 50;
    const PanelColour colour = inside ? kColourSelected : kColourResting;
    if (m_view.FrameColour[static_cast<std::size_t>(f)] == colour) return;
    m_view.FrameColour[static_cast<std::size_t>(f)] = colour;
    Q_EMIT changed();
}

} // namespace orvex::app
