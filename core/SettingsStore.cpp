#include "SettingsStore.h"

#include "Numeric.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvex {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::string MemorySettingsStore::get(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    const auto it = m_values.find(std::make_pair(std::string(section), std::string(key)));
    return it == m_values.end() ? std::string(defaultValue) : it->second;
}

void MemorySettingsStore::save(std::string_view section, std::string_view key,
                               std::string_view value) {
    m_values[std::make_pair(std::string(section), std::string(key))] = std::string(value);
}

bool MemorySettingsStore::contains(std::string_view section, std::string_view key) const {
    return m_values.count(std::make_pair(std::string(section), std::string(key))) != 0;
}

std::string BoolText(bool value) {
    return value ? "True" : "False";
}

std::optional<bool> ParseBool(std::string_view text) {
    text = Trim(text);
    if (EqualsNoCase(text, "true")) return true;
    if (EqualsNoCase(text, "false")) return false;
    if (const auto n = ParseNumber(text)) return *n != 0.0;
    return std::nullopt;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    const auto n = ParseNumber(text);
    if (!n) return std::nullopt;
    const std::int64_t r = RoundHalfEven(*n);
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(r);
}

std::string SingleText(float value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

std::string IntText(std::int64_t value) {
    return std::to_string(value);
}

} // namespace orvex
