// LineDecoder: what a synthesiser chip latches from the control lines.
//
// It listens to line changes (a recorder's log, or live from a line driver, through
// LineEventSink) and behaves as the chip on the other end of the cable would:
//
//  Serial lines (AD9951, AD9835): DTR asserted = chip select active, RTS released = data 1,
//  TXD break set = the clock edge on which the chip samples the data. The senders hold the
//  data from before the break is set until after it is cleared, so the chip reads the same
//  bit on either clock edge; a data change while the break is set is reported as a fault.
//   - AD9951: bytes most significant bit first; the first byte of a frame is an instruction
//     (bit 7 = read, bits 4..0 = register), followed by as many bytes as the register holds
//     (CFR1 4, CFR2 3, ASF 2, ARR 1, FTW0 4, POW0 2); then the next instruction. A frame
//     ending inside a byte or a register aborts that write, as chip select does on the chip.
//   - AD9835: 16-bit words, most significant bit first; the 16th clock in a frame latches
//     the word and later clocks are ignored until the frame restarts.
//  Parallel data lines (AD9835, AD9850), bits of the byte written:
//   - AD9835: bit 2 = frame, bit 1 rising = clock, bit 0 = data inverted.
//   - AD9850: bit 1 rising = W_CLK shifting bit 0 into the 40-bit input register, least
//     significant bit first; bit 2 rising = FQ_UD, which loads the 40 bits (frequency word
//     in bits 0..31, control and phase in bits 32..39).
//
// The decoder keeps the chip's registers, so FrequencyWord() is the word the chip generates
// its output from. The simulated receiver tunes its oscillator from it.
#pragma once

#include "LineDriver.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

/// The synthesiser types, numbered as the DDS controller's DDSType.
enum class DdsChip : int { AD9850 = 1, AD9835 = 2, AD9951 = 3 };

/// One thing the chip latched (or a fault on the lines).
struct ChipTransfer {
    enum class Kind {
        AD9951Write, ///< a register write: address, value, bytes
        AD9951Read,  ///< a read instruction (the chip drives its data out; nothing latched)
        AD9835Word,  ///< a 16-bit word: value
        AD9850Load,  ///< an FQ_UD load: value = frequency word, control = bits 32..39
        Fault,       ///< the lines did something the chip would not accept: fault
    };
    Kind kind = Kind::Fault;
    std::uint8_t address = 0;
    std::uint32_t value = 0;
    std::uint8_t control = 0;
    std::vector<std::uint8_t> bytes; ///< AD9951: instruction and data bytes as clocked
    int bits = 0;                    ///< clock edges that made up this transfer
    std::string fault;
    std::int64_t timeNs = 0; ///< time of the line change that completed it
};

/// The AD9835's registers as its 16-bit words set them.
struct AD9835Registers {
    std::array<std::uint32_t, 2> freq{}; ///< FREQ0, FREQ1
    std::array<std::uint16_t, 4> phase{};
    std::uint8_t defer = 0; ///< the deferred 8 bits of a 16-bit register write
    int fsel = 0;
    int psel = 0;
    bool sync = false, selsrc = false;
    bool sleep = false, reset = false, clr = false;
    bool freqWritten = false;
    /// The frequency register in use: FSEL when the select source is the bits (SELSRC),
    /// otherwise FREQ0 (the FSELECT pin is tied low on the board).
    std::uint32_t ActiveFrequencyWord() const { return freq[selsrc ? fsel : 0]; }
};

class LineDecoder final : public LineEventSink {
public:
    explicit LineDecoder(DdsChip chip);

    void lineChanged(const LineEvent& event) override;
    void feed(const std::vector<LineEvent>& events) {
        for (const auto& e : events)
            lineChanged(e);
    }

    /// Everything latched so far, in order (empty when transfers are not kept).
    const std::vector<ChipTransfer>& transfers() const { return m_transfers; }
    /// Whether transfers() keeps every transfer (the default, for tests and the tune command).
    /// A decoder that runs for a whole session (the simulated receiver) keeps none, so its
    /// memory does not grow with every tuning step; the registers and the listener still see
    /// everything.
    void setKeepTransfers(bool keep) {
        m_keepTransfers = keep;
        if (!keep) m_transfers.clear();
    }
    /// Called with each transfer as it completes (the simulated receiver's hook).
    void setListener(std::function<void(const ChipTransfer&)> listener) {
        m_listener = std::move(listener);
    }
    /// The frequency tuning word the chip now runs on, or nullopt before one was loaded.
    std::optional<std::uint32_t> FrequencyWord() const;

    /// AD9951 register by address (0 to 5): the last value written.
    std::uint32_t AD9951Register(int address) const;
    const AD9835Registers& AD9835() const { return m_ad9835; }
    /// Clock edges seen while the chip was not selected (ignored by the chip).
    int StrayClocks() const { return m_strayClocks; }
    int Faults() const { return m_faults; }
    DdsChip Chip() const { return m_chip; }

    /// Forgets the line levels, registers and transfers (a chip power-up).
    void reset();

private:
    void serialEvent(const LineEvent& e);
    void parallelEvent(const LineEvent& e);
    void frameStart();
    void frameEnd(std::int64_t timeNs);
    void clockBit(int bit, std::int64_t timeNs);
    void ad9951Byte(std::uint8_t byte, std::int64_t timeNs);
    void ad9835Word(std::uint16_t word, std::int64_t timeNs);
    void emit(ChipTransfer t);
    void fault(std::string text, std::int64_t timeNs);

    DdsChip m_chip;
    std::function<void(const ChipTransfer&)> m_listener;
    std::vector<ChipTransfer> m_transfers;
    bool m_keepTransfers = true;

    // Line levels.
    bool m_dtr = false, m_rts = false, m_break = false;
    std::uint8_t m_data = 0;

    // Serial shift state within a frame.
    bool m_inFrame = false;
    std::uint32_t m_shift = 0;
    int m_bitCount = 0;       ///< bits in the current byte (AD9951) or word (AD9835)
    int m_frameBits = 0;      ///< bits since the frame started
    bool m_frameDone = false; ///< AD9835: 16 bits latched, further clocks ignored
    bool m_frameAborted = false;

    // AD9951 instruction state.
    std::array<std::uint32_t, 6> m_ad9951{};
    bool m_ftwWritten = false;
    int m_dataBytesLeft = 0;
    ChipTransfer m_pending;

    AD9835Registers m_ad9835;

    // AD9850 40-bit input register.
    std::uint64_t m_ad9850Shift = 0;
    int m_ad9850Bits = 0;
    std::optional<std::uint32_t> m_ad9850Word;

    int m_strayClocks = 0;
    int m_faults = 0;
};

/// Register widths of the AD9951 in bytes, by address (0 for an address the chip lacks).
int AD9951RegisterBytes(int address);

} // namespace orvex
