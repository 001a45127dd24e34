// One-pixel solid lines written straight into an RGB32 image: the traces are long polylines
// of short segments, which this draws several times faster than a painter's general stroker.
// Coordinates are logical pixels (scaled by the image's device pixel ratio); segments are
// clipped to the image, so any finite coordinates are safe.
#pragma once

#include <QImage>
#include <QPointF>

namespace orvex {

/// Draws the polyline through pts[0..n-1] in colour (0xAARRGGBB) into img (Format_RGB32).
void DrawPolyline(QImage& img, const QPointF* pts, int n, QRgb colour);

} // namespace orvex
