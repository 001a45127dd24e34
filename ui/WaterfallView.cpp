#include "WaterfallView.h"

#include "display/Waterfall.h"

#include <QPainter>

namespace orvex::ui {

WaterfallView::WaterfallView(app::SpectrumController& spectrum, Waterfall& waterfall,
                             std::function<int()> traceWidth, QWidget* parent)
    : PointerSurface(spectrum, app::ScopeSurface::Waterfall, "lblSpectrumFreq1", parent),
      m_waterfall(waterfall), m_traceWidth(std::move(traceWidth)) {
    setObjectName("picWaterfall");
    setAccessibleName("Waterfall");
    setFixedHeight(waterfall.Height());
    setMinimumWidth(320);
}

double WaterfallView::traceX(double x) const {
    // The two surfaces are laid out equally wide; should they differ, x scales across.
    const int trace = m_traceWidth ? m_traceWidth() : width();
    return width() > 1 ? x * (trace - 1.0) / (width() - 1.0) : x;
}

void WaterfallView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    m_waterfall.Draw(p, QRectF(rect()));
}

} // namespace orvex::ui
