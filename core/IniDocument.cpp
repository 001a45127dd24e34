#include "core/IniDocument.h"

#include <algorithm>

namespace orvex {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Excerpt(std::string_view line) {
    constexpr std::size_t kMax = 80;
    return line.size() <= kMax ? std::string(line) : std::string(line.substr(0, kMax)) + "...";
}

std::string OneLine(std::string_view value) {
    std::string out(value);
    for (auto& c : out)
        if (c == '\n' || c == '\r') c = ' ';
    return out;
}

bool HasLineBreak(std::string_view s) {
    return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
}

} // namespace

bool IniNameEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::size_t IniNameHash::operator()(std::string_view name) const {
    std::size_t h = 14695981039346656037ull; // FNV-1a over the lower-case bytes
    for (const char c : name) {
        h ^= static_cast<unsigned char>(LowerAscii(c));
        h *= 1099511628211ull;
    }
    return h;
}

bool IniNameEqual::operator()(std::string_view a, std::string_view b) const {
    return IniNameEquals(a, b);
}

// ---- parsing ----

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.m_bom = true;
        text.remove_prefix(3);
    }
    doc.m_sections.emplace_back(); // the lines before the first header
    LineReader lines(text);
    std::string_view raw;
    while (lines.next(raw)) {
        const int number = lines.number();
        const std::string_view trimmed = Trim(raw);
        if (!trimmed.empty() && trimmed.front() == '[') {
            Section section;
            section.hasHeader = true;
            section.headerRaw = std::string(raw);
            section.headerLine = number;
            const auto close = trimmed.find(']');
            if (close == std::string_view::npos) {
                section.valid = false;
                doc.m_problems.push_back({number, Excerpt(raw),
                                          "section header without ']': the keys below it up to "
                                          "the next section are not read"});
            } else {
                section.name = std::string(Trim(trimmed.substr(1, close - 1)));
            }
            doc.m_sections.push_back(std::move(section));
            continue;
        }
        Line line;
        line.raw = std::string(raw);
        line.number = number;
        if (trimmed.empty()) {
            line.kind = LineKind::Blank;
        } else if (trimmed.front() == ';' || trimmed.front() == '#') {
            line.kind = LineKind::Comment;
        } else if (const auto eq = trimmed.find('=');
                   eq != std::string_view::npos && eq > 0 && !Trim(trimmed.substr(0, eq)).empty()) {
            line.kind = LineKind::Key;
            line.name = std::string(Trim(trimmed.substr(0, eq)));
            line.value = std::string(Trim(trimmed.substr(eq + 1)));
        } else {
            line.kind = LineKind::Garbage;
            doc.m_problems.push_back({number, Excerpt(raw),
                                      eq == std::string_view::npos
                                          ? "not a section header or key=value line"
                                          : "key=value line without a key name"});
        }
        doc.m_sections.back().lines.push_back(std::move(line));
    }

    doc.m_lineEnd = lines.firstLineEnd();

    // Keys before the first header belong to no section and are never read.
    for (auto& line : doc.m_sections.front().lines)
        if (line.kind == LineKind::Key)
            doc.m_problems.push_back(
                {line.number, Excerpt(line.raw), "key before the first section: not read"});

    IniNameIndex first;
    for (std::size_t i = 1; i < doc.m_sections.size(); ++i) {
        Section& s = doc.m_sections[i];
        if (!s.valid) continue;
        const auto [it, inserted] = first.emplace(s.name, i);
        if (inserted) {
            IndexKeys(s, &doc.m_problems);
        } else {
            doc.m_problems.push_back({s.headerLine, Excerpt(s.headerRaw),
                                      "duplicate section (first at line " +
                                          std::to_string(doc.m_sections[it->second].headerLine) +
                                          "): its keys are not read"});
        }
    }
    doc.m_sectionIndex = std::move(first);
    std::sort(doc.m_problems.begin(), doc.m_problems.end(),
              [](const IniProblem& a, const IniProblem& b) { return a.line < b.line; });
    return doc;
}

void IniDocument::IndexKeys(Section& section, std::vector<IniProblem>* problems) {
    section.keys.clear();
    for (std::size_t k = 0; k < section.lines.size(); ++k) {
        const Line& line = section.lines[k];
        if (line.kind != LineKind::Key) continue;
        const auto [it, inserted] = section.keys.emplace(line.name, k);
        if (!inserted && problems)
            problems->push_back({line.number, Excerpt(line.raw),
                                 "duplicate key (first at line " +
                                     std::to_string(section.lines[it->second].number) +
                                     "): not read"});
    }
}

void IniDocument::rebuildSectionIndex() {
    m_sectionIndex.clear();
    for (std::size_t i = 1; i < m_sections.size(); ++i) {
        if (!m_sections[i].valid) continue;
        // A duplicate that has become the first of its name is read from now on.
        if (m_sectionIndex.emplace(m_sections[i].name, i).second) IndexKeys(m_sections[i], nullptr);
    }
}

// ---- lookups ----

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
    const auto it = m_sectionIndex.find(name);
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
    const auto it = m_sectionIndex.find(name);
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

std::optional<IniValue> IniDocument::find(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    const auto it = s->keys.find(Trim(key));
    if (it == s->keys.end()) return std::nullopt;
    const Line& line = s->lines[it->second];
    return IniValue{line.value, line.number};
}

std::string IniDocument::get(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const {
    const auto v = find(section, key);
    return v ? v->value : std::string(defaultValue);
}

bool IniDocument::hasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

std::vector<std::string> IniDocument::sectionNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 1; i < m_sections.size(); ++i)
        if (const auto it = m_sectionIndex.find(m_sections[i].name);
            it != m_sectionIndex.end() && it->second == i)
            names.push_back(m_sections[i].name);
    return names;
}

std::size_t IniDocument::lineCount() const {
    std::size_t n = 0;
    for (const auto& s : m_sections)
        n += s.lines.size() + (s.hasHeader ? 1 : 0);
    return n;
}

// ---- edits ----

bool IniDocument::set(std::string_view sectionName, std::string_view keyName,
                      std::string_view value) {
    const std::string_view key = Trim(keyName);
    const std::string_view section = Trim(sectionName);
    if (key.empty() || key.find('=') != std::string_view::npos || HasLineBreak(key) ||
        key.front() == '[' || key.front() == ';' || key.front() == '#')
        return false;
    if (section.find(']') != std::string_view::npos || HasLineBreak(section)) return false;
    const std::string text = std::string(Trim(OneLine(value)));

    if (m_sections.empty()) m_sections.emplace_back();
    Section* s = findSection(section);
    if (!s) {
        Section added;
        added.hasHeader = true;
        added.name = std::string(section);
        added.headerRaw = "[" + added.name + "]";
        m_sections.push_back(std::move(added));
        m_sectionIndex.emplace(std::string(section), m_sections.size() - 1);
        s = &m_sections.back();
    }
    const auto it = s->keys.find(key);
    if (it != s->keys.end()) {
        Line& line = s->lines[it->second];
        line.value = text;
        line.raw = line.name + "=" + text;
        return true;
    }
    // After the last key of the section, or right below its header.
    std::size_t at = 0;
    for (std::size_t k = 0; k < s->lines.size(); ++k)
        if (s->lines[k].kind == LineKind::Key) at = k + 1;
    Line line;
    line.kind = LineKind::Key;
    line.name = std::string(key);
    line.value = text;
    line.raw = line.name + "=" + text;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    IndexKeys(*s, nullptr);
    return true;
}

bool IniDocument::remove(std::string_view section, std::string_view key) {
    Section* s = findSection(section);
    if (!s) return false;
    const std::string_view name = Trim(key);
    if (s->keys.find(name) == s->keys.end()) return false;
    std::erase_if(s->lines, [&](const Line& line) {
        return line.kind == LineKind::Key && IniNameEquals(line.name, name);
    });
    IndexKeys(*s, nullptr);
    return true;
}

bool IniDocument::removeSectionIfEmpty(std::string_view section) {
    const auto it = m_sectionIndex.find(section);
    if (it == m_sectionIndex.end()) return false;
    const Section& s = m_sections[it->second];
    for (const auto& line : s.lines)
        if (line.kind != LineKind::Blank) return false;
    // Kept while a later section of the same name exists: removing it would bring that one's
    // keys, never read so far, into use.
    for (std::size_t i = it->second + 1; i < m_sections.size(); ++i)
        if (m_sections[i].valid && IniNameEquals(m_sections[i].name, section)) return false;
    m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(it->second));
    rebuildSectionIndex();
    return true;
}

std::string IniDocument::text() const {
    const char* eol = LineEndText(m_lineEnd);
    std::string out;
    if (m_bom) out = "\xEF\xBB\xBF";
    for (const auto& s : m_sections) {
        if (s.hasHeader) out.append(s.headerRaw).append(eol);
        for (const auto& line : s.lines)
            out.append(line.raw).append(eol);
    }
    return out;
}

// ---- files ----

bool ReadIniFile(const std::string& path, IniDocument& doc, IniFileError* error, bool* missing) {
    doc = IniDocument();
    std::string text;
    bool absent = false;
    const bool ok = ReadWholeFile(path, text, kMaxIniFileSize, error, &absent);
    if (missing) *missing = absent;
    if (absent) return true;
    if (!ok) return false;
    doc = IniDocument::Parse(text);
    return true;
}

bool WriteIniFile(const std::string& path, const IniDocument& doc, IniFileError* error) {
    return WriteWholeFile(path, doc.text(), error);
}

} // namespace orvex
