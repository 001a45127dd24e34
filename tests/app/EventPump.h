// The Qt event loop for tests of sockets and timers: one application object per test program,
// and a pump that runs the loop until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace orvex::testutil {

inline QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "orvex_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

/// Runs the event loop until done() holds; false if it does not within the guard time.
inline bool PumpUntil(const std::function<bool()>& done, int guardMs = 10000) {
    App();
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > guardMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

} // namespace orvex::testutil
