// Lines of a text file whatever system wrote it: LF (Linux), CR LF (Windows) and CR alone (old
// Macintosh editors) all end a line, so no file reads as one long line.
#pragma once

#include <cstddef>
#include <string_view>

namespace orvex {

enum class LineEnd { LF, CRLF, CR };

/// The text of a line end.
constexpr const char* LineEndText(LineEnd end) {
    return end == LineEnd::CRLF ? "\r\n" : end == LineEnd::CR ? "\r" : "\n";
}

/// Steps through the lines of a text. A last line without a line end is a line; an empty
/// text has no lines, and a text ending in a line end has no empty line after it.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    /// The next line, without its line end; false when the text is used up.
    bool next(std::string_view& line) {
        if (m_pos >= m_text.size()) return false;
        const std::size_t end = m_text.find_first_of("\r\n", m_pos);
        if (end == std::string_view::npos) {
            line = m_text.substr(m_pos);
            m_pos = m_text.size();
            m_lastEnd = false;
        } else {
            line = m_text.substr(m_pos, end - m_pos);
            LineEnd kind = LineEnd::LF;
            m_pos = end + 1;
            if (m_text[end] == '\r') {
                kind = LineEnd::CR;
                if (m_pos < m_text.size() && m_text[m_pos] == '\n') {
                    kind = LineEnd::CRLF;
                    ++m_pos;
                }
            }
            if (!m_sawEnd) m_firstEnd = kind;
            m_sawEnd = true;
            m_lastEnd = true;
        }
        ++m_number;
        return true;
    }
    /// 1-based number of the line next() returned last.
    int number() const { return m_number; }
    /// The first line end met so far (LF when none).
    LineEnd firstLineEnd() const { return m_firstEnd; }
    /// True when the line next() returned last had a line end.
    bool lastHadLineEnd() const { return m_lastEnd; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_number = 0;
    LineEnd m_firstEnd = LineEnd::LF;
    bool m_sawEnd = false;
    bool m_lastEnd = false;
};

} // namespace orvex
