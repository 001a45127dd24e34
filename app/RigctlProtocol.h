// The rigctld text protocol (Hamlib's "NET rigctl", model 2) over a RigControl: one command
// line in, its answer out. Plain C++, so the protocol is tested without sockets; the server
// (app/RigctlServer.h) only moves lines. docs/rigctl.md lists what is covered.
#pragma once

#include "app/RigControl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::app {

/// Hamlib's return codes, sent as "RPRT x".
enum class RigctlCode : int {
    Ok = 0,
    Invalid = -1,        // RIG_EINVAL: malformed argument, value out of range, refused
    NotImplemented = -4, // RIG_ENIMPL: unknown command
    IOError = -6,        // RIG_EIO: the receiver could not do it (a sound device will not open)
    NotAvailable = -11,  // RIG_ENAVAIL: not possible on a receiver (transmit, split, VFO B)
};

/// What the protocol keeps between lines, shared by every client of one server.
struct RigctlState {
    bool modeLocked = false; ///< \set_lock_mode 1: set_mode is accepted but changes nothing
};

/// The answer to one line.
struct RigctlAnswer {
    std::string text;   ///< everything to send back, each record newline-terminated; may be empty
    bool close = false; ///< the client asked to end the session (q)
};

/// Answers one command line (its newline already removed; a trailing '\r' is ignored) as
/// rigctld answers it: get commands give their values one a line, or "RPRT x" on failure; set
/// commands give "RPRT x". A line starting with '+' (or ';', '|', ',') asks for the extended
/// response: the command echoed with its long name, "Key: value" records, then "RPRT x".
/// Empty lines and '#' comments have no answer.
RigctlAnswer AnswerRigctlLine(RigControl& rig, RigctlState& state, std::string_view line);

/// The Hamlib mode token of CurrentDemodMode 0..5 (AM, USB, LSB, PKTAM for DRM, FM, AMS for
/// BC); "AM" for any other value.
const char* HamlibModeName(std::int32_t demodMode);

/// CurrentDemodMode of a Hamlib mode token (case ignored). Besides the six names above it
/// takes the data modes that digital-mode programs send: PKTUSB as USB, PKTLSB as LSB and
/// PKTFM as FM. Nothing for any other token.
std::optional<std::int32_t> DemodModeOfHamlibName(std::string_view token);

/// The \dump_state answer: the capabilities a Hamlib 4 client reads when it opens the
/// connection (frequency range, modes, filters, levels, VFO and PTT abilities).
std::string RigctlDumpState(const RigControl& rig);

} // namespace orvex::app
