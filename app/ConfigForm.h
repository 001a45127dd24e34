// ConfigForm: the configuration dialog's logic (frmConfig), without the window.
//
// It holds what the dialog's controls show and runs their handlers on the configuration
// controller (app/ConfigController.h):
// load fills the controls from the DDS controller, the sound card and the option flags; Apply
// checks every field first (chip and interface, IF, clock, the remote-control port, the UDP
// address) and applies nothing when one is wrong; then it puts the IF and clock into the
// controller and retunes, changes the sound devices and the simulated receiver's options, moves
// the synthesiser's control lines to the chosen interface, port and chip, and sets the option
// flags; OK applies and closes, Cancel closes with nothing applied. The window copies its controls
// into the fields before a handler runs and shows the fields afterwards.
//
// Linux devices stand where port numbers were: the serial port is a device path (a port the
// numbers reach is kept as "ComPort", any other path as "ComDevice"), the parallel port is
// /dev/parport0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvex::app {

class ConfigController;

class ConfigForm {
public:
    /// Works on `config`, which must outlive the form.
    explicit ConfigForm(ConfigController& config) : m_config(config) {}

    // ---- the controls ---------------------------------------------------------------------
    std::string Caption;
    std::string txtDDSClkin;                  ///< synthesiser clock, Hz
    std::string txtIFFrequency;               ///< IF magnitude, Hz
    bool chkIFHigh = true;                    ///< high-side oscillator: positive IF
    std::int32_t DDSType = 3;                 ///< chip selector: 3 AD9951, 2 AD9835, 1 AD9850
    bool AD9850Allowed = false;               ///< the AD9850 is driven over the parallel port only
    std::int32_t optIF = 1;                   ///< 1 "Ser", 0 "Par"
    bool cboComPortEnabled = true;            ///< with its label, lblDevices(4)
    std::vector<std::string> cboComPortItems; ///< the serial devices present
    std::string cboComPort;                   ///< the device chosen or typed
    std::string ParallelStatus;               ///< what the parallel choice uses, and why it cannot
    std::vector<std::string> cboCapDevices, cboPlayDevices;
    std::int32_t cboCapIndex = 0, cboPlayIndex = 0; ///< list entries, 0-based
    std::string IFRecordingFile;                    ///< played by the IF recording device
    std::string SimSceneFile;       ///< the simulated receiver's scene (empty: built-in)
    double SimClockErrorPpm = 0;    ///< its reference error, -1000 to 1000
    bool SimOptionsEnabled = false; ///< the chosen capture device is the simulated receiver
    bool chkUseSPLEnabled = false, chkUseSPL = false;
    bool chkEnableEncoder = false, chkShaftAutoRateEnabled = false, chkShaftAutoRate = false;
    bool chkScrollWheelEnableOverScope = false, chkAutoDDSRefresh = false;
    bool chkfrmMainCaption = true;
    /// The Hamlib network control server: on, its port (1..65535) and the address it listens on.
    bool chkRigctl = false;
    std::string txtRigctlPort = "4532";
    std::string txtRigctlAddress = "127.0.0.1";
    std::string lblRigctlStatus; ///< listening, clients, or why it cannot listen
    /// Audio for other programs: the source "OrvexSDR", the UDP stream and its HOST:PORT.
    bool chkToPrograms = false, chkUdpAudio = false;
    std::string txtUdpAddress = "127.0.0.1:7355";
    std::string lblProgramAudioStatus; ///< what is offered, or why not

    // ---- dialog state -----------------------------------------------------------------------
    std::int32_t InitialPlaybackDevice = 1, InitialCaptureDevice = 1;
    bool Cancel = false;
    /// True from load to unload (the main window waits on it).
    bool DialogOpen = false;

    // ---- handlers ---------------------------------------------------------------------------
    void Form_Load();
    void Form_Unload() { DialogOpen = false; }
    /// 0 "Par", 1 "Ser".
    void optIF_Click(std::int32_t index);
    void chkEnableEncoder_Click();
    /// Applied at once: the main window's caption shown or empty.
    void chkfrmMainCaption_Click();
    /// The capture device list's choice changed: the simulated receiver's options apply to it.
    void cboCapDevices_Click();
    /// The calibration dialog closed; with `applyChanges` the clock text shows the clock now
    /// in effect.
    void CalibrationClosed(bool applyChanges);
    /// False when a check refused the values (the message has been shown).
    bool cmdApply_Click();
    /// Apply, then close; a refused value keeps the dialog open (false).
    bool cmdOK_Click();
    void cmdCancel_Click();

    /// The capture list entry of the simulated receiver and of the IF recording (-1: none).
    std::int32_t simulatedEntry() const;
    std::int32_t ifRecordingEntry() const;

private:
    void applyInterface();
    std::optional<std::uint16_t> checkRemoteControl() const;
    bool applyRemoteControl(std::uint16_t port);
    bool applyProgramAudio();

    ConfigController& m_config;
};

} // namespace orvex::app
