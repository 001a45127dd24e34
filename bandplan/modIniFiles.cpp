#include "bandplan/modIniFiles.h"

#include "core/MessageSink.h"
#include "core/SettingsStore.h"

#include <cerrno>

namespace orvex {

std::string CutToProfileBuffer(std::string value) {
    const std::size_t limit = kProfileBufferSize - 1;
    if (value.size() <= limit) return value;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;
    value.resize(cut);
    return value;
}

// ---- the private-profile pair ----

std::string ProfileField(std::string_view value, int field) {
    if (field <= 0) return std::string(value);
    std::size_t start = 0;
    for (int skipped = 0; skipped < field - 1; ++skipped) {
        const auto comma = value.find(',', start);
        if (comma == std::string_view::npos) return {};
        start = comma + 1;
    }
    const auto comma = value.find(',', start);
    return std::string(value.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                           : comma - start));
}

std::string ProfileGetItem(std::string_view section, std::string_view key,
                           std::string_view defaultValue, const std::string& fileName, int field) {
    IniDocument doc;
    IniFileError error;
    if (!ReadIniFile(fileName, doc, &error)) {
        ShowMessage("ProfileGetItemError: " + std::to_string(error.number) + " " + error.describe(),
                    MessageIcon::Critical, kApplicationName);
        return {};
    }
    return ProfileField(CutToProfileBuffer(doc.get(section, key, defaultValue)), field);
}

bool ProfileSaveItem(std::string_view section, std::string_view key, std::string_view value,
                     const std::string& fileName) {
    IniDocument doc;
    IniFileError error;
    bool ok = ReadIniFile(fileName, doc, &error);
    if (ok && !doc.set(section, key, value)) {
        ok = false;
        error = {EINVAL, "section \"" + std::string(section) + "\" or key \"" + std::string(key) +
                             "\" cannot be written to an INI file"};
    }
    if (ok) ok = WriteIniFile(fileName, doc, &error);
    if (!ok)
        ShowMessage("ProfileSaveItem: " + std::to_string(error.number) + " " + error.describe() +
                        "; " + fileName + " is unchanged",
                    MessageIcon::Critical, kApplicationName);
    return ok;
}

} // namespace orvex
