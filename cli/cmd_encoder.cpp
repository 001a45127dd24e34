// orvexsdr-cli encoder: follow a shaft encoder on the CTS and DSR inputs of the DDS
// controller's serial port, as the receiver does, and show what every turn does.
//
// The port is opened by the DDS controller on the real Linux ports (as the receiver opens it,
// so a Brisko on it is tuned by the knob), and the session's encoder wiring follows it: the
// watcher thread, the queue, the event on this thread, the decoder and the knob.
#include "Commands.h"
#include "PortChoice.h"
#include "ReceiveOptions.h"
#include "app/EncoderInput.h"
#include "core/MessageSink.h"
#include "core/Profiler.h"
#include "core/SettingsStore.h"
#include "core/YieldHook.h"
#include "radio/LinuxPorts.h"
#include "radio/ad9951.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli encoder [--port N|PATH] [--settings FILE] [--freq MHZ] [--auto-rate]\n"
    "                            [--seconds N]\n"
    "Follows a shaft encoder on CTS and DSR of the DDS controller's serial port as the receiver\n"
    "does, and prints a line whenever it turns: the steps decoded up and down, the changes\n"
    "counted without a direction (several between two reads), the tuning step and the tuned\n"
    "frequency. The controller on the port tunes the synthesiser as the knob turns. Stops on\n"
    "Ctrl-C or after --seconds, with a summary.\n"
    "  --port N|PATH   serial port number 1-12 or a device path (default: the port saved in\n"
    "                  section VFO1 of the settings)\n"
    "  --settings FILE read the saved port from this INI file (it is not written)\n"
    "  --freq MHZ      the frequency to start from (default 7.1)\n"
    "  --auto-rate     automatic rate: the turning speed chooses the step (1 Hz to 1 kHz)\n"
    "  --seconds N     stop after N seconds\n";

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

} // namespace

int RunEncoder(const Args& args) {
    std::string port, settingsPath;
    std::optional<double> seconds;
    double freq = 7.1;
    bool autoRate = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--port") {
            port = OptionValue(args, i);
        } else if (a == "--settings") {
            settingsPath = OptionValue(args, i);
        } else if (a == "--freq") {
            freq = OptionNumber(a, OptionValue(args, i), 0, 1000);
        } else if (a == "--seconds") {
            seconds = OptionNumber(a, OptionValue(args, i), 0.01, 1e7);
        } else if (a == "--auto-rate") {
            autoRate = true;
        } else {
            BadOption("unknown option '" + a + "' (see --help)");
        }
    }
    PortChoice choice;
    if (const std::string why = ChoosePort(port, settingsPath, choice); !why.empty())
        BadOption(why);
    if (choice.ifType != 1)
        BadOption("the shaft encoder needs the serial interface, not the "
                  "parallel port");

    static int qtArgc = 1;
    static char qtName[] = "orvexsdr-cli";
    static char* qtArgv[] = {qtName, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    ScopedYieldHook yield([] { QCoreApplication::processEvents(); });
    StderrMessageSink messages;
    ScopedMessageSink messageScope(messages);
    MemorySettingsStore scratch; // the controller's keys are not written back to the user's
    ad9951 vfo(scratch, DefaultPorts());
    vfo.setName("VFO1");
    vfo.setIFType(1);
    vfo.setComPort(choice.comPort);
    vfo.setComDevice(choice.comDevice);
    vfo.setCaptionHandler([](const std::string& text) {
        std::fprintf(stderr, "orvexsdr-cli encoder: %s\n", text.c_str());
    });
    if (!vfo.OpenPort()) return 2;
    vfo.InitAD9951();
    vfo.setAutoUpDate(true);
    vfo.setTunedFreq(freq);

    app::EncoderInput encoder(vfo);
    bool failed = false;
    QObject::connect(&encoder, &app::EncoderInput::message, [&](const QString& text) {
        std::fprintf(stderr, "orvexsdr-cli encoder: %s\n", text.toStdString().c_str());
        failed = failed || !encoder.watcher() ||
                 encoder.watcher()->mode() == ModemLineWatcher::Mode::Ended;
    });
    const ShaftEncoder& d = encoder.decoder();
    const std::int64_t t0 = Profiler::Now();
    auto report = [&] {
        const double step = autoRate || encoder.knob().TuneRateLocked ? vfo.TuneStep() : 0.0001;
        std::printf("%8.3f s  up %llu  down %llu  without a direction %llu  step %g Hz  %.7f MHz\n",
                    static_cast<double>(Profiler::Now() - t0) / 1e9,
                    static_cast<unsigned long long>(d.stepsUp()),
                    static_cast<unsigned long long>(d.stepsDown()),
                    static_cast<unsigned long long>(d.uncountedChanges()),
                    std::round(step * 1e7) / 10.0, vfo.TunedFreq());
        std::fflush(stdout);
    };
    // One line for whatever a drain or a tmrShaft tick did.
    QObject::connect(&encoder, &app::EncoderInput::stepped, report);
    encoder.setAutoRate(autoRate);
    encoder.setEnabled(true);
    if (!encoder.watcher()) return 2;
    std::fprintf(stderr, "orvexsdr-cli encoder: following CTS and DSR on %s%s; Ctrl-C stops\n",
                 encoder.watcher()->device().c_str(), autoRate ? ", automatic rate" : "");

    QTimer tmrShaft, watch;
    QObject::connect(&tmrShaft, &QTimer::timeout, [&] {
        if (encoder.tmrShaft_Timer()) report();
    });
    tmrShaft.start(30);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const bool timeUp = seconds && static_cast<double>(Profiler::Now() - t0) / 1e9 >= *seconds;
        if (g_stop || timeUp || failed) app.quit();
    });
    watch.start(20);
    app.exec();

    const ModemLineWatcher* w = encoder.watcher();
    const std::string how = !w                                             ? "not followed"
                            : w->mode() == ModemLineWatcher::Mode::Polling ? "read every 1 ms"
                            : w->mode() == ModemLineWatcher::Mode::Ended   ? "lost"
                                                                           : "waited for";
    std::fprintf(stderr,
                 "orvexsdr-cli encoder: %s: lines %s; %llu steps up, %llu down, %llu changes "
                 "without a direction; the watcher used %.1f ms of CPU%s; tuned to %.7f MHz\n",
                 vfo.SerialDevice().c_str(), how.c_str(),
                 static_cast<unsigned long long>(d.stepsUp()),
                 static_cast<unsigned long long>(d.stepsDown()),
                 static_cast<unsigned long long>(d.uncountedChanges()),
                 w ? static_cast<double>(w->cpuTimeNs()) / 1e6 : 0.0,
                 w && w->realTimePriority() ? " at real-time priority" : "", vfo.TunedFreq());
    return failed ? 2 : 0;
}

} // namespace orvex::cli
