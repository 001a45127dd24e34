// Measurements a listener or a meter would make on a block of samples: the level and phase of
// a tone, the RMS level, the strongest frequency. Used by the command-line tool's reports and
// by the signal tests; not in the block path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex::measure {

struct Tone {
    double amplitude = 0.0; ///< peak amplitude of the tone
    double phase = 0.0;     ///< phase in radians of a cosine at sample 0 (-pi..pi)
};

/// Amplitude and phase of the tone at freqHz in x[0..n), by correlation with a cosine and a
/// sine over the span, with a Hann taper so that other tones leak little. Tones closer than
/// about 4 fs/n Hz to freqHz are not separated.
Tone MeasureTone(const float* x, std::size_t n, double freqHz, double sampleRate);
Tone MeasureTone(const std::vector<float>& x, double freqHz, double sampleRate);

/// Root-mean-square level of x[0..n).
double Rms(const float* x, std::size_t n);
double Rms(const std::vector<float>& x);

/// 20 log10(a / b), with a floor of -300 dB for a zero numerator.
double Db(double a, double b);

/// Frequency of the strongest component of x between loHz and hiHz, refined between bins;
/// resolution better than fs/n.
double PeakFrequency(const float* x, std::size_t n, double sampleRate, double loHz, double hiHz);

/// n samples of amplitude cos(2 pi f k / fs + phase).
std::vector<float> MakeTone(std::size_t n, double freqHz, double sampleRate, double amplitude,
                            double phase = 0.0);

} // namespace orvex::measure
