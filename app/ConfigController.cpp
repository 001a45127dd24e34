// The configuration's side of the core: the sound devices, the simulated receiver's options,
// the synthesiser's lines, the caption and the option flags.
#include "ConfigController.h"

#include "app/PowerController.h"
#include "app/RadioSession.h"
#include "app/SpectrumController.h"
#include "app/TraceLog.h"
#include "app/TuningController.h"
#include "app/WindowController.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "radio/ad9951.h"
#include "sim/Scene.h"

#include <cmath>
#include <cstdio>

namespace orvex::app {
namespace {

constexpr double kMaxClockErrorPpm = 1000.0;

std::string PpmText(double ppm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", ppm);
    return text;
}

} // namespace

ConfigController::ConfigController(RadioSession& session, SettingsStore& store, TraceLog& trace,
                                   const LifeCycle& life, bool realTime, Areas areas)
    : m_session(session), m_store(store), m_trace(trace), m_life(life), m_realTime(realTime),
      m_areas(areas) {
    connect(&m_areas.remote, &RemoteController::changed, this, [this] { Q_EMIT remoteChanged(); });
}

void ConfigController::restoreDeviceOptions(SessionDevices& d) {
    d.offerIFFile = true;
    if (d.ifFile.empty()) d.ifFile = m_store.get(kDevicesSection, "IFRecordingFile", "");
    if (const auto ppm = ParseNumber(m_store.get(kDevicesSection, "SimClockErrorPpm", ""));
        ppm && std::isfinite(*ppm) && std::fabs(*ppm) <= kMaxClockErrorPpm)
        d.sim.clockErrorPpm = *ppm;
    const std::string scene = m_store.get(kDevicesSection, "SimSceneFile", "");
    if (!scene.empty() && d.sim.sceneFile.empty()) {
        // A scene that went bad since it was chosen: the built-in one stands in, with the reason.
        const sim::SceneLoadResult loaded = sim::LoadSceneFile(scene);
        if (loaded.ok())
            d.sim.sceneFile = scene;
        else
            ShowMessage("The simulated receiver's scene cannot be loaded; the built-in scene is "
                        "used.\n" +
                            loaded.errorText(),
                        MessageIcon::Exclamation, kApplicationName);
    }
}

bool ConfigController::inNotification() const {
    return m_session.inNotification();
}

// ---- what the dialog shows
// -----------------------------------------------------------------------

ad9951& ConfigController::vfo() {
    return m_session.vfo();
}
std::vector<std::string> ConfigController::captureDeviceNames() {
    return m_session.captureDeviceNames();
}
std::vector<std::string> ConfigController::playbackDeviceNames() {
    return m_session.playbackDeviceNames();
}
std::int32_t ConfigController::captureDevice() const {
    return const_cast<RadioSession&>(m_session).soundCard().CurrentCaptureDevice();
}
std::int32_t ConfigController::playbackDevice() const {
    return const_cast<RadioSession&>(m_session).soundCard().CurrentPlaybackDevice();
}
std::int32_t ConfigController::simulatedCaptureDevice() const {
    return m_session.simulatedCaptureDevice();
}
std::int32_t ConfigController::ifFileCaptureDevice() const {
    return m_session.ifFileCaptureDevice();
}
const std::string& ConfigController::ifFile() const {
    return m_session.ifFile();
}
const std::string& ConfigController::simSceneFile() const {
    return m_session.simulatedSetup().sceneFile;
}
double ConfigController::simClockErrorPpm() const {
    return m_session.simulatedSetup().clockErrorPpm;
}
const RemoteView& ConfigController::remote() const {
    return m_areas.remote.view();
}
DDSCalibration ConfigController::calibration() {
    return DDSCalibration(m_session.vfo());
}

ConfigOptions ConfigController::options() const {
    ConfigOptions o;
    o.UseSPLAvailable = spl::IsAvailable();
    o.UseSPL = o.UseSPLAvailable && vec::UseSPL();
    o.EnableShaftEncoder = m_areas.tuning.enableShaftEncoder();
    o.ShaftAutoRate = m_areas.tuning.shaftAutoRate();
    o.ScrollWheelEnableOverScope = m_areas.spectrum.wheelOverScope();
    o.AutoDDSRefresh = m_areas.tuning.autoDDSRefresh();
    o.CaptionShown = m_areas.window.captionShown();
    return o;
}

// ---- what the dialog sets ----------------------------------------------------------------------

bool ConfigController::switchSoundDevices(std::int32_t capture, std::int32_t playback,
                                          const std::string& ifFile) {
    if (m_life.unloaded) return false;
    OrvexDX8& card = m_session.soundCard();
    const std::int32_t oldCapture = card.CurrentCaptureDevice();
    const std::int32_t oldPlayback = card.CurrentPlaybackDevice();
    const std::string oldFile = m_session.ifFile();
    const bool fileChanged = ifFile != oldFile;
    if (capture == oldCapture && playback == oldPlayback &&
        !(fileChanged && capture == m_session.ifFileCaptureDevice())) {
        // Nothing in use changes; a new file waits for the IF recording device.
        m_session.setIFFile(ifFile);
        m_store.save(kDevicesSection, "IFRecordingFile", ifFile);
        return true;
    }
    const auto use = [&](std::int32_t c, std::int32_t p, const std::string& file) {
        card.setCurrentCaptureDevice(c);
        card.setCurrentPlaybackDevice(p);
        m_session.setIFFile(file);
    };
    const bool wasStreaming = m_session.streaming();
    m_session.stopStreaming();
    use(capture, playback, ifFile);
    std::string why;
    const bool ok =
        wasStreaming ? m_session.startStreaming(m_realTime, why) : m_session.probeDevices(why);
    if (!ok) {
        std::string text =
            "The sound devices cannot be changed (" + m_session.soundDevicesText() + "):\n" + why;
        use(oldCapture, oldPlayback, oldFile);
        std::string again;
        if (wasStreaming && !m_session.startStreaming(m_realTime, again)) {
            m_areas.power.powerOff();
            text += "\nThe previous devices cannot be started again either: " + again;
        } else {
            text += "\nThe previous devices stay in use.";
        }
        m_trace.add("SwitchSoundDevices : " + text);
        ShowMessage(text, MessageIcon::Exclamation, kApplicationName);
    }
    m_store.save(kDevicesSection, "IFRecordingFile", m_session.ifFile());
    if (m_session.routeVFOLines(card.CurrentCaptureDevice() == m_session.simulatedCaptureDevice()))
        reprogramSynthesiser();
    return ok;
}

bool ConfigController::setSimulatedReceiverOptions(const std::string& sceneFile,
                                                   double clockErrorPpm) {
    if (m_life.unloaded) return false;
    const sim::SimSetup now = m_session.simulatedSetup();
    bool ok = true;
    if (clockErrorPpm != now.clockErrorPpm) {
        if (std::isfinite(clockErrorPpm) && std::fabs(clockErrorPpm) <= kMaxClockErrorPpm) {
            m_session.setSimulatedClockErrorPpm(clockErrorPpm);
            m_store.save(kDevicesSection, "SimClockErrorPpm", PpmText(clockErrorPpm));
        } else {
            ShowMessage("The clock error must be within -1000 to 1000 ppm",
                        MessageIcon::Exclamation, kApplicationName);
            ok = false;
        }
    }
    if (sceneFile == now.sceneFile) return ok;

    // The capture stream reads the box being replaced: it stops for the change.
    const bool running = m_session.streaming() && m_session.soundCard().CurrentCaptureDevice() ==
                                                      m_session.simulatedCaptureDevice();
    if (running) m_session.stopStreaming();
    sim::SimSetup setup = m_session.simulatedSetup();
    setup.sceneFile = sceneFile;
    std::string error;
    const bool wasOnSim = m_session.vfoOnSimulatedLines();
    if (m_session.replaceSimulatedReceiver(setup, error)) {
        m_store.save(kDevicesSection, "SimSceneFile", sceneFile);
        if (wasOnSim) reprogramSynthesiser(); // the new box has not been tuned yet
    } else {
        ShowMessage("The scene cannot be loaded; the simulated receiver keeps its scene.\n" + error,
                    MessageIcon::Exclamation, kApplicationName);
        ok = false;
    }
    std::string why;
    if (running && !m_session.startStreaming(m_realTime, why)) {
        m_areas.power.powerOff();
        ShowMessage(why + "\n(" + m_session.soundDevicesText() + ")", MessageIcon::Exclamation,
                    kApplicationName);
    }
    return ok;
}

void ConfigController::reprogramSynthesiser() {
    ad9951& v = m_session.vfo();
    if (v.IFType() == 1) v.InitAD9951();
    retune();
}

void ConfigController::retune() {
    // The same frequency again: the new IF, clock or lines get its tuning word (even one the
    // new settings can no longer reach, so the readout says what was asked for).
    ad9951& v = m_session.vfo();
    v.setTunedFreq(v.TunedFreq());
    m_areas.tuning.showTunedFreq();
}

void ConfigController::setCaptionShown(bool shown) {
    m_areas.window.setCaptionShown(shown);
}

void ConfigController::setOptions(const ConfigOptions& o) {
    if (spl::IsAvailable()) vec::SetUseSPL(o.UseSPL);
    m_areas.tuning.setShaftAutoRate(o.ShaftAutoRate);
    m_areas.tuning.setEnableShaftEncoder(o.EnableShaftEncoder);
    m_areas.tuning.setAutoDDSRefresh(o.AutoDDSRefresh);
    m_areas.spectrum.setWheelOverScope(o.ScrollWheelEnableOverScope);
}

bool ConfigController::setRemoteControl(bool on, std::uint16_t port, const std::string& address,
                                        std::string* why) {
    return m_areas.remote.setRemoteControl(on, port, address, why);
}

void ConfigController::configClosed() {
    if (m_life.unloaded) return;
    m_areas.window.refreshVFOLabels();
    m_areas.tuning.showTunedFreq();
}

} // namespace orvex::app
