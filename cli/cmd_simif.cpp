// orvexsdr-cli sim-if: tunes the simulated Brisko receiver through the DDS controller and its
// control lines, exactly as the program tunes the real box, and writes the IF the receiver
// delivers to a WAV file (16-bit mono, 48000 samples/s), ready for `orvexsdr-cli demod`.
#include "Commands.h"
#include "audio/WavFile.h"
#include "core/Error.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "radio/ad9951.h"
#include "sim/SimStatus.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli sim-if --freq MHZ --out IF.wav [--scene FILE] [--clock-error PPM]\n"
    "                           [--seconds N]\n"
    "Tunes the simulated receiver to MHZ through the DDS controller (AD9951 on its serial\n"
    "lines) and writes the 12 kHz IF it delivers as a 16-bit mono WAV at 48000 samples/s.\n"
    "  --freq MHZ         receive frequency in MHz (the default scene has stations around\n"
    "                     5.505, in the 49 m, 80 m, 40 m, 20 m bands, at 10 and 29.6 MHz)\n"
    "  --out FILE         the IF file to write (replaced only when complete)\n"
    "  --scene FILE       scene file, or the name of a shipped scene ('calibration'); default:\n"
    "                     the built-in data/scenes/default.scene\n"
    "  --clock-error PPM  error of the synthesiser's reference crystal, -1000..1000 ppm\n"
    "  --seconds N        length of the IF, 0.1..3600 s (default 10)\n";

constexpr int kRate = 48000;
constexpr std::int64_t kChunk = 2048;

[[noreturn]] void Bad(const std::string& what) {
    throw OrvexError(ErrorKind::InvalidArgument, what);
}

double Number(const std::string& option, const std::string& text, double lo, double hi) {
    const auto v = ParseNumber(text);
    if (!v) Bad(option + ": '" + text + "' is not a number");
    if (*v < lo || *v > hi) {
        char buf[96];
        std::snprintf(buf, sizeof buf, " is out of range (%g to %g)", lo, hi);
        Bad(option + ": " + text + buf);
    }
    return *v;
}

} // namespace

int RunSimIf(const Args& args) {
    std::string out;
    sim::SimSetup setup;
    setup.prepareAll = false; // one tuning: only its stations' programmes are needed
    double freq = -1.0;
    double seconds = 10.0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a != "--freq" && a != "--out" && a != "--scene" && a != "--clock-error" &&
            a != "--seconds")
            Bad("unknown option '" + a + "' (see --help)");
        if (i + 1 >= args.size()) Bad(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--freq")
            freq = Number(a, v, 0.000001, 1000.0);
        else if (a == "--out")
            out = v;
        else if (a == "--scene")
            setup.sceneFile = v;
        else if (a == "--clock-error")
            setup.clockErrorPpm = Number(a, v, -1000.0, 1000.0);
        else
            seconds = Number(a, v, 0.1, 3600.0);
    }
    if (freq < 0.0) Bad("--freq MHZ is required");
    if (out.empty()) Bad("--out IF.wav is required");

    std::string error;
    auto receiver = sim::MakeSimulatedReceiver(setup, error);
    if (!receiver) {
        std::fprintf(stderr, "orvexsdr-cli sim-if: %s\n", error.c_str());
        return 2;
    }
    // The file exists (as a temporary) from here on, so an unwritable folder stops the run
    // before any work; it takes its name only once complete.
    audio::WavWriter writer(out, kRate, 1);

    StderrMessageSink messages;
    ScopedMessageSink messageScope(messages);
    MemorySettingsStore scratch; // the user's saved tuning is neither read nor changed
    ad9951 vfo(scratch, receiver->Ports());
    vfo.init(); // opens the (simulated) port, programs the chip, sends the start frequency
    vfo.setTunedFreq(freq);
    if (std::fabs(vfo.TunedFreq() - freq) > 1e-9)
        Bad("--freq: " + std::to_string(freq) + " MHz is above the highest frequency the " +
            "synthesiser reaches with this clock and IF (" + std::to_string(vfo.TunedFreq()) +
            " MHz)");

    std::printf("%s\n%s\n", sim::SimSummaryLine(*receiver).c_str(),
                sim::SimTuningLine(*receiver).c_str());
    for (const auto& line : sim::SimStationLines(*receiver))
        std::printf("%s\n", line.c_str());

    const auto frames = static_cast<std::int64_t>(std::llround(seconds * kRate));
    std::vector<std::int16_t> block(kChunk);
    for (std::int64_t at = 0; at < frames; at += kChunk) {
        const std::int64_t n = std::min(kChunk, frames - at);
        receiver->Render(block.data(), n, 1, kRate);
        writer.write(block.data(), n);
    }
    writer.commit();
    const auto clipped = receiver->Synthesiser().clippedSamples();
    const std::string clipText =
        clipped > 0 ? ", " + std::to_string(clipped) + " samples clipped" : "";
    std::printf("wrote %.1f s of IF (%lld samples at %d/s) to %s%s\n", seconds,
                static_cast<long long>(frames), kRate, out.c_str(), clipText.c_str());
    return 0;
}

} // namespace orvex::cli
