#include "LineDecoder.h"

#include <cstdio>

namespace orvex {
namespace {

std::string Hex(unsigned value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
    return buf;
}

} // namespace

int AD9951RegisterBytes(int address) {
    // CFR1, CFR2, ASF, ARR, FTW0, POW0.
    static constexpr int kBytes[] = {4, 3, 2, 1, 4, 2};
    return address >= 0 && address < 6 ? kBytes[address] : 0;
}

LineDecoder::LineDecoder(DdsChip chip) : m_chip(chip) {}

void LineDecoder::reset() {
    const DdsChip chip = m_chip;
    auto listener = std::move(m_listener);
    *this = LineDecoder(chip);
    m_listener = std::move(listener);
}

std::optional<std::uint32_t> LineDecoder::FrequencyWord() const {
    switch (m_chip) {
    case DdsChip::AD9951:
        if (m_ftwWritten) return m_ad9951[4];
        return std::nullopt;
    case DdsChip::AD9835:
        if (m_ad9835.freqWritten) return m_ad9835.ActiveFrequencyWord();
        return std::nullopt;
    case DdsChip::AD9850:
        return m_ad9850Word;
    }
    return std::nullopt;
}

std::uint32_t LineDecoder::AD9951Register(int address) const {
    return address >= 0 && address < 6 ? m_ad9951[static_cast<std::size_t>(address)] : 0;
}

void LineDecoder::lineChanged(const LineEvent& event) {
    if (event.line == LineId::Data)
        parallelEvent(event);
    else
        serialEvent(event);
}

void LineDecoder::emit(ChipTransfer t) {
    if (!m_keepTransfers) {
        if (m_listener) m_listener(t);
        return;
    }
    m_transfers.push_back(std::move(t));
    if (m_listener) m_listener(m_transfers.back());
}

void LineDecoder::fault(std::string text, std::int64_t timeNs) {
    ++m_faults;
    ChipTransfer t;
    t.kind = ChipTransfer::Kind::Fault;
    t.fault = std::move(text);
    t.timeNs = timeNs;
    emit(std::move(t));
}

// ---- serial lines: DTR frame, RTS data (inverted), TXD break clock ------------------------

void LineDecoder::serialEvent(const LineEvent& e) {
    if (m_chip == DdsChip::AD9850) return; // the AD9850 hangs on the parallel port only
    const bool on = e.value != 0;
    switch (e.line) {
    case LineId::DTR:
        if (on == m_dtr) return;
        m_dtr = on;
        if (on)
            frameStart();
        else
            frameEnd(e.timeNs);
        break;
    case LineId::RTS:
        if (on != m_rts && m_break && m_inFrame)
            fault("data (RTS) changed while the clock (TXD break) was set", e.timeNs);
        m_rts = on;
        break;
    case LineId::Break:
        if (on && !m_break) {
            if (m_inFrame)
                clockBit(m_rts ? 0 : 1, e.timeNs);
            else
                ++m_strayClocks;
        }
        m_break = on;
        break;
    case LineId::Data:
        break;
    }
}

void LineDecoder::frameStart() {
    m_inFrame = true;
    m_shift = 0;
    m_bitCount = 0;
    m_frameBits = 0;
    m_frameDone = false;
    m_frameAborted = false;
    m_dataBytesLeft = 0;
}

void LineDecoder::frameEnd(std::int64_t timeNs) {
    if (!m_inFrame) return;
    m_inFrame = false;
    if (m_chip == DdsChip::AD9951) {
        if (m_frameAborted) return;
        if (m_bitCount != 0)
            fault("chip select released after " + std::to_string(m_bitCount) +
                      " bits of a byte; the byte is lost",
                  timeNs);
        if (m_dataBytesLeft > 0)
            fault("write to register " + Hex(m_pending.address, 2) + " ended after " +
                      std::to_string(m_pending.bytes.size() - 1) + " of " +
                      std::to_string(AD9951RegisterBytes(m_pending.address)) +
                      " bytes; nothing latched",
                  timeNs);
    } else if (!m_frameDone && m_bitCount > 0) {
        fault("frame ended after " + std::to_string(m_bitCount) +
                  " bits of a 16-bit word; nothing latched",
              timeNs);
    }
}

void LineDecoder::clockBit(int bit, std::int64_t timeNs) {
    ++m_frameBits;
    if (m_chip == DdsChip::AD9951) {
        if (m_frameAborted) return;
        m_shift = (m_shift << 1) | static_cast<std::uint32_t>(bit);
        if (++m_bitCount == 8) {
            m_bitCount = 0;
            ad9951Byte(static_cast<std::uint8_t>(m_shift & 0xFF), timeNs);
        }
        return;
    }
    // AD9835: the 16th clock latches; the rest of the frame is ignored.
    if (m_frameDone) return;
    m_shift = (m_shift << 1) | static_cast<std::uint32_t>(bit);
    if (++m_bitCount == 16) {
        m_frameDone = true;
        ad9835Word(static_cast<std::uint16_t>(m_shift & 0xFFFF), timeNs);
    }
}

void LineDecoder::ad9951Byte(std::uint8_t byte, std::int64_t timeNs) {
    if (m_dataBytesLeft == 0) {
        const int address = byte & 0x1F;
        const int size = AD9951RegisterBytes(address);
        if (size == 0) {
            fault("instruction " + Hex(byte, 2) + " names register " + Hex(address, 2) +
                      ", which the AD9951 does not have; rest of the frame ignored",
                  timeNs);
            m_frameAborted = true;
            return;
        }
        m_pending = {};
        m_pending.kind =
            (byte & 0x80) != 0 ? ChipTransfer::Kind::AD9951Read : ChipTransfer::Kind::AD9951Write;
        m_pending.address = static_cast<std::uint8_t>(address);
        m_pending.bytes.push_back(byte);
        m_dataBytesLeft = size;
        return;
    }
    m_pending.bytes.push_back(byte);
    m_pending.value = (m_pending.value << 8) | byte;
    if (--m_dataBytesLeft > 0) return;
    m_pending.bits = static_cast<int>(m_pending.bytes.size()) * 8;
    m_pending.timeNs = timeNs;
    if (m_pending.kind == ChipTransfer::Kind::AD9951Write) {
        m_ad9951[m_pending.address] = m_pending.value;
        if (m_pending.address == 4) m_ftwWritten = true;
    }
    emit(std::move(m_pending));
    m_pending = {};
}

void LineDecoder::ad9835Word(std::uint16_t w, std::int64_t timeNs) {
    AD9835Registers& r = m_ad9835;
    if ((w & 0xC000) == 0xC000) {
        r.sleep = (w & 0x2000) != 0;
        r.reset = (w & 0x1000) != 0;
        r.clr = (w & 0x0800) != 0;
        if (r.clr) r.sync = r.selsrc = false;
    } else if ((w & 0xC000) == 0x8000) {
        r.sync = (w & 0x2000) != 0;
        r.selsrc = (w & 0x1000) != 0;
    } else {
        const int address = (w >> 8) & 0xF;
        const std::uint32_t present = w & 0xFFu;
        switch (w >> 12) {
        case 0: // 16 phase bits: present byte above the deferred one
            if ((address & 0x8) != 0)
                r.phase[static_cast<std::size_t>((address >> 1) & 3)] =
                    static_cast<std::uint16_t>(((present << 8) | r.defer) & 0x0FFF);
            break;
        case 1: // 8 phase bits to the defer register
        case 3: // 8 frequency bits to the defer register
            r.defer = static_cast<std::uint8_t>(present);
            break;
        case 2: { // 16 frequency bits: present byte above the deferred one
            if (address >= 8) break;
            const std::uint32_t half = (present << 8) | r.defer;
            std::uint32_t& reg = r.freq[static_cast<std::size_t>((address >> 2) & 1)];
            if ((address & 0x2) != 0)
                reg = (reg & 0x0000FFFFu) | (half << 16);
            else
                reg = (reg & 0xFFFF0000u) | half;
            r.freqWritten = true;
            break;
        }
        case 4:
            r.psel = (w >> 9) & 3;
            break;
        case 5:
            r.fsel = (w >> 11) & 1;
            break;
        case 6:
            r.psel = (w >> 9) & 3;
            r.fsel = (w >> 11) & 1;
            break;
        default:
            break;
        }
    }
    ChipTransfer t;
    t.kind = ChipTransfer::Kind::AD9835Word;
    t.value = w;
    t.bits = 16;
    t.timeNs = timeNs;
    emit(std::move(t));
}

// ---- parallel data lines -----------------------------------------------------------------

void LineDecoder::parallelEvent(const LineEvent& e) {
    const std::uint8_t prev = m_data;
    const std::uint8_t cur = e.value;
    m_data = cur;
    if (m_chip == DdsChip::AD9951) return; // the AD9951 hangs on the serial lines only
    const bool clockRise = (prev & 2) == 0 && (cur & 2) != 0;
    const bool clockHeld = (prev & 2) != 0 && (cur & 2) != 0;
    const bool dataChanged = ((prev ^ cur) & 1) != 0;
    if (dataChanged && clockRise)
        fault("data and clock changed in one write; the bit is not set up before the edge",
              e.timeNs);
    else if (dataChanged && clockHeld)
        fault("data changed while the clock was high", e.timeNs);

    if (m_chip == DdsChip::AD9835) {
        const bool frameRise = (prev & 4) == 0 && (cur & 4) != 0;
        const bool frameFall = (prev & 4) != 0 && (cur & 4) == 0;
        if (frameFall) frameEnd(e.timeNs);
        if (frameRise) frameStart();
        if (clockRise) {
            if (m_inFrame)
                clockBit((cur & 1) != 0 ? 0 : 1, e.timeNs); // data inverted
            else
                ++m_strayClocks;
        }
        return;
    }

    // AD9850.
    if (clockRise) {
        m_ad9850Shift = (m_ad9850Shift >> 1) | (static_cast<std::uint64_t>(cur & 1) << 39);
        ++m_ad9850Bits;
    }
    if ((prev & 4) == 0 && (cur & 4) != 0) {
        if (m_ad9850Bits != 40)
            fault("frequency update after " + std::to_string(m_ad9850Bits) + " bits instead of 40",
                  e.timeNs);
        ChipTransfer t;
        t.kind = ChipTransfer::Kind::AD9850Load;
        t.value = static_cast<std::uint32_t>(m_ad9850Shift & 0xFFFFFFFFu);
        t.control = static_cast<std::uint8_t>(m_ad9850Shift >> 32);
        t.bits = m_ad9850Bits;
        t.timeNs = e.timeNs;
        m_ad9850Word = t.value;
        m_ad9850Bits = 0;
        emit(std::move(t));
    }
}

} // namespace orvex
