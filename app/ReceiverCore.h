// The window's core: the one object that owns the receiver (the session with its chain, sound
// card and DDS controller "VFO1"), the trace log and one controller per area of the window,
// and runs the receiver's life: start-up (Form_Initialize, Form_Load), the settings restore
// and save in their order, the timers, and shutdown (Form_Unload).
//
//   power      On, Off, Close                     (app/PowerController.h)
//   window     caption, display size, clock       (app/WindowController.h)
//   values     wheel table, hover, DarkenControls (app/ValuesController.h)
//   tuning     readout, knob, keys, entry         (app/TuningController.h)
//   controls   mode, filters, notch, AGC, level   (app/ControlsController.h)
//   spectrum   analyser, waterfall                (app/SpectrumController.h)
//   stats      statistics, S-meter                (app/StatsController.h)
//   bands      band plans, presets                (app/BandsController.h)
//   config     devices, synthesiser, options      (app/ConfigController.h)
//   record     recordings                         (app/RecordController.h)
//   remote     the rigctl server                  (app/RemoteController.h)
//   programs   the OrvexSDR source, the UDP audio (app/ProgramAudioController.h)
//
// The window's panels each talk to their own controller; cross-area effects (the display
// size, the hover reset, power off, tuning shown in the statistics) are wired here. The
// window owns the drawing engines; the core holds non-owning pointers, saves their settings
// before the settings file is written and lets go of them at shutdown.
//
// One thread: sound card notifications, timers and control events all run on the thread of
// the Qt event loop, one at a time. QtCore only.
#pragma once

#include "app/BandsController.h"
#include "app/ConfigController.h"
#include "app/ControlsController.h"
#include "app/LifeCycle.h"
#include "app/PowerController.h"
#include "app/ProgramAudioController.h"
#include "app/RadioSession.h"
#include "app/RecordController.h"
#include "app/RemoteController.h"
#include "app/SpectrumController.h"
#include "app/StatsController.h"
#include "app/TraceLog.h"
#include "app/TuningController.h"
#include "app/ValuesController.h"
#include "app/WindowController.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace orvex {
class SettingsStore;
class SpectrumDisplay;
class WaterfallDisplay;
class MeterDisplay;
} // namespace orvex

namespace orvex::app {

/// The window's drawing engines, as the window hands them over (any may be null).
struct DisplayEngines {
    SpectrumDisplay* analyser = nullptr;
    WaterfallDisplay* waterfall = nullptr;
    MeterDisplay* meter = nullptr;
};

/// Where the window takes over during start-up.
struct FrontPanelHooks {
    /// Shows text on the splash window's label; an empty text closes the splash.
    std::function<void(const std::string&)> splash;
    /// "Form_Load : New clsSpectrumAnalyser" and "Form_Load : Draw SMeter": the window makes
    /// its engines (it keeps them; the core only points at them).
    std::function<DisplayEngines()> newDisplayEngines;
};

struct CoreOptions {
    /// The command line (the word "trace" turns the log on).
    std::vector<std::string> arguments;
    /// Folder of the trace log file.
    std::string traceFolder = DefaultTraceFolder();
    /// Band-plan folder from the command line; empty: the usual rule.
    std::string bandPlanFolder;
    /// Sound device lists beyond ALSA, and test overrides.
    SessionDevices devices;
    /// Pace clocked devices in real time (false: tests advance the clock themselves).
    bool realTime = true;
};

class ReceiverCore final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kProductName = "OrvexSDR_Brisko";
    static constexpr const char* kCaption = kWindowCaption;
    static constexpr const char* kVersion = app::kVersion;

    /// `store` holds sections "frmMain" and "VFO1"; it must outlive the core.
    ReceiverCore(SettingsStore& store, CoreOptions options);
    ~ReceiverCore() override;

    // ---- life cycle ------------------------------------------------------------------------
    /// Trace switch, band plans, DSP objects, then Form_Load. False when the program cannot run
    /// (no band plan: the message has been shown) and must end.
    bool Form_Initialize(const FrontPanelHooks& hooks);
    /// The shutdown: timers, server, sound card, band plans, settings, engines, controller.
    /// Once only.
    void Form_Unload();
    /// Close (the button, the window's close box, SIGTERM): shuts down and then emits
    /// closeRequested(). While a block is being handled or the synthesiser is being sent a word
    /// (a command from the event loop is half done), it waits for that to finish first.
    void close();
    const LifeCycle& life() const { return m_life; }
    bool unloaded() const { return m_life.unloaded; }

    // ---- the receiver and the areas of the window -------------------------------------------
    RadioSession& session() { return m_session; }
    TraceLog& trace() { return m_trace; }
    /// The settings store the core was given (the window's engines restore from it).
    SettingsStore& store() { return m_store; }
    PowerController& power() { return m_power; }
    WindowController& window() { return m_window; }
    ValuesController& values() { return m_values; }
    TuningController& tuning() { return m_tuning; }
    ControlsController& controls() { return m_controls; }
    SpectrumController& spectrum() { return m_spectrum; }
    StatsController& stats() { return m_stats; }
    BandsController& bands() { return m_bands; }
    ConfigController& config() { return m_config; }
    RecordController& record() { return m_record; }
    RemoteController& remote() { return m_remote; }
    ProgramAudioController& programAudio() { return m_programAudio; }

    // ---- timers (run by the core's QTimers; public for tests) -------------------------------
    void tmrTune_Timer();
    void tmrVFOUpdate_Timer();
    void tmrShaft_Timer();
    void tmrClock_Timer();
    /// Runs pending tuning steps now and keeps tmrTune's interval (tests run ticks by hand).
    QTimer& timer(const char* name);

    /// Restores the main window's keys (section "frmMain") and applies them.
    void RestoreSettings();
    /// Saves them.
    void SaveSettings();

Q_SIGNALS:
    /// Close has shut everything down: the program ends.
    void closeRequested();

private:
    void Form_Load(const FrontPanelHooks& hooks);
    void wireAreas();
    void log(const std::string& line) { m_trace.add(line); }

    SettingsStore& m_store;
    CoreOptions m_options;
    LifeCycle m_life;
    TraceLog m_trace;
    RadioSession m_session;
    ValuesController m_values;
    PowerController m_power;
    WindowController m_window;
    TuningController m_tuning;
    ControlsController m_controls;
    SpectrumController m_spectrum;
    StatsController m_stats;
    BandsController m_bands;
    RecordController m_record;
    RemoteController m_remote;
    ProgramAudioController m_programAudio; // after m_session: gone before it
    ConfigController m_config;
    QTimer m_tmrTune, m_tmrVFOUpdate, m_tmrShaft, m_tmrClock;
    bool m_closePending = false;
};

} // namespace orvex::app
