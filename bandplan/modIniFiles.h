// The private-profile pair of the INI module: one value read from or written into an INI file
// by section and key, as the band plans use them. The file handling itself (the lookup rules,
// edits that keep a hand-written file as it was, saves that never leave half a file) is
// core/IniDocument.h.
#pragma once

#include "core/IniDocument.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex {

/// Size of the value buffer of ProfileGetItem: values are cut to one less than this many bytes
/// (at a character boundary), as the private-profile read into a 2048-character buffer does.
inline constexpr std::size_t kProfileBufferSize = 2048;

/// One value as text, as the private-profile read gives it: the trimmed value of key in
/// section of fileName, or defaultValue when missing, cut to kProfileBufferSize - 1 bytes.
/// Field 0 returns the whole value. Field n >= 1 treats the value as a comma-separated list:
/// n - 1 commas are skipped (when the list runs out first the result is empty) and the text up
/// to the next comma, or to the end, is returned. A negative field is taken as 0.
/// A file that cannot be read shows "ProfileGetItemError: " + errno + " " + reason with the
/// critical icon and returns an empty text.
std::string ProfileGetItem(std::string_view section, std::string_view key,
                           std::string_view defaultValue, const std::string& fileName,
                           int field = 0);

/// A value cut to kProfileBufferSize - 1 bytes without splitting a UTF-8 character.
std::string CutToProfileBuffer(std::string value);

/// Applies the field rule of ProfileGetItem to a value.
std::string ProfileField(std::string_view value, int field);

/// Writes one value into fileName (created when missing), keeping everything else in the file.
/// A failure shows "ProfileSaveItem: " + errno + " " + reason with the critical icon and
/// returns false; the file is then unchanged.
bool ProfileSaveItem(std::string_view section, std::string_view key, std::string_view value,
                     const std::string& fileName);

} // namespace orvex
