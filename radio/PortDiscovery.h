// Which control-line ports this machine has, for the configuration dialog.
//
// Serial: the kernel lists every tty in /sys/class/tty. Of the on-board family only the
// ttyS ports with a UART behind them count (their sysfs "type" is not 0, PORT_UNKNOWN: the
// 8250 driver makes ttyS0 to ttyS31 whether or not hardware answers there); every ttyUSB and
// ttyACM port is a plugged-in adapter. A port counts only when its device node exists. Reading
// sysfs needs no permission, so the list is the same for a user outside the 'dialout' group,
// who then learns why the port will not open when it is chosen.
//
// Parallel: the port at 888 is /dev/parport0, which exists only while the ppdev module is
// loaded; the user needs the 'lp' group to open it.
#pragma once

#include <string>
#include <vector>

namespace orvex {

/// The serial devices present, as device paths ("/dev/ttyS0", "/dev/ttyUSB0"): ttyS ports
/// with hardware, then ttyUSB, then ttyACM, each in number order. `sysClassTty` and `devRoot`
/// are the kernel's folders (tests use a tree of their own).
std::vector<std::string> ListSerialDevices(const std::string& sysClassTty = "/sys/class/tty",
                                           const std::string& devRoot = "/dev");

/// The port number ("ComPort", 1 to 12) whose device is `path`, or 0 when no number names it
/// (then the path is kept as "ComDevice").
int ComPortForDevice(const std::string& path);

/// Whether the parallel port `device` can be used: empty when it can, otherwise the reason
/// naming the device and what to do (ppdev not loaded, no port, the 'lp' group missing).
std::string ParallelPortProblem(const std::string& device = "/dev/parport0",
                                const std::string& sysClassParport = "/sys/class/parport");

} // namespace orvex
