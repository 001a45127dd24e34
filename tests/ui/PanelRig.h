// The real front panel offscreen on the simulated receiver (the core's test rig), and a wheel
// notch as the window system delivers it.
#pragma once

#include "../app/CoreRig.h"
#include "ui/FrequencyPanel.h"
#include "ui/PanelWidgets.h"
#include "ui/frmMain.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

namespace orvex::test {

struct PanelRig : CoreRig {
    PanelRig() {
        core = std::make_unique<app::ReceiverCore>(store, options);
        window = std::make_unique<ui::frmMain>(*core);
        ok = window->start();
        if (ok) core->session().vfo().Lines().setBitPeriodNs(0);
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

// Every control under `root` that shows in `window` (buttons, sliders, value labels) has an
// accessible name; returns how many were looked at.
inline int CheckAccessibleNames(QWidget* root, QWidget* window) {
    int checked = 0;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) ||
                             qobject_cast<QAbstractSlider*>(w) ||
                             qobject_cast<ui::ValueLabelWidget*>(w);
        if (!control || !w->isVisibleTo(window)) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        EXPECT_TRUE(a != nullptr && !a->text(QAccessible::Name).trimmed().isEmpty())
            << w->objectName().toStdString();
        ++checked;
    }
    return checked;
}

} // namespace orvex::test
