#include "SMeterPanel.h"

#include "display/SMeter.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

namespace orvex::ui {

SMeterView::SMeterView(SMeter& meter, QWidget* parent) : QWidget(parent), m_meter(meter) {
    setObjectName("picSMeter");
    setAccessibleName("Signal strength");
    setMinimumSize(180, 26);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SMeterView::resizeEvent(QResizeEvent* event) {
    m_meter.setSurfaceSize(size(), devicePixelRatioF());
    QWidget::resizeEvent(event);
}

void SMeterView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_meter.VisibleImage());
}

SMeterPanel::SMeterPanel(app::StatsController& stats, SMeter& meter, app::ValuesController& values,
                         QWidget* parent)
    : HoverFrame("S Meter", values, app::PanelFrame::Count, parent), m_stats(stats),
      m_meter(meter) {
    setObjectName("frSMeter");
    m_view = new SMeterView(meter, this);
    m_zero = new QPushButton("ZeroS", this);
    m_zero->setObjectName("cmdCalibrateSMeter");
    m_zero->setToolTip("Take the present signal level as the meter's zero");
    m_zero->setAccessibleName("ZeroS");
    connect(m_zero, &QPushButton::clicked, this, [this] { m_stats.zeroMeter(); });
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 4);
    box->addWidget(m_view, 1);
    box->addWidget(m_zero);
    m_meter.setChangedHandler([this] { m_view->update(); });
    connect(&stats, &app::StatsController::meterChanged, this, &SMeterPanel::refresh);
}

void SMeterPanel::refresh() {
    SetToolTip(m_view, m_meter.ToolTip());
    const QString level =
        QString::number(m_meter.LevelDb() - 20.0 * std::log10(512.0), 'f', 0) + " dB over S9";
    if (m_view->accessibleDescription() != level) m_view->setAccessibleDescription(level);
}

} // namespace orvex::ui
