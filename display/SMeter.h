// The signal-strength meter: a horizontal bar over an S-unit scale (S1 to S9 in 6 dB steps,
// then +6 to +30 dB over S9), drawn on two alternating surfaces so the meter never shows a
// half-drawn picture. The window's meter widget only shows VisibleImage() and ToolTip().
//
// Scale: x runs from 0 dB at the left edge to the full scale F = 20 log10(32767) = 90.3087 dB
// at the right edge; y from 20 at the top to 0 at the bottom.
#pragma once

#include "dsp/ChainPorts.h"

#include <QFont>
#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvex {

class SMeter final : public MeterDisplay {
public:
    /// Full scale of the meter, dB: 20 log10(32767).
    static const double kFullScaleDb;

    SMeter();

    /// Size of both surfaces in logical pixels and the device pixel ratio of the screen. The
    /// current level is drawn again at the new size.
    void setSurfaceSize(QSize logical, double devicePixelRatio = 1.0);
    QSize SurfaceSize() const { return m_size; }

    /// Start-up set-up: both surfaces hidden and given the scale and appearance, then
    /// DrawSMeter(0).
    void SetupSMeter();
    /// Draws the meter for Value, a power ratio above the zero reference: the bar reaches
    /// 20 log10(Value) dB (0 gives no bar; beyond full scale the bar stops at the right edge).
    /// Draws on the hidden surface, then shows it and hides the other.
    void DrawSMeter(double Value) override;
    /// Tool tip of both surfaces ("Meter Backoff=..." after a zero request).
    void setMeterToolTip(const std::string& Text) override;
    const std::string& ToolTip() const { return m_toolTip; }

    /// The surface drawn last (0 or 1); it is the visible one.
    int SMeterToggle() const { return m_toggle; }
    const QImage& Surface(int index) const {
        return m_surface[static_cast<std::size_t>(index & 1)];
    }
    bool SurfaceVisible(int index) const { return m_visible[static_cast<std::size_t>(index & 1)]; }
    const QImage& VisibleImage() const { return Surface(m_toggle); }
    /// The last level drawn, dB (20 log10 of Value).
    double LevelDb() const { return m_levelDb; }

    /// x in logical pixels of a level in dB on the meter's scale.
    double XOfDb(double db) const;

    /// Called after every redraw and tool-tip change (the widget repaints).
    void setChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    void allocate();
    void notify() const {
        if (m_changed) m_changed();
    }

    QSize m_size{200, 30};
    double m_dpr = 1.0;
    std::array<QImage, 2> m_surface;
    std::array<bool, 2> m_visible{false, false};
    int m_toggle = 0;
    double m_value = 0.0;
    double m_levelDb = 0.0;
    std::string m_toolTip;
    QFont m_font;
    std::function<void()> m_changed;
};

} // namespace orvex
