#include "PointerSurface.h"

#include <QLabel>
#include <QMouseEvent>

namespace orvex::ui {

PointerSurface::PointerSurface(app::SpectrumController& spectrum, app::ScopeSurface kind,
                               const QString& readoutName, QWidget* parent)
    : QWidget(parent), m_spectrum(spectrum), m_kind(kind) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    m_readout = new QLabel(this);
    m_readout->setObjectName(readoutName);
    m_readout->setAccessibleName("Frequency under the pointer");
    m_readout->setStyleSheet("background: #000000; color: #ffff00; padding: 0 2px;");
    m_readout->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_readout->hide();
}

void PointerSurface::mouseMoveEvent(QMouseEvent* event) {
    m_pointer = event->position().toPoint();
    m_spectrum.scopeHover(m_kind, traceX(event->position().x()), event->position().y(), height());
    refreshReadout();
    event->accept();
}

void PointerSurface::mousePressEvent(QMouseEvent* event) {
    m_spectrum.scopeClick(traceX(event->position().x()), event->button() == Qt::LeftButton);
    event->accept();
}

void PointerSurface::leaveEvent(QEvent* event) {
    m_spectrum.scopeLeave();
    QWidget::leaveEvent(event);
}

void PointerSurface::refreshReadout() {
    const bool shown = m_spectrum.view().ReadoutOn == m_kind;
    if (shown) {
        // Beside the pointer, 17 pixels to the right, pulled back inside the surface.
        const QString text = QString::fromStdString(m_spectrum.view().lblSpectrumFreq);
        if (m_readout->text() != text) {
            m_readout->setText(text);
            m_readout->setAccessibleDescription(text);
            m_readout->adjustSize();
        }
        const QSize s = m_readout->size();
        const QPoint at(std::max(0, std::min(m_pointer.x() + 17, width() - s.width())),
                        std::max(0, std::min(m_pointer.y(), height() - s.height())));
        if (m_readout->pos() != at) m_readout->move(at);
    }
    if (m_readout->isVisible() != shown) m_readout->setVisible(shown);
}

} // namespace orvex::ui
