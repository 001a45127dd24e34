#include "ad9951.h"

#include "LinuxPorts.h"
#include "PortNames.h"
#include "core/Format.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"

#include <cmath>
#include <limits>
#include <optional>

namespace orvex {
namespace {

constexpr double kTwoTo32 = 4294967296.0;
constexpr const char* kNoPortCaption =
    "No valid serial port configured - Configure a valid serial port";

// Int(x) of the settings arithmetic: towards minus infinity; a value beyond any frequency
// (infinite or not a number) saves as 0 rather than as a wrapped number.
std::int64_t IntPart(double x) {
    if (!std::isfinite(x)) return 0;
    return FloorToInt64(x);
}

// The hertz values of section "VFO1" that are read back, from 0 up to this (1000 MHz, beyond
// any synthesiser the receiver drives); anything else in the file keeps the value in force.
constexpr double kMaxSettingsHz = 1e9;

std::string PadLeft(std::int64_t value, std::size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width) s.insert(0, width - s.size(), '0');
    return s;
}

} // namespace

ad9951::ad9951(SettingsStore& store) : ad9951(store, DefaultPorts()) {}

ad9951::ad9951(SettingsStore& store, PortProvider& ports) : m_store(store), m_lines(ports) {
    // Creation defaults, in this order (ClkIn sets MaxFreq, TuneStep sets TuneStepLSD).
    setIFFreq(45.0);
    setDDSType(3);
    setIFType(1);
    setMultiplier(1);
    setClkIn(360.096);
    setMouseWheelGearRatio(1);
    setTuneStep(0.001);
    setTuneStepLSD(0.0001);
}

ad9951::~ad9951() {
    Terminate();
}

// ---- properties ----------------------------------------------------------------------------

void ad9951::setClkIn(double mhz) {
    m_clkIn = mhz;
    m_maxFreq = m_clkIn / 2.0 - m_calibOffset;
}

void ad9951::setTuneStep(double mhz) {
    m_tuneStep = mhz;
    m_tuneStepLSD = mhz;
}

void ad9951::setComPort(std::int32_t port) {
    if (port != m_comPort) m_comDevice.clear();
    m_comPort = port;
}

std::string ad9951::SerialDevice() const {
    return m_comDevice.empty() ? SerialDeviceForPort(m_comPort) : m_comDevice;
}

std::int32_t ad9951::BitNumber(std::uint32_t mask) {
    for (std::int32_t bit = 0; bit < 32; ++bit)
        if (mask == (1u << bit)) return bit;
    return 0;
}

void ad9951::SetBitMask(std::uint32_t& mask, std::int32_t bit) {
    // 2^bit must fit the 32-bit signed mask; other numbers are refused and the mask kept.
    if (bit >= 0 && bit <= 30) mask = 1u << bit;
}

void ad9951::setAutoUpDate(bool on) {
    m_autoUpDate = on;
    if (on) Set_DDS(m_freqOut);
}

void ad9951::setTunedFreq(double v) {
    if (m_inTunedFreq) return; // a nested change (from a wait's events) is dropped
    m_inTunedFreq = true;
    if (!(v >= 0.0)) v = 0.0; // negative (or not a number) becomes 0
    const double limit = m_maxFreq - m_calibOffset - m_ifFreq - 0.000001;
    m_tunedFreq = limit > v ? v : limit;
    m_freqOut = std::fabs((m_calibOffset + m_tunedFreq + m_ifFreq) * m_multiplier);
    if (m_autoUpDate) Set_DDS(m_freqOut);
    m_inTunedFreq = false;
}

std::string ad9951::FormattedTunedFreq() const {
    return FormatNumber(m_tunedFreq * 10000000.0, "000000000");
}

void ad9951::FormatFreq(std::string& MHz, std::string& KHz, std::string& Hz,
                        std::string& dHz) const {
    (void)dHz;
    // From the same 0.1 Hz count the readout shows, so the parts agree with its digits.
    const std::int64_t tenths = RoundHalfEven(m_tunedFreq * 10000000.0);
    MHz = PadLeft(tenths / 10000000, 2);
    KHz = PadLeft(tenths / 10000 % 1000, 3);
    Hz = PadLeft(tenths / 10 % 1000, 3);
}

void ad9951::SetCaption(const std::string& text) {
    m_caption = text;
    if (m_captionHandler) m_captionHandler(text);
}

// ---- stepping ------------------------------------------------------------------------------

double ad9951::Inc_Freq(double Increment) {
    m_savedAutoUpDate = m_autoUpDate;
    m_autoUpDate = false;
    // Snap to the grid (Int rounds towards minus infinity). Without a usable grid the
    // frequency is not snapped.
    if (m_tuneStepLSD > 0.0 && std::isfinite(m_tuneStepLSD))
        m_snappedFreq = std::floor(m_tunedFreq / m_tuneStepLSD + 0.5) * m_tuneStepLSD;
    else
        m_snappedFreq = m_tunedFreq;
    setTunedFreq(Increment != 0.0 ? m_snappedFreq + Increment : m_snappedFreq + m_tuneStep);
    setAutoUpDate(m_savedAutoUpDate); // sends the new word when AutoUpDate was on
    return m_tunedFreq;
}

double ad9951::Dec_Freq(double& Decrement) {
    const double x = Decrement != 0.0 ? Decrement : m_tuneStep;
    Decrement = -std::fabs(x);
    Inc_Freq(Decrement);
    return m_tunedFreq;
}

// ---- the synthesiser -----------------------------------------------------------------------

double ad9951::Set_DDS(double freq) {
    if (m_inSetDDS) return freq; // a nested send (from a wait's events) sends nothing
    m_inSetDDS = true;

    // The word is the nearest integer to 2^32 x freq / ClkIn, halves to even; at or above
    // the Nyquist limit the all-ones word. Below the limit the word is at most 2^31.
    std::int64_t word = -1;
    if (freq < m_maxFreq) word = RoundHalfEven(kTwoTo32 * (freq > 0.0 ? freq : 0.0) / m_clkIn);
    m_word = static_cast<std::uint32_t>(word);
    m_currentTuningWord = static_cast<double>(word);
    m_workingWord = static_cast<double>(word);

    switch (m_ddsType) {
    case 3: // AD9951: instruction "write FTW0" and the word, most significant byte first
        m_ad9951Bytes = {0x04, static_cast<std::uint8_t>(m_word >> 24),
                         static_cast<std::uint8_t>(m_word >> 16),
                         static_cast<std::uint8_t>(m_word >> 8), static_cast<std::uint8_t>(m_word)};
        if (m_ifType == 1) SerialSendString(m_ad9951Bytes);
        break;
    case 2: { // AD9835: reset, FREQ0 in four bytes through the defer register, run
        const std::uint16_t words[] = {0xF800,
                                       static_cast<std::uint16_t>(0x3000 + (m_word & 0xFF)),
                                       static_cast<std::uint16_t>(0x2100 + ((m_word >> 8) & 0xFF)),
                                       static_cast<std::uint16_t>(0x3200 + ((m_word >> 16) & 0xFF)),
                                       static_cast<std::uint16_t>(0x2300 + ((m_word >> 24) & 0xFF)),
                                       0x8000,
                                       0xC000};
        for (const std::uint16_t w : words) {
            if (m_ifType == 1)
                m_lines.SerialSendWord(w);
            else if (m_ifType == 2)
                m_lines.ParallelSendWord(w);
        }
        break;
    }
    case 1: // AD9850, parallel port only: 32 word bits and 8 control bits, LSB first
        if (m_ifType != 2) break;
        m_lines.Out32(0);
        Delay();
        for (int i = 0; i < 40; ++i) {
            std::uint8_t d = 0;
            if (i < 32) {
                // The bits come from halving the working copy: a fractional part is a 1.
                m_workingWord = std::floor(m_workingWord) / 2.0;
                d = m_workingWord != std::floor(m_workingWord) ? 1 : 0;
            }
            m_lines.Out32(d);
            Delay();
            m_lines.Out32(static_cast<std::uint8_t>(d + 2));
            Delay();
            m_lines.Out32(d);
            Delay();
        }
        m_lines.Out32(4);
        Delay();
        m_lines.Out32(0);
        Delay();
        break;
    default:
        break;
    }

    m_inSetDDS = false;
    return freq;
}

void ad9951::SerialSendString(const std::vector<std::uint8_t>& bytes) {
    if (m_inSendString) return;
    m_inSendString = true;
    if (!m_lines.HasSerialPort()) {
        SetCaption(kNoPortCaption);
    } else {
        m_lines.SetDTR(1);
        m_lines.BitWait();
        for (const std::uint8_t b : bytes)
            m_lines.SerialSendByte(b);
        m_lines.BitWait();
        m_lines.SetDTR(0);
    }
    m_inSendString = false;
}

void ad9951::InitAD9951() {
    // CFR1 = 0x00000202; CFR2 = reference multiplier 8, charge pump 3, and the VCO range bit
    // above 200 MHz.
    SerialSendString({0x00, 0x00, 0x00, 0x02, 0x02});
    SerialSendString({0x01, 0x00, 0x00, static_cast<std::uint8_t>(m_clkIn <= 200.0 ? 0x43 : 0x47)});
}

// ---- ports ---------------------------------------------------------------------------------

bool ad9951::OpenSerialPort(std::string& reason) {
    const std::string device = SerialDevice();
    if (device.empty()) {
        m_lines.ComClose();
        reason = "Serial port number " + std::to_string(m_comPort) +
                 " names no device: port numbers " + std::to_string(kFirstComPort) + " to " +
                 std::to_string(kLastComPort) +
                 " are /dev/ttyS0-3, /dev/ttyUSB0-3 and /dev/ttyACM0-3; other devices are set "
                 "by path (ComDevice)";
        return false;
    }
    if (m_lines.ComOpen(device)) return true;
    reason = m_lines.LastOpenError().text;
    return false;
}

bool ad9951::OpenParallelPort(std::string& reason) {
    if (m_lines.HasParallelPort()) return true;
    if (m_lines.ParallelPortOpen(kParallelDevice)) return true;
    reason = m_lines.LastOpenError().text;
    return false;
}

bool ad9951::OpenPort() {
    std::string reason;
    if (m_ifType == 1) {
        const bool open = OpenSerialPort(reason);
        if (!open)
            ShowMessage(
                "Unable to open the serial port " +
                (SerialDevice().empty() ? "number " + std::to_string(m_comPort) : SerialDevice()) +
                " - Set a valid serial port in Configuration, then Close and Restart\n" + reason);
        m_lines.InitBitTiming();
        return open;
    }
    if (m_ifType == 2) {
        if (OpenParallelPort(reason)) return true;
        ShowMessage(std::string("Unable to open the parallel port ") + kParallelDevice +
                    " - Set a valid port in Configuration, then Close and Restart\n" + reason);
    }
    return false;
}

void ad9951::SerialOpen() {
    std::string reason;
    if (!OpenSerialPort(reason)) ShowMessage("Serial Port Interface Error\n" + reason);
}

void ad9951::SerialClose() {
    m_lines.ComClose();
}

void ad9951::ParallelOpen() {
    std::string reason;
    if (!OpenParallelPort(reason)) {
        ShowMessage("Parallel Port Interface Error\n" + reason);
        return;
    }
    m_lines.ParallelSendWord(0x8000);
    m_lines.ParallelSendWord(0xC000);
}

void ad9951::ParallelClose() {
    m_lines.ParallelPortClose();
}

// ---- start-up and termination --------------------------------------------------------------

void ad9951::ReadSettings() {
    const auto readInt = [this](const char* key, auto setter) {
        if (!m_store.contains(m_name, key)) return;
        if (const auto v = ParseInt32(m_store.get(m_name, key, ""))) (this->*setter)(*v);
    };
    const auto readHz = [this](const char* key, auto setter) {
        if (!m_store.contains(m_name, key)) return;
        if (const auto v = ParseNumber(m_store.get(m_name, key, ""));
            v && InRange(*v, 0.0, kMaxSettingsHz))
            (this->*setter)(*v / 1000000.0);
    };

    readInt("Bit_Data", &ad9951::setBit_Data);
    readInt("Bit_Clock", &ad9951::setBit_Clock);
    readInt("Bit_Load", &ad9951::setBit_Load);

    m_autoUpDate = false;
    readHz("TunedFreq", &ad9951::setTunedFreq);
    if (m_tunedFreq == 0.0) setTunedFreq(5.505);
    m_tuneImage = false;

    readHz("TuneStep", &ad9951::setTuneStep);
    if (m_tuneStep == 0.0) setTuneStep(0.0001);

    readInt("ComPort", &ad9951::setComPort);
    readInt("ParallelPort", &ad9951::setIOPort);
    readInt("ComPort", &ad9951::setComPort);
    if (!m_store.contains(m_name, "IFType"))
        m_ifType = 1;
    else
        readInt("IFType", &ad9951::setIFType);
    if (m_store.contains(m_name, "ComDevice")) m_comDevice = m_store.get(m_name, "ComDevice", "");
}

// The clock, IF, chip and image setting of the last run, which termination wrote: a
// calibration or configuration made then comes back. A key that is absent, cannot be read or
// holds a value no receiver runs with keeps the value in force (the creation default): a
// clock above 1 MHz and up to 1000 MHz, an IF (either sign) below half that clock, a chip type
// 1 to 3. The final retune of init clamps the saved frequency to the clock and IF read here.
void ad9951::ReadSynthesiserSettings() {
    const auto mhz = [this](const char* key) -> std::optional<double> {
        if (!m_store.contains(m_name, key)) return std::nullopt;
        const auto hz = ParseNumber(m_store.get(m_name, key, ""));
        if (!hz || !std::isfinite(*hz)) return std::nullopt;
        return *hz / 1000000.0;
    };
    if (const auto clock = mhz("CLKIn"); clock && *clock > 1.0 && *clock <= 1000.0)
        setClkIn(*clock);
    if (const auto ifMHz = mhz("IFFreq"); ifMHz && std::fabs(*ifMHz) < m_clkIn / 2.0)
        setIFFreq(*ifMHz);
    if (m_store.contains(m_name, "DDSType"))
        if (const auto type = ParseInt32(m_store.get(m_name, "DDSType", ""));
            type && *type >= 1 && *type <= 3)
            setDDSType(*type);
    if (m_store.contains(m_name, "TuneImage"))
        if (const auto image = ParseBool(m_store.get(m_name, "TuneImage", "")))
            setTuneImage(*image);
}

void ad9951::init() {
    if (m_name.empty()) m_name = "VFO1";
    if (m_ddsType == 0) m_ddsType = 3;
    if (m_multiplier == 0) m_multiplier = 1;
    if (m_comPort == 0) setComPort(1);
    if (m_ifType < 0) m_ifType = 1;
    m_autoUpDate = false;
    m_ioPort = kParallelAddress;
    setBit_Data(0);
    setBit_Clock(1);
    setBit_Load(2);
    if (m_clkIn == 0.0) setClkIn(360.096);
    if (m_ifFreq == 0.0) m_ifFreq = 45.0;
    if (m_tunedFreq == 0.0) setTunedFreq(5.505);
    if (m_mouseWheelGearRatio == 0) m_mouseWheelGearRatio = 1;
    m_tuneImage = false;

    ReadSettings();
    ReadSynthesiserSettings();
    OpenPort();
    InitAD9951();
    setAutoUpDate(true);       // sends the current FreqOut
    setTunedFreq(m_tunedFreq); // recomputes FreqOut and sends it
}

void ad9951::Terminate() {
    if (m_terminated) return;
    m_terminated = true;
    if (m_ifType == 1) SerialClose();
    m_lines.ComClose();
    m_lines.ParallelPortClose();

    const std::string section = m_name.empty() ? "VFO1" : m_name;
    const auto save = [&](const char* key, const std::string& value) {
        m_store.save(section, key, value);
    };
    save("IFFreq", IntText(IntPart(m_ifFreq * 1000000.0 + 0.5)));
    save("CLKIn", IntText(IntPart(m_clkIn * 1000000.0 + 0.5)));
    save("IOPort", IntText(m_ioPort));
    save("Bit_Data", IntText(Bit_Data()));
    save("Bit_Clock", IntText(Bit_Clock()));
    save("Bit_Load", IntText(Bit_Load()));
    save("AutoUpdate", BoolText(m_autoUpDate));
    save("TunedFreq", IntText(IntPart(m_tunedFreq * 1000000.0 + 0.5)));
    save("TuneImage", BoolText(m_tuneImage));
    // The step is cut to whole hertz (12.5 Hz is kept as 12), allowing for the binary
    // representation of a step such as 7 Hz (6.9999999... after the multiplication).
    save("TuneStep", IntText(IntPart(m_tuneStep * 1000000.0 + 1e-6)));
    save("ParallelPort", IntText(m_ioPort));
    save("ComPort", IntText(m_comPort));
    save("IFType", IntText(m_ifType));
    save("DDSType", IntText(m_ddsType));
    save("ComDevice", m_comDevice);
    std::string error;
    if (!m_store.flush(&error)) ShowMessage(error, MessageIcon::Exclamation);
}

} // namespace orvex
