#include "IniSettingsStore.h"

#include "core/Folders.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace orvex {
namespace {

constexpr const char* kHexDigits = "0123456789ABCDEF";
// QSettings' backslash escapes of control characters: the letter and what it stands for.
constexpr std::pair<char, char> kEscapes[] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                              {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'0', '\0'}};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One backslash escape of QSettings' value syntax at text[i] (the backslash); appends what it
// stands for and returns the index after it.
std::size_t Unescape(std::string_view text, std::size_t i, std::string& out) {
    if (i + 1 >= text.size()) {
        out += '\\';
        return i + 1;
    }
    const char c = text[i + 1];
    for (const auto& [letter, control] : kEscapes)
        if (c == letter) {
            out += control;
            return i + 2;
        }
    if (c != 'x') {
        out += c; // \\, \" and the like stand for the character itself
        return i + 2;
    }
    unsigned cp = 0; // \xHHHH: a character by its code
    std::size_t j = i + 2;
    for (; j < text.size() && j < i + 6 && HexValue(text[j]) >= 0; ++j)
        cp = cp * 16 + static_cast<unsigned>(HexValue(text[j]));
    if (j == i + 2)
        out += 'x';
    else
        AppendUtf8(out, cp);
    return j;
}

bool IsRecognised(std::string_view section, const std::vector<std::string>& recognised) {
    for (const auto& name : recognised) {
        if (!name.empty() && name.back() == '*') {
            const std::string_view prefix(name.data(), name.size() - 1);
            if (section.size() >= prefix.size() &&
                IniNameEquals(section.substr(0, prefix.size()), prefix))
                return true;
        } else if (IniNameEquals(section, name)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string QtIniName(std::string_view name) {
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_' || c == '-' || c == '.') {
            out += ch;
        } else {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        }
    }
    return out;
}

std::string QtIniValueText(std::string_view raw) {
    std::string out;
    if (raw.starts_with("@@")) raw.remove_prefix(1);
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            ++i;
        } else if (c == '\\') {
            i = Unescape(raw, i, out);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string IniValueForWriting(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                           value.back() == '\t' || value.front() == '@' ||
                           value.find_first_of("\"\\;,=\r\n") != std::string_view::npos);
    if (!needsQuotes) return std::string(value);
    std::string out = "\"";
    for (const char c : value) {
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [c](const auto& e) { return e.second == c; });
        if (c == '"' || c == '\\')
            (out += '\\') += c;
        else if (escape != std::end(kEscapes) && c != '\0')
            (out += '\\') += escape->first;
        else
            out += c;
    }
    return out + "\"";
}

IniSettingsStore::IniSettingsStore(std::string path, std::vector<std::string> recognised)
    : m_path(std::move(path)), m_recognised(std::move(recognised)) {}

std::vector<std::string> IniSettingsStore::DefaultSections() {
    return {"frmMain", "VFO1", "General", "SpectrumAnalyser*"};
}

std::string IniSettingsStore::UserFile() {
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        base = config;
    else if (const std::string home = HomeFolder(); !home.empty())
        base = home + "/.config";
    else
        return {};
    return base + "/OrvexSDR/" + std::string(kApplicationName) + ".ini";
}

std::string IniSettingsStore::parse(const std::string& text, IniDocument& doc) const {
    if (text.find('\0') != std::string::npos) return "not a settings file (not text)";
    doc = IniDocument::Parse(text);
    if (!doc.problems().empty()) {
        const auto& p = doc.problems().front();
        return "not a settings file: line " + std::to_string(p.line) + " \"" + p.text +
               "\": " + p.reason;
    }
    const auto sections = doc.sectionNames();
    if (!sections.empty()) {
        bool known = false;
        for (const auto& s : sections)
            known = known || IsRecognised(s, m_recognised);
        if (!known)
            return "not a settings file: none of its sections ([" + sections.front() +
                   "]...) is one the receiver keeps";
    }
    return {};
}

bool IniSettingsStore::load(std::string* error) {
    m_doc = m_base = IniDocument();
    m_changes.clear();
    m_savedText.clear();
    m_loaded = false;
    const auto refuse = [&](const std::string& why) {
        m_refusal = m_path + ": " + why + "; the file is left as it is";
        if (error) *error = m_refusal;
        return false;
    };
    std::string text;
    FileError readError;
    bool missing = false;
    if (!ReadWholeFile(m_path, text, kMaxIniFileSize, &readError, &missing)) {
        if (!missing) return refuse("cannot read the settings file: " + readError.describe());
        m_loaded = true; // a new file
        return true;
    }
    IniDocument doc;
    if (const std::string why = parse(text, doc); !why.empty()) return refuse(why);
    m_doc = std::move(doc);
    m_base = m_doc;
    m_savedText = m_doc.text();
    m_loaded = true;
    m_refusal.clear();
    return true;
}

std::optional<IniValue> IniSettingsStore::lookUp(std::string_view section, std::string_view key,
                                                 bool* escaped) const {
    if (escaped) *escaped = false;
    if (auto v = m_doc.find(section, key)) return v;
    const std::string qtSection = QtIniName(section), qtKey = QtIniName(key);
    if (qtSection == section && qtKey == key) return std::nullopt;
    auto v = m_doc.find(qtSection, qtKey);
    if (v && escaped) *escaped = true;
    return v;
}

std::string IniSettingsStore::get(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const {
    const auto v = lookUp(section, key);
    return v ? QtIniValueText(v->value) : std::string(defaultValue);
}

void IniSettingsStore::save(std::string_view section, std::string_view key,
                            std::string_view value) {
    if (!m_loaded) return; // a refused file is never written
    bool escaped = false;
    lookUp(section, key, &escaped);
    const std::string text = IniValueForWriting(value);
    const std::string s = escaped ? QtIniName(section) : std::string(section);
    const std::string k = escaped ? QtIniName(key) : std::string(key);
    m_doc.set(s, k, text);
    // A change is a value that differs from the file as read (or last written); set back to
    // that value, the key is no change of this store's any more.
    const auto change = std::find_if(m_changes.begin(), m_changes.end(), [&](const Change& c) {
        return IniNameEquals(c.section, s) && IniNameEquals(c.key, k);
    });
    const auto base = m_base.find(s, k);
    if (base && base->value == text) {
        if (change != m_changes.end()) m_changes.erase(change);
    } else if (change != m_changes.end()) {
        change->text = text;
    } else {
        m_changes.push_back({s, k, text});
    }
}

bool IniSettingsStore::contains(std::string_view section, std::string_view key) const {
    return lookUp(section, key).has_value();
}

bool IniSettingsStore::flush(std::string* error) {
    if (m_readOnly) return true;
    if (!m_loaded) {
        if (error)
            *error =
                m_refusal.empty() ? "the settings file " + m_path + " was not read" : m_refusal;
        return false;
    }
    if (m_changes.empty()) return true; // nothing changed: nothing to write
    // Another program (listen --settings, an editor) may have written the file since it was
    // read: then only this store's changes go into the file as it is now, so that what the
    // other one stored stays. A file that cannot be read back is written whole from this store.
    std::string onDisk;
    if (ReadWholeFile(m_path, onDisk, kMaxIniFileSize) && onDisk != m_savedText) {
        IniDocument now;
        if (const std::string why = parse(onDisk, now); !why.empty()) {
            if (error)
                *error = "cannot write the settings file " + m_path + ": it was replaced " +
                         "meanwhile by what is " + why + "; it is left as it is";
            return false;
        }
        for (const Change& c : m_changes)
            now.set(c.section, c.key, c.text);
        m_doc = std::move(now);
        m_savedText = std::move(onDisk);
    }
    std::string text = m_doc.text();
    if (text == m_savedText) { // the file holds these values already
        m_base = m_doc;
        m_changes.clear();
        return true;
    }
    FileError failure;
    const auto slash = m_path.find_last_of('/');
    bool ok = true;
    if (slash != std::string::npos && slash > 0)
        ok = MakeFolders(m_path.substr(0, slash), &failure);
    ok = ok && WriteWholeFile(m_path, text, &failure);
    if (!ok) {
        if (error) *error = "cannot write the settings file " + m_path + ": " + failure.describe();
        return false;
    }
    m_savedText = std::move(text);
    m_base = m_doc;
    m_changes.clear();
    return true;
}

} // namespace orvex
