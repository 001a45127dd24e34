// SimulatedReceiver: the Brisko box in software.
//
// It plugs into the two seams the real box uses:
//  - the control lines: Ports() is a PortProvider for the DDS controller (ad9951). Every line
//    change it makes goes to a LineDecoder standing in for the synthesiser chip, so the
//    receiver is tuned by exactly the bit sequences the hardware would get, and a corrupted
//    sequence mistunes it as it would the chip;
//  - the sound card: Render() produces the 12 kHz low-IF the box delivers (IFSynthesiser), and
//    SimCapture.h wraps it as an audio capture device for OrvexDX8.
//
// Local oscillator. The chip's output is word x system clock / 2^32 (above half the clock the
// reconstruction filter passes the alias, clock - that). The board divides it by
// `loDivider` (the controller's Multiplier) and the receiver's first mixer puts the signal at
// f = LO - IF on the first IF: IF > 0 is a high-side oscillator (LO = f + IF), IF < 0 a
// low-side one (LO = f - |IF|) - the relation the controller tunes by. That f lands at the
// IF centre (12000 Hz) of the sound card's band.
//
// System clock. The AD9951 runs from a reference crystal multiplied by its REFCLK multiplier
// (control register 2, bits 7..3; 4 to 20 multiply, anything else bypasses): the Brisko's
// 45.012 MHz crystal times 8 gives the 360.096 MHz the controller assumes, once the
// controller has written the register. The AD9835 and AD9850 run on the reference directly.
// A reference error of `clockErrorPpm` makes the whole chain run off frequency as a real
// crystal does, which the calibration dialog then corrects.
//
// No oscillator (only receiver noise comes out) before the first tuning word, while an
// AD9835 is held in reset or sleep, or while an AD9850 is powered down or in a factory test
// mode.
//
// The box's tuning knob: Encoder() is a simulated shaft encoder on the serial port's CTS and
// DSR (SimulatedEncoder.h), which a watcher thread follows as it follows a real port's.
//
// Single-threaded, like the rest of the receiver: line changes, tuning and rendering all run
// on the thread that owns the object (the encoder's lines alone are read from a watcher
// thread, through their own lock).
#pragma once

#include "IFSynthesiser.h"
#include "Scene.h"
#include "SimulatedEncoder.h"
#include "radio/LineDecoder.h"
#include "radio/LineDriver.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvex::sim {

struct SimReceiverConfig {
    DdsChip chip = DdsChip::AD9951;
    /// Reference crystal of the synthesiser, Hz (AD9951: multiplied by the chip; others: the
    /// system clock itself). Defaults: 45.012 MHz for the AD9951 (x 8 = 360.096 MHz).
    double referenceClockHz = 45012000.0;
    /// Error of the reference, parts per million (positive = runs fast).
    double clockErrorPpm = 0.0;
    /// First IF, Hz; the sign is the injection side as the controller's IFFreq has it.
    double ifHz = 45000000.0;
    /// The board divides the synthesiser output by this to make the LO (1 to 64).
    int loDivider = 1;
    /// Where the tuned frequency lands in the sound card's band, Hz.
    double ifCentreHz = 12000.0;

    /// The Brisko with a given chip: AD9951 45.012 MHz crystal (360.096 MHz system clock);
    /// AD9835 50 MHz; AD9850 125 MHz.
    static SimReceiverConfig ForChip(DdsChip chip);
};

class SimulatedReceiver {
public:
    explicit SimulatedReceiver(Scene scene, SimReceiverConfig config = {});
    ~SimulatedReceiver();
    SimulatedReceiver(const SimulatedReceiver&) = delete;
    SimulatedReceiver& operator=(const SimulatedReceiver&) = delete;

    // ---- control lines -----------------------------------------------------------------
    /// Give this to the DDS controller (ad9951(store, receiver.Ports())). It opens any serial
    /// or parallel device name: the simulated box hangs on whichever port is configured.
    /// Must outlive the ports opened from it (keep the receiver alive longer than the
    /// controller).
    PortProvider& Ports();
    /// The chip model the lines drive.
    const LineDecoder& Decoder() const { return m_decoder; }
    /// Feeds line changes as if they came over the cable (tests, recorded sessions).
    void lineChanged(const LineEvent& event);
    /// The shaft encoder on the serial port's CTS and DSR.
    SimulatedEncoder& Encoder() { return m_encoder; }

    // ---- the oscillator ----------------------------------------------------------------
    /// The frequency tuning word the chip runs on, if one was loaded.
    std::optional<std::uint32_t> TuningWord() const { return m_decoder.FrequencyWord(); }
    /// The chip's actual system clock, Hz (reference, its error and the multiplier).
    double SystemClockHz() const;
    /// The local oscillator, Hz, or nullopt when the receiver has none (see above).
    std::optional<double> LocalOscillatorHz() const { return m_lo; }
    /// The RF frequency that now lands at the IF centre, Hz (LO - IF).
    std::optional<double> TunedHz() const;
    /// Faults the chip model saw on the lines (bad sequences), since creation.
    int ChipFaults() const { return m_decoder.Faults(); }
    /// Tuning words the chip has taken (each completed frequency load).
    std::uint64_t TuningLoads() const { return m_loads; }
    /// AD9951 control register writes (CFR1, CFR2) the chip has taken: each initialisation.
    std::uint64_t ControlRegisterWrites() const { return m_controlWrites; }
    const SimReceiverConfig& Config() const { return m_config; }
    /// Changes the reference error while running (a crystal warming up).
    void setClockErrorPpm(double ppm);

    // ---- the IF ------------------------------------------------------------------------
    /// `frames` interleaved frames of `channels` 16-bit samples at `rate` frames per second.
    void Render(std::int16_t* out, std::int64_t frames, int channels, int rate);
    /// `frames` mono samples (full scale ±32767, unclipped) at `rate`.
    void Render(float* out, std::int64_t frames, int rate);
    /// Builds every music and speech loop now (otherwise each is made the first time its
    /// station comes into the band).
    void PrepareAll() { m_synth.prepareAll(); }
    std::vector<StationView> StationsInView() const { return m_synth.stationsInView(); }
    const Scene& GetScene() const { return m_synth.scene(); }
    const IFSynthesiser& Synthesiser() const { return m_synth; }

private:
    class Lines;
    void onTransfer(const ChipTransfer& transfer);
    void updateOscillator();

    SimReceiverConfig m_config;
    SimulatedEncoder m_encoder{"simulated receiver's serial port"};
    LineDecoder m_decoder;
    IFSynthesiser m_synth;
    std::unique_ptr<Lines> m_lines;
    std::optional<double> m_lo;
    std::uint8_t m_ad9850Control = 0;
    std::uint64_t m_loads = 0;
    std::uint64_t m_controlWrites = 0;
};

} // namespace orvex::sim
