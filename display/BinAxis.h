// The frequency axis of the spectrum display as it is drawn: which FFT bin lies under which
// pixel column, and which frequency that bin stands for. The trace, the frequency labels, the
// waterfall, the pointer read-out and click-to-tune all use this one mapping, so the
// frequency under the pointer is always the one the trace shows there, also with a narrowed
// window (StartBin > 0 or StopBin below the full span).
#pragma once

#include <cstdint>

namespace orvex {

struct BinAxis {
    std::int32_t StartBin = 0;    ///< first bin drawn
    std::int32_t StopBin = 1024;  ///< last bin drawn (> StartBin)
    bool ReverseSpectrum = false; ///< true: StartBin at the left edge; false: StopBin there
    double WidthPx = 1024.0;      ///< surface width, logical pixels; bins span x = 0..WidthPx-1
    double HzPerBin = 23.4375;    ///< width of one bin, Hz
    std::int32_t FOffset = 0;     ///< Hz; 0 = the axis shows the bins' own (audio) frequency
    double SpanHz = 24000.0;      ///< half the sample rate, Hz (the IF mirror of the radio axis)

    std::int32_t Bins() const { return StopBin - StartBin; }
    /// Horizontal distance between neighbouring bins, pixels.
    double PxPerBin() const { return Bins() > 0 ? (WidthPx - 1.0) / Bins() : 0.0; }

    /// x (pixels) where bin `bin` (fractional allowed) is drawn.
    double XOfBin(double bin) const {
        return ReverseSpectrum ? (bin - StartBin) * PxPerBin() : (StopBin - bin) * PxPerBin();
    }
    /// Bin (fractional) drawn at x pixels.
    double BinAtX(double x) const {
        const double ppb = PxPerBin();
        if (ppb <= 0.0) return StartBin;
        return ReverseSpectrum ? StartBin + x / ppb : StopBin - x / ppb;
    }

    /// Frequency, Hz, that bin `bin` stands for. With FOffset = 0 it is the bin's own
    /// frequency (the "AF Out" axis). Otherwise it is the received frequency: with
    /// ReverseSpectrum the IF rises with the radio frequency (FOffset + f); without it the IF
    /// is mirrored (FOffset + SpanHz - f), so in both orientations the radio frequency rises
    /// to the right.
    double FrequencyOfBin(double bin) const {
        const double f = bin * HzPerBin;
        if (FOffset == 0) return f;
        return ReverseSpectrum ? FOffset + f : FOffset + SpanHz - f;
    }
    double BinOfFrequency(double hz) const {
        if (HzPerBin <= 0.0) return 0.0;
        if (FOffset == 0) return hz / HzPerBin;
        return ReverseSpectrum ? (hz - FOffset) / HzPerBin : (FOffset + SpanHz - hz) / HzPerBin;
    }
    double FrequencyAtX(double x) const { return FrequencyOfBin(BinAtX(x)); }
    double XOfFrequency(double hz) const { return XOfBin(BinOfFrequency(hz)); }

    bool operator==(const BinAxis&) const = default;
};

} // namespace orvex
