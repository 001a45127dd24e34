#include "bandplan/PresetEditor.h"

#include "bandplan/BandPlanText.h"
#include "core/Format.h"
#include "core/Numeric.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace orvex {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Characters (UTF-8 code points) [start, start + count) of text.
std::string SubChars(std::string_view text, std::size_t start, std::size_t count) {
    const std::string head = CutToChars(text, start);
    return CutToChars(text.substr(head.size()), count);
}

} // namespace

std::optional<double> LeadingNumber(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') s.push_back(c);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i)
        ++digits;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && IsDigit(s[i]); ++i)
            ++digits;
    if (digits == 0) return std::nullopt;
    std::size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        std::size_t k = j;
        while (k < s.size() && IsDigit(s[k]))
            ++k;
        if (k > j) end = k;
    }
    std::string_view number(s.data(), end);
    if (number.front() == '+') number.remove_prefix(1);
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range)
        return number.front() == '-' ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    if (ec != std::errc()) return std::nullopt;
    return value;
}

PresetEditorFields PresetEditorLoad(const PresetInfo& preset) {
    PresetEditorFields f;
    f.description = preset.Description;
    f.frequency = std::to_string(preset.FreqCurrent);
    f.date = CutToChars(preset.When, 10);
    f.time = SubChars(preset.When, 11, 8);
    f.demodulation = preset.DemodMode >= 0 && preset.DemodMode <= 3 ? preset.DemodMode : 0;
    f.filtering = preset.FilterMode >= 0 && preset.FilterMode <= 4 ? preset.FilterMode : 0;
    f.tuneImage = preset.TuneImage;
    return f;
}

bool PresetEditorSave(PresetInfo& record, const PresetEditorFields& fields, std::string* why) {
    const double hz = LeadingNumber(fields.frequency).value_or(0.0);
    const std::int64_t rounded = RoundHalfEven(hz); // saturates beyond the 64-bit range
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        if (why)
            *why = "\"" + fields.frequency +
                   "\" is beyond the frequencies a preset can hold (up to 2,147,483,647 Hz).";
        return false;
    }
    record.DemodMode =
        fields.demodulation >= 0 && fields.demodulation <= 3 ? fields.demodulation : 0;
    record.FilterMode = fields.filtering >= 0 && fields.filtering <= 4 ? fields.filtering : 0;
    record.TuneImage = fields.tuneImage;
    record.Description = fields.description;
    record.FreqCurrent = static_cast<std::int32_t>(rounded);
    record.When = fields.date + " " + fields.time;
    record.Caption = FormatNumber(std::floor(record.FreqCurrent / 1000.0 + 0.5), "#0");
    return true;
}

} // namespace orvex
