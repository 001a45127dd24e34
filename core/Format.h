// The number-pattern formatter behind every numeric caption, label and tool tip.
#pragma once

#include <string>
#include <string_view>

namespace orvex {

/// Formats value with a display pattern such as "#,##0 uS", "#0.00 dB", "# ###.0" or
/// "#0.000 000;(#0.000 000)".
///
///  - `#` is an optional digit and `0` a required digit. Integer digits are right-aligned to
///    the placeholders; digits that do not fit go before the leftmost one. Decimal places after
///    the last `0` that would show trailing zeros are left out, and so is a decimal point with
///    no decimal digit after it.
///  - A comma between integer placeholders groups thousands with commas; `.` is the decimal
///    point.
///  - `%` multiplies the value by 100 and is shown as a per-cent sign.
///  - A `;` separates the pattern for negative values, which are then shown without their sign;
///    without it a negative value gets a leading minus sign. A value that rounds to zero is
///    never shown negative.
///  - Every other character, spaces included, is copied unchanged at its place.
///
/// Rounding is to the number of decimal places in the pattern, halves away from zero, on the
/// value's 15-significant-digit decimal form (so 0.015 with "0.00" gives "0.02").
/// A pattern with no digit placeholder returns its literal text. Infinity and NaN format
/// as "Inf" and "NaN".
std::string FormatNumber(double value, std::string_view pattern);

} // namespace orvex
