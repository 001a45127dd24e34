// Text helpers for band-plan captions, descriptions and time stamps.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace orvex {

/// Makes a value from a file safe to show as a caption or tool tip, as UTF-8 text: valid UTF-8
/// is kept; a tab becomes a space; other control characters (C0, DEL, C1) become '?'; a byte
/// that is not part of valid UTF-8 is taken as Latin-1 (files written on Windows in a Western
/// code page), or '?' when it would be a control character. *changed tells whether anything
/// was replaced.
std::string CleanText(std::string_view text, bool* changed = nullptr);

/// The first maxChars characters (UTF-8 code points) of text.
std::string CutToChars(std::string_view text, std::size_t maxChars);

/// Number of characters (UTF-8 code points) in text.
std::size_t CharCount(std::string_view text);

/// The stored-preset time stamp of t in local time: "YYYY-MM-DD HH:MM:SS" (the date is the
/// first 10 characters, the time the 8 from position 12, as the preset editor splits it).
std::string WhenText(std::time_t t);

} // namespace orvex
