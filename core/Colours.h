// Colours as the front panel stores them: 24-bit values with red in the low byte
// (0xBBGGRR), so 255 is red and 65280 green.
#pragma once

#include <cstdint>

namespace orvex {

using PanelColour = std::uint32_t;

/// Caption of the selected or hovered control (mode buttons, filter presets, wheel labels).
constexpr PanelColour kColourSelected = 0xFFFF00;
/// Caption of a resting control.
constexpr PanelColour kColourResting = 0xC0C000;
/// Plain colours used by labels and check boxes.
constexpr PanelColour kColourRed = 0x0000FF;     // 255
constexpr PanelColour kColourDarkRed = 0x0000C0; // 192
constexpr PanelColour kColourGreen = 0x00FF00;   // 65280
constexpr PanelColour kColourWhite = 0xFFFFFF;
constexpr PanelColour kColourBlack = 0x000000;

constexpr std::uint8_t RedOf(PanelColour c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t GreenOf(PanelColour c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t BlueOf(PanelColour c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

/// The same colour as 0xRRGGBB, the order Qt's QColor::fromRgb(QRgb) expects.
constexpr std::uint32_t ToRgb(PanelColour c) {
    return (static_cast<std::uint32_t>(RedOf(c)) << 16) |
           (static_cast<std::uint32_t>(GreenOf(c)) << 8) | BlueOf(c);
}

} // namespace orvex
