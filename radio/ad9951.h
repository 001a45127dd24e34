// ad9951: the DDS controller, the receiver's local oscillator.
//
// It turns the wanted receive frequency into a synthesiser tuning word and clocks it into the
// chip over the control lines (RsOutputs): the AD9951 (type 3, default) over the serial lines,
// the AD9835 (type 2) over the serial lines or the parallel port, the AD9850 (type 1) over the
// parallel port. It keeps the tuning state, persists part of it in section "VFO1" of the
// settings store, and steps the frequency for the front panel.
//
// Frequencies are double-precision MHz throughout; the settings store holds whole hertz.
// Oscillator: FreqOut = |(CalibOffset + TunedFreq + IFFreq) x Multiplier|, so a positive IF
// puts the oscillator above the signal (high-side) and a negative IF below it (low-side).
//
// One instance ("VFO1") lives for the whole run. Sending a word waits in bit periods that let
// window events run; the re-entrancy flags make a nested tuning change, Set_DDS or byte-string
// send return at once (a nested TunedFreq change is dropped). Everything runs on the
// user-interface thread.
#pragma once

#include "RsOutputs.h"
#include "core/SettingsStore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex {

class PortProvider;

class ad9951 {
public:
    /// `store` holds the keys of section Name(); `ports` opens the control-line devices (the
    /// real Linux ports by default, a recorder or the simulated receiver otherwise). Both must
    /// outlive the object.
    explicit ad9951(SettingsStore& store, PortProvider& ports);
    explicit ad9951(SettingsStore& store);
    /// Termination: closes the ports and saves the keys (Terminate).
    ~ad9951();
    ad9951(const ad9951&) = delete;
    ad9951& operator=(const ad9951&) = delete;

    // ---- properties ------------------------------------------------------------------
    /// Settings section of the object's keys; init sets "VFO1" when empty.
    const std::string& Name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }
    std::int16_t Index() const { return m_index; }
    void setIndex(std::int16_t index) { m_index = index; }

    /// The last tuning word Set_DDS computed, as a double (-1 for the all-ones word).
    double CurrentTuningWord() const { return m_currentTuningWord; }
    void setCurrentTuningWord(double word) { m_currentTuningWord = word; }

    /// Wanted receive frequency, MHz, from 0 to MaxFreq - CalibOffset - IFFreq - 0.000001.
    /// Setting it clamps, recomputes FreqOut and, with AutoUpDate, sends the word.
    double TunedFreq() const { return m_tunedFreq; }
    void setTunedFreq(double mhz);
    /// True while a tuning change or a word is being sent (waiting bit by bit): a tuning change
    /// made now, from the events those waits let run, would be dropped.
    bool Sending() const { return m_inTunedFreq || m_inSetDDS || m_inSendString; }
    /// Intermediate frequency, MHz; positive = high-side oscillator, negative = low-side.
    double IFFreq() const { return m_ifFreq; }
    void setIFFreq(double mhz) { m_ifFreq = mhz; }
    /// Correction added to the oscillator for clock error, MHz (0 throughout the receiver).
    double CalibOffset() const { return m_calibOffset; }
    void setCalibOffset(double mhz) { m_calibOffset = mhz; }
    /// Synthesiser system clock, MHz; also sets MaxFreq = ClkIn / 2 - CalibOffset.
    double ClkIn() const { return m_clkIn; }
    void setClkIn(double mhz);
    /// Highest output frequency, MHz (the Nyquist limit of the clock).
    double MaxFreq() const { return m_maxFreq; }
    /// Factor from TunedFreq + IFFreq + CalibOffset to the synthesiser output.
    std::int32_t Multiplier() const { return m_multiplier; }
    void setMultiplier(std::int32_t m) { m_multiplier = m; }
    /// Synthesiser output frequency, MHz, as the last TunedFreq change computed it.
    double FreqOut() const { return m_freqOut; }
    void setFreqOut(double mhz) { m_freqOut = mhz; }
    /// Step of Inc_Freq/Dec_Freq when none is given, MHz; also sets TuneStepLSD.
    double TuneStep() const { return m_tuneStep; }
    void setTuneStep(double mhz);
    /// Grid the frequency is snapped to before a step, MHz.
    double TuneStepLSD() const { return m_tuneStepLSD; }
    void setTuneStepLSD(double mhz) { m_tuneStepLSD = mhz; }
    /// When true every TunedFreq change is sent at once; setting it true sends FreqOut.
    bool AutoUpDate() const { return m_autoUpDate; }
    void setAutoUpDate(bool on);
    /// Tune to the image; kept and saved only (the demodulator and band plans use it).
    bool TuneImage() const { return m_tuneImage; }
    void setTuneImage(bool on) { m_tuneImage = on; }
    /// 1 = AD9850, 2 = AD9835, 3 = AD9951.
    std::int32_t DDSType() const { return m_ddsType; }
    void setDDSType(std::int32_t type) { m_ddsType = type; }
    /// 1 = serial-port control lines, 2 = parallel port.
    std::int32_t IFType() const { return m_ifType; }
    void setIFType(std::int32_t type) { m_ifType = type; }
    /// Serial port number (1 = the first port; see PortNames.h for the devices). Choosing a
    /// different number forgets ComDevice, so the number's own device is used again.
    std::int32_t ComPort() const { return m_comPort; }
    void setComPort(std::int32_t port);
    /// A serial device path used instead of the number's device while not empty (key
    /// "ComDevice"), for ports the numbers do not reach.
    const std::string& ComDevice() const { return m_comDevice; }
    void setComDevice(std::string path) { m_comDevice = std::move(path); }
    /// The serial device the port settings name (ComDevice, else the number's device; empty
    /// when the number names none).
    std::string SerialDevice() const;
    /// Parallel port base address; kept and saved, the output always uses 888 (/dev/parport0).
    std::int32_t IOPort() const { return m_ioPort; }
    void setIOPort(std::int32_t address) { m_ioPort = address; }
    /// Parallel-port bit numbers (0 to 30) of data, clock and load; kept and saved, the
    /// output always uses bits 0, 1 and 2. Stored as the mask 2^n; the get returns n.
    std::int32_t Bit_Data() const { return BitNumber(m_bitDataMask); }
    void setBit_Data(std::int32_t bit) { SetBitMask(m_bitDataMask, bit); }
    std::int32_t Bit_Clock() const { return BitNumber(m_bitClockMask); }
    void setBit_Clock(std::int32_t bit) { SetBitMask(m_bitClockMask, bit); }
    std::int32_t Bit_Load() const { return BitNumber(m_bitLoadMask); }
    void setBit_Load(std::int32_t bit) { SetBitMask(m_bitLoadMask, bit); }
    /// Wheel messages let pass between two that act.
    std::int32_t MouseWheelGearRatio() const { return m_mouseWheelGearRatio; }
    void setMouseWheelGearRatio(std::int32_t n) { m_mouseWheelGearRatio = n; }
    /// TunedFreq as nine digits in units of 0.1 Hz ("055050000" for 5.505 MHz; ten digits
    /// from 100 MHz up). The set stores a text nothing reads.
    std::string FormattedTunedFreq() const;
    void setFormattedTunedFreq(std::string text) { m_formattedTunedFreqLet = std::move(text); }

    // ---- operations ------------------------------------------------------------------
    /// Start-up: applies defaults, reads the keys of section Name(), opens the port, programs
    /// the chip and sends the saved frequency.
    void init();
    /// Opens the port of IFType (serial: the ComPort/ComDevice device; parallel:
    /// /dev/parport0) as start-up does, showing "Unable to open COM<n> - ..." with the reason
    /// when it fails. True when a port is open.
    bool OpenPort();
    /// Closes all ports and writes the keys of section Name() (once; the destructor calls it).
    void Terminate();

    /// Opens the configured serial port; shows "Serial Port Interface Error" with the reason when
    /// it will not open.
    void SerialOpen();
    void SerialClose();
    /// Opens the parallel port and sends the AD9835 control words 0x8000 and 0xC000.
    void ParallelOpen();
    /// Releases the parallel port (so another program or the serial interface can be used).
    void ParallelClose();

    /// Fills MHz, KHz and Hz with the whole-MHz, kHz and Hz parts of TunedFreq, left-padded
    /// with "0" to 2, 3 and 3 characters. dHz is not touched.
    void FormatFreq(std::string& MHz, std::string& KHz, std::string& Hz, std::string& dHz) const;
    /// Steps down by Decrement (MHz; 0 = TuneStep) from the frequency snapped to TuneStepLSD.
    /// Decrement is left holding the negative step used. Returns the new TunedFreq.
    double Dec_Freq(double& Decrement);
    double Dec_Freq(double&& Decrement) { return Dec_Freq(Decrement); }
    /// Steps by Increment (MHz, signed; 0 = up by TuneStep) from the frequency snapped to
    /// TuneStepLSD. Returns the new TunedFreq.
    double Inc_Freq(double Increment);
    /// Computes the tuning word for output frequency `freq` (MHz) and sends it to the chip
    /// of DDSType over IFType. Returns freq.
    double Set_DDS(double freq);
    /// Writes the AD9951 control registers (CFR1, CFR2) over the serial lines.
    void InitAD9951();
    /// The pause between AD9850 port writes: none is needed.
    void Delay() {}

    // ---- links to the rest of the receiver ---------------------------------------------
    /// The control-line driver (the bit timing, the ports).
    RsOutputs& Lines() { return m_lines; }
    /// Receives the main window caption texts this class sets ("No valid COM port
    /// configured - Configure a valid COM port").
    void setCaptionHandler(std::function<void(const std::string&)> handler) {
        m_captionHandler = std::move(handler);
    }
    /// The last caption text set.
    const std::string& Caption() const { return m_caption; }

private:
    static std::int32_t BitNumber(std::uint32_t mask);
    static void SetBitMask(std::uint32_t& mask, std::int32_t bit);
    void SerialSendString(const std::vector<std::uint8_t>& bytes);
    void SetCaption(const std::string& text);
    bool OpenSerialPort(std::string& reason);
    bool OpenParallelPort(std::string& reason);
    void ReadSettings();
    void ReadSynthesiserSettings();

    SettingsStore& m_store;
    RsOutputs m_lines;

    std::string m_name;
    std::int16_t m_index = 0;
    double m_currentTuningWord = 0.0;
    double m_tunedFreq = 0.0;
    double m_ifFreq = 0.0;
    double m_calibOffset = 0.0;
    double m_clkIn = 0.0;
    double m_maxFreq = 0.0;
    std::int32_t m_multiplier = 0;
    double m_freqOut = 0.0;
    double m_tuneStep = 0.0;
    double m_tuneStepLSD = 0.0;
    bool m_autoUpDate = false;
    bool m_tuneImage = false;
    std::int32_t m_ddsType = 0;
    std::int32_t m_ifType = 0;
    std::int32_t m_comPort = 0;
    std::string m_comDevice;
    std::int32_t m_ioPort = 0;
    std::uint32_t m_bitDataMask = 0;
    std::uint32_t m_bitClockMask = 0;
    std::uint32_t m_bitLoadMask = 0;
    std::int32_t m_mouseWheelGearRatio = 0;
    std::string m_formattedTunedFreqLet;

    std::uint32_t m_word = 0;   ///< the 32-bit word of the last Set_DDS
    double m_workingWord = 0.0; ///< its working copy, halved bit by bit for the AD9850
    std::vector<std::uint8_t> m_ad9951Bytes;
    bool m_inTunedFreq = false;
    bool m_inSetDDS = false;
    bool m_inSendString = false;
    bool m_savedAutoUpDate = false;
    double m_snappedFreq = 0.0;

    std::function<void(const std::string&)> m_captionHandler;
    std::string m_caption;
    bool m_terminated = false;
};

} // namespace orvex
