// Small painting helpers shared by the display engines.
#pragma once

#include "core/Colours.h"

#include <QColor>
#include <QFont>

namespace orvex {

/// A front-panel colour (0xBBGGRR, red in the low byte) as a QColor.
inline QColor PanelColourToQColor(PanelColour c) {
    return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | ToRgb(c)));
}

/// The panel's small scale font: Tahoma at 7 points on a 96 dpi screen, that is 9 pixels
/// high (logical pixels, so it grows with the screen's scale factor). Where Tahoma is not
/// installed the nearest sans-serif face stands in. Drawn without anti-aliasing.
inline QFont PanelFont() {
    QFont font(QStringLiteral("Tahoma"));
    // Crisp text in the panel's exact colours, as on the small scales of a receiver's panel.
    font.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
    font.setPixelSize(9);
    return font;
}

} // namespace orvex
