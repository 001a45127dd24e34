// Life cycle of the window's core: start-up, the wiring between the areas, the timers and
// shutdown. The settings of section "frmMain" are in CoreSettings.cpp.
#include "ReceiverCore.h"

#include "app/EncoderInput.h"
#include "audio/OrvexDX8.h"
#include "bandplan/BandPlanFolders.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "core/YieldHook.h"
#include "dsp/DisplayPorts.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "radio/ad9951.h"

namespace orvex::app {
namespace {

// How often a Close that waits for a block or a tuning word looks again, ms.
constexpr int kCloseRetryMs = 5;

} // namespace

ReceiverCore::ReceiverCore(SettingsStore& store, CoreOptions options)
    : m_store(store), m_options(std::move(options)), m_values(m_session, m_life),
      m_power(m_session, m_trace, m_life, m_options.realTime), m_window(m_session, m_life),
      m_tuning(m_session, m_values, m_life), m_controls(m_session, m_values, m_life),
      m_spectrum(m_session, m_values, m_store, m_life), m_stats(m_session, m_life),
      m_bands(m_session, m_values, m_life), m_record(m_session, m_trace),
      m_remote(m_session, m_store, m_trace,
               {[this] { return m_power.view().PowerOn; },
                [this](bool on) {
                    if (m_life.unloaded) return false;
                    if (on != m_power.view().PowerOn) m_power.optPwr_Click(on ? 0 : 1);
                    return m_power.view().PowerOn == on;
                }}),
      m_programAudio(m_session, m_store, m_trace),
      m_config(m_session, m_store, m_trace, m_life, m_options.realTime,
               {m_power, m_tuning, m_spectrum, m_window, m_remote, m_programAudio}) {
    m_tmrTune.setInterval(50);
    m_tmrVFOUpdate.setInterval(1000);
    m_tmrShaft.setInterval(30);
    m_tmrClock.setInterval(500);
    connect(&m_tmrTune, &QTimer::timeout, this, [this] { tmrTune_Timer(); });
    connect(&m_tmrVFOUpdate, &QTimer::timeout, this, [this] { tmrVFOUpdate_Timer(); });
    connect(&m_tmrShaft, &QTimer::timeout, this, [this] { tmrShaft_Timer(); });
    connect(&m_tmrClock, &QTimer::timeout, this, [this] { tmrClock_Timer(); });
    wireAreas();
}

ReceiverCore::~ReceiverCore() {
    if (m_life.loaded && !m_life.unloaded) Form_Unload();
}

// The effects one area has on another.
void ReceiverCore::wireAreas() {
    m_power.setHooks({[this] { close(); }, [this] { m_record.stopAll(); }});
    // The display size decides whether the spectrum and the statistics run.
    m_window.setSizeHook([this] {
        m_spectrum.setShownBySize(m_window.showsEverything());
        m_stats.refresh();
    });
    // The statistics show the LO of the frequency the readout shows.
    connect(&m_tuning, &TuningController::changed, this, [this] {
        if (m_tuning.started()) m_stats.setLOText(m_tuning.model().LOText);
    });
    connect(&m_tuning, &TuningController::tuneIntervalChanged, this,
            [this](int ms) { m_tmrTune.setInterval(ms); });
    // After each block: the statistics and the meter; the dynamic filter and the automatic
    // notch move the controls.
    connect(&m_session, &RadioSession::statisticsUpdated, this, [this] {
        if (m_life.unloaded) return;
        m_stats.statisticsUpdated();
        const ReceiveState& s = m_session.state();
        if (s.DynFilterOn || s.NotchMode == 1) m_controls.refresh();
    });
}

QTimer& ReceiverCore::timer(const char* name) {
    const std::string n = name;
    if (n == "tmrVFOUpdate") return m_tmrVFOUpdate;
    if (n == "tmrShaft") return m_tmrShaft;
    if (n == "tmrClock") return m_tmrClock;
    return m_tmrTune;
}

// ---- start-up ----------------------------------------------------------------------------------

bool ReceiverCore::Form_Initialize(const FrontPanelHooks& hooks) {
    m_life.initialising = true;
    m_trace.start(CommandLineHasTrace(m_options.arguments), m_options.traceFolder);
    if (hooks.splash) hooks.splash("Loading Bandplans");
    YieldToUser();
    log("Form_Initialize : Start");

    // The optimised back end is probed once; using it starts off (the settings decide).
    spl::Probe();
    vec::SetUseSPL(false);

    const BandPlanFolderChoice folder =
        ChooseBandPlanFolder(DefaultBandPlanFolderRule(m_options.bandPlanFolder));
    for (const auto& note : folder.notes)
        log("Form_Initialize : " + note);
    BandPlanModel& bands = m_bands.model();
    const bool found = DiscoverBandPlans(bands, folder.folder, [&](const std::string& name) {
        if (hooks.splash) hooks.splash(name);
        YieldToUser();
    });
    if (!found) {
        if (hooks.splash) hooks.splash({});
        m_life.initialising = false;
        return false;
    }
    m_bands.setRestoredBandIndex(bands.CurrentMainBandIndex);

    // The DSP objects of the receive chain; the block profiler is the chain's own.
    m_session.createChain();

    m_life.initialising = false;
    if (hooks.splash) hooks.splash({});
    Form_Load(hooks);
    log("Form_Initialize : End");
    return true;
}

void ReceiverCore::Form_Load(const FrontPanelHooks& hooks) {
    if (m_life.initialising) return;
    ReceiveChain& chain = m_session.chain();
    auto& s = chain.State();

    log("Form_Load : Start");
    m_window.setCaption(kCaption);

    log("Form_Load : New clsSpectrumAnalyser");
    const DisplayEngines engines =
        hooks.newDisplayEngines ? hooks.newDisplayEngines() : DisplayEngines{};
    m_spectrum.attach(engines.analyser, engines.waterfall);
    m_session.attachSpectrum(engines.analyser);

    log("Form_Load : Draw SMeter");
    m_stats.attachMeter(engines.meter);
    log("Form_Load : Positioning Presets");
    log("Form_Load : Initialising MouseOverS");
    m_spectrum.defineValues();
    m_controls.bindValues();
    for (const char* step :
         {"CtlArray(1)",  "dialtuner",    "CtlArray(2)",  "CtlArray(3)",  "CtlArray(4)",
          "CtlArray(5)",  "CtlArray(7)",  "CtlArray(8)",  "CtlArray(9)",  "sldNB",
          "dialNB",       "ctlArray(10)", "dialOutVol",   "sldOutVolume", "ctlArray(11)",
          "ctlArray(12)", "ctlArray(13)", "ctlArray(14)", "ctlArray(15)", "CtlArray(6)",
          "ctlArray(16)", "ctlArray(17)", "ctlArray(18)", "ctlArray(19)"})
        log(std::string("Form_Load : Initialising ") + step);

    log("Form_Load : Initialising cboBandSelect");
    m_bands.fillBandSelect();
    log("Form_Load : Initialising optSubBand");
    log("Form_Load : Initialising optPreset");

    log("Form_Load : New OrvexDX8");
    m_config.restoreDeviceOptions(m_options.devices);
    std::string simError;
    if (!m_session.createDevices(m_options.devices, simError))
        ShowMessage("The simulated receiver cannot start: " + simError, MessageIcon::Exclamation,
                    kProductName);
    m_session.createSoundCard();
    log("Form_Load : Initialising SoundCard");
    OrvexDX8& card = m_session.soundCard();
    card.setFSampling(kChainSampleRate);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    card.setNoBlocksInBuffer(2);
    card.setSamplesPerEvent(kBlockSamples);
    card.setBitsPerSample(16);
    card.setInp2OutpBufferRatio(2);
    log("Form_Load : Initialising ctlArray(10) Again");
    chain.ApplyLabel(ChainLabel::OutVol);

    log("Form_Load : New clsFFTReal");
    log("Form_Load : Initialising FFTReal");

    log("Form_Load : New ad9951");
    // The controller drives the simulated box's lines when the capture device is the
    // simulated receiver (the default), the real port otherwise.
    const auto storedCapture = ParseInt32(m_store.get("frmMain", "CurrentCaptureDevice", "1"));
    const std::int32_t captureDevice = storedCapture && *storedCapture >= 1 ? *storedCapture : 1;
    m_session.createVFO(m_store, captureDevice);
    log("Form_Load : Initialising VFO1");
    ad9951& v = m_session.vfo();
    v.setCaptionHandler([this](const std::string& text) { m_window.setCaption(text); });
    v.setName("VFO1");
    v.setIndex(0);
    v.init();
    v.setAutoUpDate(true);
    m_tuning.start();
    // The shaft encoder's notes (lines polled, a port that stopped answering) go to the log.
    connect(&m_session.encoder(), &EncoderInput::message, this,
            [this](const QString& text) { log("Shaft encoder : " + text.toStdString()); });
    m_window.refreshVFOLabels();

    log("Form_Load : Initialising sldAGCAttack");
    log("Form_Load : Initialising sldAGCDecay");
    log("Form_Load : Initialising SpectrumAnalyser");
    m_spectrum.setUp();
    // The chain holds the filter, AGC, IF filter and notch defaults from its creation.
    for (int n = 0; n <= 4; ++n)
        log("Form_Load : Initialising Variable Filter Default Values (" + std::to_string(n) + ")");
    for (int n = 1; n <= 3; ++n)
        log("Form_Load : Initialising Variable AGC Default Values (" + std::to_string(n) + ")");
    log("Form_Load : Initialising Variable IF Filter Default Values (0)");
    log("Form_Load : Initialising NotchFilter Default Values");

    log("Form_Load : Calling RestoreSettings");
    RestoreSettings();

    s.chkImage.Value = v.TuneImage();
    s.chkImage.Colour = s.chkImage.Value ? kColourRed : kColourDarkRed;

    log("Form_Load : Set ctlarray(10).value to PublicVars.OutputAttenuation");
    chain.CompleteStartup([&](StartupStep step) {
        switch (step) {
        case StartupStep::Mode:
            log("Form_Load : Call optMode_Click CInt(" + std::to_string(s.CurrentDemodMode) + ")");
            break;
        case StartupStep::Filter:
            log("Form_Load : Call optFilter_Click CInt(" + std::to_string(s.CurrentFilterMode) +
                ")");
            break;
        case StartupStep::AfterFilter:
            log("Form_Load : Select Band in use last time");
            m_bands.selectBandInUse();
            m_spectrum.centreOnTunedFrequency();
            log("Form_Load : Call modWheelMouse.init");
            log("Form_Load : Call Orvex.SetMemory_S");
            break;
        case StartupStep::FilterEdges:
            log("Form_Load : Call MouseOverS.lblFilterHi_Wheel");
            log("Form_Load : Call MouseOverS.lblFilterLo_Wheel");
            break;
        case StartupStep::Statistics:
            log("Form_Load : Call tmrPerfStats_Timer");
            break;
        }
    });
    m_stats.statisticsUpdated();

    log("Form_Load : Enable Power Butons");
    m_power.enable();
    log("Form_Load : Enable TmrTune");
    m_tmrTune.setInterval(50);
    m_tmrTune.start();
    log("Form_Load : Enable TmrVFOUpdate");
    m_tmrVFOUpdate.setInterval(1000);
    m_tmrVFOUpdate.start();
    log("Form_Load : Enable TmrShaft");
    m_tmrShaft.start();
    log("Form_Load : Enable TmrClock");
    m_tmrClock.start();
    tmrClock_Timer();

    m_remote.restore();
    m_programAudio.restore();

    log("Form_Load : Call DarkenControls");
    m_values.DarkenControls();
    log("Form_Load : End");
    m_life.loaded = true;
    // Every panel shows the state start-up left.
    m_tuning.showTunedFreq();
    m_controls.refresh();
    m_window.refreshVFOLabels();
    m_stats.refresh();
    m_spectrum.refresh();
    m_bands.refresh();
    m_power.refresh();
    m_record.refresh();
    m_remote.refresh();
}

// ---- shutdown ----------------------------------------------------------------------------------

void ReceiverCore::close() {
    if (!m_life.unloaded &&
        (m_session.inNotification() || (m_session.hasVFO() && m_session.vfo().Sending()))) {
        // A block is being handled, or a tuning word is being sent (a command let the event
        // loop run): the receiver is not pulled from under it. Close follows when it is done.
        if (!m_closePending) {
            m_closePending = true;
            QTimer::singleShot(kCloseRetryMs, this, [this] {
                m_closePending = false;
                close();
            });
        }
        return;
    }
    Form_Unload();
    Q_EMIT closeRequested();
}

void ReceiverCore::Form_Unload() {
    if (m_life.unloaded || !m_life.loaded) return;
    m_life.unloaded = true;
    // An open configuration dialog cancels; remote clients go first: nothing may tune or
    // switch while the receiver goes down.
    m_config.shutDown();
    m_remote.stop();
    m_tmrTune.stop();
    m_tmrVFOUpdate.stop();
    m_tmrShaft.stop();
    m_tmrClock.stop();
    m_power.powerOff(); // streaming, the chain's timers, recordings, priority
    m_bands.saveAll();
    SaveSettings();
    // The engines save their settings before the settings file is written, then the core lets
    // go of them (the window destroys them later).
    m_spectrum.saveSettings();
    m_session.attachSpectrum(nullptr);
    m_spectrum.detach();
    m_stats.detachMeter();
    // The controller's release saves its keys and writes the settings file.
    m_session.vfo().Terminate();
}

// ---- timers ------------------------------------------------------------------------------------

void ReceiverCore::tmrTune_Timer() {
    m_tuning.tmrTune_Timer();
}

void ReceiverCore::tmrVFOUpdate_Timer() {
    if (!m_tuning.started()) return;
    const std::int32_t next = m_tuning.tmrVFOUpdate_Timer();
    if (next != m_tmrVFOUpdate.interval()) m_tmrVFOUpdate.setInterval(next);
}

void ReceiverCore::tmrShaft_Timer() {
    m_tuning.tmrShaft_Timer();
}

void ReceiverCore::tmrClock_Timer() {
    m_window.tmrClock_Timer();
}

} // namespace orvex::app
