// Shared set-up for the simulated receiver's tests: scenes from text, a DDS controller tuning a
// simulated receiver through its ports, and spectrum measurements of the IF.
#pragma once

#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "dsp/AlignedVector.h"
#include "dsp/SignalMeasure.h"
#include "dsp/clsFFT.h"
#include "radio/ad9951.h"
#include "sim/Scene.h"
#include "sim/SimulatedReceiver.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace orvex::test {

constexpr int kRate = 48000;

/// A scene parsed from text; fails the test when the text has errors.
inline sim::Scene SceneFrom(const std::string& text) {
    sim::SceneLoadResult r = sim::ParseScene(text, "test.scene");
    EXPECT_TRUE(r.ok()) << r.errorText();
    return r.ok() ? std::move(*r.scene) : sim::Scene{};
}

/// A simulated receiver with the DDS controller tuning it over its control lines, as the
/// program is wired: ad9951 -> RsOutputs -> the receiver's ports -> chip model.
struct SimVfo {
    explicit SimVfo(sim::Scene scene, sim::SimReceiverConfig config = {})
        : scope(messages), receiver(std::move(scene), config) {
        vfo = std::make_unique<ad9951>(store, receiver.Ports());
    }
    /// Start-up as the program does it: init opens the port, programs the chip and sends the
    /// frequency. Bit waits are shortened afterwards so that tests tune quickly.
    void start(int ddsType = 3, int ifType = 1) {
        store.save("VFO1", "IFType", std::to_string(ifType));
        vfo->setDDSType(ddsType);
        vfo->init();
        vfo->Lines().setBitPeriodNs(0);
    }
    std::vector<float> render(double seconds) {
        std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
        receiver.Render(x.data(), static_cast<std::int64_t>(x.size()), kRate);
        return x;
    }

    MemorySettingsStore store;
    RecordingMessageSink messages;
    ScopedMessageSink scope;
    sim::SimulatedReceiver receiver;
    std::unique_ptr<ad9951> vfo; // declared last: released before the receiver
};

/// Averaged one-sided power spectrum (Hann, 50 % overlap) of x with `points`-point transforms,
/// scaled so that the sum over a band of bins is the mean square of what lies in that band (a
/// cosine of amplitude A sums to A^2/2, noise to its variance).
inline std::vector<double> PowerSpectrum(const std::vector<float>& x, int points = 16384) {
    clsFFTReal fft;
    fft.FFTInit(points);
    FloatVector seg(static_cast<std::size_t>(points) + 1), re(seg.size()), im(seg.size());
    std::vector<double> power(static_cast<std::size_t>(points / 2 + 1), 0.0);
    std::vector<double> window(static_cast<std::size_t>(points));
    double w2 = 0.0;
    for (int k = 0; k < points; ++k) {
        window[static_cast<std::size_t>(k)] = 0.5 - 0.5 * std::cos(2.0 * M_PI * (k + 0.5) / points);
        w2 += window[static_cast<std::size_t>(k)] * window[static_cast<std::size_t>(k)];
    }
    int count = 0;
    for (std::size_t at = 0; at + static_cast<std::size_t>(points) <= x.size();
         at += static_cast<std::size_t>(points / 2)) {
        for (int k = 0; k < points; ++k)
            seg[static_cast<std::size_t>(k)] = static_cast<float>(
                x[at + static_cast<std::size_t>(k)] * window[static_cast<std::size_t>(k)]);
        fft.FFT_Real_S_2(seg.data(), re.data(), im.data());
        for (std::size_t k = 0; k < power.size(); ++k) {
            const double sides = (k == 0 || k + 1 == power.size()) ? 1.0 : 2.0;
            power[k] += sides *
                        (static_cast<double>(re[k]) * re[k] + static_cast<double>(im[k]) * im[k]) /
                        (points * w2);
        }
        ++count;
    }
    for (double& p : power)
        p /= std::max(count, 1);
    return power;
}

/// Mean square of what lies between loHz and hiHz.
inline double BandPower(const std::vector<double>& spectrum, double loHz, double hiHz,
                        int rate = kRate) {
    const double bin = static_cast<double>(rate) / (2.0 * static_cast<double>(spectrum.size() - 1));
    double sum = 0.0;
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
        const double f = static_cast<double>(k) * bin;
        if (f >= loHz && f <= hiHz) sum += spectrum[k];
    }
    return sum;
}

/// Refines the frequency of a steady tone near `coarseHz` (within about a hertz) from the
/// phase it gains between the first and second quarter, then the two halves, of x: good to a
/// few millihertz for a strong tone.
inline double RefineFrequency(const std::vector<float>& x, double coarseHz, int rate = kRate) {
    double f = coarseHz;
    for (const std::size_t len : {x.size() / 4, x.size() / 2}) {
        const auto a = measure::MeasureTone(x.data(), len, f, rate);
        const auto b = measure::MeasureTone(x.data() + len, len, f, rate);
        // A tone exactly at f advances by 2 pi f len / rate between the two starts.
        const double seconds = static_cast<double>(len) / rate;
        const double dphi =
            std::remainder(b.phase - a.phase - 2.0 * M_PI * f * seconds, 2.0 * M_PI);
        f += dphi / (2.0 * M_PI * seconds);
    }
    return f;
}

/// The frequency of the strongest component between loHz and hiHz: the spectrum's peak,
/// interpolated, then refined by RefineFrequency.
inline double StrongestFrequency(const std::vector<float>& x, double loHz, double hiHz,
                                 int rate = kRate) {
    const auto spectrum = PowerSpectrum(x);
    const double bin = static_cast<double>(rate) / (2.0 * static_cast<double>(spectrum.size() - 1));
    std::size_t best = 0;
    for (std::size_t k = 1; k + 1 < spectrum.size(); ++k) {
        const double f = static_cast<double>(k) * bin;
        if (f >= loHz && f <= hiHz && (best == 0 || spectrum[k] > spectrum[best])) best = k;
    }
    if (best == 0) return 0.0;
    // Parabola through the log powers of the peak and its neighbours.
    const double l = std::log(spectrum[best - 1] + 1e-30), c = std::log(spectrum[best] + 1e-30),
                 r = std::log(spectrum[best + 1] + 1e-30);
    const double denom = l - 2.0 * c + r;
    const double shift = denom != 0.0 ? 0.5 * (l - r) / denom : 0.0;
    return RefineFrequency(x, (static_cast<double>(best) + shift) * bin, rate);
}

/// Amplitude of the tone at freqHz (Hann-windowed correlation over the whole of x).
inline double ToneAmplitude(const std::vector<float>& x, double freqHz, int rate = kRate) {
    return measure::MeasureTone(x, freqHz, rate).amplitude;
}

} // namespace orvex::test
