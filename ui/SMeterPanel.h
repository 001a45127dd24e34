// The signal-strength meter (picSMeter) and its "ZeroS" button: the widget shows the meter
// engine's visible surface and its tool tip.
#pragma once

#include "PanelWidgets.h"
#include "app/StatsController.h"

class QPushButton;

namespace orvex {
class SMeter;
}

namespace orvex::ui {

class SMeterView final : public QWidget {
    Q_OBJECT
public:
    SMeterView(SMeter& meter, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {260, 34}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    SMeter& m_meter;
};

class SMeterPanel final : public HoverFrame {
    Q_OBJECT
public:
    SMeterPanel(app::StatsController& stats, SMeter& meter, app::ValuesController& values,
                QWidget* parent = nullptr);
    void refresh();
    SMeterView* view() const { return m_view; }
    QPushButton* zero() const { return m_zero; }

private:
    app::StatsController& m_stats;
    SMeter& m_meter;
    SMeterView* m_view;
    QPushButton* m_zero;
};

} // namespace orvex::ui
