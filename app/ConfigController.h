// The configuration area of the window: the hardware choices of the configuration and
// calibration dialogs (the synthesiser's clock, IF, chip and control lines, the sound
// devices, the IF recording, the simulated receiver's scene and clock error), the options
// the dialog sets on the other areas (the encoder, wheel tuning over the spectrum, the
// synthesiser refresh, the optimised vector library, the caption, the remote-control
// server), and the device options kept in section "Devices".
//
// The dialog's own logic is ConfigForm (app/ConfigForm.h), which works on this controller.
// Runs on the user-interface thread.
#pragma once

#include "app/LifeCycle.h"
#include "app/ProgramAudioController.h"
#include "app/RemoteController.h"
#include "radio/DDSCalibration.h"

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex {
class SettingsStore;
class ad9951;
} // namespace orvex

namespace orvex::app {

class PowerController;
class RadioSession;
class SpectrumController;
class TraceLog;
class TuningController;
class WindowController;
struct SessionDevices;

/// The option flags the configuration dialog shows and sets.
struct ConfigOptions {
    bool UseSPLAvailable = false; ///< the optimised vector library could be loaded
    bool UseSPL = false;
    bool EnableShaftEncoder = false;
    bool ShaftAutoRate = false;
    bool ScrollWheelEnableOverScope = false;
    bool AutoDDSRefresh = false;
    bool CaptionShown = true;
};

class ConfigController final : public QObject {
    Q_OBJECT
public:
    /// Section of the store with the capture side's own options: "SimSceneFile" (the simulated
    /// receiver's scene; empty: the built-in one), "SimClockErrorPpm" (its reference error,
    /// -1000 to 1000) and "IFRecordingFile" (the WAV file the IF recording device plays).
    static constexpr const char* kDevicesSection = "Devices";

    /// The areas the dialog configures.
    struct Areas {
        PowerController& power;
        TuningController& tuning;
        SpectrumController& spectrum;
        WindowController& window;
        RemoteController& remote;
        ProgramAudioController& programAudio;
    };

    ConfigController(RadioSession& session, SettingsStore& store, TraceLog& trace,
                     const LifeCycle& life, bool realTime, Areas areas);

    /// Start-up: the options of section "Devices" into the device set-up.
    void restoreDeviceOptions(SessionDevices& devices);

    bool unloaded() const { return m_life.unloaded; }
    /// A sound card notification is being handled (a block in progress).
    bool inNotification() const;

    // ---- what the dialog shows --------------------------------------------------------------
    ad9951& vfo();
    std::vector<std::string> captureDeviceNames();
    std::vector<std::string> playbackDeviceNames();
    std::int32_t captureDevice() const;
    std::int32_t playbackDevice() const;
    /// Capture device numbers of the simulated receiver and of the IF recording (0: none).
    std::int32_t simulatedCaptureDevice() const;
    std::int32_t ifFileCaptureDevice() const;
    const std::string& ifFile() const;
    const std::string& simSceneFile() const;
    double simClockErrorPpm() const;
    ConfigOptions options() const;
    const RemoteView& remote() const;
    /// Audio for other programs: the "OrvexSDR" source and the UDP stream.
    ProgramAudioController& programAudio() { return m_areas.programAudio; }
    /// The clock calibration on the DDS controller (the calibration dialog's logic).
    DDSCalibration calibration();

    // ---- what the dialog sets ---------------------------------------------------------------
    /// Changes the capture and playback devices (1-based) and the IF recording. While streaming
    /// the sound card stops, switches and starts again; otherwise the new devices are opened
    /// once to check them. A device that cannot open leaves the previous ones in use (running
    /// again when they ran) and says why. The DDS controller's lines follow the capture device:
    /// the simulated receiver's own lines for it, the real port for any other. False when the
    /// previous devices stayed.
    bool switchSoundDevices(std::int32_t capture, std::int32_t playback, const std::string& ifFile);
    /// The simulated receiver's scene file (empty: built-in) and clock error (ppm), kept in
    /// section "Devices". A new clock error applies at once; a new scene builds the box anew
    /// (streaming from it stops and starts again). A scene that cannot be loaded is refused
    /// with every problem listed and the old one stays; false then.
    bool setSimulatedReceiverOptions(const std::string& sceneFile, double clockErrorPpm);
    /// After the synthesiser's chip, interface or port changed: the AD9951 control registers
    /// (serial interface) and the tuned frequency are sent again, so the chip on the new lines
    /// runs where the readout says.
    void reprogramSynthesiser();
    /// Retunes after the IF or the clock changed, so the readout's frequency is received.
    void retune();
    /// "Caption Bar ?": the main window's caption shown (the product's) or empty.
    void setCaptionShown(bool shown);
    /// The option flags (the caption aside, which applies at once).
    void setOptions(const ConfigOptions& options);
    bool setRemoteControl(bool on, std::uint16_t port, const std::string& address,
                          std::string* why = nullptr);
    /// The dialog closed: the IF and clock labels and the digits show what the DDS controller
    /// now uses.
    void configClosed();

Q_SIGNALS:
    /// The remote-control server's state changed (clients come and go while the dialog is
    /// open).
    void remoteChanged();
    /// The program is shutting down: an open dialog cancels.
    void closing();

public:
    /// The core calls it when shutdown begins.
    void shutDown() { Q_EMIT closing(); }

private:
    RadioSession& m_session;
    SettingsStore& m_store;
    TraceLog& m_trace;
    const LifeCycle& m_life;
    bool m_realTime;
    Areas m_areas;
};

} // namespace orvex::app
