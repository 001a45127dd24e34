// What the receive chain calls outside itself: the sound card streamer, the spectrum
// analyser's block taps, the S-meter, the synthesiser's tuned frequency, and the two one-shot
// timers the block handler arms. The window's objects implement these; the command-line tool
// and the tests use small implementations of their own. Every port is optional: a chain
// without one skips the calls to it.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

/// The sound card streamer (OrvexDX8) as the chain sees it.
class SoundCardPort {
public:
    virtual ~SoundCardPort() = default;
    /// Queues one processed block of NumSamples (2048) samples for playback; Channel2 is the
    /// second channel where playback is stereo. The arrays are only read during the call.
    virtual void Output(const std::int16_t* Channel1, const std::int16_t* Channel2,
                        std::int32_t NumSamples) = 0;
    /// Playback attenuation in hundredths of a decibel: 0 or above is full volume, -10000
    /// silent; lower values are held at -10000. Applied from the next playback block.
    virtual void setOutputAttenuation(std::int32_t HundredthsDb) = 0;
    virtual std::int32_t OutputAttenuation() const = 0;
    /// True between a successful PrepareDevices and the release of the devices.
    virtual bool Prepared() const = 0;
    virtual void PrepareDevices() = 0;
    virtual void StartSound() = 0;
};

/// The spectrum analyser's side of the four block taps (IF in, pre-demodulation,
/// post-demodulation, AF out) and of the filter and notch overlays.
class SpectrumTap {
public:
    virtual ~SpectrumTap() = default;
    virtual bool Active() const = 0;
    /// The second trace (the captured block beside the processed one) is shown.
    virtual bool Chn2Enabled() const = 0;
    virtual void setReverseSpectrum(bool Reverse) = 0;
    virtual double FStart() const = 0; ///< lowest displayed frequency, Hz
    virtual double FEnd() const = 0;   ///< highest displayed frequency, Hz
    /// Frequency, Hz, that the display adds to its own scale (the tuned frequency minus half
    /// the span, so the scale reads in received frequency).
    virtual void setFOffset(std::int32_t Hz) = 0;
    /// One block (2048 samples) per channel; the arrays are only read during the call.
    virtual void LoadSamples_INT16(const std::int16_t* Channel1, const std::int16_t* Channel2) = 0;
    virtual void LoadSamples_S(const float* Channel1, const float* Channel2) = 0;
    /// The IF filter's kernel (2048 taps) for the filter overlay.
    virtual void LoadFilterCoeffs_T_S(const float* Taps) = 0;
    /// Shows or hides the notch marker.
    virtual void setShowNotch(bool Show) = 0;
};

/// The signal-strength meter surfaces.
class MeterDisplay {
public:
    virtual ~MeterDisplay() = default;
    /// Draws the meter for a level above the zero reference (linear power ratio, >= 1.1).
    virtual void DrawSMeter(double LevelAboveReference) = 0;
    /// Tool tip of both meter surfaces ("Meter Backoff=..." after a zero request).
    virtual void setMeterToolTip(const std::string& Text) = 0;
};

/// The synthesiser controller's tuned frequency.
class TunerPort {
public:
    virtual ~TunerPort() = default;
    virtual double TunedFreq() const = 0; ///< MHz
    /// Sets the tuned frequency, MHz, and loads the synthesiser with it.
    virtual void setTunedFreq(double MHz) = 0;
    /// The tuned frequency as the frequency readout shows it.
    virtual std::string FormattedTunedFreq() const = 0;
};

/// The two one-shot timers that fire once the block handler has returned to the event loop.
class ChainTimers {
public:
    virtual ~ChainTimers() = default;
    /// Spectrum redraw (tmrSpectrumDisplay).
    virtual void ArmSpectrumTimer(std::int32_t Milliseconds) = 0;
    /// Statistics timer (tmrPerfStats): the owner calls ReceiveChain::tmrPerfStats_Timer.
    virtual void ArmStatsTimer(std::int32_t Milliseconds) = 0;
};

} // namespace orvex
