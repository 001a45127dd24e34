// The DDS controller's port as `tune` and `encoder` choose it: the --port option (a port
// number, a device path or "parallel"), else the interface and port saved in section "VFO1"
// of the settings (the user's file, or --settings FILE), read and never written.
#pragma once

#include <string>

namespace orvex::cli {

struct PortChoice {
    int ifType = 1;        ///< 1 serial, 2 parallel
    int comPort = 1;       ///< serial port number (1 = the first)
    std::string comDevice; ///< a serial device path instead of the number's, or empty
};

/// Fills `choice` from `port` (empty: the saved settings of `settingsPath`, or of the user's
/// file when that is empty). Returns the reason when the option or the settings cannot be used,
/// else an empty string.
std::string ChoosePort(const std::string& port, const std::string& settingsPath,
                       PortChoice& choice);

} // namespace orvex::cli
