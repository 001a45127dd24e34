// The real front panel offscreen on the simulated receiver (the core's test rig), and a wheel
// notch as the window system delivers it.
#pragma once

#include "../app/CoreRig.h"
#include "ui/FrequencyPanel.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <memory>

namespace orvex::test {

struct PanelRig : CoreRig {
    PanelRig() {
        core = std::make_unique<app::ReceiverCore>(store, options);
        window = std::make_unique<ui::frmMain>(*core);
        ok = window->start();
        if (ok) core->vfo().Lines().setBitPeriodNs(0);
        window->show();
    }
    ui::FrequencyDisplay* readout() { return window->frequency()->display(); }
    void hoverDigit(int i) { QTest::mouseMove(readout(), readout()->digitRect(i).center()); }
    std::unique_ptr<ui::frmMain> window; // before the core goes
    bool ok = false;
};

// One wheel notch at `at` (the widget's centre by default), as the window system would
// deliver it.
inline void Wheel(QWidget* w, bool forward, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  QPoint at = QPoint(-1, -1)) {
    if (at.x() < 0) at = w->rect().center();
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, forward ? 120 : -120), Qt::NoButton,
                  modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

} // namespace orvex::test
