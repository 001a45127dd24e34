#include "SimulatedReceiver.h"

#include "core/Profiler.h"

#include <algorithm>
#include <cmath>

namespace orvex::sim {
namespace {

constexpr double kTwoTo32 = 4294967296.0;

// The serial port of the simulated box: DTR, RTS and the TXD break go to the chip model; CTS
// and DSR come from the box's shaft encoder.
class SimSerialLines final : public SerialLines {
public:
    SimSerialLines(LineEventSink& sink, SimulatedEncoder& encoder, std::string device)
        : m_sink(sink), m_encoder(encoder), m_device(std::move(device)) {}
    bool setDTR(bool asserted) override { return change(LineId::DTR, asserted); }
    bool setRTS(bool asserted) override { return change(LineId::RTS, asserted); }
    bool setBreak(bool set) override { return change(LineId::Break, set); }
    ModemLineSource* modemLines() override { return &m_encoder.lines(); }
    const std::string& device() const override { return m_device; }
    const std::string& lastError() const override { return m_error; }

private:
    bool change(LineId line, bool on) {
        m_sink.lineChanged({line, static_cast<std::uint8_t>(on ? 1 : 0), Profiler::Now()});
        return true;
    }
    LineEventSink& m_sink;
    SimulatedEncoder& m_encoder;
    std::string m_device;
    std::string m_error;
};

class SimParallelLines final : public ParallelLines {
public:
    SimParallelLines(LineEventSink& sink, std::string device)
        : m_sink(sink), m_device(std::move(device)) {}
    bool writeData(std::uint8_t value) override {
        m_sink.lineChanged({LineId::Data, value, Profiler::Now()});
        return true;
    }
    const std::string& device() const override { return m_device; }
    const std::string& lastError() const override { return m_error; }

private:
    LineEventSink& m_sink;
    std::string m_device;
    std::string m_error;
};

} // namespace

// The box's end of the cable: opens any port name, and passes every line change to the
// receiver (which hands it to the chip model).
class SimulatedReceiver::Lines final : public PortProvider, public LineEventSink {
public:
    explicit Lines(SimulatedReceiver& owner) : m_owner(owner) {}
    std::unique_ptr<SerialLines> openSerial(const std::string& device, PortError& error) override {
        error = {};
        return std::make_unique<SimSerialLines>(*this, m_owner.Encoder(), device);
    }
    std::unique_ptr<ParallelLines> openParallel(const std::string& device,
                                                PortError& error) override {
        error = {};
        return std::make_unique<SimParallelLines>(*this, device);
    }
    void lineChanged(const LineEvent& event) override { m_owner.lineChanged(event); }

private:
    SimulatedReceiver& m_owner;
};

SimReceiverConfig SimReceiverConfig::ForChip(DdsChip chip) {
    SimReceiverConfig c;
    c.chip = chip;
    switch (chip) {
    case DdsChip::AD9951:
        c.referenceClockHz = 45012000.0;
        break;
    case DdsChip::AD9835:
        c.referenceClockHz = 50000000.0;
        break;
    case DdsChip::AD9850:
        c.referenceClockHz = 125000000.0;
        break;
    }
    return c;
}

SimulatedReceiver::SimulatedReceiver(Scene scene, SimReceiverConfig config)
    : m_config(config), m_decoder(config.chip), m_synth(std::move(scene), config.ifCentreHz),
      m_lines(std::make_unique<Lines>(*this)) {
    m_config.loDivider = std::clamp(m_config.loDivider, 1, 64);
    m_decoder.setKeepTransfers(false); // a whole session of tuning must not accumulate
    m_decoder.setListener([this](const ChipTransfer& t) { onTransfer(t); });
}

SimulatedReceiver::~SimulatedReceiver() = default;

PortProvider& SimulatedReceiver::Ports() {
    return *m_lines;
}

void SimulatedReceiver::lineChanged(const LineEvent& event) {
    m_decoder.lineChanged(event);
}

void SimulatedReceiver::onTransfer(const ChipTransfer& t) {
    switch (t.kind) {
    case ChipTransfer::Kind::AD9951Write:
        if (t.address == 4) ++m_loads;
        if (t.address == 0 || t.address == 1) ++m_controlWrites;
        break;
    case ChipTransfer::Kind::AD9850Load:
        m_ad9850Control = t.control;
        ++m_loads;
        break;
    case ChipTransfer::Kind::AD9835Word:
        // The last word of a load (0xC000) takes the chip out of reset.
        if ((t.value & 0xF000) == 0xC000) ++m_loads;
        break;
    default:
        break;
    }
    updateOscillator();
}

double SimulatedReceiver::SystemClockHz() const {
    double clock = m_config.referenceClockHz * (1.0 + m_config.clockErrorPpm * 1e-6);
    if (m_config.chip == DdsChip::AD9951) {
        const std::uint32_t multiplier = (m_decoder.AD9951Register(1) >> 3) & 0x1F;
        if (multiplier >= 4 && multiplier <= 20) clock *= multiplier;
    }
    return clock;
}

void SimulatedReceiver::setClockErrorPpm(double ppm) {
    m_config.clockErrorPpm = ppm;
    updateOscillator();
}

void SimulatedReceiver::updateOscillator() {
    const std::optional<std::uint32_t> word = m_decoder.FrequencyWord();
    bool running = word.has_value();
    if (m_config.chip == DdsChip::AD9835) {
        const AD9835Registers& r = m_decoder.AD9835();
        running = running && !r.reset && !r.sleep;
    } else if (m_config.chip == DdsChip::AD9850) {
        // Control bits W32, W33 select factory test modes; W34 powers the chip down.
        running = running && (m_ad9850Control & 0x07) == 0;
    }
    std::optional<double> lo;
    if (running) {
        const double clock = SystemClockHz();
        double out = static_cast<double>(*word) * clock / kTwoTo32;
        if (out > 0.5 * clock) out = clock - out; // the alias the output filter lets through
        lo = out / m_config.loDivider;
    }
    if (lo == m_lo) return;
    m_lo = lo;
    m_synth.setTuning(TunedHz());
}

std::optional<double> SimulatedReceiver::TunedHz() const {
    if (!m_lo) return std::nullopt;
    return *m_lo - m_config.ifHz;
}

void SimulatedReceiver::Render(std::int16_t* out, std::int64_t frames, int channels, int rate) {
    m_synth.setSampleRate(rate);
    m_synth.render(out, frames, channels);
}

void SimulatedReceiver::Render(float* out, std::int64_t frames, int rate) {
    m_synth.setSampleRate(rate);
    m_synth.render(out, frames);
}

} // namespace orvex::sim
