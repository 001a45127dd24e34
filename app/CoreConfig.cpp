// The hardware choices the configuration and calibration dialogs make while the program runs:
// sound devices, the simulated receiver's options, the synthesiser's lines, the caption.
#include "ReceiverCore.h"
#include "audio/OrvexDX8.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "radio/ad9951.h"
#include "sim/Scene.h"

#include <cmath>
#include <cstdio>

namespace orvex::app {
namespace {

constexpr double kMaxClockErrorPpm = 1000.0;

std::string DeviceName(const std::vector<std::string>& list, std::int32_t n) {
    return n >= 1 && n <= static_cast<std::int32_t>(list.size())
               ? list[static_cast<std::size_t>(n - 1)]
               : "device " + std::to_string(n);
}

std::string PpmText(double ppm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", ppm);
    return text;
}

} // namespace

std::string ReceiverCore::SoundDevicesText() {
    const OrvexDX8& card = m_session.soundCard();
    return "capture: " + DeviceName(m_session.captureDeviceNames(), card.CurrentCaptureDevice()) +
           "; playback: " +
           DeviceName(m_session.playbackDeviceNames(), card.CurrentPlaybackDevice());
}

void ReceiverCore::RestoreDeviceOptions() {
    SessionDevices& d = m_options.devices;
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
                        MessageIcon::Exclamation, kProductName);
    }
}

bool ReceiverCore::SwitchSoundDevices(std::int32_t capture, std::int32_t playback,
                                      const std::string& ifFile) {
    if (m_unloaded) return false;
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
    const bool ok = wasStreaming ? m_session.startStreaming(m_options.realTime, why)
                                 : m_session.probeDevices(why);
    if (!ok) {
        std::string text =
            "The sound devices cannot be changed (" + SoundDevicesText() + "):\n" + why;
        use(oldCapture, oldPlayback, oldFile);
        std::string again;
        if (wasStreaming && !m_session.startStreaming(m_options.realTime, again)) {
            powerOff();
            text += "\nThe previous devices cannot be started again either: " + again;
        } else {
            text += "\nThe previous devices stay in use.";
        }
        m_panel.StatusText = text;
        log("SwitchSoundDevices : " + text);
        ShowMessage(text, MessageIcon::Exclamation, kProductName);
    }
    m_store.save(kDevicesSection, "IFRecordingFile", m_session.ifFile());
    if (m_session.routeVFOLines(card.CurrentCaptureDevice() == m_session.simulatedCaptureDevice()))
        ReprogramSynthesiser();
    emitChanged(kAreaPower | kAreaCaption | kAreaChain);
    return ok;
}

bool ReceiverCore::setSimulatedReceiverOptions(const std::string& sceneFile, double clockErrorPpm) {
    if (m_unloaded) return false;
    const sim::SimSetup now = m_session.simulatedSetup();
    bool ok = true;
    if (clockErrorPpm != now.clockErrorPpm) {
        if (std::isfinite(clockErrorPpm) && std::fabs(clockErrorPpm) <= kMaxClockErrorPpm) {
            m_session.setSimulatedClockErrorPpm(clockErrorPpm);
            m_store.save(kDevicesSection, "SimClockErrorPpm", PpmText(clockErrorPpm));
        } else {
            ShowMessage("The clock error must be within -1000 to 1000 ppm",
                        MessageIcon::Exclamation, kProductName);
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
        if (wasOnSim) ReprogramSynthesiser(); // the new box has not been tuned yet
    } else {
        ShowMessage("The scene cannot be loaded; the simulated receiver keeps its scene.\n" + error,
                    MessageIcon::Exclamation, kProductName);
        ok = false;
    }
    std::string why;
    if (running && !m_session.startStreaming(m_options.realTime, why)) {
        powerOff();
        ShowMessage(why + "\n(" + SoundDevicesText() + ")", MessageIcon::Exclamation, kProductName);
        emitChanged(kAreaPower);
    }
    return ok;
}

void ReceiverCore::ReprogramSynthesiser() {
    ad9951& v = m_session.vfo();
    if (v.IFType() == 1) v.InitAD9951();
    v.setTunedFreq(v.TunedFreq());
    if (m_tuning) m_tuning->ShowTunedFreq();
    emitChanged(kAreaFrequency);
}

void ReceiverCore::setMainCaptionShown(bool shown) {
    m_panel.Caption = shown ? kCaption : "";
    emitChanged(kAreaCaption);
}

void ReceiverCore::ConfigClosed() {
    if (m_unloaded) return;
    refreshVFOLabels();
    if (m_tuning) m_tuning->ShowTunedFreq();
    emitChanged(kAreaCaption | kAreaFrequency);
}

} // namespace orvex::app
