// The display engines as the window's core drives them. The spectrum analyser is the chain's
// SpectrumTap and, beyond the taps, takes what the display controls set, the redraw after each
// block, and questions about the picture under the pointer; the waterfall under it has a switch
// and a level range. The window creates and owns the engines (they draw with QtGui); the core
// holds non-owning pointers to them, detaches them before they go, and asks them to save their
// settings before the settings file is written. Plain C++; everything runs on the
// user-interface thread.
#pragma once

#include "dsp/ChainPorts.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvex {

class SpectrumDisplay : public SpectrumTap {
public:
    // ---- set-up (start-up order: FSampling, Order, window, mode, init) -----------------------
    virtual std::int32_t FSampling() const = 0; ///< Hz
    virtual void setFSampling(std::int32_t Hz) = 0;
    virtual void setOrder(std::int32_t order) = 0; ///< FFT order, 11 for 2048 points
    /// Sizes everything from Order and FSampling; StartBin and StopBin follow FStart and FEnd.
    virtual void init() = 0;
    /// Draws the empty graticule on both surfaces (the picture of a display that is off).
    virtual void SetupDisplay() = 0;
    virtual void setActive(bool on) = 0;
    /// Computes and draws one frame from the samples the taps loaded.
    virtual void Display() = 0;
    /// Writes the display settings into the settings store they were restored from.
    virtual void SaveSettings() const = 0;

    // ---- object-wide properties --------------------------------------------------------------
    virtual std::int32_t Mode() const = 0; ///< 0 Frequency, 1 Time, 2 Phase
    virtual void setMode(std::int32_t mode) = 0;
    virtual bool AutoGain() const = 0;
    virtual void setAutoGain(bool on) = 0;
    virtual bool ShowFilter() const = 0;
    virtual void setShowFilter(bool on) = 0;
    virtual bool ShowNotch() const = 0;
    /// The notch marker, Hz in the frequency of the bins shown (IF or audio).
    virtual void setNotchCentre(float Hz) = 0;
    /// A second band of the same marker (an audio notch on both sidebands of AM); below 0:
    /// none.
    virtual void setSecondNotchCentre(float Hz) = 0;
    virtual void setNotchWidth(float Hz) = 0;
    virtual bool SmoothSpectrum() const = 0;
    virtual void setSmoothSpectrum(bool on) = 0;
    /// Trace gain of the gain slider, a factor (1 = 0 dB).
    virtual float Gain() const = 0;
    virtual void setGain(float g) = 0;
    virtual std::int32_t SpectrumSmooth() const = 0; ///< frames averaged, 1..24
    virtual void setSpectrumSmooth(std::int32_t frames) = 0;
    virtual void setScreenWidth(std::int32_t samples) = 0; ///< Time mode window
    virtual std::int32_t StartBin() const = 0;
    virtual void setStartBin(std::int32_t bin) = 0;
    virtual std::int32_t StopBin() const = 0;
    virtual void setStopBin(std::int32_t bin) = 0;
    virtual void setFStart(std::int32_t Hz) = 0;
    virtual void setFEnd(std::int32_t Hz) = 0;
    virtual std::int32_t FOffset() const = 0; ///< Hz; 0 while the axis shows audio frequency
    virtual bool ReverseSpectrum() const = 0;
    virtual float HzPerBin() const = 0;

    // ---- properties of the current mode ------------------------------------------------------
    virtual bool LogMode() const = 0;
    virtual void setLogMode(bool on) = 0;
    virtual bool FastMode() const = 0;
    virtual void setFastMode(bool on) = 0;
    virtual bool Chn1Enabled() const = 0;
    virtual void setChn1Enabled(bool on) = 0;
    virtual void setChn2Enabled(bool on) = 0;
    virtual bool Chn1Trig() const = 0;
    virtual bool Chn2Trig() const = 0;
    virtual std::int16_t TriggerChn() const = 0;
    virtual void setTriggerChn(std::int16_t chn) = 0;
    virtual float Chn1Gain() const = 0; ///< 0..99
    virtual void setChn1Gain(float g) = 0;
    virtual float Chn2Gain() const = 0;
    virtual void setChn2Gain(float g) = 0;
    virtual float Chn1Shift() const = 0; ///< -100..100
    virtual void setChn1Shift(float shift) = 0;
    virtual float Chn2Shift() const = 0;
    virtual void setChn2Shift(float shift) = 0;

    // ---- the picture under the pointer (x in logical pixels of the display surface) --------
    virtual float DisplayWidth() const = 0; ///< logical pixels
    /// Frequency, Hz, drawn at x (the trace's own mapping, also with a narrowed window).
    virtual double FrequencyAtX(double x) const = 0;
    /// The read-out for x: "#0 000 000" on a radio axis, "###0" on an audio axis.
    virtual std::string FrequencyReadout(double x) const = 0;
    /// Where a left click at x tunes, MHz snapped to whole kHz; nothing on an audio axis or
    /// outside Frequency mode.
    virtual std::optional<double> ClickTuneMHz(double x) const = 0;
};

/// The waterfall under the spectrum: its switch and the level range of its colours.
class WaterfallDisplay {
public:
    virtual ~WaterfallDisplay() = default;
    /// Shown and fed. Switched back on, it starts empty rather than with lines from before.
    virtual bool Enabled() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual float MinDb() const = 0; ///< dBFS of the darkest colour
    virtual void setMinDb(float db) = 0;
    virtual float MaxDb() const = 0; ///< dBFS of red
    virtual void setMaxDb(float db) = 0;
    /// Writes the waterfall's settings into the settings store they were restored from.
    virtual void SaveSettings() const = 0;
};

} // namespace orvex
