// How the receiver's port numbers name Linux devices.
//
// The settings keep the serial port as a number ("ComPort", 1 = the first port), as the
// configuration offers it. On Linux the number picks a device from three families of four:
//
//   ComPort  1 to  4  ->  /dev/ttyS0   to /dev/ttyS3    (on-board and PCI serial ports)
//   ComPort  5 to  8  ->  /dev/ttyUSB0 to /dev/ttyUSB3  (USB serial adapters: FTDI, CP210x, PL2303)
//   ComPort  9 to 12  ->  /dev/ttyACM0 to /dev/ttyACM3  (USB CDC-ACM adapters)
//
// The mapping does not depend on what is plugged in, so a saved number always means the same
// device. Any other device is reached through a path kept in "ComDevice" (section "VFO1"),
// which takes precedence over the number while it is set.
//
// The parallel port is always the one at 888 (0x378), which Linux names /dev/parport0.
#pragma once

#include <string>

namespace orvex {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 12;
inline constexpr int kParallelAddress = 888;
inline constexpr const char* kParallelDevice = "/dev/parport0";

/// The device for port number `comPort`, or an empty string when the number names none.
std::string SerialDeviceForPort(int comPort);

} // namespace orvex
