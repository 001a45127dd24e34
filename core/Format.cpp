#include "Format.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace orvex {
namespace {

bool IsPlaceholder(char c) {
    return c == '#' || c == '0';
}

// One section of a pattern, split around its digit area.
struct Section {
    std::string prefix;    // literal text before the first placeholder
    std::string intPart;   // integer placeholders and literals, commas removed
    std::string fracPart;  // decimal placeholders and literals
    std::string suffix;    // literal text after the last placeholder
    bool grouping = false; // a comma sat between integer placeholders
    bool hasPoint = false;
    bool percent = false;
    bool hasDigits = false;
};

Section ParseSection(std::string_view pat) {
    Section s;
    s.percent = pat.find('%') != std::string_view::npos;
    const auto first = pat.find_first_of("#0");
    if (first == std::string_view::npos) {
        s.prefix = std::string(pat);
        return s;
    }
    s.hasDigits = true;
    const auto last = pat.find_last_of("#0");
    s.prefix = std::string(pat.substr(0, first));
    s.suffix = std::string(pat.substr(last + 1));
    std::string_view area = pat.substr(first, last - first + 1);
    const auto point = area.find('.');
    std::string_view intArea = area.substr(0, point);
    if (point != std::string_view::npos) {
        s.hasPoint = true;
        s.fracPart = std::string(area.substr(point + 1));
    }
    for (char c : intArea) {
        if (c == ',') {
            s.grouping = true;
            continue;
        }
        s.intPart.push_back(c);
    }
    return s;
}

// |value| rounded half away from zero to `decimals` places, as integer and decimal digit text.
// The integer text has no leading zeros ("" for zero); the decimal text has `decimals` digits.
void RoundDecimal(double absValue, int decimals, std::string& intDigits, std::string& fracDigits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", absValue); // 15 significant digits
    std::string mant;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') mant.push_back(*p);
    const int exp10 = (*p == 'e') ? std::atoi(p + 1) : 0;
    int pointPos = exp10 + 1; // digits of mant before the decimal point
    if (pointPos <= 0) {
        mant.insert(0, static_cast<std::size_t>(-pointPos), '0');
        pointPos = 0;
    }
    if (static_cast<int>(mant.size()) < pointPos + decimals + 1)
        mant.append(
            static_cast<std::size_t>(pointPos + decimals + 1 - static_cast<int>(mant.size())), '0');
    std::string kept = mant.substr(0, static_cast<std::size_t>(pointPos + decimals));
    const bool roundUp = mant[static_cast<std::size_t>(pointPos + decimals)] >= '5';
    if (roundUp) {
        int i = static_cast<int>(kept.size()) - 1;
        for (; i >= 0; --i) {
            if (kept[static_cast<std::size_t>(i)] == '9') {
                kept[static_cast<std::size_t>(i)] = '0';
            } else {
                ++kept[static_cast<std::size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            kept.insert(kept.begin(), '1');
            ++pointPos;
        }
    }
    intDigits = kept.substr(0, static_cast<std::size_t>(pointPos));
    fracDigits = kept.substr(static_cast<std::size_t>(pointPos));
    const auto nz = intDigits.find_first_not_of('0');
    intDigits = (nz == std::string::npos) ? std::string() : intDigits.substr(nz);
}

std::string FormatIntegerPart(const Section& s, std::string digits) {
    // Required digits: every placeholder from the leftmost '0' to the right end.
    int placeholders = 0;
    int required = 0;
    bool seenZero = false;
    for (char c : s.intPart) {
        if (!IsPlaceholder(c)) continue;
        if (c == '0') seenZero = true;
        ++placeholders;
        if (seenZero) ++required;
    }
    if (static_cast<int>(digits.size()) < required)
        digits.insert(0, static_cast<std::size_t>(required - static_cast<int>(digits.size())), '0');
    if (s.grouping && digits.size() > 3) {
        std::string grouped;
        const std::size_t lead = digits.size() % 3;
        for (std::size_t i = 0; i < digits.size(); ++i) {
            if (i != 0 && (i % 3) == lead % 3) grouped.push_back(',');
            grouped.push_back(digits[i]);
        }
        // Commas count as part of the leftmost overflow, not as placeholders.
        digits = grouped;
    }
    // Walk the integer pattern from the right, placing digits (a comma-grouped run is one
    // unit from its right end so its commas stay with their digits).
    std::string out;
    int d = static_cast<int>(digits.size()) - 1;
    int placeholdersLeft = placeholders;
    for (int i = static_cast<int>(s.intPart.size()) - 1; i >= 0; --i) {
        const char c = s.intPart[static_cast<std::size_t>(i)];
        if (!IsPlaceholder(c)) {
            out.insert(out.begin(), c);
            continue;
        }
        --placeholdersLeft;
        if (placeholdersLeft == 0) {
            // Leftmost placeholder takes every digit that is left.
            if (d >= 0) out.insert(0, digits.substr(0, static_cast<std::size_t>(d + 1)));
            d = -1;
        } else if (d >= 0) {
            // Keep grouping commas attached to the digit on their right.
            out.insert(out.begin(), digits[static_cast<std::size_t>(d)]);
            --d;
            if (d >= 0 && digits[static_cast<std::size_t>(d)] == ',') {
                out.insert(out.begin(), ',');
                --d;
            }
        }
    }
    return out;
}

std::string FormatFractionPart(const Section& s, const std::string& fracDigits) {
    // Index of the last placeholder that must be shown: the last '0', or the last non-zero
    // digit under a '#'.
    int lastShown = -1;
    int k = 0;
    for (char c : s.fracPart) {
        if (!IsPlaceholder(c)) continue;
        if (c == '0' || fracDigits[static_cast<std::size_t>(k)] != '0') lastShown = k;
        ++k;
    }
    std::string out;
    k = 0;
    for (char c : s.fracPart) {
        if (IsPlaceholder(c)) {
            if (k > lastShown) break;
            out.push_back(fracDigits[static_cast<std::size_t>(k)]);
            ++k;
        } else {
            if (k > lastShown) break;
            out.push_back(c);
        }
    }
    return out;
}

std::string FormatSection(const Section& s, double absValue) {
    if (!s.hasDigits) return s.prefix;
    if (s.percent) absValue *= 100.0;
    int decimals = 0;
    for (char c : s.fracPart)
        if (IsPlaceholder(c)) ++decimals;
    std::string intDigits;
    std::string fracDigits;
    RoundDecimal(absValue, decimals, intDigits, fracDigits);
    std::string out = s.prefix + FormatIntegerPart(s, intDigits);
    const std::string frac = FormatFractionPart(s, fracDigits);
    if (s.hasPoint && !frac.empty()) out += "." + frac;
    out += s.suffix;
    return out;
}

} // namespace

std::string FormatNumber(double value, std::string_view pattern) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    const auto semi = pattern.find(';');
    const Section positive = ParseSection(pattern.substr(0, semi));
    if (value < 0 && semi != std::string_view::npos) {
        const Section negative = ParseSection(pattern.substr(semi + 1));
        return FormatSection(negative, -value);
    }
    std::string text = FormatSection(positive, std::fabs(value));
    if (value < 0 && text.find_first_of("123456789") != std::string::npos) text = "-" + text;
    return text;
}

} // namespace orvex
