#include "bandplan/BandPlanText.h"

#include <cstdint>

namespace orvex {
namespace {

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when not valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t len = 0;
    std::uint32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

} // namespace

std::string CleanText(std::string_view text, bool* changed) {
    std::string out;
    out.reserve(text.size());
    bool replaced = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if (b == '\t') {
                out += ' ';
                replaced = true;
            } else if (b < 0x20 || b == 0x7F) {
                out += '?';
                replaced = true;
            } else {
                out += static_cast<char>(b);
            }
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        if (const std::size_t len = DecodeUtf8(text, i, cp)) {
            if (cp < 0xA0) { // C1 control characters
                out += '?';
                replaced = true;
            } else {
                out.append(text.substr(i, len));
            }
            i += len;
            continue;
        }
        // Not UTF-8: a Latin-1 byte from a file written in a Western code page.
        if (b >= 0xA0)
            AppendUtf8(out, b);
        else
            out += '?';
        replaced = true;
        ++i;
    }
    if (changed) *changed = replaced;
    return out;
}

std::string CutToChars(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == maxChars) return std::string(text.substr(0, i));
        ++chars;
    }
    return std::string(text);
}

std::size_t CharCount(std::string_view text) {
    std::size_t chars = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
    return chars;
}

std::string WhenText(std::time_t t) {
    std::tm local{};
    if (!localtime_r(&t, &local)) return "1970-01-01 00:00:00";
    char buffer[32];
    if (std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return "1970-01-01 00:00:00";
    return buffer;
}

} // namespace orvex
