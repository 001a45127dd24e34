#include "display/LineRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvex {

namespace {

/// Liang-Barsky clipping of the segment to [lo, hi] in both axes; false when nothing is left.
bool Clip(double& x0, double& y0, double& x1, double& y1, double xHi, double yHi) {
    constexpr double lo = -0.5;
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - lo, xHi - x0, y0 - lo, yHi - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ax = x0, ay = y0;
    x0 = ax + t0 * dx;
    y0 = ay + t0 * dy;
    x1 = ax + t1 * dx;
    y1 = ay + t1 * dy;
    return true;
}

} // namespace

void DrawPolyline(QImage& img, const QPointF* pts, int n, QRgb colour) {
    if (n < 2 || img.isNull()) return;
    const double dpr = img.devicePixelRatio();
    const int w = img.width();
    const int h = img.height();
    uchar* bits = img.bits();
    const qsizetype stride = img.bytesPerLine();
    const auto plot = [&](int x, int y) { reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour; };
    for (int i = 1; i < n; ++i) {
        double x0 = pts[i - 1].x() * dpr, y0 = pts[i - 1].y() * dpr;
        double x1 = pts[i].x() * dpr, y1 = pts[i].y() * dpr;
        if (!std::isfinite(x0 + y0 + x1 + y1)) continue;
        if (!Clip(x0, y0, x1, y1, w - 0.5, h - 0.5)) continue;
        // Bresenham between the nearest pixels, both ends drawn.
        int ix0 = std::clamp(static_cast<int>(std::lround(x0)), 0, w - 1);
        int iy0 = std::clamp(static_cast<int>(std::lround(y0)), 0, h - 1);
        const int ix1 = std::clamp(static_cast<int>(std::lround(x1)), 0, w - 1);
        const int iy1 = std::clamp(static_cast<int>(std::lround(y1)), 0, h - 1);
        const int dx = std::abs(ix1 - ix0), sx = ix0 < ix1 ? 1 : -1;
        const int dy = -std::abs(iy1 - iy0), sy = iy0 < iy1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            plot(ix0, iy0);
            if (ix0 == ix1 && iy0 == iy1) break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                ix0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                iy0 += sy;
            }
        }
    }
}

} // namespace orvex
