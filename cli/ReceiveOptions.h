// The receive options shared by `demod` and `listen`: parsed from the command line, then
// applied to the receive chain as the front-panel operations they stand for, in the order a
// user would press them.
#pragma once

#include "Commands.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvex {
class ReceiveChain;
}

namespace orvex::cli {

struct ReceiveOptions {
    std::int32_t mode = -1; ///< 0 am .. 5 bc; -1 not given
    std::optional<std::int32_t> filter;
    std::optional<double> filterLo, filterHi, ifLo, ifHi, notchAf, notchIf, notchWidth, nr, volume;
    bool music = false, notchAuto = false, dynFilter = false, spl = false;
    std::int32_t ifFilter = 0; ///< 0 off, 1 man, 2 track
    std::int32_t agc = 0;      ///< 0 off, 1 fast, 2 normal, 3 slow
};

/// Usage lines of the receive options.
extern const char* const kReceiveOptionsUsage;

/// Throws OrvexError(InvalidArgument) with `what`.
[[noreturn]] void BadOption(const std::string& what);
/// The value of the option args[i] (advancing i to it); BadOption when it is missing or empty
/// (an empty file name never stands for "not given").
std::string OptionValue(const Args& args, std::size_t& i);
/// A number within lo..hi, or BadOption naming the option and the range.
double OptionNumber(const std::string& option, const std::string& text, double lo, double hi);
/// The index of text among names, or BadOption listing them.
std::int32_t OptionChoice(const std::string& option, const std::string& text,
                          const std::vector<std::string>& names);

/// If args[i] is a receive option, consumes it (and its value) into `o`, advances i past it
/// and returns true.
bool ParseReceiveOption(const Args& args, std::size_t& i, ReceiveOptions& o);
/// Checks combinations the options cannot have together.
void CheckReceiveOptions(const ReceiveOptions& o);
/// The front-panel operations the options stand for; mode -1 leaves the start-up mode.
void ApplyReceiveOptions(ReceiveChain& chain, const ReceiveOptions& o);
/// Probes the optimised back end when --spl was given and switches it on; prints a note on
/// stderr (prefixed with `command`) when it is not available.
void SelectVectorBackEnd(const ReceiveOptions& o, const char* command);

} // namespace orvex::cli
