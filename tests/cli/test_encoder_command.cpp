// orvexsdr-cli encoder run as a user runs it: ports it cannot follow are refused with the
// reason (a real knob needs hardware; the path above the port is tested on the simulated one).
#include "CliHarness.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

class EncoderCommand : public orvex::testutil::CliTest {};

TEST_F(EncoderCommand, PortsWithoutModemLinesAreRefusedWithTheReason) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string pty = ::ptsname(master);
    const std::pair<std::string, std::string> cases[] = {
        {"--port " + pty, "no DTR, RTS, CTS and DSR lines"},
        {"--port /dev/null", "not a serial device"},
        {"--port " + path("none"), "no such serial port"},
        {"--port parallel", "needs the serial interface"},
        {"--port 0", "--port must be"},
        {"--freq 2000", "out of range"},
    };
    for (const auto& [args, reason] : cases) {
        const auto r = runCli("encoder", args + " --seconds 1");
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(reason), std::string::npos) << args << ": " << r.err;
    }
    ::close(master);
    const auto help = runCli("encoder", "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("CTS and DSR"), std::string::npos);
}

} // namespace
