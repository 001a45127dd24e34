#include "PowerController.h"

#include "app/RadioSession.h"
#include "app/TraceLog.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"

#include <cerrno>
#include <sys/resource.h>

namespace orvex::app {

PowerController::PowerController(RadioSession& session, TraceLog& trace, const LifeCycle& life,
                                 bool realTime)
    : m_session(session), m_trace(trace), m_life(life), m_realTime(realTime) {
    errno = 0;
    m_startNice = getpriority(PRIO_PROCESS, 0);
    if (errno != 0) m_startNice = 0;
    connect(&m_session, &RadioSession::deviceLost, this, [this](const QString& why) {
        powerOff();
        ShowMessage("The sound device stopped working: " + why.toStdString(),
                    MessageIcon::Exclamation, kApplicationName);
    });
}

void PowerController::optPwr_Click(std::int32_t index) {
    m_trace.add("optPwr_click : Start Arg=" + std::to_string(index));
    if (index == 0)
        powerOn();
    else if (index == 1)
        powerOff();
    m_trace.add("optPwr_click : End");
    if (index == 2) {
        if (m_hooks.close) m_hooks.close();
        return;
    }
    Q_EMIT changed();
}

void PowerController::enable() {
    m_view.PowerEnabled = true;
    Q_EMIT changed();
}

void PowerController::powerOn() {
    if (m_life.unloaded) return;
    m_view.OnColour = 0xC000;
    m_view.OffColour = kColourRed;
    raisePriority();
    m_view.CloseVisible = false;
    std::string error;
    if (!m_session.powerOn(m_realTime, error)) {
        // The receiver stays off; the window goes on.
        m_trace.add("optPwr_click : " + error);
        powerOff();
        ShowMessage(error, MessageIcon::Exclamation, kApplicationName);
        return;
    }
    m_view.PowerOn = true;
}

void PowerController::powerOff() {
    m_session.powerOff();
    if (m_hooks.poweredOff) m_hooks.poweredOff();
    restorePriority();
    m_view.OnColour = kColourGreen;
    m_view.OffColour = kColourDarkRed;
    m_view.CloseVisible = true;
    m_view.PowerOn = false;
    Q_EMIT changed();
}

// Reception gets a higher scheduling priority while it runs, when the user may have it; the
// process never lowers its priority below where it started, so it can always return to normal.
void PowerController::raisePriority() {
    if (m_niceRaised) return;
    if (setpriority(PRIO_PROCESS, 0, m_startNice - 10) == 0) m_niceRaised = true;
}

void PowerController::restorePriority() {
    if (!m_niceRaised) return;
    setpriority(PRIO_PROCESS, 0, m_startNice);
    m_niceRaised = false;
}

} // namespace orvex::app
