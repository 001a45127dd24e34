// The receiver's one wiring of chain, sound card, DDS controller and timers, used by the
// window's core and by `orvexsdr-cli listen` alike.
//
// Sound devices. Capture and playback each have one numbered device list (OrvexDX8's
// CurrentCaptureDevice / CurrentPlaybackDevice, 1-based):
//   capture:  1 the simulated Brisko receiver, then every ALSA capture device, then the IF
//             recording (a WAV file) when one is configured or offered;
//   playback: every ALSA playback device ("default" first), then a WAV file when one is
//             configured, then "No playback".
// The simulated receiver is device 1, so a fresh machine with no device configured hears the
// simulated box, tuned by the DDS controller over the box's own control lines. With any other
// capture device the DDS controller drives the real serial or parallel port; routeVFOLines
// moves it between the two while the program runs.
//
// Time. ALSA devices notify from the sound card's clock through the Qt event loop; the
// simulated receiver and files run on a frame clock that is paced in real time, or advanced
// by the caller as fast as processing allows (free-running, files only).
//
// Verbs. Tuning, mode, filters, notch, noise reducer, AGC, level and power go through the
// session's verbs (tune, setMode, selectFilter...), whoever asks: the window's controllers, the
// remote-control server (SessionRig) and orvexsdr-cli. Each verb changes the receiver and then
// says what it changed (tuned(), controlsChanged()), so every view of the receiver follows.
//
// Everything runs on the one thread that owns the session.
#pragma once

#include "audio/AudioDevices.h"
#include "core/SafeFile.h"
#include "dsp/ChainPorts.h"
#include "dsp/ReceiveState.h"
#include "sim/SimStatus.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex {
class OrvexDX8;
class OrvexDX8ChainPort;
class ReceiveChain;
class ad9951;
class SettingsStore;
class PortProvider;
namespace audio {
class AlsaContext;
class FrameClock;
class RealTimePacer;
class CompositeCaptureProvider;
class CompositePlaybackProvider;
class CaptureSource;
class PlaybackSink;
} // namespace audio
namespace sim {
class SimulatedReceiver;
}
} // namespace orvex

namespace orvex::app {

class EncoderInput;

/// The capture device of an IF recording chosen while the program runs.
inline constexpr const char* kIFFileDeviceName = "IF recording (WAV file)...";

/// What the session streams from and to, beyond the ALSA devices.
struct SessionDevices {
    /// The simulated receiver (capture device 1). Its scene and clock error.
    sim::SimSetup sim;
    /// An IF recording offered as the last capture device; empty for none. Played in a loop
    /// when `loopIFFile`, else once (then silence, and ifFileFinished() turns true).
    std::string ifFile;
    bool loopIFFile = true;
    /// Offer the IF recording device (kIFFileDeviceName) even with no file yet: the window
    /// chooses the file later (setIFFile).
    bool offerIFFile = false;
    /// The real serial and parallel ports the DDS controller drives when the capture device is
    /// not the simulated receiver (nullptr: the Linux ports). Tests put a recorder here.
    PortProvider* hardwarePorts = nullptr;
    /// A WAV file offered as a playback device before "No playback"; empty for none. It is
    /// never written over one of `audioFileInputs` (the program's input files).
    std::string audioFile;
    std::vector<NamedInput> audioFileInputs;
    /// List the ALSA devices (false in tests and for file-only runs).
    bool alsa = true;
    /// Replaces the lists above (tests): the capture and playback back ends to use as they are.
    std::function<std::unique_ptr<audio::CaptureProvider>(audio::FrameClock&)> captureOverride;
    std::function<std::unique_ptr<audio::PlaybackProvider>(audio::FrameClock&)> playbackOverride;
};

/// Sliders and knobs of the receive chain's front panel.
enum class ChainControl {
    sldBW,         ///< index 0 low edge, 1 high edge
    sldNotch,      ///< notch centre
    sldNotchWidth, ///< notch width
    sldNB,         ///< noise reducer
    dialNB,        ///< noise reducer knob
    sldAGCAttack,  ///< AGC delay
    sldAGCDecay,   ///< AGC ramp
    sldOutVolume,  ///< output level
    dialOutVol,    ///< output level knob
};

/// What else hears each output block besides the sound card (audio for other programs): the
/// session calls it after each block's handler, and when streaming starts and stops.
class BlockListener {
public:
    virtual ~BlockListener() = default;
    /// `audio`: the block's audio as queued for playback (after the output level's gain, before
    /// the sound card's attenuation and mute); for a block the chain dropped, the captured IF
    /// unprocessed (chain().DroppedBlocks() tells). `input`: the captured IF. kBlockSamples each.
    virtual void outputBlock(const std::int16_t* audio, const std::int16_t* input) = 0;
    virtual void streamingStarted() {}
    virtual void streamingStopped() {}
};

/// Figures of the blocks handled since start or the last resetSecond().
struct BlockFigures {
    std::int64_t blocks = 0;
    double loadSum = 0, loadPeak = 0, powerSum = 0;
};

class RadioSession final : public QObject, private ChainTimers {
    Q_OBJECT
public:
    RadioSession();
    ~RadioSession() override;
    RadioSession(const RadioSession&) = delete;
    RadioSession& operator=(const RadioSession&) = delete;

    // ---- set-up, in the order start-up runs it ---------------------------------------------
    /// The receive chain and its filter objects (with their creation settings).
    void createChain();
    /// The sound device lists and the simulated receiver. Fills `error` and returns false
    /// when the simulated receiver's scene cannot be loaded (then device 1 gives silence).
    bool createDevices(const SessionDevices& devices, std::string& error);
    /// The sound card object over the device lists (OrvexDX8 with the receiver's block format).
    void createSoundCard();
    /// The DDS controller "VFO1" over `store`, on the simulated receiver's lines when capture
    /// device `captureDevice` is the simulated receiver, else on the real ports. Not yet init.
    /// Its shaft encoder (off until enabled) comes with it.
    void createVFO(SettingsStore& store, std::int32_t captureDevice);

    // ---- the objects ------------------------------------------------------------------------
    ReceiveChain& chain() { return *m_chain; }
    OrvexDX8& soundCard() { return *m_card; }
    bool hasVFO() const { return m_vfo != nullptr; }
    ad9951& vfo() { return *m_vfo; }
    const ad9951& vfo() const { return *m_vfo; }
    /// The shaft encoder on the DDS controller's serial port, with the tuning knob it moves
    /// (there with the controller). It follows whatever port the controller opens.
    EncoderInput& encoder() { return *m_encoder; }
    /// The highest frequency the DDS controller can be tuned to now (its clock, IF and
    /// calibration decide), MHz; 0 without one.
    double maxTunableMHz() const;
    /// The simulated receiver, or nullptr when its scene could not be loaded.
    sim::SimulatedReceiver* simulatedReceiver() { return m_sim.get(); }
    audio::AlsaContext* alsa() { return m_alsa.get(); }
    audio::FrameClock& clock() { return *m_clock; }
    std::vector<std::string> captureDeviceNames();
    std::vector<std::string> playbackDeviceNames();
    /// Device numbers of the fixed entries (0 when not in the list).
    std::int32_t simulatedCaptureDevice() const { return m_simDevice; }
    std::int32_t ifFileCaptureDevice() const { return m_ifFileDevice; }
    std::int32_t audioFilePlaybackDevice() const { return m_audioFileDevice; }
    std::int32_t noPlaybackDevice() const { return m_noPlaybackDevice; }
    /// Number of the ALSA device `name` in the capture or playback list (0: not listed).
    std::int32_t alsaDeviceNumber(bool capture, const std::string& name);
    /// True when the device streams on the frame clock (simulated receiver, files).
    bool captureIsClocked() const;
    bool playbackIsClocked() const;
    /// The IF file capture reached its end (only when not looping).
    bool ifFileFinished() const;
    /// Why the IF file being played failed (read error, the file shrank); empty when it did not.
    std::string ifFileError() const;
    /// Drops what the WAV playback file holds so far: it will not appear (a failed input).
    void discardAudioFile();
    /// Why the WAV playback file could not be completed at release; empty when it could.
    std::string audioFileError() const;

    // ---- the receiver's verbs ----------------------------------------------------------------
    /// The chain's front-panel state (choices, labels, sliders) and measurements.
    const ReceiveState& state() const;
    /// Tunes the DDS controller to `mhz`. False, with the reason in `why`, when it is outside
    /// 0..maxTunableMHz(): nothing changes then.
    bool tune(double mhz, std::string* why = nullptr);
    /// The tuned frequency, MHz (0 without a DDS controller).
    double tunedMHz() const;
    /// Demodulation mode 0 AM, 1 USB, 2 LSB, 3 DRM, 4 FM, 5 BC (others are ignored).
    void setMode(std::int32_t mode);
    /// AF filter preset 0..4, or -2 for the edges the sliders hold.
    void selectFilter(std::int32_t preset);
    /// The AF pass band FilterHi - FilterLo, Hz.
    std::int32_t passband() const;
    /// Keeps the low edge and moves the high one; a pass band wider than the filter's range
    /// takes the whole range, and one that would pass the top moves the low edge down. False
    /// (nothing changed) for hz <= 0.
    bool setPassband(std::int32_t hz);
    /// IF filter 0 "Off", 1 "Man", 2 "Track".
    void selectIFFilter(std::int32_t index);
    /// Notch 0 manual, 1 automatic.
    void selectNotchMode(std::int32_t index);
    /// AGC 0 "Off" .. 3 "Slow" (4: the preset's own times).
    void selectAGC(std::int32_t index);
    /// A check box of the chain set as the user would (its click handler runs on a change).
    /// The image box also sets the DDS controller's image tuning.
    void setCheck(ChainCheck box, bool ticked);
    /// A wheel-adjustable value of the chain set to `value` (its apply procedure runs).
    void setValue(ChainLabel which, float value);
    /// Runs the apply procedure of a chain value whose Value was changed in place.
    void applyValue(ChainLabel which);
    /// Back to the value's default (the filter edges: the current preset's).
    void resetValue(ChainLabel which);
    /// A slider or knob moved to `position` (index: which edge of sldBW).
    void moveControl(ChainControl control, std::int32_t index, std::int32_t position);
    /// The right button on a slider: back to its default.
    void resetControl(ChainControl control, std::int32_t index = 0);
    /// The pointer over filter-edge slider `index` at y of a slider `length` long (twips), and
    /// the slider losing the focus: the edge captions light and go back to rest.
    void pointAtFilterEdge(std::int32_t index, std::int32_t y, std::int32_t length);
    void leaveFilterEdge(std::int32_t index);
    /// The output level control's whole range (-100 dB attenuation to +19 dB gain) as 0..1.
    double afLevel() const;
    void setAfLevel(double level);
    /// The signal strength, dB over S9 (S9 = 0), from the meter's level.
    double strengthDbOverS9() const;
    /// What the spectrum taps show: 0 "IF in", 1 "Pre Demod", 2 "Post Demod", 3 "AF Out" (the
    /// filters, and with them the analyser's filter curve, are rebuilt after the block).
    void setSpectrumSource(std::int32_t index);
    /// "ZeroS": the present level becomes the meter's zero.
    void zeroMeter();
    /// The statistics are shown (their switch decides whether they run) or hidden (they stop).
    void showStatistics(bool shown);
    /// On: the filters set up for the mode, the synthesiser's registers sent again, streaming
    /// started. False with `error` (naming the devices) when the sound devices cannot start;
    /// the receiver stays off then.
    bool powerOn(bool realTime, std::string& error);
    /// Off: streaming stopped, the chain's timers stopped.
    void powerOff();
    bool poweredOn() const;
    /// "capture: NAME; playback: NAME" of the devices the sound card is set to.
    std::string soundDevicesText();

    // ---- streaming ---------------------------------------------------------------------------
    /// Opens the devices (CurrentCaptureDevice, CurrentPlaybackDevice) and starts streaming.
    /// False with `error` naming the device and the reason when it cannot; nothing runs then.
    bool startStreaming(bool realTime, std::string& error);
    /// Stops streaming and releases the devices.
    void stopStreaming();
    bool streaming() const;
    /// Free-running: moves the frame clock on by one block and runs the statistics timer's
    /// work, then the spectrum redraw, when the block armed them.
    void advanceOneBlock();

    /// Ports the chain calls that belong to the window (spectrum analyser, meter).
    void attachSpectrum(SpectrumTap* tap);
    void attachMeter(MeterDisplay* meter);

    /// Disables the statistics and spectrum timers (power off, shutdown).
    void stopChainTimers();

    // ---- changes while the program runs (the configuration dialog) --------------------------
    /// True while a sound card notification is being handled (a block is in progress).
    bool inNotification() const { return m_notificationDepth > 0; }
    /// Opens the chosen devices and releases them again: false with `error` (as
    /// startStreaming gives it) when they cannot be opened. Only while not streaming.
    bool probeDevices(std::string& error);
    /// The IF recording the IF-file device plays (empty: none chosen). A new file is opened
    /// at the device's next open.
    const std::string& ifFile() const { return m_ifFile; }
    void setIFFile(std::string path) { m_ifFile = std::move(path); }
    /// The simulated receiver's scene and clock error in use.
    const sim::SimSetup& simulatedSetup() const { return m_simSetup; }
    /// Builds a simulated receiver for `setup` in place of the one in use; the controller's
    /// lines move to the new box when they were on the old one (the caller programs it). False
    /// with `error` (every problem of the scene) when it cannot be built: the old one stays.
    /// The caller stops streaming from the simulated receiver first.
    bool replaceSimulatedReceiver(const sim::SimSetup& setup, std::string& error);
    /// Changes the simulated reference's error while it runs, ppm (-1000 to 1000).
    void setSimulatedClockErrorPpm(double ppm);
    /// Puts the DDS controller's lines on the simulated receiver (`simulated`, when there is
    /// one) or on the real ports: closes its port and opens the configured one on the new side
    /// (SerialOpen or ParallelOpen, which say why a real port will not open). True when the
    /// lines moved; the caller then programs the synthesiser on them.
    bool routeVFOLines(bool simulated);
    bool vfoOnSimulatedLines() const;

    /// Runs the frame clock of the simulated receiver and files `factor` times faster than the
    /// wall clock (1: real time) from the next startStreaming. Sound cards keep their own pace.
    void setPaceFactor(double factor) { m_paceFactor = factor; }

    // ---- figures ------------------------------------------------------------------------------
    const BlockFigures& total() const { return m_total; }
    const BlockFigures& second() const { return m_second; }
    void resetSecond() { m_second = {}; }
    double blockSeconds() const;

    /// Called right after each block's handler (recording, the rig server's level).
    void
    setAfterBlock(std::function<void(const std::int16_t* audio, const std::int16_t* input)> f) {
        m_afterBlock = std::move(f);
    }

    /// Listeners besides the after-block hook; each must be removed before it goes.
    void addBlockListener(BlockListener* listener);
    void removeBlockListener(BlockListener* listener);

Q_SIGNALS:
    /// A verb tuned the receiver (tune, the image box).
    void tuned();
    /// A verb changed the chain's controls (mode, filters, notch, AGC, level...).
    void controlsChanged();
    /// The statistics timer ran its work (meter, statistics, filter rebuild) after a block.
    void statisticsUpdated();
    /// The spectrum redraw timer fired (at most once per block).
    void spectrumRedrawDue();
    /// A device stopped working while streaming (unplugged); streaming has been stopped.
    void deviceLost(const QString& reason);

private:
    class EventTarget;
    class Tuner;
    class SwitchablePorts;
    bool prepareCard(std::string& error);
    void reopenVFOPort();
    void ArmSpectrumTimer(std::int32_t Milliseconds) override;
    void ArmStatsTimer(std::int32_t Milliseconds) override;
    void onBlock(std::int16_t* channel1, std::int16_t* channel2, std::int32_t numSamples);

    std::unique_ptr<audio::AlsaContext> m_alsa;
    std::unique_ptr<audio::FrameClock> m_clock;
    std::unique_ptr<audio::RealTimePacer> m_pacer;
    std::unique_ptr<sim::SimulatedReceiver> m_sim;
    audio::CompositeCaptureProvider* m_capture = nullptr;
    audio::CompositePlaybackProvider* m_playback = nullptr;
    audio::CaptureSource* m_ifSource = nullptr;
    std::unique_ptr<audio::AudioBackend> m_backend;
    std::unique_ptr<OrvexDX8> m_card;
    std::unique_ptr<OrvexDX8ChainPort> m_cardPort;
    std::unique_ptr<ReceiveChain> m_chain;
    std::unique_ptr<SwitchablePorts> m_vfoPorts;
    PortProvider* m_hardware = nullptr;
    std::unique_ptr<ad9951> m_vfo;
    std::unique_ptr<EncoderInput> m_encoder; // reads m_vfo's port: goes before it
    std::unique_ptr<Tuner> m_tuner;
    std::unique_ptr<EventTarget> m_events;
    std::int32_t m_simDevice = 0, m_ifFileDevice = 0, m_audioFileDevice = 0, m_noPlaybackDevice = 0;
    std::string m_audioFile;
    std::string m_ifFile;
    sim::SimSetup m_simSetup;
    int m_notificationDepth = 0;
    std::string m_audioFileError;
    QTimer m_statsTimer, m_spectrumTimer;
    bool m_freeRunning = false;
    bool m_statsArmed = false;
    bool m_spectrumArmed = false;
    BlockFigures m_total, m_second;
    std::function<void(const std::int16_t*, const std::int16_t*)> m_afterBlock;
    std::vector<BlockListener*> m_listeners;
    double m_paceFactor = 1.0;
};

} // namespace orvex::app
