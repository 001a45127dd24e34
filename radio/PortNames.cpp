#include "PortNames.h"

namespace orvex {

std::string SerialDeviceForPort(int comPort) {
    if (comPort < kFirstComPort || comPort > kLastComPort) return {};
    static const char* const kFamilies[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const int index = comPort - 1;
    return std::string(kFamilies[index / 4]) + std::to_string(index % 4);
}

} // namespace orvex
