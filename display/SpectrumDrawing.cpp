// The drawing half of the analyser: the graticule with its labels (rendered once per change of
// scale, axis or size and copied under every frame) and the traces, filter curve and notch
// marker.
#include "core/Format.h"
#include "core/Numeric.h"
#include "display/LineRaster.h"
#include "display/PanelPaint.h"
#include "display/clsSpectrumAnalyser.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvex {

namespace {

// Panel colours (0xBBGGRR).
constexpr PanelColour kGrid = 0x007F00;       // dark green
constexpr PanelColour kCentreLine = 0x00C0C0; // olive
constexpr PanelColour kLevelLabels = 0xFF7F00;
constexpr PanelColour kFreqLabels = 0xFFFF00;
constexpr PanelColour kTrace1 = 0x00FF00; // green
constexpr PanelColour kTrace2 = 0x00FFFF; // yellow
constexpr PanelColour kFilter = 0x0000C0; // dark red
constexpr PanelColour kNotch = 0xC0FF60;

QPen ThinPen(PanelColour c) {
    QPen pen(PanelColourToQColor(c), 1);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

double clsSpectrumAnalyser::clampPx(double py) const {
    // Far-off values are pulled in to a few heights outside the surface so the rasteriser
    // never sees huge coordinates; the line still leaves the picture at the same place.
    const double h = m_size.height();
    if (std::isnan(py)) return 5.0 * h;
    return std::clamp(py, -4.0 * h, 5.0 * h);
}

clsSpectrumAnalyser::GraticuleKey clsSpectrumAnalyser::graticuleKey() const {
    GraticuleKey k;
    k.size = m_size;
    k.dpr = m_dpr;
    k.mode = m_mode;
    k.log = LogMode();
    k.top = m_scaleTop;
    k.range = -m_scaleHeight;
    k.left = m_scaleLeft;
    k.width = m_scaleWidth;
    if (m_mode == 0) {
        k.gain = cur().Chn1Gain; // the level labels divide by it
        k.axis = Axis();         // the frequency labels follow the axis
    }
    return k;
}

void clsSpectrumAnalyser::renderGraticule() {
    const GraticuleKey key = graticuleKey();
    if (m_graticuleKey && *m_graticuleKey == key) return;
    m_graticuleKey = key;
    m_freqLabels.clear();
    m_dbLabels.clear();

    QImage& g = m_graticule;
    g.fill(Qt::black);
    QPainter p(&g);
    p.setFont(m_font);
    const QFontMetricsF fm(m_font, &g);
    const double w = m_size.width();
    const double h = m_size.height();
    const double top = m_scaleTop;
    const double range = -m_scaleHeight;
    const auto xOfScale = [this, w](double x) {
        return (x - m_scaleLeft) / m_scaleWidth * (w - 1.0);
    };
    const auto drawLabel = [&](double anchor, double left, double textTop, const std::string& text,
                               double value, std::vector<GraticuleLabel>& into) {
        const QString s = QString::fromStdString(text);
        const QRectF rect(left, textTop, fm.horizontalAdvance(s), fm.height());
        p.drawText(QPointF(rect.left(), rect.top() + fm.ascent()), s);
        into.push_back({anchor, rect, text, value});
    };

    // Ten divisions up, from the bottom of the scale.
    p.setPen(ThinPen(kGrid));
    for (int i = 0; i <= 10; ++i) {
        const double py = yToPx(top - range + i * range / 10.0);
        p.drawLine(QPointF(0.0, py), QPointF(w - 1.0, py));
    }

    // Level labels in log mode: 20 x the log units below the top, divided by the gain, just
    // right of the centre line and under each grid line.
    if (m_mode == 0 && LogMode()) {
        p.setPen(PanelColourToQColor(kLevelLabels));
        const double labelX =
            xOfScale(m_scaleLeft + m_scaleWidth / 2.0) + 2.0 * fm.horizontalAdvance('0');
        for (int i = 0; i <= 10; ++i) {
            const double y = top - range + i * range / 10.0;
            const double value = (y - top) * 20.0 / cur().Chn1Gain;
            const std::string text = FormatNumber(value, "#");
            if (text.empty()) continue;
            const double py = yToPx(y);
            drawLabel(py, labelX, py + 0.9 * fm.height(), text, value, m_dbLabels);
        }
    }

    // Twelve divisions across (12.01 keeps the last line from being lost to rounding), and
    // the centre line.
    p.setPen(ThinPen(kGrid));
    const double step = m_scaleWidth / 12.01;
    for (int k = 0; k <= 12; ++k) {
        const double px = xOfScale(m_scaleLeft + k * step);
        if (px > w - 0.5) break;
        p.drawLine(QPointF(px, 0.0), QPointF(px, h - 1.0));
    }
    p.setPen(ThinPen(kCentreLine));
    const double centre = xOfScale(m_scaleLeft + m_scaleWidth / 2.0);
    p.drawLine(QPointF(centre, 0.0), QPointF(centre, h - 1.0));

    // Frequency labels in kHz, one per twelfth of the window, each centred on the x where
    // the trace draws the bin it names.
    if (m_mode == 0) {
        const BinAxis axis = key.axis;
        const std::int32_t s = RoundHalfEven32(axis.Bins() / 12.0);
        const char* format = m_fOffset != 0 ? "# ###" : "# ###.0";
        const double rowTop = yToPx(range / 2.0) + fm.height();
        p.setPen(PanelColourToQColor(kFreqLabels));
        for (int j = 0; s > 0 && j <= 12; ++j) {
            const std::int32_t b = axis.StopBin - j * s;
            const double x = axis.XOfBin(b);
            if (x < -0.5 || x > w - 0.5) continue;
            const double hz = axis.FrequencyOfBin(b);
            const std::string text = FormatNumber(hz / 1000.0, format);
            const double tw = fm.horizontalAdvance(QString::fromStdString(text));
            drawLabel(x, std::clamp(x - tw / 2.0, 0.0, std::max(0.0, w - tw)), rowTop, text, hz,
                      m_freqLabels);
        }
    }
}

void clsSpectrumAnalyser::drawFrame(QImage& surface) {
    updateScale();
    renderGraticule();
    std::memcpy(surface.bits(), m_graticule.constBits(),
                static_cast<std::size_t>(m_graticule.sizeInBytes()));
    std::int32_t first = 0, last = 0;
    drawRange(first, last);
    switch (m_mode) {
    case 0:
        drawFrequencyTraces(surface, first, last);
        break;
    case 1:
        drawTimeTraces(surface, first, last);
        break;
    default:
        drawPhaseTrace(surface, first, last);
        break;
    }
}

void clsSpectrumAnalyser::drawFrequencyTraces(QImage& surface, std::int32_t first,
                                              std::int32_t last) {
    const ModeSettings& s = cur();
    const BinAxis axis = Axis();
    const std::int32_t n = last - first;
    const double ppb = axis.PxPerBin();
    const auto binOf = [&](std::int32_t k) {
        return static_cast<std::size_t>(m_reverse ? first + k : last - k);
    };
    const auto trace = [&](const float* data, PanelColour colour) {
        QPointF* pts = m_points1.data();
        for (std::int32_t k = 0; k <= n; ++k)
            pts[k] = QPointF(k * ppb, clampPx(yToPx(data[binOf(k)])));
        DrawPolyline(surface, pts, n + 1, PanelColourToQColor(colour).rgb());
    };
    if (s.Chn1Enabled) trace(m_chn1.data(), kTrace1);
    if (s.Chn2Enabled) trace(m_chn2.data(), kTrace2);

    if (m_showFilter) {
        QPointF* pts = m_points2.data();
        const bool log = s.LogMode;
        for (std::int32_t k = 0; k <= n; ++k) {
            const std::size_t b = binOf(k);
            const float v = log ? m_filterCurve[b] + s.Chn1Offset
                                : m_filterPower[b] * s.Chn1Gain + s.Chn1Offset;
            pts[k] = QPointF(k * ppb, clampPx(yToPx(v)));
        }
        DrawPolyline(surface, pts, n + 1, PanelColourToQColor(kFilter).rgb());
    }

    if (m_showNotch && m_hzPerBin > 0.0f) {
        // A band as wide as the notch (at least one pixel), merged with what is under it:
        // each pixel ORed with the inverse of the marker colour.
        const double width = std::max(1.0, std::round(m_notchWidth / m_hzPerBin * ppb));
        const double dpr = surface.devicePixelRatio();
        const int w = surface.width();
        const QRgb notPen = ~PanelColourToQColor(kNotch).rgb() & 0x00FFFFFFu;
        for (const float centre : {m_notchCentre, m_notchCentre2}) {
            if (centre < 0.0f) continue;
            const double x = axis.XOfBin(centre / m_hzPerBin);
            const int x0 = std::clamp(static_cast<int>(std::lround((x - width / 2.0) * dpr)), 0, w);
            const int x1 = std::clamp(static_cast<int>(std::lround((x + width / 2.0) * dpr)),
                                      std::min(x0 + 1, w), w);
            for (int y = 0; y < surface.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(surface.scanLine(y));
                for (int px = x0; px < x1; ++px)
                    line[px] |= notPen;
            }
        }
    }
}

void clsSpectrumAnalyser::drawTimeTraces(QImage& surface, std::int32_t first, std::int32_t last) {
    const ModeSettings& s = cur();
    const std::int32_t n = last - first;
    const double step = (m_size.width() - 1.0) / n;
    const auto trace = [&](const float* data, PanelColour colour) {
        QPointF* pts = m_points1.data();
        for (std::int32_t k = 0; k <= n; ++k)
            pts[k] = QPointF(k * step, clampPx(yToPx(data[first + k])));
        DrawPolyline(surface, pts, n + 1, PanelColourToQColor(colour).rgb());
    };
    if (s.Chn1Enabled) trace(m_chn1.data(), kTrace1);
    if (s.Chn2Enabled) trace(m_chn2.data(), kTrace2);
}

void clsSpectrumAnalyser::drawPhaseTrace(QImage& surface, std::int32_t first, std::int32_t last) {
    // Channel 2 across, channel 1 up, on a scale with one unit as long across as up.
    const double w = m_size.width();
    const double xPerUnit = (w - 1.0) / m_scaleWidth;
    QPointF* pts = m_points1.data();
    const std::int32_t n = last - first;
    for (std::int32_t k = 0; k <= n; ++k) {
        const double x = (m_chn2[static_cast<std::size_t>(first + k)] - m_scaleLeft) * xPerUnit;
        const double y = yToPx(m_chn1[static_cast<std::size_t>(first + k)]);
        pts[k] = QPointF(std::isnan(x) ? -w : std::clamp(x, -4.0 * w, 5.0 * w), clampPx(y));
    }
    DrawPolyline(surface, pts, n + 1, PanelColourToQColor(kTrace1).rgb());
}

} // namespace orvex
