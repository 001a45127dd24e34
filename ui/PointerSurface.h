// What the spectrum display and the waterfall share: a picture surface that hands the pointer
// to the spectrum controller. Moving shows the frequency read-out beside the pointer (and, with
// wheel tuning over the scope, makes the surface the wheel's target); a left click tunes to the
// frequency drawn there; leaving hides the read-out. The subclass paints and says how its x maps
// onto the trace's axis.
#pragma once

#include "app/SpectrumController.h"

#include <QWidget>

class QLabel;

namespace orvex::ui {

class PointerSurface : public QWidget {
    Q_OBJECT
public:
    PointerSurface(app::SpectrumController& spectrum, app::ScopeSurface kind,
                   const QString& readoutName, QWidget* parent = nullptr);
    /// The frequency read-out beside the pointer (lblSpectrumFreq).
    QLabel* readout() const { return m_readout; }
    /// Shows the controller's read-out text beside the pointer while it is over this surface.
    void refreshReadout();

protected:
    /// x on the trace's surface for x (logical pixels) here.
    virtual double traceX(double x) const { return x; }
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

    app::SpectrumController& m_spectrum;

private:
    app::ScopeSurface m_kind;
    QLabel* m_readout;
    QPoint m_pointer;
};

} // namespace orvex::ui
