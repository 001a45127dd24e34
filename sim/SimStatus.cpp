#include "SimStatus.h"

#include <cmath>
#include <cstdio>

namespace orvex::sim {

std::unique_ptr<SimulatedReceiver> MakeSimulatedReceiver(const SimSetup& setup,
                                                         std::string& error) {
    error.clear();
    if (!std::isfinite(setup.clockErrorPpm) || std::fabs(setup.clockErrorPpm) > 1000.0) {
        error = "clock error must be within -1000 to 1000 ppm";
        return nullptr;
    }
    Scene scene;
    if (setup.sceneFile.empty()) {
        scene = DefaultScene();
    } else {
        SceneLoadResult loaded = LoadSceneFile(FindSceneFile(setup.sceneFile));
        if (!loaded.ok()) {
            error = loaded.errorText();
            return nullptr;
        }
        scene = std::move(*loaded.scene);
    }
    SimReceiverConfig config = setup.config;
    config.clockErrorPpm = setup.clockErrorPpm;
    auto receiver = std::make_unique<SimulatedReceiver>(std::move(scene), config);
    if (setup.prepareAll) receiver->PrepareAll();
    return receiver;
}

std::string SimSummaryLine(const SimulatedReceiver& receiver) {
    const Scene& scene = receiver.GetScene();
    const SimReceiverConfig& c = receiver.Config();
    char buf[256];
    std::snprintf(buf, sizeof buf, "%zu stations; reference %.6f MHz (%+.3f ppm)",
                  scene.signals.size(), c.referenceClockHz / 1e6, c.clockErrorPpm);
    return "simulated receiver: scene \"" + scene.name + "\" (" + scene.source + "), " + buf;
}

std::string SimTuningLine(const SimulatedReceiver& receiver) {
    const auto tuned = receiver.TunedHz();
    if (!tuned) {
        return receiver.TuningWord() ? "no local oscillator (the synthesiser is held in reset "
                                       "or powered down)"
                                     : "no local oscillator (no tuning word loaded yet)";
    }
    const std::size_t stations = receiver.StationsInView().size();
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "tuned %.6f MHz: LO %.6f MHz from word 0x%08X on a %.6f MHz clock, %zu "
                  "station%s in the IF",
                  *tuned / 1e6, *receiver.LocalOscillatorHz() / 1e6,
                  static_cast<unsigned>(receiver.TuningWord().value_or(0)),
                  receiver.SystemClockHz() / 1e6, stations, stations == 1 ? "" : "s");
    return buf;
}

std::vector<std::string> SimStationLines(const SimulatedReceiver& receiver) {
    std::vector<std::string> out;
    for (const StationView& v : receiver.StationsInView()) {
        char buf[256];
        // Whole hertz, and never "-0.000" for a station a word step off the tuned frequency.
        const double kHz = std::round(v.offsetHz) / 1e3 + 0.0;
        // A station below 0 Hz on the IF is heard as its mirror image.
        std::snprintf(buf, sizeof buf, "  %+8.3f kHz  IF %5.0f Hz  %-7s %4.0f dBFS  %s%s", kHz,
                      std::fabs(v.ifHz), ModeName(v.mode), v.levelDbfs, v.name.c_str(),
                      v.ifHz < 0.0 ? " (image)" : "");
        out.emplace_back(buf);
    }
    return out;
}

} // namespace orvex::sim
