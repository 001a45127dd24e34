// The real Linux drivers, exercised without hardware: a pseudo-terminal (a tty without modem
// lines), /dev/null, missing devices, a port held by another program.
#include "radio/LinuxPorts.h"
#include "radio/PortDiscovery.h"
#include "radio/RsOutputs.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace orvex;

namespace {

// A pseudo-terminal pair; the slave path is a real tty device.
struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = ::ptsname(master);
    }
    ~Pty() {
        if (master >= 0) ::close(master);
    }
    int master = -1;
    std::string slave;
};

} // namespace

TEST(LinuxPorts, APseudoTerminalOpensAsATtyButHasNoModemLines) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    LinuxPorts ports;
    PortError error;
    EXPECT_EQ(ports.openSerial(pty.slave, error), nullptr);
    EXPECT_EQ(error.fault, PortFault::NoModemLines);
    EXPECT_NE(error.text.find(pty.slave), std::string::npos);
    EXPECT_NE(error.text.find("no DTR, RTS"), std::string::npos);
    // The failed open left nothing locked: another program can take the tty.
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST(LinuxPorts, APortHeldByAnotherProgramIsBusy) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    const int other = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    LinuxPorts ports;
    PortError error;
    EXPECT_EQ(ports.openSerial(pty.slave, error), nullptr);
    EXPECT_EQ(error.fault, PortFault::Busy);
    EXPECT_NE(error.text.find("another program"), std::string::npos);
    ::close(other);
}

TEST(LinuxPorts, NotASerialDevice) {
    LinuxPorts ports;
    PortError error;
    EXPECT_EQ(ports.openSerial("/dev/null", error), nullptr);
    EXPECT_EQ(error.fault, PortFault::NotSerial);
    EXPECT_NE(error.text.find("not a serial device"), std::string::npos);

    const auto file =
        std::filesystem::temp_directory_path() / ("orvex_not_a_port_" + std::to_string(::getpid()));
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        std::fclose(f);
    }
    EXPECT_EQ(ports.openSerial(file.string(), error), nullptr);
    EXPECT_EQ(error.fault, PortFault::NotSerial);
    EXPECT_EQ(ports.openParallel(file.string(), error), nullptr);
    EXPECT_EQ(error.fault, PortFault::NotSerial);
    EXPECT_NE(error.text.find("not a parallel port"), std::string::npos);
    std::filesystem::remove(file);
}

TEST(LinuxPorts, MissingDevices) {
    LinuxPorts ports;
    PortError error;
    EXPECT_EQ(ports.openSerial("/dev/orvex-no-such-tty", error), nullptr);
    EXPECT_EQ(error.fault, PortFault::NotFound);
    EXPECT_NE(error.text.find("/dev/orvex-no-such-tty: No such file or directory"),
              std::string::npos);
    EXPECT_EQ(ports.openParallel("/dev/orvex-no-such-parport", error), nullptr);
    EXPECT_EQ(error.fault, PortFault::NotFound);
    EXPECT_NE(error.text.find("ppdev"), std::string::npos);
}

TEST(LinuxPorts, ReasonsNameTheCauseAndTheRemedy) {
    const PortError perm = DescribePortError("/dev/ttyUSB0", EACCES, false);
    EXPECT_EQ(perm.fault, PortFault::Permission);
    EXPECT_NE(perm.text.find("Permission denied"), std::string::npos);
    EXPECT_NE(perm.text.find("'dialout' group"), std::string::npos);
    EXPECT_EQ(DescribePortError("/dev/parport0", EACCES, true).text.find("dialout"),
              std::string::npos);
    EXPECT_EQ(DescribePortError("/dev/ttyUSB0", EPERM, false).fault, PortFault::Permission);
    EXPECT_EQ(DescribePortError("/dev/ttyUSB0", EBUSY, false).fault, PortFault::Busy);
    EXPECT_EQ(DescribePortError("/dev/ttyUSB0", ENXIO, false).fault, PortFault::NotFound);
    const PortError io = DescribePortError("/dev/ttyS3", EIO, false);
    EXPECT_EQ(io.fault, PortFault::Io);
    EXPECT_NE(io.text.find("Input/output error"), std::string::npos);
}

TEST(LinuxPorts, TheControllerLinesOverAFailedRealOpenStayQuiet) {
    LinuxPorts ports;
    RsOutputs lines(ports);
    EXPECT_FALSE(lines.ComOpen("/dev/null"));
    EXPECT_EQ(lines.LastOpenError().fault, PortFault::NotSerial);
    EXPECT_FALSE(lines.SetDTR(1));
    EXPECT_FALSE(lines.ParallelPortOpen("/dev/orvex-no-such-parport"));
    lines.Out32(0xFF); // nothing open: nothing happens
    EXPECT_EQ(lines.LineFaults(), 0u);
}

// The ports the configuration dialog offers, from a sysfs and /dev tree of the test's own.
TEST(PortDiscovery, SerialPortsThatExistAndTheParallelPortsProblem) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("orvex-ports-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const auto touch = [](const fs::path& p, const std::string& text = {}) {
        fs::create_directories(p.parent_path());
        std::FILE* f = std::fopen(p.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    };
    // ttyS1 has no UART (type 0), ttyS10 and ttyUSB3 have no device node, tty0 and ttyAMA0
    // belong to no family the receiver uses.
    for (const char* s : {"ttyS0", "ttyS1", "ttyS2", "ttyS10"})
        touch(root / "sys" / s / "type", std::string(s) == "ttyS1" ? "0\n" : "4\n");
    for (const char* s : {"ttyUSB1", "ttyUSB10", "ttyUSB3", "ttyACM0", "tty0", "ttyAMA0"})
        fs::create_directories(root / "sys" / s);
    for (const char* s : {"ttyS0", "ttyS1", "ttyS2", "ttyUSB1", "ttyUSB10", "ttyACM0", "tty0"})
        touch(root / "dev" / s);
    const std::string dev = (root / "dev").string();
    EXPECT_EQ(ListSerialDevices((root / "sys").string(), dev),
              (std::vector<std::string>{dev + "/ttyS0", dev + "/ttyS2", dev + "/ttyUSB1",
                                        dev + "/ttyUSB10", dev + "/ttyACM0"}));
    EXPECT_TRUE(ListSerialDevices((root / "nothing").string(), dev).empty());

    EXPECT_EQ(ComPortForDevice("/dev/ttyUSB1"), 6);
    EXPECT_EQ(ComPortForDevice("/dev/ttyACM3"), 12);
    EXPECT_EQ(ComPortForDevice("/dev/serial/by-id/usb-FTDI-if00"), 0);

    const std::string parport = (root / "dev" / "parport0").string();
    const std::string sysParport = (root / "sys" / "parport").string();
    EXPECT_NE(ParallelPortProblem(parport, sysParport).find("no parallel port"), std::string::npos);
    fs::create_directories(root / "sys" / "parport" / "parport0");
    EXPECT_NE(ParallelPortProblem(parport, sysParport).find("ppdev module is not loaded"),
              std::string::npos);
    touch(parport);
    EXPECT_EQ(ParallelPortProblem(parport, sysParport), "");
    if (::geteuid() != 0) { // root may open anything
        fs::permissions(parport, fs::perms::none);
        EXPECT_NE(ParallelPortProblem(parport, sysParport).find("'lp' group"), std::string::npos);
    }
    fs::remove_all(root);
}
