// orvexsdr-cli: the receiver's plain-C++ layers driven from the command line, with no window.
#include "Commands.h"
#include "core/SafeFile.h"
#include "core/Version.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace orvex::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"demo", "run the DSP building blocks on generated signals and report what they measure",
         &RunDemo},
        {"tune", "compute the DDS tuning word for a frequency and clock it into the synthesiser",
         &RunTune},
        {"bandplan", "check and list band-plan files, and show where the program keeps them",
         &RunBandplan},
        {"listen", "run the receiver live: sound card or file in, chain, sound card or file out",
         &RunListen},
        {"demod", "run a recorded IF file (WAV) through the receive chain into an audio file",
         &RunDemod},
        {"encoder", "follow a shaft encoder on the control port's CTS and DSR and show each turn",
         &RunEncoder},
        {"sim-if", "tune the simulated receiver and write the IF it delivers to a WAV file",
         &RunSimIf},
    };
    return commands;
}

} // namespace orvex::cli

namespace {

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "usage: orvexsdr-cli COMMAND [OPTIONS]\n\ncommands:\n");
    for (const auto& c : orvex::cli::AllCommands())
        std::fprintf(to, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(to, "\n'orvexsdr-cli COMMAND --help' describes a command's options.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("orvexsdr-cli %s\n", orvex::kProgramVersion);
        return 0;
    }
    // A pipe whose reader goes away, or a file reaching the size limit (ulimit -f), is a write
    // error to report (EPIPE, EFBIG: a recording stops with its message), not the end of the
    // program; Ctrl-C and SIGTERM remove the temporary file of an output being written.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    orvex::InstallTempFileCleanup();
    for (const auto& c : orvex::cli::AllCommands()) {
        if (name != c.name) continue;
        orvex::cli::Args args(argv + 2, argv + argc);
        try {
            return c.run(args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "orvexsdr-cli %s: %s\n", c.name, e.what());
            return 2;
        }
    }
    std::fprintf(stderr, "orvexsdr-cli: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return 2;
}
