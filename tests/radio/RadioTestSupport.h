// Shared set-up for the radio tests: a DDS controller on recorded lines with a chip decoder
// listening, an in-memory settings store and a recorded message sink.
#pragma once

#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "radio/LineDecoder.h"
#include "radio/RecordingPorts.h"
#include "radio/ad9951.h"

#include <memory>
#include <string>
#include <vector>

namespace orvex::test {

/// Compact text of recorded line events: "R1 B1 B0" (DTR D, RTS R, break B) or "P5" (data).
inline std::string EventText(const std::vector<LineEvent>& events) {
    std::string out;
    for (const auto& e : events) {
        if (!out.empty()) out += ' ';
        switch (e.line) {
        case LineId::DTR:
            out += 'D';
            break;
        case LineId::RTS:
            out += 'R';
            break;
        case LineId::Break:
            out += 'B';
            break;
        case LineId::Data:
            out += 'P';
            break;
        }
        out += std::to_string(e.value);
    }
    return out;
}

/// A controller on recorded lines, decoded as `chip`.
struct RecordedVfo {
    explicit RecordedVfo(DdsChip chip = DdsChip::AD9951)
        : decoder(chip), ports(nullptr, &decoder), scope(messages) {
        vfo = std::make_unique<ad9951>(store, ports);
    }
    /// The controller as start-up leaves it, on the serial lines (or parallel with ifType 2),
    /// with waits shortened so thousands of words stay quick.
    void start(int ifType = 1, bool fast = true) {
        store.save("VFO1", "IFType", std::to_string(ifType));
        vfo->setDDSType(static_cast<int>(decoder.Chip()));
        vfo->init();
        if (fast) vfo->Lines().setBitPeriodNs(0);
    }

    MemorySettingsStore store;
    LineDecoder decoder;
    RecordingPorts ports;
    RecordingMessageSink messages;
    ScopedMessageSink scope;
    std::unique_ptr<ad9951> vfo;
};

} // namespace orvex::test
