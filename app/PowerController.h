// The power area of the window: On, Off and Close. On sets up the filters, raises the
// process's scheduling priority as far as the user may, sends the synthesiser's registers
// again and starts streaming; Off stops streaming, returns the priority and finishes any
// recording; Close asks the core to shut down. A sound device that stops working while
// streaming switches the receiver off with a message.
//
// Runs on the user-interface thread; the power panel shows view() and repaints on changed().
#pragma once

#include "app/LifeCycle.h"
#include "core/Colours.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace orvex::app {

class RadioSession;
class TraceLog;

/// What the power buttons show.
struct PowerView {
    bool PowerOn = false;      ///< the receiver is streaming
    bool PowerEnabled = false; ///< the buttons take clicks (from the end of start-up)
    PanelColour OnColour = kColourGreen, OffColour = kColourDarkRed;
    bool CloseVisible = true; ///< Close is hidden while the receiver is on
};

class PowerController final : public QObject {
    Q_OBJECT
public:
    /// What power changes elsewhere: Close shuts the program down; Off (and a lost device)
    /// finishes the recordings.
    struct Hooks {
        std::function<void()> close;
        std::function<void()> poweredOff;
    };

    PowerController(RadioSession& session, TraceLog& trace, const LifeCycle& life, bool realTime);
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    const PowerView& view() const { return m_view; }
    /// Power buttons: 0 On, 1 Off, 2 Close.
    void optPwr_Click(std::int32_t index);
    /// "Form_Load : Enable Power Butons".
    void enable();
    /// Switches the receiver off (a device change that failed, shutdown).
    void powerOff();

    /// Repaints what shows this area (start-up, a change made outside its handlers).
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();

private:
    void powerOn();
    void raisePriority();
    void restorePriority();

    RadioSession& m_session;
    TraceLog& m_trace;
    const LifeCycle& m_life;
    bool m_realTime;
    Hooks m_hooks;
    PowerView m_view;
    int m_startNice = 0;
    bool m_niceRaised = false;
};

} // namespace orvex::app
