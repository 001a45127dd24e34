// orvexsdr: the receiver's front panel.
//
//   orvexsdr [trace] [--on] [--bandplans DIR] [--settings FILE]
//   orvexsdr --help | --version
//
// With no receiver configured it listens to the simulated Brisko receiver. SIGTERM and SIGINT
// (a desktop logout, Ctrl-C in the terminal) shut down as the Close button does.
#include "MessageBoxSink.h"
#include "app/ReceiverCore.h"
#include "core/IniSettingsStore.h"
#include "core/MessageSink.h"
#include "core/Version.h"
#include "core/YieldHook.h"
#include "frmMain.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    // Only an async-signal-safe write; the event loop does the rest.
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("orvexsdr %s\n", orvex::kProgramVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: orvexsdr [trace] [--on] [--bandplans DIR] [--settings FILE]\n"
                        "       orvexsdr --help | --version\n"
                        "The OrvexSDR front panel for the Brisko receiver. \"trace\" logs "
                        "start-up to a log window and to\n"
                        "~/.local/state/OrvexSDR/OrvexSDR_Brisko.log. --on presses On once "
                        "the panel is up.\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("OrvexSDR");
    QApplication::setOrganizationName("OrvexSDR");

    std::vector<std::string> arguments(argv, argv + argc);
    orvex::app::CoreOptions options;
    options.arguments = arguments;
    std::string settingsFile;
    bool powerOn = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if ((a == "--bandplans" || a == "--settings") && i + 1 < arguments.size()) {
            (a == "--bandplans" ? options.bandPlanFolder : settingsFile) = arguments[++i];
        } else if (a == "--on") {
            powerOn = true;
        }
    }

    orvex::ui::MessageBoxSink sink;
    orvex::ScopedMessageSink scopedSink(sink);
    orvex::ScopedYieldHook yield([] { QCoreApplication::processEvents(); });
    // The settings file is read and rewritten by the INI store (comments and order kept, the
    // file replaced only whole). A file that is not a settings file is left alone: the receiver
    // starts on its defaults and saves nothing.
    orvex::IniSettingsStore store(settingsFile.empty() ? orvex::IniSettingsStore::UserFile()
                                                       : settingsFile);
    if (std::string why; !store.load(&why))
        orvex::ShowMessage(why + "\n\nOrvexSDR starts with its default settings and leaves this "
                                 "file as it is.",
                           orvex::MessageIcon::Exclamation, "OrvexSDR settings");
    orvex::app::ReceiverCore core(store, options);
    orvex::ui::frmMain window(core);

    if (::pipe(g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            char c;
            [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &c, 1);
            window.close();
        });
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGINT, OnSignal);
    }

    if (!window.start()) return 1;
    window.show();
    if (powerOn) core.power().optPwr_Click(0);
    return app.exec();
}
