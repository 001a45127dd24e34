#include "SignalMeasure.h"

#include <cmath>
#include <complex>

namespace orvex::measure {

Tone MeasureTone(const float* x, std::size_t n, double freqHz, double sampleRate) {
    if (n == 0) return {};
    const double w = 2.0 * M_PI * freqHz / sampleRate;
    std::complex<double> acc = 0.0;
    double windowSum = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * (static_cast<double>(k) + 0.5) / n);
        acc += hann * static_cast<double>(x[k]) * std::polar(1.0, -w * static_cast<double>(k));
        windowSum += hann;
    }
    // A cosine of amplitude A correlates to A/2 times the window sum (the negative-frequency
    // half is rejected by the taper).
    const std::complex<double> a = 2.0 * acc / windowSum;
    return Tone{std::abs(a), std::arg(a)};
}

Tone MeasureTone(const std::vector<float>& x, double freqHz, double sampleRate) {
    return MeasureTone(x.data(), x.size(), freqHz, sampleRate);
}

double Rms(const float* x, std::size_t n) {
    if (n == 0) return 0.0;
    double s = 0.0;
    for (std::size_t k = 0; k < n; ++k)
        s += static_cast<double>(x[k]) * x[k];
    return std::sqrt(s / static_cast<double>(n));
}

double Rms(const std::vector<float>& x) {
    return Rms(x.data(), x.size());
}

double Db(double a, double b) {
    if (a <= 0.0 || b <= 0.0) return -300.0;
    return 20.0 * std::log10(a / b);
}

double PeakFrequency(const float* x, std::size_t n, double sampleRate, double loHz, double hiHz) {
    // Coarse search on a grid of a quarter bin, then golden-section refinement.
    const double bin = sampleRate / static_cast<double>(n);
    double best = loHz;
    double bestA = -1.0;
    for (double f = loHz; f <= hiHz; f += bin / 4.0) {
        const double a = MeasureTone(x, n, f, sampleRate).amplitude;
        if (a > bestA) {
            bestA = a;
            best = f;
        }
    }
    double lo = best - bin / 4.0;
    double hi = best + bin / 4.0;
    for (int it = 0; it < 40; ++it) {
        const double m1 = lo + (hi - lo) * 0.382;
        const double m2 = lo + (hi - lo) * 0.618;
        if (MeasureTone(x, n, m1, sampleRate).amplitude >
            MeasureTone(x, n, m2, sampleRate).amplitude)
            hi = m2;
        else
            lo = m1;
    }
    return 0.5 * (lo + hi);
}

std::vector<float> MakeTone(std::size_t n, double freqHz, double sampleRate, double amplitude,
                            double phase) {
    std::vector<float> x(n);
    const double w = 2.0 * M_PI * freqHz / sampleRate;
    for (std::size_t k = 0; k < n; ++k)
        x[k] = static_cast<float>(amplitude * std::cos(w * static_cast<double>(k) + phase));
    return x;
}

} // namespace orvex::measure
