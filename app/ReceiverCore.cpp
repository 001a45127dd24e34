// Life cycle of the application core: start-up, power, timers and shutdown.
#include "ReceiverCore.h"

#include "app/RigctlServer.h"
#include "app/SessionRig.h"
#include "audio/OrvexDX8.h"
#include "bandplan/BandPlanFolders.h"
#include "core/Format.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"
#include "core/YieldHook.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "radio/ShaftEncoder.h"
#include "radio/TuningKnob.h"
#include "radio/ad9951.h"

#include <QDateTime>
#include <cerrno>
#include <random>
#include <sys/resource.h>

namespace orvex::app {

ReceiverCore::ReceiverCore(SettingsStore& store, CoreOptions options)
    : m_store(store), m_options(std::move(options)) {
    errno = 0;
    m_startNice = getpriority(PRIO_PROCESS, 0);
    if (errno != 0) m_startNice = 0;
    m_panel.FrameColour.fill(kColourResting);

    m_tmrTune.setInterval(50);
    m_tmrVFOUpdate.setInterval(1000);
    m_tmrShaft.setInterval(30);
    m_tmrClock.setInterval(500);
    connect(&m_tmrTune, &QTimer::timeout, this, [this] { tmrTune_Timer(); });
    connect(&m_tmrVFOUpdate, &QTimer::timeout, this, [this] { tmrVFOUpdate_Timer(); });
    connect(&m_tmrShaft, &QTimer::timeout, this, [this] { tmrShaft_Timer(); });
    connect(&m_tmrClock, &QTimer::timeout, this, [this] { tmrClock_Timer(); });
    connect(&m_session, &RadioSession::statisticsUpdated, this, [this] { StatisticsUpdated(); });
    connect(&m_session, &RadioSession::spectrumRedrawDue, this,
            [this] { Q_EMIT spectrumRedrawDue(); });
    connect(&m_session, &RadioSession::deviceLost, this, [this](const QString& why) {
        m_panel.StatusText = why.toStdString();
        powerOff();
        ShowMessage("The sound device stopped working: " + why.toStdString(),
                    MessageIcon::Exclamation, kProductName);
        emitChanged(kAreaPower | kAreaCaption);
    });
    setUpRecording();
}

ReceiverCore::~ReceiverCore() {
    if (m_loaded && !m_unloaded) Form_Unload();
    m_recorder.reset(); // finishes any recording and leaves the session's hook
}

const ReceiveState& ReceiverCore::state() const {
    return const_cast<RadioSession&>(m_session).chain().State();
}

ad9951& ReceiverCore::vfo() {
    return m_session.vfo();
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
    m_initialising = true;
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
    const bool found = DiscoverBandPlans(m_bands, folder.folder, [&](const std::string& name) {
        if (hooks.splash) hooks.splash(name);
        YieldToUser();
    });
    if (!found) {
        if (hooks.splash) hooks.splash({});
        m_initialising = false;
        return false;
    }
    m_panel.CurrentMainBandIndex = m_bands.CurrentMainBandIndex;

    // The DSP objects of the receive chain; the block profiler is the chain's own.
    m_session.createChain();

    m_initialising = false;
    if (hooks.splash) hooks.splash({});
    Form_Load(hooks);
    log("Form_Initialize : End");
    return true;
}

void ReceiverCore::Form_Load(const FrontPanelHooks& hooks) {
    if (m_initialising) return;
    ReceiveChain& chain = m_session.chain();
    auto& s = chain.State();

    log("Form_Load : Start");
    m_panel.Caption = kCaption;

    log("Form_Load : New clsSpectrumAnalyser");
    if (hooks.newSpectrumAnalyser) m_spectrum = hooks.newSpectrumAnalyser();
    m_session.attachSpectrum(m_spectrum.get());

    log("Form_Load : Draw SMeter");
    if (hooks.setupSMeter) m_meter = hooks.setupSMeter();
    m_session.attachMeter(m_meter.get());
    log("Form_Load : Positioning Presets");
    log("Form_Load : Initialising MouseOverS");
    setUpValueTable();
    for (const char* step :
         {"CtlArray(1)",  "dialtuner",    "CtlArray(2)",  "CtlArray(3)",  "CtlArray(4)",
          "CtlArray(5)",  "CtlArray(7)",  "CtlArray(8)",  "CtlArray(9)",  "sldNB",
          "dialNB",       "ctlArray(10)", "dialOutVol",   "sldOutVolume", "ctlArray(11)",
          "ctlArray(12)", "ctlArray(13)", "ctlArray(14)", "ctlArray(15)", "CtlArray(6)",
          "ctlArray(16)", "ctlArray(17)", "ctlArray(18)", "ctlArray(19)"})
        log(std::string("Form_Load : Initialising ") + step);

    log("Form_Load : Initialising cboBandSelect");
    fillBandSelect();
    log("Form_Load : Initialising optSubBand");
    log("Form_Load : Initialising optPreset");

    log("Form_Load : New OrvexDX8");
    RestoreDeviceOptions();
    std::string simError;
    if (!m_session.createDevices(m_options.devices, simError)) {
        m_panel.StatusText = simError;
        ShowMessage("The simulated receiver cannot start: " + simError, MessageIcon::Exclamation,
                    kProductName);
    }
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
    v.setCaptionHandler([this](const std::string& text) {
        m_panel.Caption = text;
        emitChanged(kAreaCaption);
    });
    v.setName("VFO1");
    v.setIndex(0);
    v.init();
    v.setAutoUpDate(true);
    m_knob = std::make_unique<TuningKnob>(v);
    m_encoder = std::make_unique<ShaftEncoder>(v, *m_knob);
    m_tuning = std::make_unique<TuningPanel>(v, *m_knob);
    m_tuning->ShowTunedFreq();
    refreshVFOLabels();

    log("Form_Load : Initialising sldAGCAttack");
    log("Form_Load : Initialising sldAGCDecay");
    log("Form_Load : Initialising SpectrumAnalyser");
    setUpSpectrum();
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
            selectBandInUse();
            if (m_spectrum)
                m_spectrum->setFOffset(static_cast<std::int32_t>(RoundHalfEven(
                    v.TunedFreq() * 1e6 - (m_spectrum->FEnd() - m_spectrum->FStart()) / 2.0)));
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
    StatisticsUpdated();

    log("Form_Load : Enable Power Butons");
    m_panel.PowerEnabled = true;
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

    RestoreRemoteControl();

    log("Form_Load : Call DarkenControls");
    DarkenControls();
    log("Form_Load : End");
    m_loaded = true;
    emitChanged(kAreaAll);
}

void ReceiverCore::refreshVFOLabels() {
    ad9951& v = m_session.vfo();
    m_panel.lblCLKINFreq = FormatNumber(v.ClkIn(), "#0.000 000");
    m_panel.lblIFFreq = FormatNumber(v.IFFreq(), "#0.000 000;(#0.000 000)");
}

// ---- power -------------------------------------------------------------------------------------

void ReceiverCore::optPwr_Click(std::int32_t index) {
    log("optPwr_click : Start Arg=" + std::to_string(index));
    if (index == 0)
        powerOn();
    else if (index == 1)
        powerOff();
    log("optPwr_click : End");
    if (index == 2) {
        Form_Unload();
        Q_EMIT closeRequested();
        return;
    }
    emitChanged(kAreaPower | kAreaChain | kAreaCaption);
}

void ReceiverCore::powerOn() {
    if (m_unloaded) return;
    ReceiveChain& chain = m_session.chain();
    m_panel.OnColour = 0xC000;
    m_panel.OffColour = kColourRed;
    chain.State().FiltersChanged = true;
    chain.RebuildFilters();
    chain.State().FiltersChanged = false;
    raisePriority();
    m_panel.CloseVisible = false;
    m_session.vfo().InitAD9951();
    std::string error;
    if (!m_session.streaming() && !m_session.startStreaming(m_options.realTime, error)) {
        // The receiver stays off; the window goes on.
        const std::string text = error + "\n(" + SoundDevicesText() + ")";
        m_panel.StatusText = text;
        log("optPwr_click : " + text);
        powerOff();
        ShowMessage(text, MessageIcon::Exclamation, kProductName);
        return;
    }
    chain.State().PowerOn = true;
    m_panel.PowerOn = true;
    m_panel.StatusText.clear();
}

void ReceiverCore::powerOff() {
    m_session.stopStreaming();
    stopRecordings();
    restorePriority();
    m_session.stopChainTimers();
    m_panel.OnColour = kColourGreen;
    m_panel.OffColour = kColourDarkRed;
    m_panel.CloseVisible = true;
    m_panel.PowerOn = false;
    if (m_loaded || m_initialising) m_session.chain().State().PowerOn = false;
}

// Reception gets a higher scheduling priority while it runs, when the user may have it; the
// process never lowers its priority below where it started, so it can always return to normal.
void ReceiverCore::raisePriority() {
    if (m_niceRaised) return;
    if (setpriority(PRIO_PROCESS, 0, m_startNice - 10) == 0) m_niceRaised = true;
}

void ReceiverCore::restorePriority() {
    if (!m_niceRaised) return;
    setpriority(PRIO_PROCESS, 0, m_startNice);
    m_niceRaised = false;
}

// ---- shutdown ----------------------------------------------------------------------------------

void ReceiverCore::Form_Unload() {
    if (m_unloaded || !m_loaded) return;
    m_unloaded = true;
    // Remote clients first: nothing may tune or switch while the receiver goes down.
    StopRemoteControl();
    updateRemoteStatus();
    m_tmrTune.stop();
    m_tmrVFOUpdate.stop();
    m_tmrShaft.stop();
    m_tmrClock.stop();
    m_session.stopChainTimers();
    m_session.stopStreaming();
    stopRecordings();
    restorePriority();
    m_panel.PowerOn = false;
    SaveAllBandPlans(m_bands);
    SaveSettings();
    // Release in order: the controller (its release saves "VFO1" and writes the store), then
    // the display objects; the chain and the sound card go with the session.
    m_session.chain().AttachSpectrum(nullptr);
    m_session.chain().AttachMeter(nullptr);
    m_encoder.reset();
    m_tuning.reset();
    m_knob.reset();
    m_session.vfo().Terminate();
    m_spectrum.reset();
    m_meter.reset();
}

// ---- timers ------------------------------------------------------------------------------------

void ReceiverCore::tmrTune_Timer() {
    if (!m_tuning) return;
    const auto digits = m_tuning->lbl7Seg;
    const std::string rate = m_tuning->lblTuningRate;
    m_tuning->tmrTune_Timer();
    if (m_tmrTune.interval() != m_tuning->tmrTuneInterval)
        m_tmrTune.setInterval(m_tuning->tmrTuneInterval);
    if (digits != m_tuning->lbl7Seg || rate != m_tuning->lblTuningRate) emitChanged(kAreaFrequency);
}

void ReceiverCore::tmrVFOUpdate_Timer() {
    if (!m_tuning) return;
    static std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const std::int32_t next = m_tuning->tmrVFOUpdate_Timer([&] { return uniform(random); });
    if (next != m_tmrVFOUpdate.interval()) m_tmrVFOUpdate.setInterval(next);
}

void ReceiverCore::tmrShaft_Timer() {
    if (!m_encoder || !m_panel.EnableShaftEncoder) return;
    const double before = m_session.vfo().TunedFreq();
    m_encoder->tmrShaft_Timer();
    if (before != m_session.vfo().TunedFreq()) {
        m_tuning->ShowTunedFreq();
        emitChanged(kAreaFrequency);
    }
}

void ReceiverCore::tmrClock_Timer() {
    const QString text = QDateTime::currentDateTimeUtc().toString("HH:mm:ss");
    if (text.toStdString() == m_panel.lblClock) return;
    m_panel.lblClock = text.toStdString();
    emitChanged(kAreaClock);
}

} // namespace orvex::app
