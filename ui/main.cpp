// orvexsdr: the receiver's front panel.
//
//   orvexsdr [trace] [--on] [--bandplans DIR] [--settings FILE]
//   orvexsdr --help | --version
//
// With no receiver configured it listens to the simulated Brisko receiver.
//
// Ending. SIGTERM, SIGINT, SIGHUP and SIGXCPU (a desktop logout, Ctrl-C, the terminal closed,
// a CPU-time limit reached) shut down as the Close button does, whatever is open: dialogs and
// message boxes are closed, and the shutdown runs once every nested event loop has returned.
// Nothing waits for a person once the program is ending (messages go to stderr and the trace log).
// Should the shutdown still not be done five seconds after the signal, or a second signal come, the
// program ends at once: the files it writes are replaced whole or not at all, so that loses only
// the unsaved state. SIGPIPE and SIGXFSZ are ignored: a closed pipe or the file size limit is a
// write error that is reported (a recording stops with its message), not the end of the program.
//
// Two windows on one settings file: the second is told so at start and runs without saving
// its settings or band plans, so that nothing the first one stores is undone when it closes.
#include "MessageBoxSink.h"
#include "app/ReceiverCore.h"
#include "app/TraceLog.h"
#include "core/FileLock.h"
#include "core/IniSettingsStore.h"
#include "core/MessageSink.h"
#include "core/SafeFile.h"
#include "core/Version.h"
#include "core/YieldHook.h"
#include "frmMain.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr unsigned kShutdownGraceSeconds = 5;

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signal = 0;

void EndNow(int signalNumber) {
    orvex::RemoveTempFilesNow();
    ::signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr); // a handler runs with its own signal held
    ::raise(signalNumber);
    ::_exit(128 + signalNumber);
}

void OnShutdownOverdue(int) {
    constexpr char kText[] = "orvexsdr: the shutdown did not finish within 5 s of the signal; "
                             "ending now\n";
    [[maybe_unused]] const auto n = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    EndNow(g_signal);
}

// Only async-signal-safe calls; the event loop does the rest.
void OnSignal(int signalNumber) {
    if (g_signal != 0) EndNow(signalNumber); // asked twice: no more waiting
    g_signal = signalNumber;
    ::alarm(kShutdownGraceSeconds);
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

void InstallSignalHandlers() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnShutdownOverdue;
    ::sigaction(SIGALRM, &action, nullptr);
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGXCPU})
        ::sigaction(s, &action, nullptr);
}

// A signal asked the program to end: nothing may wait for the user any more, every dialog and
// box closes, and every event loop returns, so that main() runs the shutdown at the bottom of
// the stack (never inside a dialog or a wait that runs the loop).
void EndAllWaiting(orvex::ui::MessageBoxSink& sink) {
    sink.setNonBlocking(true);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
            dialog->reject();
    QCoreApplication::exit(0);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
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
    InstallSignalHandlers();
    if (g_signalPipe[0] >= 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            char c;
            while (::read(g_signalPipe[0], &c, 1) > 0) {
            }
            EndAllWaiting(sink);
        });
    }

    // Said once, over the window once it shows; never again at exit.
    std::vector<orvex::Message> startNotes;

    // The settings file is read and rewritten by the INI store (comments and order kept, the
    // file replaced only whole). A file that is not a settings file is left alone: the receiver
    // starts on its defaults and saves nothing.
    orvex::IniSettingsStore store(settingsFile.empty() ? orvex::IniSettingsStore::UserFile()
                                                       : settingsFile);
    if (std::string why; !store.load(&why)) {
        store.setReadOnly(true);
        startNotes.push_back({why + "\n\nOrvexSDR starts with its default settings and leaves "
                                    "this file as it is.",
                              orvex::MessageIcon::Exclamation, "OrvexSDR settings"});
    }
    // A second window on the same settings would undo, when it closes, what the first one
    // stores: it runs, but saves neither its settings nor its band plans.
    orvex::FileLock settingsLock;
    pid_t holder = 0;
    const auto lock =
        store.fileName().empty()
            ? orvex::FileLock::Result::Failed // no home: nothing is saved anyway
            : settingsLock.lockFile(orvex::SettingsLockFile(store.fileName()), &holder);
    const bool shared = lock == orvex::FileLock::Result::HeldElsewhere;
    if (shared) {
        store.setReadOnly(true);
        startNotes.push_back(
            {"Another OrvexSDR window" +
                 (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
                 " is using the settings in " + store.fileName() +
                 ".\n\nThis window runs with them but will not save its settings or band plans "
                 "when it closes, so that nothing the other window stores is undone. Close the "
                 "other window first to keep what you change here.",
             orvex::MessageIcon::Exclamation, "OrvexSDR settings"});
    } else if (lock == orvex::FileLock::Result::Locked) {
        const std::string name = NameOf(store.fileName());
        orvex::RemoveStaleTempFiles(FolderOf(store.fileName()),
                                    [&](std::string_view target) { return target == name; });
    }

    orvex::app::ReceiverCore core(store, options);
    if (shared) core.bands().model().WriteBack = false;
    orvex::ui::frmMain window(core);
    sink.closing = [&core] { return core.unloaded(); };
    sink.onUnattended = [&core](const std::string& text) { core.trace().add("Message : " + text); };

    if (!window.start()) return 1;
    if (g_signal != 0) { // asked to end while starting
        window.close();
        return 0;
    }
    window.show();
    for (const auto& note : startNotes)
        orvex::ui::MessageBoxSink::ShowWithoutWaiting(note, &window);
    if (powerOn) core.power().optPwr_Click(0);
    // A signal taken while On was starting (a box may have been open) asked a loop to end that
    // had not begun yet: end now rather than run one.
    const int status = g_signal != 0 ? 0 : app.exec();
    if (!core.unloaded()) {
        // The loop was ended by a signal: shut down as Close does, with no one to answer.
        sink.setNonBlocking(true);
        window.close();
    }
    return status;
}
