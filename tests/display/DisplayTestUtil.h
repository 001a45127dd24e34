// Signals and image measurements shared by the display tests.
#pragma once

#include "display/clsSpectrumAnalyser.h"

#include <QImage>
#include <cmath>
#include <cstdint>
#include <vector>

namespace orvex::testutil {

inline constexpr double kRate = 48000.0;
inline constexpr double kHzPerBin = 23.4375;

/// Adds a tone A cos(2 pi f n / 48000) to a block of 2048 samples.
inline void AddTone(std::vector<float>& block, double hz, double amplitude) {
    for (std::size_t n = 0; n < block.size(); ++n)
        block[n] += static_cast<float>(amplitude * std::cos(2.0 * M_PI * hz * n / kRate));
}

inline std::vector<float> Tone(double hz, double amplitude) {
    std::vector<float> block(2048, 0.0f);
    AddTone(block, hz, amplitude);
    return block;
}

/// The analyser as the window sets it up: 48000 Hz, 2048 points, the full span, active.
inline void StartUp(clsSpectrumAnalyser& a, QSize size, std::int32_t fEnd = 24000) {
    a.setSurfaceSize(size);
    a.setFSampling(48000);
    a.setOrder(11);
    a.setFStart(0);
    a.setFEnd(fEnd);
    a.init();
    a.setActive(true);
}

/// Pixels of exactly this colour.
inline bool Is(const QImage& img, int x, int y, QRgb colour) {
    return (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
}

/// x of the highest pixel of the colour (the trace's peak); -1 when there is none. Among
/// pixels on the same highest row, the middle one.
inline double PeakX(const QImage& img, QRgb colour) {
    for (int y = 0; y < img.height(); ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < img.width(); ++x)
            if (Is(img, x, y, colour)) {
                if (first < 0) first = x;
                last = x;
            }
        if (first >= 0) return 0.5 * (first + last);
    }
    return -1.0;
}

inline int CountColour(const QImage& img, const QRect& r, QRgb colour) {
    int n = 0;
    const QRect area = r.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += Is(img, x, y, colour) ? 1 : 0;
    return n;
}

} // namespace orvex::testutil
