// The per-user settings store on Linux: QSettings in INI format, one group per section,
// by default ~/.config/OrvexSDR/OrvexSDR_Brisko.ini.
#pragma once

#include "SettingsStore.h"

#include <memory>
#include <string>

class QSettings;

namespace orvex {

class QtSettingsStore final : public SettingsStore {
public:
    /// The user's store, or the INI file at `path` when it is not empty.
    explicit QtSettingsStore(const std::string& path = {});
    ~QtSettingsStore() override;

    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const override;
    void save(std::string_view section, std::string_view key, std::string_view value) override;
    bool contains(std::string_view section, std::string_view key) const override;
    bool flush(std::string* error = nullptr) override;

    /// The file the store reads and writes.
    std::string fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace orvex
