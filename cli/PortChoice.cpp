#include "PortChoice.h"

#include "core/IniSettingsStore.h"
#include "core/Numeric.h"

#include <filesystem>

namespace orvex::cli {

std::string ChoosePort(const std::string& port, const std::string& settingsPath,
                       PortChoice& choice) {
    choice = {};
    if (port.empty()) {
        if (!settingsPath.empty() && !std::filesystem::exists(settingsPath))
            return "--settings: no such file '" + settingsPath + "'";
        IniSettingsStore saved(settingsPath.empty() ? IniSettingsStore::UserFile() : settingsPath);
        std::string error;
        if (!saved.load(&error)) return error;
        choice.ifType = ParseInt32(saved.get("VFO1", "IFType", "1")).value_or(1);
        choice.comPort = ParseInt32(saved.get("VFO1", "ComPort", "1")).value_or(1);
        if (choice.comPort == 0) choice.comPort = 1;
        choice.comDevice = saved.get("VFO1", "ComDevice", "");
    } else if (port == "parallel") {
        choice.ifType = 2;
    } else if (port.front() == '/') {
        choice.comDevice = port;
    } else {
        const auto n = ParseInt32(port);
        if (!n || *n < 1 || std::to_string(*n) != port)
            return "--port must be a port number, a device path or 'parallel', not '" + port + "'";
        choice.comPort = *n;
    }
    if (choice.ifType != 1 && choice.ifType != 2)
        return "the saved interface IFType=" + std::to_string(choice.ifType) +
               " is neither 1 (serial) nor 2 (parallel)";
    return {};
}

} // namespace orvex::cli
