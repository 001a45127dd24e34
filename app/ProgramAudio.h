// Audio for other programs: the receiver's audio offered to decoders (WSJT-X, fldigi) and
// recorders as the sound server's capture source "OrvexSDR" on this machine, and as a UDP
// stream of raw 16-bit samples to any address, while the chosen sound card keeps playing.
//
// What the programs get. Each output block after the output level, as the loudspeaker gets it
// (the digital gain above unity is in the block already; the attenuation below unity is
// applied here exactly as the playback applies it), but before Mute: muting the loudspeaker
// leaves the decoders hearing, and the AF level sets the level they get. A block the chain
// dropped goes out as a block of silence, so the stream never has a gap while the receiver
// runs. 48000 samples per second, mono.
//
// When. Both outputs are made when streaming starts (On) and removed when it stops (Off,
// Close). The source's start removes one that a killed OrvexSDR left behind. A sound server
// that is not running, an address that does not resolve, or the first error while sending is
// reported once through onProblem; the receiver plays on.
//
// The block path pays a copy and scale of 2048 samples, one write to the source's FIFO and two
// datagrams; none of them can block. Everything runs on the session's thread.
#pragma once

#include "RadioSession.h"
#include "audio/PulseSource.h"
#include "audio/UdpAudioSender.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex::app {

/// The settings of the configuration dialog's "Audio for other programs" group.
struct ProgramAudioSettings {
    /// Offer the capture source "OrvexSDR" (PipeWire or PulseAudio).
    bool toPrograms = false;
    /// Send the UDP stream to udpDestination ("HOST:PORT").
    bool udp = false;
    std::string udpDestination = "127.0.0.1:7355";
    /// The source's name and server (tests use a private server).
    audio::PulseSourceOptions source;
    bool operator==(const ProgramAudioSettings& o) const {
        return toPrograms == o.toPrograms && udp == o.udp && udpDestination == o.udpDestination &&
               source.name == o.source.name && source.server == o.source.server;
    }
};

class ProgramAudio final : public BlockListener {
public:
    /// Listens to `session`'s blocks from now on; the session must outlive it.
    explicit ProgramAudio(RadioSession& session);
    ~ProgramAudio() override;
    ProgramAudio(const ProgramAudio&) = delete;
    ProgramAudio& operator=(const ProgramAudio&) = delete;

    /// New settings: taken at once while streaming (the outputs are remade), else at the next
    /// start.
    void setSettings(const ProgramAudioSettings& settings);
    const ProgramAudioSettings& settings() const { return m_settings; }

    /// Each problem, once: an output that could not be made, the first failure to send.
    std::function<void(const std::string& message)> onProblem;

    bool sourceOpen() const { return m_source.isOpen(); }
    bool udpOpen() const { return m_udp.isOpen(); }
    const audio::PulseSource& source() const { return m_source; }
    const audio::UdpAudioSender& udp() const { return m_udp; }
    /// One line for a status display: what is offered where, or why not.
    std::string statusText() const;

    /// Blocks handed on since the start, and the time the outputs took in the block path.
    std::int64_t blocks() const { return m_blocks; }
    double meanBlockMicroseconds() const;
    double peakBlockMicroseconds() const { return m_peakNs / 1000.0; }

    // BlockListener
    void outputBlock(const std::int16_t* audio, const std::int16_t* input) override;
    void streamingStarted() override;
    void streamingStopped() override;

private:
    void openOutputs();
    void closeOutputs();
    void report(const std::string& message);

    RadioSession& m_session;
    ProgramAudioSettings m_settings;
    audio::PulseSource m_source;
    audio::UdpAudioSender m_udp;
    std::vector<std::int16_t> m_block; // the block as sent, after the level
    std::int64_t m_droppedBlocks = -1; // the chain's count at the last block (-1: none yet)
    std::string m_sourceProblem, m_udpProblem;
    bool m_sourceErrorShown = false, m_udpErrorShown = false;
    std::int64_t m_blocks = 0, m_totalNs = 0, m_peakNs = 0;
};

} // namespace orvex::app
