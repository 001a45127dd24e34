// The settings store kept in an INI file through the INI module (core/IniDocument.h), so that a
// settings file keeps its comments, its order and its line ends when the receiver writes it
// back, and a file that is not a settings file is refused instead of being rewritten.
//
// The file format is the one QSettings writes (one section per group, "key=value"), and files
// QSettings wrote read back: its %XX escapes in key and section names ("IFFilterSettings%281%29.
// CurrentHi"), its quoted values and backslash escapes, and its "@@" for a value starting with
// '@'. A key found in that escaped form is updated in that form; a new key is written plainly.
// Values that need it are written quoted, as QSettings writes them.
//
// Used by the window (on the per-user file, UserFile(), or --settings FILE) and by
// `orvexsdr-cli listen --settings FILE` and `tune --settings FILE`.
#pragma once

#include "core/IniDocument.h"
#include "core/SettingsStore.h"

#include <string>
#include <vector>

namespace orvex {

class IniSettingsStore final : public SettingsStore {
public:
    /// A store on the INI file at path; nothing is read until load(). `recognised` lists the
    /// section names (and, ending in '*', name prefixes) that mark a file as a settings file.
    explicit IniSettingsStore(std::string path,
                              std::vector<std::string> recognised = DefaultSections());

    /// Reads the file. A file that does not exist is an empty store (created by flush()).
    /// Refused, leaving the store empty and the file untouched for good (flush() then writes
    /// nothing and fails): a file that cannot be read or is not a regular file (a FIFO, a
    /// device), one that is not text, one with a line that is not INI, and one with sections
    /// of which none is recognised (a band plan, say). False with the reason.
    bool load(std::string* error = nullptr);
    /// True after a load() that accepted the file.
    bool loaded() const { return m_loaded; }
    /// Read-only: flush() writes nothing and succeeds. For a window that shares the file with
    /// another one, or whose file was refused (the listener was told once, at start).
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool readOnly() const { return m_readOnly; }

    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const override;
    void save(std::string_view section, std::string_view key, std::string_view value) override;
    bool contains(std::string_view section, std::string_view key) const override;
    /// Writes the file through the safe writer when anything changed since it was read or last
    /// written (creating its folder when needed). When another program wrote the file meanwhile,
    /// only the keys this store changed since are written, into the file as it is now (refused,
    /// and left alone, when it is no longer a settings file). False with the reason when the
    /// write failed or the file was refused on load.
    bool flush(std::string* error = nullptr) override;

    const std::string& fileName() const { return m_path; }
    /// The document as it stands (for tests and diagnostics).
    const IniDocument& document() const { return m_doc; }

    /// The receiver's sections: "frmMain", "VFO1", "General" and "SpectrumAnalyser*".
    static std::vector<std::string> DefaultSections();
    /// The per-user settings file, where QSettings keeps it too:
    /// $XDG_CONFIG_HOME/OrvexSDR/OrvexSDR_Brisko.ini, or ~/.config/OrvexSDR/OrvexSDR_Brisko.ini.
    static std::string UserFile();

private:
    struct Change {
        std::string section, key, text; // as written in the file
    };
    /// Parses text as a settings file into doc; empty, or why it is not one.
    std::string parse(const std::string& text, IniDocument& doc) const;
    std::optional<IniValue> lookUp(std::string_view section, std::string_view key,
                                   bool* escaped = nullptr) const;

    std::string m_path;
    std::vector<std::string> m_recognised;
    IniDocument m_doc;
    IniDocument m_base;            // the file as last read or written
    std::vector<Change> m_changes; // values that differ from m_base, in the order first saved
    std::string m_savedText;       // the file's text as last read or written
    bool m_loaded = false;
    bool m_readOnly = false;
    std::string m_refusal; // why load() refused the file
};

/// QSettings' spelling of a key or group name in its INI files: letters, digits, '_', '-'
/// and '.' as they are, '/' as '\', every other byte as %XX.
std::string QtIniName(std::string_view name);
/// A value as QSettings wrote it, unquoted and unescaped.
std::string QtIniValueText(std::string_view raw);
/// A value as it is written: plain, or quoted with backslash escapes when plain text would not
/// read back the same.
std::string IniValueForWriting(std::string_view value);

} // namespace orvex
