#include "SpectrumView.h"

#include "app/ReceiverCore.h"
#include "display/clsSpectrumAnalyser.h"

#include <QPainter>

namespace orvex::ui {

SpectrumView::SpectrumView(app::ReceiverCore& core, clsSpectrumAnalyser& analyser, QWidget* parent)
    : PointerSurface(core, app::ScopeSurface::Display, "lblSpectrumFreq0", parent),
      m_analyser(analyser) {
    setObjectName("picScope");
    setAccessibleName("Spectrum display");
    setMinimumSize(320, 100);
}

void SpectrumView::resizeEvent(QResizeEvent* event) {
    if (!m_core.unloaded()) m_analyser.setSurfaceSize(size(), devicePixelRatioF());
    PointerSurface::resizeEvent(event);
}

void SpectrumView::paintEvent(QPaintEvent*) {
    if (m_core.unloaded()) return; // the engines went with the core's shutdown
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_analyser.VisibleImage());
}

} // namespace orvex::ui
