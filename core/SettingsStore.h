// The per-user settings store: string values addressed by section and key under the
// application name "OrvexSDR_Brisko". The window and `orvexsdr-cli ... --settings FILE` use the
// INI store (IniSettingsStore.h) on a file; tests and the command-line tool can use the
// in-memory store. QtSettingsStore.h keeps QSettings' own store, to check the INI store against.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace orvex {

inline constexpr std::string_view kApplicationName = "OrvexSDR_Brisko";

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    /// The stored text of section/key, or defaultValue when the key is absent.
    virtual std::string get(std::string_view section, std::string_view key,
                            std::string_view defaultValue) const = 0;
    /// Stores value under section/key, replacing what was there.
    virtual void save(std::string_view section, std::string_view key, std::string_view value) = 0;
    /// True when the key exists.
    virtual bool contains(std::string_view section, std::string_view key) const = 0;
    /// Writes pending changes to permanent storage; false (with a reason) when that failed.
    virtual bool flush(std::string* error = nullptr) {
        (void)error;
        return true;
    }
};

class MemorySettingsStore final : public SettingsStore {
public:
    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const override;
    void save(std::string_view section, std::string_view key, std::string_view value) override;
    bool contains(std::string_view section, std::string_view key) const override;
    std::size_t size() const { return m_values.size(); }
    /// Every value by (section, key).
    const std::map<std::pair<std::string, std::string>, std::string, std::less<>>& values() const {
        return m_values;
    }
    void clear() { m_values.clear(); }

private:
    std::map<std::pair<std::string, std::string>, std::string, std::less<>> m_values;
};

// Value texts as the store keeps them.

/// "True" or "False".
std::string BoolText(bool value);
/// Text to boolean: "True"/"False" in any letter case, or a number (0 is false, anything else
/// true). Anything else cannot be converted.
std::optional<bool> ParseBool(std::string_view text);
/// A decimal number with optional sign, decimal point and exponent; surrounding blanks are
/// ignored. Anything else cannot be converted.
std::optional<double> ParseNumber(std::string_view text);
/// A number rounded half-even to a 32-bit integer; out of range cannot be converted.
std::optional<std::int32_t> ParseInt32(std::string_view text);
/// Shortest decimal text of a single-precision value ("0.1", "1000000", "-2.5").
std::string SingleText(float value);
/// Decimal text of an integer.
std::string IntText(std::int64_t value);

} // namespace orvex
