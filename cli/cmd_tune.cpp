// orvexsdr-cli tune: compute the synthesiser's tuning word for a receive frequency and clock
// it into the chip (or, with --dry-run, only show it).
//
// The word goes out through the same DDS controller and line driver the receiver uses. A
// recorder sits between the controller and the port, and a chip decoder reads the recorded
// line changes back, so "sent:" shows what the chip latched, not what we meant to send.
#include "Commands.h"
#include "PortChoice.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"
#include "radio/LineDecoder.h"
#include "radio/LinuxPorts.h"
#include "radio/RecordingPorts.h"
#include "radio/ad9951.h"

#include <cstdio>
#include <optional>
#include <string>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli tune --freq MHZ [--if MHZ] [--clk MHZ] [--dds 9951|9835|9850]\n"
    "                         [--port N|PATH|parallel] [--dry-run] [--settings FILE]\n"
    "Computes the DDS tuning word for receive frequency MHZ and clocks it into the chip.\n"
    "  --freq MHZ      receive frequency in MHz (the oscillator runs at MHZ + IF)\n"
    "  --if MHZ        IF in MHz, negative for low-side injection (default 45)\n"
    "  --clk MHZ       synthesiser clock in MHz (default 360.096)\n"
    "  --dds TYPE      chip: 9951 (default), 9835 or 9850\n"
    "  --port N        serial port number 1-12 (1-4 /dev/ttyS0-3, 5-8 /dev/ttyUSB0-3,\n"
    "                  9-12 /dev/ttyACM0-3); PATH a serial device; 'parallel' /dev/parport0.\n"
    "                  Default: the interface and port saved in section VFO1 of the settings\n"
    "  --dry-run       only compute and show; no port is opened\n"
    "  --settings FILE read the saved port from this INI file instead of the user's settings\n"
    "Prints the tuning word and what was clocked out. The settings are not changed.\n";

constexpr double kMaxMHz = 1000.0;

int BadInput(const std::string& text) {
    std::fprintf(stderr, "orvexsdr-cli tune: %s\n", text.c_str());
    return 2;
}

std::optional<double> NumberOption(const std::string& text) {
    return ParseNumber(text);
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buf[8];
    for (const auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", b);
        out += buf;
    }
    return out;
}

// What the chip latched from the frequency transfer, as the bytes or words clocked out.
std::string SentText(DdsChip chip, const std::vector<ChipTransfer>& transfers, std::size_t from) {
    std::string out;
    char buf[16];
    for (std::size_t i = from; i < transfers.size(); ++i) {
        const ChipTransfer& t = transfers[i];
        if (chip == DdsChip::AD9951 && t.kind == ChipTransfer::Kind::AD9951Write) {
            if (!out.empty()) out += ' ';
            out += HexBytes(t.bytes);
        } else if (chip == DdsChip::AD9835 && t.kind == ChipTransfer::Kind::AD9835Word) {
            std::snprintf(buf, sizeof buf, "%s%04X", out.empty() ? "" : " ", t.value);
            out += buf;
        } else if (chip == DdsChip::AD9850 && t.kind == ChipTransfer::Kind::AD9850Load) {
            std::vector<std::uint8_t> bytes;
            for (int k = 0; k < 4; ++k)
                bytes.push_back(static_cast<std::uint8_t>(t.value >> (8 * k)));
            bytes.push_back(t.control);
            if (!out.empty()) out += ' ';
            out += HexBytes(bytes);
        }
    }
    return out.empty() ? "nothing" : out;
}

} // namespace

int RunTune(const Args& args) {
    std::optional<double> freq;
    double ifMHz = 45.0;
    double clkMHz = 360.096;
    int ddsType = 3;
    std::string port;
    std::string settingsPath;
    bool dryRun = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--dry-run") {
            dryRun = true;
        } else if (a == "--freq" || a == "--if" || a == "--clk" || a == "--dds" || a == "--port" ||
                   a == "--settings") {
            const auto v = value();
            if (!v) return BadInput(a + " needs a value");
            if (v->empty()) return BadInput(a + ": the value is empty");
            if (a == "--port") {
                port = *v;
            } else if (a == "--settings") {
                settingsPath = *v;
            } else if (a == "--dds") {
                if (*v == "9951")
                    ddsType = 3;
                else if (*v == "9835")
                    ddsType = 2;
                else if (*v == "9850")
                    ddsType = 1;
                else
                    return BadInput("--dds must be 9951, 9835 or 9850, not '" + *v + "'");
            } else {
                const auto n = NumberOption(*v);
                if (!n) return BadInput(a + " needs a number in MHz, not '" + *v + "'");
                // The ranges of any synthesiser the receiver drives; beyond them no word
                // could be computed.
                const double lo = a == "--if" ? -kMaxMHz : 0.0;
                if (!InRange(*n, lo, kMaxMHz)) {
                    char range[64];
                    std::snprintf(range, sizeof range, " is out of range (%g to %g MHz)", lo,
                                  kMaxMHz);
                    return BadInput(a + ": " + *v + range);
                }
                if (a == "--freq")
                    freq = *n;
                else if (a == "--if")
                    ifMHz = *n;
                else
                    clkMHz = *n;
            }
        } else {
            return BadInput("unknown option '" + a + "'\n" + kUsage);
        }
    }
    if (!freq) return BadInput(std::string("--freq is required\n") + kUsage);
    if (!(clkMHz > 1.0)) return BadInput("CLKIN must be greater than 1.0000 MHZ");

    // The interface and port: from the option, else as saved in section "VFO1".
    PortChoice choice;
    if (const std::string why = ChoosePort(port, settingsPath, choice); !why.empty())
        return BadInput(why);
    const int ifType = choice.ifType;
    const auto chip = static_cast<DdsChip>(ddsType);
    LineDecoder decoder(chip);
    RecordingPorts lines(dryRun ? nullptr : &DefaultPorts(), &decoder);
    MemorySettingsStore scratch; // the controller's keys are not written back to the user's
    StderrMessageSink messages;
    ScopedMessageSink messageScope(messages);

    ad9951 vfo(scratch, lines);
    vfo.setName("VFO1");
    vfo.setDDSType(ddsType);
    vfo.setClkIn(clkMHz);
    vfo.setIFFreq(ifMHz);
    vfo.setIFType(ifType);
    vfo.setComPort(choice.comPort);
    vfo.setComDevice(choice.comDevice);
    vfo.setCaptionHandler([](const std::string& text) {
        std::fprintf(stderr, "orvexsdr-cli tune: %s\n", text.c_str());
    });

    if (!vfo.OpenPort()) return 2;
    if (ddsType == 3 && ifType == 1) vfo.InitAD9951(); // control registers before the word
    const std::size_t mark = decoder.transfers().size();

    vfo.setTunedFreq(*freq);
    if (vfo.TunedFreq() != *freq)
        std::fprintf(stderr,
                     "orvexsdr-cli tune: %.6f MHz is above the highest frequency this clock and "
                     "IF reach; tuned to %.6f MHz\n",
                     *freq, vfo.TunedFreq());
    vfo.Set_DDS(vfo.FreqOut());

    const auto word =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(vfo.CurrentTuningWord()));
    std::printf("tuning word: %u (0x%08X)\n", word, word);
    std::printf("sent: %s\n", SentText(chip, decoder.transfers(), mark).c_str());

    for (std::size_t i = mark; i < decoder.transfers().size(); ++i)
        if (decoder.transfers()[i].kind == ChipTransfer::Kind::Fault)
            std::fprintf(stderr, "orvexsdr-cli tune: line fault: %s\n",
                         decoder.transfers()[i].fault.c_str());
    if (vfo.Lines().LineFaults() > 0 || decoder.Faults() > 0) return 2;
    return 0;
}

} // namespace orvex::cli
