// The application core: the one object that owns the receiver (band plans, the receive chain
// and its sound card, the DDS controller "VFO1", both profilers, the spectrum and meter
// surfaces the window hands it) and runs its life: start-up (Form_Initialize, Form_Load),
// power On/Off/Close, the timers, settings restore and save, statistics, the trace log, and
// shutdown (Form_Unload). The window's panels forward their control events here and repaint
// from changed(); they never reach the signal chain themselves.
//
// One thread: sound card notifications, timers and control events all run on the thread of
// the Qt event loop, one at a time. QtCore only.
#pragma once

#include "app/RadioSession.h"
#include "app/SessionRecorder.h"
#include "app/SpectrumControls.h"
#include "app/SpectrumDisplay.h"
#include "app/TraceLog.h"
#include "app/TuningPanel.h"
#include "app/ValueTable.h"
#include "bandplan/PresetSelection.h"
#include "bandplan/modBandPlan.h"
#include "core/Colours.h"
#include "core/Profiler.h"
#include "dsp/ReceiveState.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex {
class RigControl;
class RigctlServer;
class SettingsStore;
class ShaftEncoder;
class TuningKnob;
class MeterDisplay;
} // namespace orvex

namespace orvex::app {

/// What changed, for the panels' repaint (a bit set).
enum Area : std::uint32_t {
    kAreaFrequency = 1u << 0, ///< readout, rate caption, LO
    kAreaChain = 1u << 1,     ///< mode, filters, notch, NB, AGC, level controls
    kAreaMeter = 1u << 2,     ///< S-meter image and tool tip
    kAreaStats = 1u << 3,     ///< statistics panel
    kAreaPower = 1u << 4,     ///< power buttons
    kAreaClock = 1u << 5,
    kAreaLayout = 1u << 6,  ///< display size
    kAreaHover = 1u << 7,   ///< highlights, wheel target, pop-ups to hide
    kAreaCaption = 1u << 8, ///< window caption, clock and IF labels
    kAreaBands = 1u << 9,   ///< band plans and presets
    kAreaRecord = 1u << 10, ///< recording: running, elapsed time, file size, failure
    kAreaRemote = 1u << 11, ///< the remote-control server's state and clients
    kAreaAll = 0xFFFFFFFFu,
};

/// Frames whose caption lights while the pointer is well inside.
enum class PanelFrame {
    frAF,
    frDemod,
    frFilters,
    frFreqCtl,
    frPower,
    frDispMode,
    frNotch,
    frIFFilter,
    frAGC,
    frStats,
    Count
};

/// Controls that take an index or a position, for Click / SliderChanged / SliderRightButton.
enum class Control {
    optMode,        ///< 0 AM .. 5 BC
    optFilter,      ///< preset 0..4
    optIFFilter,    ///< 0 Off, 1 Man, 2 Track
    optNotch,       ///< 0 Man, 1 Auto
    optAGC,         ///< 0 Off .. 3 Slow
    optDisplaySize, ///< 0 Ext, 1 Std, 2 Comp, 3 Full
    cmdCalibrateSMeter,
    sldBW, ///< index 0 low edge, 1 high edge
    sldNotch,
    sldNotchWidth,
    sldNB,
    dialNB,
    sldAGCAttack,
    sldAGCDecay,
    sldOutVolume,
    dialOutVol,
};

/// Where the window takes over during start-up.
struct FrontPanelHooks {
    /// Shows text on the splash window's label; an empty text closes the splash.
    std::function<void(const std::string&)> splash;
    /// "Form_Load : New clsSpectrumAnalyser": the analyser the chain's taps feed.
    std::function<std::unique_ptr<SpectrumDisplay>()> newSpectrumAnalyser;
    /// "Form_Load : Draw SMeter": the meter, set up and drawn once at zero.
    std::function<std::unique_ptr<MeterDisplay>()> setupSMeter;
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
    static constexpr const char* kCaption = "OrvexSDR - Software Defined Radio for Brisko";
    static constexpr const char* kVersion = "1.0.080";

    /// `store` holds sections "frmMain" and "VFO1"; it must outlive the core.
    ReceiverCore(SettingsStore& store, CoreOptions options);
    ~ReceiverCore() override;

    // ---- life cycle ------------------------------------------------------------------------
    /// Trace switch, band plans, DSP objects, then Form_Load. False when the program cannot run
    /// (no band plan: the message has been shown) and must end.
    bool Form_Initialize(const FrontPanelHooks& hooks);
    /// Power buttons: 0 On, 1 Off, 2 Close (shuts down; closeRequested() then fires).
    void optPwr_Click(std::int32_t index);
    /// The shutdown: timers, hook, sound card, band plans, settings, objects. Once only.
    void Form_Unload();
    bool unloaded() const { return m_unloaded; }

    // ---- the objects (read by the window's panels) -------------------------------------------
    const ReceiveState& state() const;
    TuningPanel& tuning() { return *m_tuning; }
    ValueTable& values() { return m_values; }
    TraceLog& trace() { return m_trace; }
    BandPlanModel& bands() { return m_bands; }
    RadioSession& session() { return m_session; }
    ad9951& vfo();
    ShaftEncoder& encoder() { return *m_encoder; }
    SpectrumDisplay* spectrum() { return m_spectrum.get(); }
    MeterDisplay* meter() { return m_meter.get(); }
    SettingsStore& store() { return m_store; }
    Profiler& wheelProfiler() { return m_wheelProfiler; }

    // ---- front-panel state the core keeps --------------------------------------------------
    struct Panel {
        std::string Caption = kCaption;
        std::string lblCLKINFreq, lblIFFreq, lblClock;
        bool PowerOn = false;
        bool PowerEnabled = false;
        PanelColour OnColour = kColourGreen, OffColour = kColourDarkRed;
        bool CloseVisible = true;
        std::array<bool, 4> optDisplaySize{};
        std::array<PanelColour, 4> optDisplaySizeColour{kColourResting, kColourResting,
                                                        kColourResting, kColourResting};
        std::int32_t DisplaySize = 1; ///< the size shown (Std when none is chosen)
        std::array<PanelColour, static_cast<int>(PanelFrame::Count)> FrameColour{};
        std::array<std::string, 6> lblStatsVal;
        PanelColour CPUColour = kColourGreen;
        std::string MeterToolTip;
        bool chkSpectrumAnalyser = false;
        bool EnableShaftEncoder = false;
        bool ShaftAutoRate = false;
        bool ScrollWheelEnableOverScope = false;
        double LastTunedFrequency = 0.0; ///< MHz
        std::int32_t CurrentMainBandIndex = 0;
        std::string StatusText; ///< last device or port problem, for the status line
    };
    const Panel& panel() const { return m_panel; }

    // ---- control events ----------------------------------------------------------------------
    void Click(Control control, std::int32_t index = 0);
    void SliderChanged(Control control, std::int32_t index, std::int32_t position);
    void SliderRightButton(Control control, std::int32_t index = 0);
    /// Pointer over variable-filter slider i at y of a slider `length` long (captions light).
    void SliderMouseMove(std::int32_t index, std::int32_t y, std::int32_t length);
    void SliderLostFocus(std::int32_t index);
    /// A check box of the chain set as the user would (its click handler runs on a change).
    void SetCheck(ChainCheck box, bool ticked);
    void setSpectrumAnalyserOn(bool on);
    void setEnableShaftEncoder(bool on);
    void setShaftAutoRate(bool on);
    void setScrollWheelEnableOverScope(bool on);
    void setAutoDDSRefresh(bool on);
    /// The spectrum display runs: its switch is on and the display size shows it.
    bool spectrumRuns() const;

    /// Wheel-adjustable values: the pointer over entry n's label (0: left it), a wheel message
    /// that passed the gear, a right click, a typed value.
    void ValueHover(std::int32_t n);
    void ValueWheel(std::int32_t n, const WheelMessage& message);
    void ValueRightClick(std::int32_t n);
    void ValueSet(std::int32_t n, float value);
    /// A wheel message from the application-wide hook: thinned by the DDS controller's
    /// MouseWheelGearRatio, then applied to the wheel target (nothing without one). True when
    /// it acted.
    bool WheelHook(const WheelMessage& message);

    /// The frequency readout (forwarded to the tuning panel; each refreshes the panels).
    void DigitHover(std::int32_t i);
    void DigitClick(std::int32_t i);
    void DigitDoubleClick(std::int32_t i);
    void VFOMenu(std::int32_t digit, std::int32_t item);
    void TuningRateClick();
    void DialRateClick();
    void ReadoutHover(); ///< pointer over the readout's background: wheel target cleared
    void ReadoutKeyPress(std::int32_t keyCode);
    void ReadoutKeyRelease();
    void ReadoutMouseUp(bool leftButton);
    void ScaleClick(std::int32_t k);
    void KnobChanged(std::int32_t position);
    /// Tunes to `mhz` (typed entry, click-to-tune, presets, remote control). False, with the
    /// reason, when it is outside what the synthesiser can reach; nothing changes then.
    bool TuneTo(double mhz, std::string* why = nullptr);
    /// Lowest and highest frequency the synthesiser can be tuned to now, MHz.
    double MinFreq() const { return 0.0; }
    double MaxTunableFreq();

    /// Hover highlights: the pointer at (x, y) pixels inside frame f of w x h pixels.
    void FrameHover(PanelFrame f, int x, int y, int w, int h);
    /// The hover reset: highlights off, pop-ups hidden, wheel target cleared.
    void DarkenControls();

    // ---- timers (run by the core's QTimers; public for tests) -------------------------------
    void tmrTune_Timer();
    void tmrVFOUpdate_Timer();
    void tmrShaft_Timer();
    void tmrClock_Timer();
    /// The statistics timer's panel part after a block (the chain's work has run).
    void StatisticsUpdated();

    /// Restores the main window's keys (section "frmMain") and applies them.
    void RestoreSettings();
    /// Saves them.
    void SaveSettings();

    /// Runs pending tuning steps now and keeps tmrTune's interval (tests run ticks by hand).
    QTimer& timer(const char* name);

    // ---- configuration: the hardware choices of frmConfig and frmCalibrate ------------------
    /// Section of the store with the capture side's own options: "SimSceneFile" (the simulated
    /// receiver's scene; empty: the built-in one), "SimClockErrorPpm" (its reference error,
    /// -1000 to 1000) and "IFRecordingFile" (the WAV file the IF recording device plays).
    static constexpr const char* kDevicesSection = "Devices";
    /// Changes the capture and playback devices (1-based) and the IF recording. While streaming
    /// the sound card stops, switches and starts again; otherwise the new devices are opened
    /// once to check them. A device that cannot open leaves the previous ones in use (running
    /// again when they ran) and says why. The DDS controller's lines follow the capture device:
    /// the simulated receiver's own lines for it, the real port for any other. False when the
    /// previous devices stayed.
    bool SwitchSoundDevices(std::int32_t capture, std::int32_t playback, const std::string& ifFile);
    /// The simulated receiver's scene file (empty: built-in) and clock error (ppm), kept in
    /// section "Devices". A new clock error applies at once; a new scene builds the box anew
    /// (streaming from it stops and starts again). A scene that cannot be loaded is refused
    /// with every problem listed and the old one stays; false then.
    bool setSimulatedReceiverOptions(const std::string& sceneFile, double clockErrorPpm);
    /// After the synthesiser's chip, interface or port changed: the AD9951 control registers
    /// (serial interface) and the tuned frequency are sent again, so the chip on the new lines
    /// runs where the readout says.
    void ReprogramSynthesiser();
    /// "Caption Bar ?": the main window's caption shown (the product's) or empty.
    void setMainCaptionShown(bool shown);
    /// The configuration dialog closed: the IF and clock labels and the digits show what the
    /// DDS controller now uses.
    void ConfigClosed();

    // ---- spectrum display (app/CoreSpectrum.cpp) ------------------------------------------
    /// The display controls as the panel shows them.
    const SpectrumControls& scope() const { return m_scope; }
    /// Mode choice 0 Freq, 1 Time, 2 Phase: shows that mode's controls and loads its settings.
    void chkScopeMode_Click(std::int32_t index);
    /// Source 0 "IF in", 1 "Pre Demod", 2 "Post Demod", 3 "AF Out".
    void optSpectrumSource_Click(std::int32_t index);
    /// Trigger channel 1 or 2 (one is always chosen).
    void chkTrigOn_Click(std::int32_t index);
    void ScopeCheckClick(ScopeCheck box, bool ticked);
    void ScopeSliderChanged(ScopeSlider slider, std::int32_t position);
    /// Right button on a slider: back to its default.
    void ScopeSliderRightButton(ScopeSlider slider);
    /// The pointer at (x, y) logical pixels over a surface `height` pixels high: the read-out,
    /// and with wheel tuning over the scope the wheel target and (over the display) the step.
    void ScopeHover(ScopeSurface surface, double x, double y, double height);
    /// The pointer left the surfaces: read-out hidden, wheel target cleared.
    void ScopeLeave();
    /// A click at x on a surface: the left button tunes there while the axis shows radio
    /// frequency. True when it tuned.
    bool ScopeClick(double x, bool leftButton);
    /// The redraw after a block (tmrSpectrumDisplay): at most one frame per block.
    void tmrSpectrumDisplay_Timer();
    /// Frames drawn since start-up.
    std::int64_t spectrumFrames() const { return m_scopeFrames; }

    // ==== recording (app/CoreRecording.cpp) ====================================================
    // The audio output, and the IF input when chosen, recorded to WAV files while the receiver
    // runs (see app/SessionRecorder.h). Recording needs the receiver on; Off, Close and a lost
    // sound device finish the files (the data stops coming, so a recording would only hold a
    // gap). A recording that fails (disk full, folder gone) stops with a message while
    // reception goes on.
public:
    /// What the Record panel shows.
    struct RecordView {
        bool Enabled = false;          ///< recording can start: the receiver is on
        bool Recording = false;        ///< the audio recording runs
        bool RecordIF = false;         ///< the IF input is recorded alongside (the "IF" box)
        bool IFRecording = false;      ///< the IF recording runs
        double Seconds = 0.0;          ///< audio recorded so far, seconds
        std::int64_t Bytes = 0;        ///< size of the running or last files together, bytes
        std::string AudioPath, IFPath; ///< the running or last files (empty: none yet)
        std::string Error;             ///< why the last recording could not start or stopped early
    };
    RecordView recordView() const;
    /// The Record button: starts recording the audio (and the IF input when chosen) under the
    /// default names in recordingFolder(), or stops. False, with the message shown, when a
    /// recording could not start (the receiver is off, the folder cannot be written).
    bool setRecording(bool on);
    /// Chooses whether the next recording takes the IF input too (a running one is unchanged).
    void setRecordIF(bool on);
    /// Folder of new recordings: the XDG music folder (DefaultRecordingFolder()) unless set.
    const std::string& recordingFolder() const { return m_recordFolder; }
    void setRecordingFolder(std::string folder) { m_recordFolder = std::move(folder); }
    SessionRecorder& recorder() { return *m_recorder; }

private:
    void setUpRecording();
    void stopRecordings();
    void recordingFailed(RecordStream stream, const std::string& message);
    /// Shows a recording problem: the Record panel's tool tip, the log and a message.
    void reportRecordingProblem(const std::string& text);
    std::unique_ptr<SessionRecorder> m_recorder; // made in the constructor, gone before m_session
    std::string m_recordFolder;
    std::string m_recordError;
    bool m_recordIF = false;
    bool m_recordShown = false;   // a recording started: the view shows its files
    bool m_recordShownIF = false; // it took the IF input too
    // ==== end of recording =======================================================================

Q_SIGNALS:
    void changed(unsigned areas);
    /// The spectrum display should draw one frame (at most once per block).
    void spectrumRedrawDue();
    /// Close has shut everything down: the program ends.
    void closeRequested();
    /// A message the user must see (devices, ports); the window shows it.
    void statusMessage(const QString& text);

private:
    // ---- configuration (CoreConfig.cpp) ------------------------------------------------------
    /// Start-up: the options of section "Devices" into the device set-up.
    void RestoreDeviceOptions();
    /// "capture: NAME; playback: NAME" of the devices the sound card is set to.
    std::string SoundDevicesText();

    void log(const std::string& line) { m_trace.add(line); }
    void Form_Load(const FrontPanelHooks& hooks);
    void setUpValueTable();
    void powerOn();
    void powerOff();
    void applyDisplaySize(std::int32_t index);
    void refreshVFOLabels();
    void updateStatsTexts();
    void emitChanged(unsigned areas) { Q_EMIT changed(areas); }
    void raisePriority();
    void restorePriority();

    // ---- spectrum display (app/CoreSpectrum.cpp) ------------------------------------------
    void setUpSpectrum();
    void setUpSpectrumValues();
    void applySpectrumRuns();
    void applyDisplayWindow();
    void refreshScopeCaptions();
    void showNotchMarker();
    SpectrumControls m_scope;
    bool m_scopeModeBusy = false;
    bool m_trigBusy = false;
    std::int64_t m_scopeFrames = 0;
    std::int64_t m_scopeLastBlock = -1;
    std::int32_t m_scopeCaptionOffset = 0;
    bool m_scopeCaptionReverse = false;

    SettingsStore& m_store;
    CoreOptions m_options;
    TraceLog m_trace;
    BandPlanModel m_bands;
    RadioSession m_session;
    std::unique_ptr<SpectrumDisplay> m_spectrum;
    std::unique_ptr<MeterDisplay> m_meter;
    std::unique_ptr<TuningKnob> m_knob;
    std::unique_ptr<ShaftEncoder> m_encoder;
    std::unique_ptr<TuningPanel> m_tuning;
    ValueTable m_values;
    WheelGear m_gear;
    Profiler m_wheelProfiler;
    Panel m_panel;
    QTimer m_tmrTune, m_tmrVFOUpdate, m_tmrShaft, m_tmrClock;
    bool m_initialising = false;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_wheelBusy = false;
    int m_startNice = 0;
    bool m_niceRaised = false;

    // ==== bands, sub-bands and presets (app/CorePresets.cpp) ===================================
public:
    /// The pickers of the bands and presets panel.
    enum class BandPicker { None, cboBandSelect, cboSubBandSelect, lstSubBandSelect };

    /// What the bands and presets panel shows.
    struct BandsPanel {
        std::vector<std::string> cboBandSelect; ///< the bands' captions, in MainBands order
        std::int32_t BandIndex = -1;            ///< cboBandSelect's index
        std::string frPresets;                  ///< frame caption: the band's Caption
        std::array<ButtonView, kSubBandSlots> optSubBand{};
        std::array<PanelColour, kSubBandSlots> optSubBandColour{};
        std::int32_t SelectedSubBand = -1;
        std::vector<std::string> SubBandList; ///< cboSubBandSelect and lstSubBandSelect
        std::int32_t SubBandListIndex = -1;
        std::string lblSubBand; ///< the sub-band's caption with a space on each side
        std::int32_t lblSubBandTag = -1;
        std::array<ButtonView, kPresetSlots> optPreset{};
        std::array<PanelColour, kPresetSlots> optPresetColour{};
        std::int32_t SelectedPreset = -1; ///< the preset button shown selected; -1 none
        std::int32_t FocusPreset = -1;    ///< the button the last applied preset focused
        std::uint32_t FocusRequests = 0;  ///< counts the requests to focus FocusPreset
        bool cboBandSelectVisible = false;
        bool cboSubBandSelectVisible = false;
        bool lstSubBandSelectVisible = false; ///< also its enabled state
        bool lblSubBandVisible = true;
        /// frmPresetDesc: shown near the pointer with a heading and the details.
        bool PresetDescVisible = false;
        std::string PresetDescCaption, PresetDescText;
    };
    const BandsPanel& bandsPanel() const { return m_bandsPanel; }
    const PresetPanelState& presetState() const { return m_presetState; }
    /// The receiver as presets see it: the chain, the DDS controller and this panel.
    PresetTarget& presetTarget();
    /// Shows the preset editor modally on the request; true when the user confirmed (the
    /// edited record is then in request.record). The window installs it; without one, Save
    /// and Edit do nothing.
    using PresetEditor = std::function<bool(PresetEditRequest& request)>;
    void setPresetEditor(PresetEditor editor) { m_presetEditor = std::move(editor); }

    /// cboBandSelect chose band i: the band, its sub-bands, presets and active preset.
    void cboBandSelect_Click(std::int32_t index);
    /// optSubBand(s) pressed; only the left button selects.
    void optSubBand_MouseDown(std::int32_t s, MouseButton button);
    /// lstSubBandSelect or cboSubBandSelect chose list entry i.
    void SubBandList_Click(std::int32_t index);
    /// optPreset(p) pressed (and released: the left button's handling is repeated).
    PresetPressView optPreset_MouseDown(std::int32_t p, MouseButton button, KeyState keys);
    /// A key on preset button p with Ctrl alone held: the description window on or off.
    void optPreset_CtrlKey(std::int32_t p);
    /// "Save to Preset" and "Edit Preset" of "&User Presets": the editor on the active preset
    /// of the active sub-band; true when a preset changed.
    bool mnuUserPresets_Save();
    bool mnuUserPresets_Edit();
    /// Hover: a preset button, a sub-band button, the sub-band caption, the presets frame (with
    /// the hidden picker whose area holds the pointer), the sub-band buttons' ground, the band
    /// picture; a picker that lost the keyboard focus; a picker opened from the keyboard.
    void PresetHover(std::int32_t p);
    void SubBandHover(std::int32_t s);
    void SubBandLabelHover();
    void PresetsFrameHover(BandPicker under);
    void SubBandsHover();
    void BandImageHover();
    void PickerLostFocus(BandPicker which);
    void OpenPicker(BandPicker which);

private:
    class CorePresetTarget;
    void fillBandSelect();
    void selectBandInUse();
    void showMainBand(const MainBandView& view);
    void showActivePreset();
    void relabelPresets(const std::vector<ButtonView>& presets);
    void presetsChanged(unsigned more = 0);
    /// The hover reset's part: pickers and description hidden, the sub-band caption shown;
    /// true when anything changed.
    bool hideBandPickers();
    bool editPreset(bool save);

    BandsPanel m_bandsPanel;
    PresetPanelState m_presetState;
    std::unique_ptr<PresetTarget> m_presetTarget; // a CorePresetTarget, made on first use
    PresetEditor m_presetEditor;

    // ==== remote control: the Hamlib network server (app/CoreRemote.cpp) ======================
public:
    /// Section of the store with the server's keys: "RigctlOn" (0 by default), "RigctlPort"
    /// (4532) and "RigctlAddress" ("127.0.0.1").
    static constexpr const char* kRemoteSection = "RemoteControl";
    /// What the configuration dialog and the status line show of the server.
    struct RemoteView {
        bool On = false; ///< the user's choice
        std::uint16_t Port = 4532;
        std::string Address = "127.0.0.1";
        bool Listening = false;
        std::uint16_t ListeningPort = 0; ///< the port bound (the chosen one when Port is 0)
        std::int32_t Clients = 0;
        std::string Status; ///< "rigctl: listening on 127.0.0.1:4532, 1 client" or the problem
    };
    const RemoteView& remote() const { return m_remote; }
    /// Turns the server on at address:port, or off, and keeps the choice in the store. False
    /// with the reason in `why` (and in the status) when it cannot listen: it stays off then,
    /// and the choice is not kept.
    bool setRemoteControl(bool on, std::uint16_t port, const std::string& address,
                          std::string* why = nullptr);
    /// The receiver as remote clients see it (tests drive it directly).
    RigControl& rig();
    RigctlServer* rigctlServer() { return m_rigctl.get(); }

private:
    /// Start-up: the server as the store says (a port that cannot be bound is a message).
    void RestoreRemoteControl();
    void StopRemoteControl();
    void updateRemoteStatus();
    std::unique_ptr<RigControl> m_rig;
    std::unique_ptr<RigctlServer> m_rigctl;
    RemoteView m_remote;
};

} // namespace orvex::app
