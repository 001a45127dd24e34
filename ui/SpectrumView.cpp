#include "SpectrumView.h"

#include "display/clsSpectrumAnalyser.h"

#include <QPainter>

namespace orvex::ui {

SpectrumView::SpectrumView(app::SpectrumController& spectrum, clsSpectrumAnalyser& analyser,
                           QWidget* parent)
    : PointerSurface(spectrum, app::ScopeSurface::Display, "lblSpectrumFreq0", parent),
      m_analyser(analyser) {
    setObjectName("picScope");
    setAccessibleName("Spectrum display");
    setMinimumSize(320, 100);
}

void SpectrumView::resizeEvent(QResizeEvent* event) {
    m_analyser.setSurfaceSize(size(), devicePixelRatioF());
    PointerSurface::resizeEvent(event);
}

void SpectrumView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_analyser.VisibleImage());
}

} // namespace orvex::ui
