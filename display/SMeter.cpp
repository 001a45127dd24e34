#include "display/SMeter.h"

#include "core/Format.h"
#include "core/Numeric.h"
#include "display/PanelPaint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace orvex {

const double SMeter::kFullScaleDb = 20.0 * std::log10(32767.0);

namespace {
constexpr double kScaleTop = 20.0; // y at the top edge; 0 at the bottom edge
} // namespace

SMeter::SMeter() : m_font(PanelFont()) {
    allocate();
}

void SMeter::allocate() {
    for (auto& s : m_surface) {
        s = QImage(QSize(std::max(1, static_cast<int>(std::lround(m_size.width() * m_dpr))),
                         std::max(1, static_cast<int>(std::lround(m_size.height() * m_dpr)))),
                   QImage::Format_RGB32);
        s.setDevicePixelRatio(m_dpr);
        s.fill(Qt::black);
    }
}

void SMeter::setSurfaceSize(QSize logical, double devicePixelRatio) {
    logical = logical.expandedTo(QSize(1, 1));
    if (!(devicePixelRatio > 0.0)) devicePixelRatio = 1.0;
    if (logical == m_size && devicePixelRatio == m_dpr) return;
    m_size = logical;
    m_dpr = devicePixelRatio;
    allocate();
    // Both surfaces get the current picture, so the visible one is never blank after a resize.
    const int toggle = m_toggle;
    DrawSMeter(m_value);
    DrawSMeter(m_value);
    m_toggle = toggle;
    m_visible = {m_toggle == 0, m_toggle == 1};
}

double SMeter::XOfDb(double db) const {
    return db / kFullScaleDb * (m_size.width() - 1);
}

void SMeter::SetupSMeter() {
    m_visible = {false, false};
    allocate();
    DrawSMeter(0.0);
}

void SMeter::DrawSMeter(double Value) {
    m_value = Value;
    m_toggle = 1 - m_toggle;
    QImage& surface = m_surface[static_cast<std::size_t>(m_toggle)];
    surface.fill(Qt::black);

    const double h = m_size.height() - 1;
    const auto yOf = [h](double y) { return (kScaleTop - y) / kScaleTop * h; };

    QPainter p(&surface);
    p.setFont(m_font);
    const QFontMetricsF metrics(m_font, &surface);
    QPen tick(Qt::white, 2);
    tick.setCapStyle(Qt::FlatCap);
    // Fourteen marks at 6.02 dB: S1..S9, then +6, 12, 18, 24 and 30 dB over S9.
    bool firstAboveSixty = true;
    for (int v = 2; v <= 16384; v *= 2) {
        const double c = 20.0 * Log10Abs(v);
        std::string label;
        if (c < 55.0) {
            label = FormatNumber(c / 6.0, "#");
        } else if (c > 60.0 && firstAboveSixty) {
            label = FormatNumber(c - 54.0, "+#");
            firstAboveSixty = false;
        } else {
            label = FormatNumber(c - 54.0, "#");
        }
        const double x = XOfDb(c);
        p.setPen(tick);
        p.drawLine(QPointF(x, yOf(20.0)), QPointF(x, yOf(13.0)));
        const QString text = QString::fromStdString(label);
        p.setPen(Qt::white);
        p.drawText(QPointF(x - metrics.horizontalAdvance(text) / 2.0, yOf(10.0) + metrics.ascent()),
                   text);
    }

    m_levelDb = 20.0 * Log10Abs(Value);
    if (m_levelDb > 0.0) {
        const double right = std::min(XOfDb(m_levelDb), m_size.width() - 1.0);
        p.setPen(QPen(PanelColourToQColor(0xFFFF00), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(QPointF(0.0, yOf(20.0)), QPointF(right, yOf(1.0))));
    }
    p.end();

    m_visible[static_cast<std::size_t>(m_toggle)] = true;
    m_visible[static_cast<std::size_t>(1 - m_toggle)] = false;
    notify();
}

void SMeter::setMeterToolTip(const std::string& Text) {
    m_toolTip = Text;
    notify();
}

} // namespace orvex
