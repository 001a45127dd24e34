// The waterfall under the spectrum: one line per displayed frame, newest at the top, drawn
// from the frame's spectrum on the same x axis as the trace, so a station's trace peak and its
// waterfall line sit in the same pixel column. Levels run through a colour map from a dark
// background through blue and yellow to red over an adjustable range in dBFS.
//
// The image is a ring of lines: a new frame writes one line and moves the ring's start, and
// Draw shows the ring in order with two image copies, so scrolling costs one line, not a
// shift of the whole picture. Nothing allocates per line; the ring is sized by setHeight and
// by the width of the axis.
#pragma once

#include "display/BinAxis.h"
#include "dsp/DisplayPorts.h"

#include <QImage>
#include <QRectF>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace orvex {

class SettingsStore;

class Waterfall final : public WaterfallDisplay {
public:
    /// Restores "WaterfallOn", "WaterfallHeight", "WaterfallMinDb" and "WaterfallMaxDb" from
    /// section `section` of the store (when given); SaveSettings() writes them back. The store
    /// must outlive the waterfall.
    explicit Waterfall(SettingsStore* store = nullptr, std::string section = "SpectrumAnalyser");
    Waterfall(const Waterfall&) = delete;
    Waterfall& operator=(const Waterfall&) = delete;

    static constexpr std::int32_t kMinHeight = 16;   ///< logical pixels
    static constexpr std::int32_t kMaxHeight = 2000; ///< logical pixels
    static constexpr float kDefaultMinDb = -120.0f;  ///< dBFS
    static constexpr float kDefaultMaxDb = -20.0f;   ///< dBFS

    /// Shown and fed; when off, AddLine does nothing. Switched back on, it starts empty.
    bool Enabled() const override { return m_enabled; }
    void setEnabled(bool on) override;
    /// Height of the waterfall, logical pixels (kMinHeight..kMaxHeight; held there).
    /// Changing it clears the picture.
    std::int32_t Height() const { return m_height; }
    void setHeight(std::int32_t px);
    /// Level shown in the darkest colour, dBFS (-200..+20). Held at least 1 dB below MaxDb.
    float MinDb() const override { return m_minDb; }
    void setMinDb(float db) override;
    /// Level shown in the brightest colour (red), dBFS (-199..+21). Held at least 1 dB above
    /// MinDb.
    float MaxDb() const override { return m_maxDb; }
    void setMaxDb(float db) override;

    /// Bin magnitude of a full-scale tone (0 dBFS); the analyser sets it from its FFT size.
    void setFullScale(float magnitude) { m_fullScale = magnitude > 0.0f ? magnitude : 1.0f; }
    float FullScale() const { return m_fullScale; }

    /// The trace's axis. A new width resizes (and clears) the ring; any change recomputes
    /// which bins feed each column.
    void setAxis(const BinAxis& axis);
    const BinAxis& Axis() const { return m_axis; }

    /// Adds one line from bin magnitudes (bins 0..numBins-1). Each column shows the largest
    /// bin drawn in it, so narrow stations stay visible when bins outnumber pixels.
    void AddLine(const float* magnitude, std::int32_t numBins);
    void Clear();
    std::int64_t LinesAdded() const { return m_lines; }

    /// Draws the ring into target (logical coordinates), newest line at the top.
    void Draw(QPainter& painter, const QRectF& target) const;
    /// The picture in display order (allocates: for tests and screenshots).
    QImage Composed() const;
    /// The ring itself and the row that holds the newest line.
    const QImage& Ring() const { return m_ring; }
    std::int32_t NewestRow() const { return m_newest; }

    /// The colour map, dark (index 0) to red (index 255).
    static const std::array<std::uint32_t, 256>& ColourMap();
    /// Colour map index of a level in dBFS under the current range.
    int LevelIndex(float db) const;

    /// Called after every new line and every change of the picture (the widget repaints).
    void setChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    void RestoreSettings();
    void SaveSettings() const override;

private:
    void resizeRing(std::int32_t width, std::int32_t height);
    void buildColumns();
    void notify() const {
        if (m_changed) m_changed();
    }

    SettingsStore* m_store;
    std::string m_section;
    bool m_enabled = true;
    std::int32_t m_height = 88;
    float m_minDb = kDefaultMinDb;
    float m_maxDb = kDefaultMaxDb;
    float m_fullScale = 1.0f;
    BinAxis m_axis;
    QImage m_ring;
    std::int32_t m_newest = 0;
    std::int64_t m_lines = 0;
    std::vector<std::int32_t> m_colFirst; // first and last bin feeding each column
    std::vector<std::int32_t> m_colLast;
    std::function<void()> m_changed;
};

} // namespace orvex
