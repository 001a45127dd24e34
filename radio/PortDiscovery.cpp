#include "PortDiscovery.h"

#include "LinuxPorts.h"
#include "PortNames.h"
#include "core/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace orvex {
namespace {

namespace fs = std::filesystem;

// The families in the order the dialog lists them; a ttyS port must have a UART.
struct Family {
    const char* prefix;
    bool needsUart;
};
constexpr Family kFamilies[] = {{"ttyS", true}, {"ttyUSB", false}, {"ttyACM", false}};

// The number after `prefix` in `name`, or -1 when the rest is not all digits.
long NumberAfter(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::string rest = name.substr(prefix.size());
    if (rest.size() > 6 ||
        !std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stol(rest);
}

// The 8250 driver's "type" of a ttyS port: 0 (PORT_UNKNOWN) when no UART answered the probe.
bool HasUart(const fs::path& ttyFolder) {
    std::string type; // a number and a newline; read as every input is (a regular file only)
    if (!ReadWholeFile((ttyFolder / "type").string(), type, 64)) return false;
    char* end = nullptr;
    const long value = std::strtol(type.c_str(), &end, 10);
    return end != type.c_str() && value != 0;
}

} // namespace

std::vector<std::string> ListSerialDevices(const std::string& sysClassTty,
                                           const std::string& devRoot) {
    std::vector<std::pair<long, std::string>> found[std::size(kFamilies)];
    std::error_code ec;
    for (fs::directory_iterator it(sysClassTty, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (std::size_t f = 0; f < std::size(kFamilies); ++f) {
            const long n = NumberAfter(name, kFamilies[f].prefix);
            if (n < 0) continue;
            if (kFamilies[f].needsUart && !HasUart(it->path())) break;
            const fs::path node = fs::path(devRoot) / name;
            std::error_code exists;
            if (fs::exists(node, exists)) found[f].emplace_back(n, node.string());
            break;
        }
    }
    std::vector<std::string> devices;
    for (auto& family : found) {
        std::sort(family.begin(), family.end());
        for (auto& entry : family)
            devices.push_back(std::move(entry.second));
    }
    return devices;
}

int ComPortForDevice(const std::string& path) {
    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        if (SerialDeviceForPort(n) == path) return n;
    return 0;
}

std::string ParallelPortProblem(const std::string& device, const std::string& sysClassParport) {
    std::error_code ec;
    if (fs::exists(device, ec)) {
        if (::access(device.c_str(), R_OK | W_OK) == 0) return {};
        return DescribePortError(device, errno, true).text;
    }
    // The port is there but ppdev, which makes its device node, is not loaded.
    const std::string port = fs::path(device).filename().string();
    if (fs::exists(fs::path(sysClassParport) / port, ec))
        return "cannot use " + device + ": the ppdev module is not loaded (sudo modprobe ppdev)";
    return DescribePortError(device, ENOENT, true).text;
}

} // namespace orvex
