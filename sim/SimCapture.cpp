#include "SimCapture.h"

namespace orvex::sim {

std::unique_ptr<audio::ClockedCaptureProvider> MakeSimCaptureProvider(SimulatedReceiver& receiver,
                                                                      audio::FrameClock& clock) {
    return std::make_unique<audio::ClockedCaptureProvider>(
        clock, kSimDeviceName, [&receiver]() -> std::unique_ptr<audio::CaptureSource> {
            return std::make_unique<SimCaptureSource>(receiver);
        });
}

} // namespace orvex::sim
