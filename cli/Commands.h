// The subcommands of orvexsdr-cli. Each takes its own arguments (after the command word) and
// returns the process exit status: 0 success, 2 bad input or a device/file fault, 1 anything
// else.
#pragma once

#include <string>
#include <vector>

namespace orvex::cli {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const Args& args);
};

/// Every command, in the order the help lists them.
const std::vector<Command>& AllCommands();

int RunDemo(const Args& args);
int RunTune(const Args& args);
int RunSimIf(const Args& args);
int RunBandplan(const Args& args);
int RunDemod(const Args& args);
int RunListen(const Args& args);
int RunEncoder(const Args& args);

} // namespace orvex::cli
