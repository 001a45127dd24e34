// INI files as the band plans and the settings files use them: the lookup rules of the classic
// private-profile calls, with edits that keep a hand-written file as it was and saves that never
// leave half a file.
//
// Reading:
//  - a line "[name]" starts a section; "key=value" is a key; lines starting with ';' or '#'
//    are comments; blank lines are kept as they are.
//  - section and key names are matched without regard to ASCII letter case; names and values
//    are trimmed of surrounding blanks.
//  - the first section of a name and, inside it, the first key of a name are the ones read;
//    later duplicates are kept in the file but never read (and are reported).
//  - a missing key gives the caller's default; a file that does not exist reads as empty.
//  - anything else (a line with no '=', a header without ']', a key before the first section)
//    is kept untouched when the file is written back, never read, and reported.
// Writing a key updates its line in place; a new key goes after the last key of its section,
// a new section at the end of the file. Every other line, comment and the order are kept, and
// so are the file's line ends (LF, CR LF or CR alone, as its first line end) and a leading UTF-8
// byte-order mark.
#pragma once

#include "core/SafeFile.h"
#include "core/TextLines.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvex {

/// Largest file the INI module reads (bytes). A band plan is a few tens of kilobytes; a file
/// beyond this is refused on read, and never overwritten, so nothing in it is lost.
inline constexpr std::uint64_t kMaxIniFileSize = 64ull * 1024 * 1024;

/// Hash and equality of section and key names without regard to ASCII letter case; they take
/// string views, so lookups need no lower-case copy.
struct IniNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
};
struct IniNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
using IniNameIndex = std::unordered_map<std::string, std::size_t, IniNameHash, IniNameEqual>;

/// One line the reader could not use, with the reason (1-based line number).
struct IniProblem {
    int line = 0;
    std::string text;   // the line as found, cut to 80 bytes
    std::string reason; // e.g. "not a section header or key=value line"
};

/// What a lookup found: the trimmed value and the line it came from (1-based).
struct IniValue {
    std::string value;
    int line = 0;
};

/// An INI file held in memory line by line.
class IniDocument {
public:
    IniDocument() = default;

    /// Parses text. Never fails: lines that cannot be used are kept and listed in problems().
    static IniDocument Parse(std::string_view text);

    /// The first key of that name in the first section of that name (letter case ignored).
    std::optional<IniValue> find(std::string_view section, std::string_view key) const;
    /// The value, or defaultValue when the section or key is missing.
    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const;
    bool hasSection(std::string_view section) const;
    /// The names of the sections that are read, in file order.
    std::vector<std::string> sectionNames() const;

    /// Sets a key: updates the first matching key line in place (its name keeps the letter case
    /// found in the file), or adds "key=value" after the last key of the section, or appends
    /// the section. Line breaks in the value become spaces, since a value is one line. Returns
    /// false, changing nothing, when the section name holds ']' or a line break, or the key
    /// is empty, starts with '[', ';' or '#', or holds '=' or a line break.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    /// Removes every line of that key in the first section of that name; true if one was found.
    bool remove(std::string_view section, std::string_view key);
    /// Removes the first section of that name when it holds only blank lines (no key, no
    /// comment, nothing else) and no later section has the same name; true if it was removed.
    bool removeSectionIfEmpty(std::string_view section);

    /// The file's text: every line kept, in order, with the file's line ends.
    std::string text() const;

    const std::vector<IniProblem>& problems() const { return m_problems; }
    std::size_t lineCount() const;

private:
    enum class LineKind { Blank, Comment, Key, Garbage };
    struct Line {
        LineKind kind = LineKind::Blank;
        std::string raw;  // the whole line as written, without its line end
        std::string name; // Key: the key as written, trimmed
        std::string value;
        int number = 0; // 1-based line in the parsed text; 0 for added lines
    };
    struct Section {
        bool hasHeader = false; // false for the lines before the first header
        bool valid = true;      // false for a header without ']' (its keys are never read)
        std::string headerRaw;
        std::string name;
        int headerLine = 0;
        std::vector<Line> lines;
        IniNameIndex keys; // key -> index in lines of its first occurrence
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    static void IndexKeys(Section& section, std::vector<IniProblem>* problems);
    void rebuildSectionIndex();

    std::vector<Section> m_sections;
    IniNameIndex m_sectionIndex; // name -> index in m_sections of its first occurrence
    std::vector<IniProblem> m_problems;
    LineEnd m_lineEnd = LineEnd::LF;
    bool m_bom = false;
};

/// File errors of the INI module (the project-wide file error).
using IniFileError = FileError;

/// Reads path into doc. A file that does not exist gives an empty document and true (with
/// *missing set when given). Any other failure (no permission, a folder, larger than
/// kMaxIniFileSize) returns false with the reason; doc is then empty.
bool ReadIniFile(const std::string& path, IniDocument& doc, IniFileError* error = nullptr,
                 bool* missing = nullptr);

/// Saves doc to path with the safe writer (core/SafeFile.h): replaced whole, or not at all.
bool WriteIniFile(const std::string& path, const IniDocument& doc, IniFileError* error = nullptr);

/// Case-insensitive (ASCII) equality of names.
bool IniNameEquals(std::string_view a, std::string_view b);

} // namespace orvex
