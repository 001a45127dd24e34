#include "ConfigForm.h"

#include "ConfigController.h"
#include "audio/UdpAudioSender.h"
#include "core/Format.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "radio/PortDiscovery.h"
#include "radio/PortNames.h"
#include "radio/ad9951.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace orvex::app {
namespace {

// A typed number of hertz. Blanks grouping the digits are skipped; a text that is not a
// number counts as 0.
double NumberIn(const std::string& text) {
    std::string compact;
    for (const char c : text)
        if (c != ' ' && c != '\t') compact += c;
    const auto v = ParseNumber(compact);
    return v && std::isfinite(*v) ? *v : 0.0;
}

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A port the numbers reach is kept as the number (so "ComPort" means it); any other device as
// its path ("ComDevice").
void UseSerialDevice(ad9951& vfo, const std::string& path) {
    if (const int n = ComPortForDevice(path); n > 0) {
        vfo.setComPort(n);
        vfo.setComDevice({});
    } else {
        vfo.setComDevice(path);
    }
}

} // namespace

std::int32_t ConfigForm::simulatedEntry() const {
    return m_config.simulatedCaptureDevice() - 1;
}

std::int32_t ConfigForm::ifRecordingEntry() const {
    return m_config.ifFileCaptureDevice() - 1;
}

void ConfigForm::Form_Load() {
    DialogOpen = true;
    Caption = std::string(kApplicationName) + " - Configuration";
    cboPlayDevices = m_config.playbackDeviceNames();
    InitialPlaybackDevice = m_config.playbackDevice();
    cboPlayIndex = InitialPlaybackDevice - 1;
    cboCapDevices = m_config.captureDeviceNames();
    InitialCaptureDevice = m_config.captureDevice();
    cboCapIndex = InitialCaptureDevice - 1;

    ad9951& v = m_config.vfo();
    txtDDSClkin = FormatNumber(std::fabs(v.ClkIn()) * 1000000.0, "#0");
    txtIFFrequency = FormatNumber(std::fabs(v.IFFreq()) * 1000000.0, "#0");
    chkIFHigh = v.IFFreq() >= 0.0;
    DDSType = v.DDSType();
    const std::string parallelProblem = ParallelPortProblem(kParallelDevice);
    ParallelStatus = parallelProblem.empty() ? std::string(kParallelDevice) : parallelProblem;
    optIF = v.IFType() == 2 ? 0 : 1;
    optIF_Click(optIF);

    const ConfigOptions o = m_config.options();
    chkUseSPLEnabled = o.UseSPLAvailable;
    chkUseSPL = o.UseSPL;
    chkEnableEncoder = o.EnableShaftEncoder;
    chkShaftAutoRateEnabled = o.EnableShaftEncoder;
    chkShaftAutoRate = o.ShaftAutoRate;
    chkScrollWheelEnableOverScope = o.ScrollWheelEnableOverScope;
    chkAutoDDSRefresh = o.AutoDDSRefresh;
    chkfrmMainCaption = o.CaptionShown;

    const RemoteView& remote = m_config.remote();
    chkRigctl = remote.On;
    txtRigctlPort = IntText(remote.Port);
    txtRigctlAddress = remote.Address;
    lblRigctlStatus = remote.Status;
    const ProgramAudioSettings& shared = m_config.programAudio().settings();
    chkToPrograms = shared.toPrograms;
    chkUdpAudio = shared.udp;
    txtUdpAddress = shared.udpDestination;
    lblProgramAudioStatus = m_config.programAudio().status();

    IFRecordingFile = m_config.ifFile();
    SimSceneFile = m_config.simSceneFile();
    SimClockErrorPpm = m_config.simClockErrorPpm();
    cboCapDevices_Click();
}

void ConfigForm::optIF_Click(std::int32_t index) {
    optIF = index == 0 ? 0 : 1;
    AD9850Allowed = optIF == 0;
    cboComPortEnabled = optIF == 1;
    if (optIF == 0) return;
    cboComPortItems = ListSerialDevices();
    cboComPort = m_config.vfo().SerialDevice();
    // The configured port stays on offer even while it is not plugged in.
    if (!cboComPort.empty() && std::find(cboComPortItems.begin(), cboComPortItems.end(),
                                         cboComPort) == cboComPortItems.end())
        cboComPortItems.push_back(cboComPort);
}

void ConfigForm::chkEnableEncoder_Click() {
    chkShaftAutoRateEnabled = chkEnableEncoder;
}

void ConfigForm::chkfrmMainCaption_Click() {
    m_config.setCaptionShown(chkfrmMainCaption);
}

void ConfigForm::cboCapDevices_Click() {
    SimOptionsEnabled = cboCapIndex >= 0 && cboCapIndex == simulatedEntry();
}

void ConfigForm::CalibrationClosed(bool applyChanges) {
    if (applyChanges)
        txtDDSClkin = FormatNumber(std::fabs(m_config.vfo().ClkIn()) * 1000000.0, "#0");
}

// Every field is checked before anything is applied: a wrong one is named and nothing changes.
// Then the IF and clock (retuning), the simulated receiver and the sound devices, the lines,
// the options, the audio for other programs, and last the remote-control server (a port another
// program holds is reported once everything else is in force).
bool ConfigForm::cmdApply_Click() {
    if (m_config.unloaded()) return false;
    ad9951& v = m_config.vfo();
    const std::string title = Caption + " CLKIN - ERROR";
    if (DDSType == 1 && optIF != 0) {
        ShowMessage("The AD9850 is driven over the parallel port only: choose \"Par\" or another "
                    "chip",
                    MessageIcon::None, Caption + " - ERROR");
        return false;
    }
    // The IF: any from 0 upwards (low IFs of a few kilohertz included); its sign is the side.
    const double ifMHz = NumberIn(txtIFFrequency) / 1000000.0;
    if (ifMHz < 0.0) {
        ShowMessage("IF Frequency must be greater than 0.4 MHZ", MessageIcon::None, title);
        return false;
    }
    const double clock = NumberIn(txtDDSClkin) / 1000000.0;
    if (!(clock > 1.0)) {
        ShowMessage("CLKIN must be greater than 1.0000 MHZ", MessageIcon::None, title);
        return false;
    }
    // An IF at or above half the clock leaves nothing the synthesiser can tune to.
    if (ifMHz >= clock / 2.0) {
        ShowMessage("IF Frequency must be below half the DDS clock (" +
                        FormatNumber(clock / 2.0, "#0.000 000") + " MHz)",
                    MessageIcon::None, title);
        return false;
    }
    const std::optional<std::uint16_t> rigctlPort = checkRemoteControl();
    if (!rigctlPort) return false;
    audio::UdpEndpoint udp;
    if (std::string error; !Trimmed(txtUdpAddress).empty() &&
                           !audio::ParseUdpEndpoint(Trimmed(txtUdpAddress), udp, error)) {
        ShowMessage("The UDP address " + error, MessageIcon::None, Caption + " - ERROR");
        return false;
    }

    v.setIFFreq(chkIFHigh ? ifMHz : -ifMHz);
    v.setClkIn(clock);
    m_config.retune();

    // The simulated receiver's options, then the sound devices (which may switch to it).
    m_config.setSimulatedReceiverOptions(SimSceneFile, SimClockErrorPpm);
    // A list with no entry chosen (a saved device number beyond the list) keeps the device.
    const std::int32_t capture = cboCapIndex >= 0 ? cboCapIndex + 1 : InitialCaptureDevice;
    const std::int32_t playback = cboPlayIndex >= 0 ? cboPlayIndex + 1 : InitialPlaybackDevice;
    if (capture != InitialCaptureDevice || playback != InitialPlaybackDevice ||
        IFRecordingFile != m_config.ifFile()) {
        m_config.switchSoundDevices(capture, playback, IFRecordingFile);
        // What is in use now (the previous devices when the new ones would not open).
        InitialCaptureDevice = m_config.captureDevice();
        InitialPlaybackDevice = m_config.playbackDevice();
        cboCapIndex = InitialCaptureDevice - 1;
        cboPlayIndex = InitialPlaybackDevice - 1;
        IFRecordingFile = m_config.ifFile();
        cboCapDevices_Click();
    }
    if (m_config.unloaded()) return false;

    applyInterface();

    ConfigOptions o = m_config.options();
    o.UseSPL = chkUseSPL;
    o.ShaftAutoRate = chkShaftAutoRate;
    o.EnableShaftEncoder = chkEnableEncoder;
    o.AutoDDSRefresh = chkAutoDDSRefresh;
    o.ScrollWheelEnableOverScope = chkScrollWheelEnableOverScope;
    m_config.setOptions(o);

    applyProgramAudio();
    return applyRemoteControl(*rigctlPort);
}

// The chip, then the interface and port. A port opened anew gets the chip's set-up and the
// tuned frequency at once, so the synthesiser on it runs where the readout says.
void ConfigForm::applyInterface() {
    ad9951& v = m_config.vfo();
    bool changed = false;
    if (DDSType != v.DDSType()) {
        v.setDDSType(DDSType);
        changed = true;
    }
    if (optIF == 0) {
        if (v.IFType() != 2) {
            v.SerialClose();
            v.ParallelOpen();
            changed = true;
        }
        v.setIFType(2);
    } else {
        const std::string chosen = cboComPortEnabled ? Trimmed(cboComPort) : std::string();
        const bool differs = !chosen.empty() && chosen != v.SerialDevice();
        if (v.IFType() == 1) {
            if (differs) {
                v.SerialClose();
                UseSerialDevice(v, chosen);
                v.SerialOpen();
                changed = true;
            }
        } else {
            v.ParallelClose();
            if (differs) UseSerialDevice(v, chosen);
            v.SerialOpen();
            changed = true;
        }
        v.setIFType(1);
    }
    if (changed) m_config.reprogramSynthesiser();
}

// The remote-control port, checked with the other fields: the port to listen on (the one in
// use while the server stays off), or nothing when it is not a port (the message names it).
std::optional<std::uint16_t> ConfigForm::checkRemoteControl() const {
    const auto port = ParseNumber(Trimmed(txtRigctlPort));
    if (chkRigctl && (!port || *port < 1 || *port > 65535 || *port != std::floor(*port))) {
        ShowMessage("The rigctl port must be a whole number from 1 to 65535", MessageIcon::None,
                    Caption + " - ERROR");
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(chkRigctl ? *port : m_config.remote().Port);
}

// The server restarts only when its choice changed; a port that cannot be bound keeps the
// dialog open with the reason.
bool ConfigForm::applyRemoteControl(std::uint16_t p) {
    const RemoteView& remote = m_config.remote();
    const std::string address =
        Trimmed(txtRigctlAddress).empty() ? std::string("127.0.0.1") : Trimmed(txtRigctlAddress);
    bool ok = true;
    if (chkRigctl != remote.On || (chkRigctl && (p != remote.Port || address != remote.Address)) ||
        (chkRigctl && !remote.Listening)) {
        std::string why;
        ok = m_config.setRemoteControl(chkRigctl, p, address, &why);
        if (!ok) ShowMessage(why, MessageIcon::None, Caption + " - ERROR");
    }
    chkRigctl = m_config.remote().On;
    txtRigctlAddress = m_config.remote().Address;
    lblRigctlStatus = m_config.remote().Status;
    return ok;
}

bool ConfigForm::applyProgramAudio() {
    ProgramAudioController& programs = m_config.programAudio();
    ProgramAudioSettings s = programs.settings();
    s.toPrograms = chkToPrograms;
    s.udp = chkUdpAudio;
    if (!Trimmed(txtUdpAddress).empty()) s.udpDestination = Trimmed(txtUdpAddress);
    std::string why;
    if (!programs.setSettings(s, &why)) {
        ShowMessage(why, MessageIcon::None, Caption + " - ERROR");
        return false;
    }
    txtUdpAddress = programs.settings().udpDestination;
    lblProgramAudioStatus = programs.status();
    return true;
}

bool ConfigForm::cmdOK_Click() {
    if (!cmdApply_Click()) return false;
    Cancel = false;
    DialogOpen = false;
    return true;
}

void ConfigForm::cmdCancel_Click() {
    Cancel = true;
    DialogOpen = false;
}

} // namespace orvex::app
