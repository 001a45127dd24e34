// The simulated receiver as a sound card capture device: a CaptureSource that delivers the
// receiver's IF, and the factory of the clocked capture side OrvexDX8 streams through.
//
//   sim::SimulatedReceiver receiver(scene, config);
//   audio::FrameClock clock;
//   audio::AudioBackend backend(sim::MakeSimCaptureProvider(receiver, clock), playback);
//   OrvexDX8 sound(backend);            // then PrepareDevices, StartSound as with a card
//   clock.advance(frames);              // or a RealTimePacer for real-time streaming
//
// The device is listed as kSimDeviceName. It delivers whatever rate and channel count the
// buffer asks for (48000 mono for the receiver; stereo gets the IF on both channels).
#pragma once

#include "SimulatedReceiver.h"
#include "audio/ClockedDevices.h"

#include <memory>

namespace orvex::sim {

inline constexpr const char* kSimDeviceName = "Brisko receiver (simulated)";

/// Reads the receiver's IF. The receiver must outlive the source.
class SimCaptureSource final : public audio::CaptureSource {
public:
    explicit SimCaptureSource(SimulatedReceiver& receiver) : m_receiver(receiver) {}
    void read(std::int16_t* interleaved, std::int64_t frames,
              const audio::PcmFormat& format) override {
        m_receiver.Render(interleaved, frames, format.channels, format.framesPerSecond);
    }

private:
    SimulatedReceiver& m_receiver;
};

/// A capture side with one device, kSimDeviceName, clocked by `clock`. The receiver and the
/// clock must outlive it.
std::unique_ptr<audio::ClockedCaptureProvider> MakeSimCaptureProvider(SimulatedReceiver& receiver,
                                                                      audio::FrameClock& clock);

} // namespace orvex::sim
