// The real Linux drivers, exercised without hardware: a pseudo-terminal (a tty without modem
// lines), /dev/null, missing devices, a port held by another program.
#include "radio/LinuxPorts.h"
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
