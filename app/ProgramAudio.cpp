#include "ProgramAudio.h"

#include "core/Numeric.h"
#include "dsp/ReceiveChain.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace orvex::app {

ProgramAudio::ProgramAudio(RadioSession& session)
    : m_session(session), m_source(m_settings.source),
      m_block(static_cast<std::size_t>(kBlockSamples), 0) {
    m_session.addBlockListener(this);
}

ProgramAudio::~ProgramAudio() {
    m_session.removeBlockListener(this);
    closeOutputs();
}

void ProgramAudio::setSettings(const ProgramAudioSettings& settings) {
    if (settings == m_settings) return;
    m_settings = settings;
    if (m_session.streaming()) {
        closeOutputs();
        openOutputs();
    }
}

void ProgramAudio::report(const std::string& message) {
    if (onProblem) onProblem(message);
}

void ProgramAudio::openOutputs() {
    m_sourceProblem.clear();
    m_udpProblem.clear();
    m_sourceErrorShown = m_udpErrorShown = false;
    m_droppedBlocks = -1;
    m_blocks = m_totalNs = m_peakNs = 0;
    if (m_settings.toPrograms) {
        m_source.setOptions(m_settings.source);
        std::string error;
        if (!m_source.open(error)) {
            m_sourceProblem = error;
            report("Audio for other programs: the source \"" + m_settings.source.name +
                   "\" is not offered: " + error + ". The receiver plays on.");
        }
    }
    if (m_settings.udp) {
        std::string error;
        if (!m_udp.open(m_settings.udpDestination, error)) {
            m_udpProblem = error;
            report("Audio for other programs: no UDP stream: " + error + ".");
        }
    }
}

void ProgramAudio::closeOutputs() {
    m_source.close();
    m_udp.close();
}

void ProgramAudio::streamingStarted() {
    openOutputs();
}

void ProgramAudio::streamingStopped() {
    closeOutputs();
}

void ProgramAudio::outputBlock(const std::int16_t* audio, const std::int16_t* /*input*/) {
    if (!m_source.isOpen() && !m_udp.isOpen()) return;
    const auto t0 = std::chrono::steady_clock::now();
    // A block the chain dropped plays as silence, and goes out as silence.
    const std::int64_t dropped = m_session.chain().DroppedBlocks();
    const bool processed = m_droppedBlocks < 0 || dropped == m_droppedBlocks;
    m_droppedBlocks = dropped;
    const std::size_t n = m_block.size();
    if (!processed) {
        std::fill(m_block.begin(), m_block.end(), 0);
    } else {
        // The output level below unity is the sound card's attenuation, hundredths of a dB:
        // applied here as the playback applies it. Mute (which sets the card to -40000 after
        // the level) is not: the programs keep hearing.
        const float level = m_session.chain().State().OutputAttenuation;
        const int hundredths = level > 0.0f ? 0 : std::clamp(RoundHalfEven32(level), -10000, 0);
        if (hundredths == 0) {
            std::copy(audio, audio + n, m_block.begin());
        } else {
            const float gain = hundredths <= -10000
                                   ? 0.0f
                                   : static_cast<float>(std::pow(10.0, hundredths / 2000.0));
            for (std::size_t i = 0; i < n; ++i)
                m_block[i] = static_cast<std::int16_t>(std::lrint(audio[i] * gain));
        }
    }
    if (m_source.isOpen()) {
        m_source.write(m_block.data(), n);
        if (!m_sourceErrorShown && !m_source.firstError().empty()) {
            m_sourceErrorShown = true;
            report("Audio for other programs: writing to the source \"" + m_settings.source.name +
                   "\" failed: " + m_source.firstError() + " (further failures are counted)");
        }
    }
    if (m_udp.isOpen()) {
        m_udp.send(m_block.data(), n);
        if (!m_udpErrorShown && !m_udp.firstError().empty()) {
            m_udpErrorShown = true;
            report("Audio for other programs: sending UDP audio to " + m_udp.destination() +
                   " failed: " + m_udp.firstError() + " (further failures are counted)");
        }
    }
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    ++m_blocks;
    m_totalNs += ns;
    m_peakNs = std::max<std::int64_t>(m_peakNs, ns);
}

double ProgramAudio::meanBlockMicroseconds() const {
    return m_blocks > 0 ? static_cast<double>(m_totalNs) / static_cast<double>(m_blocks) / 1000.0
                        : 0.0;
}

std::string ProgramAudio::statusText() const {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (m_settings.toPrograms) {
        if (m_source.isOpen())
            add("source \"" + m_settings.source.name + "\" offered");
        else if (!m_sourceProblem.empty())
            add("source \"" + m_settings.source.name + "\" not offered: " + m_sourceProblem);
        else
            add("source \"" + m_settings.source.name + "\" offered while the receiver is on");
    }
    if (m_settings.udp) {
        if (m_udp.isOpen()) {
            std::string part = "UDP to " + m_udp.destination();
            if (m_udp.datagramsLost() > 0)
                part += " (" + std::to_string(m_udp.datagramsLost()) +
                        " datagrams lost: " + m_udp.firstError() + ")";
            add(part);
        } else if (!m_udpProblem.empty()) {
            add("no UDP stream: " + m_udpProblem);
        } else {
            add("UDP to " + m_settings.udpDestination + " while the receiver is on");
        }
    }
    return text.empty() ? "off" : text;
}

} // namespace orvex::app
