#include "bandplan/modBandPlan.h"

#include "bandplan/BandPlanText.h"
#include "core/MessageSink.h"
#include "core/SafeFile.h"
#include "core/SettingsStore.h"
#include "core/YieldHook.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <dirent.h>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace orvex {

const char* const kNoBandplanText =
    "No Bandplan (.bpl) files found - You must have at least 1 Bandplan \n"
    "Please Re-Install Application or find a .BPL file";
const char* const kNoBandplanTitle = "OrvexSDR_Brisko - No Bandplan found";

namespace {

constexpr std::size_t kSubBandCaptionChars = 6;
constexpr std::size_t kPresetCaptionChars = 7;
// The audio filter edges are audio frequencies at 48000 samples/s: at most half of that.
constexpr std::int32_t kMaxFilterEdgeHz = 24000;
// Delay value D (lblAGCAttack) and ramp value S (lblAGCDecay) of an AGC mode; mode 0 has 0.
constexpr float kMaxAgcAttack = 100.0f;
constexpr float kMaxAgcDecay = 200.0f;
constexpr std::int32_t kMaxDemodMode = 5;
constexpr std::int32_t kMaxFilterMode = 4;
constexpr std::int32_t kSliderFilterMode = -2; // the edges come from the sliders
constexpr std::int32_t kMaxAgcMode = 4;
constexpr std::size_t kMaxShownIssues = 10;

bool g_busy = false;

// A value as the report shows it: readable text, at most 80 characters.
std::string Excerpt(std::string_view text) {
    constexpr std::size_t kMax = 80;
    const std::string clean = CleanText(text);
    return CharCount(clean) <= kMax ? clean : CutToChars(clean, kMax) + "...";
}

std::string SubBandSection(std::int32_t s) {
    return "SubBand." + std::to_string(s);
}
std::string PresetSection(std::int32_t s, std::int32_t p) {
    return "Preset." + std::to_string(s) + "." + std::to_string(p);
}

// A single-precision value as the files may hold it: a decimal point, or a decimal comma from
// a regional number format. Parsed straight to float, so what SingleText wrote reads back
// exactly.
std::optional<float> ParseSingleText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::string s(text);
    if (std::count(s.begin(), s.end(), ',') == 1 && s.find('.') == std::string::npos)
        std::replace(s.begin(), s.end(), ',', '.');
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string RangeText(std::int64_t min, std::int64_t max) {
    return "outside " + std::to_string(min) + ".." + std::to_string(max);
}

// Reads the items of one section into fields; a missing key leaves the field as it is, an item
// that cannot be used is listed in the report and leaves the field as it is.
class ItemReader {
public:
    ItemReader(const IniDocument& doc, BandPlanReport& report) : m_doc(doc), m_report(report) {}

    void section(std::string name) { m_section = std::move(name); }

    void text(const char* key, std::string& field, std::size_t maxChars = 0) {
        const auto v = find(key);
        if (!v) return;
        bool changed = false;
        std::string clean = CleanText(v->value, &changed);
        if (changed) note(*v, key, "characters that are not text were replaced");
        if (maxChars > 0 && CharCount(clean) > maxChars) {
            clean = CutToChars(clean, maxChars);
            note(*v, key, "cut to " + std::to_string(maxChars) + " characters");
        }
        field = std::move(clean);
    }

    void integer(const char* key, std::int32_t& field, std::int64_t min, std::int64_t max) {
        const auto v = find(key);
        if (!v) return;
        if (const auto n = Int(*v, key)) {
            if (*n < min || *n > max)
                skip(*v, key, RangeText(min, max));
            else
                field = *n;
        }
    }

    void boolean(const char* key, bool& field) {
        const auto v = find(key);
        if (!v) return;
        if (const auto b = ParseBool(v->value))
            field = *b;
        else
            skip(*v, key, "not True or False");
    }

    // Optional values with "not stored" = -1 as their default: a negative value means not
    // stored; one that cannot be used is taken as not stored too, so a stray edge or time
    // is never applied.
    void optionalInteger(const char* key, std::int32_t& field, std::int32_t max) {
        field = -1;
        const auto v = find(key);
        if (!v) return;
        if (const auto n = Int(*v, key)) {
            if (*n > max)
                skip(*v, key, RangeText(-1, max) + "; taken as not stored");
            else
                field = *n < 0 ? -1 : *n;
        }
    }

    void optionalSingle(const char* key, float& field, float max) {
        field = -1.0f;
        const auto v = find(key);
        if (!v) return;
        const auto n = ParseSingleText(v->value);
        if (!n) {
            skip(*v, key, "not a number; taken as not stored");
        } else if (*n > max) {
            skip(*v, key, RangeText(-1, static_cast<std::int64_t>(max)) + "; taken as not stored");
        } else {
            field = *n < 0.0f ? -1.0f : *n;
        }
    }

    std::optional<IniValue> find(const char* key) const {
        auto v = m_doc.find(m_section, key);
        if (v) v->value = CutToProfileBuffer(std::move(v->value));
        return v;
    }

    void skip(const IniValue& v, const char* key, std::string reason) {
        m_report.issues.push_back(
            {v.line, m_section, key, Excerpt(v.value), std::move(reason), true});
    }
    void note(const IniValue& v, const char* key, std::string reason) {
        m_report.issues.push_back(
            {v.line, m_section, key, Excerpt(v.value), std::move(reason), false});
    }

private:
    std::optional<std::int32_t> Int(const IniValue& v, const char* key) {
        if (v.value.empty()) {
            skip(v, key, "empty");
            return std::nullopt;
        }
        if (!ParseNumber(v.value)) {
            skip(v, key, "not a number");
            return std::nullopt;
        }
        const auto n = ParseInt32(v.value);
        if (!n) skip(v, key, "beyond the 32-bit range");
        return n;
    }

    const IniDocument& m_doc;
    BandPlanReport& m_report;
    std::string m_section;
};

void ShowLoadSummary(const BandPlanReport& report) {
    const std::size_t skipped = report.skippedCount();
    if (skipped == 0) return;
    std::string text = "Bandplan " + report.fileName + ": " + std::to_string(skipped) +
                       (skipped == 1 ? " item was" : " items were") + " skipped";
    std::size_t shown = 0;
    for (const auto& line : report.describe()) {
        if (shown++ == kMaxShownIssues) {
            text += "\n  ...";
            break;
        }
        text += "\n  " + line;
    }
    ShowMessage(text, MessageIcon::Exclamation, std::string(kApplicationName) + " - Bandplan");
}

// A band plan has a [MainBand] or a [SubBand.n] section; a file with other sections or lines
// only (a settings file, a scene, a recording given the wrong name) is not one.
bool HasBandPlanSections(const IniDocument& doc) {
    for (const auto& name : doc.sectionNames())
        if (IniNameEquals(name, "MainBand") ||
            (name.size() > 8 && IniNameEquals(std::string_view(name).substr(0, 8), "SubBand.")))
            return true;
    return false;
}

void ShowSaveFailure(const MainBandInfo& band, const IniFileError& error) {
    ShowMessage("ProfileSaveItem: " + std::to_string(error.number) + " " + error.describe() + "; " +
                    band.FileName + " is unchanged",
                MessageIcon::Critical, kApplicationName);
}

} // namespace

// ---- report ----

std::size_t BandPlanReport::skippedCount() const {
    return static_cast<std::size_t>(
        std::count_if(issues.begin(), issues.end(), [](const auto& i) { return i.skipped; }));
}

std::vector<std::string> BandPlanReport::describe() const {
    std::vector<std::string> lines;
    for (const auto& i : issues) {
        std::string line;
        if (i.line > 0) line = "line " + std::to_string(i.line) + " ";
        if (!i.section.empty()) line += "[" + i.section + "] ";
        if (!i.key.empty())
            line += i.key + "=\"" + i.value + "\"";
        else if (!i.value.empty())
            line += "\"" + i.value + "\"";
        line += (line.empty() ? "" : ": ") + i.reason;
        lines.push_back(std::move(line));
    }
    return lines;
}

// ---- busy flag ----

bool BandPlanBusy() {
    return g_busy;
}

BandPlanBusyGuard::BandPlanBusyGuard() {
    for (int i = 0; g_busy && i < kBandPlanBusyYields; ++i)
        YieldToUser();
    if (g_busy) return;
    g_busy = true;
    m_acquired = true;
}

void BandPlanBusyGuard::release() {
    if (!m_acquired) return;
    g_busy = false;
    m_acquired = false;
}

// ---- model ----

bool InitBandPlan(MainBandInfo& band, std::time_t now) {
    band.SubBandSlots = std::max<std::int16_t>(band.SubBandSlots, 1);
    band.PresetSlots = std::max<std::int16_t>(band.PresetSlots, 1);
    band.Caption = band.Name;
    band.Description = band.Name;
    band.Active = false;
    band.ActiveSubBand = 0;
    band.NumSubBands = band.SubBandSlots - 1;
    const std::string when = WhenText(now);
    band.SubBands.assign(static_cast<std::size_t>(band.SubBandSlots) + 1, SubBandInfo{});
    for (std::int32_t s = 0; s <= band.SubBandSlots; ++s) {
        SubBandInfo& sub = band.SubBands[static_cast<std::size_t>(s)];
        sub.Index = s;
        sub.Name = band.Name + ".SubBand(" + std::to_string(s) + ")";
        sub.Caption = "S" + std::to_string(s + 1);
        sub.Description = "SubBand #" + std::to_string(s + 1);
        sub.NumPresets = band.PresetSlots;
        sub.Presets.assign(static_cast<std::size_t>(band.PresetSlots) + 1, PresetInfo{});
        for (std::int32_t p = 0; p <= band.PresetSlots; ++p) {
            PresetInfo& preset = sub.Presets[static_cast<std::size_t>(p)];
            preset.Index = p;
            preset.Name = sub.Name + ".Preset(" + std::to_string(p) + ")";
            preset.Caption = "P" + std::to_string(p + 1);
            preset.Description = "Preset" + std::to_string(p + 1);
            preset.When = when;
        }
    }
    return true;
}

void LoadBandPlanFromDocument(MainBandInfo& band, const IniDocument& doc, BandPlanReport& report) {
    for (const auto& problem : doc.problems())
        report.issues.push_back(
            {problem.line, "", "", Excerpt(problem.text), problem.reason, true});

    if (!HasBandPlanSections(doc)) {
        report.issues.push_back({0, "", "", "",
                                 "no [MainBand] or [SubBand.n] section: not a band plan, nothing "
                                 "was read",
                                 true});
        return;
    }
    ItemReader read(doc, report);
    read.section("MainBand");
    read.text("Caption", band.Caption);
    read.text("Description", band.Description);
    read.boolean("Active", band.Active);
    read.integer("ActiveSubBand", band.ActiveSubBand, 0, band.SubBandSlots - 1);
    read.integer("NumSubBands", band.NumSubBands, 0, band.SubBandSlots);

    const auto lastSub = std::min<std::int64_t>(
        band.NumSubBands, static_cast<std::int64_t>(band.SubBands.size()) - 1);
    for (std::int32_t s = 0; s <= lastSub; ++s) {
        SubBandInfo& sub = band.SubBands[static_cast<std::size_t>(s)];
        read.section(SubBandSection(s));
        read.text("Caption", sub.Caption, kSubBandCaptionChars);
        read.text("Description", sub.Description);
        read.integer("ActivePreset", sub.ActivePreset, -1, band.PresetSlots - 1);
        constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
        constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
        read.integer("FreqMin", sub.FreqMin, kMin, kMax);
        read.integer("FreqMax", sub.FreqMax, kMin, kMax);
        read.integer("FreqCurrent", sub.FreqCurrent, kMin, kMax);
        sub.InUse = !(sub.FreqMin < 0 && sub.FreqMax < 0 && sub.FreqCurrent < 0);
        if (!sub.InUse) continue;

        const auto lastPreset = std::min<std::int64_t>(
            sub.NumPresets, static_cast<std::int64_t>(sub.Presets.size()) - 1);
        for (std::int32_t p = 0; p <= lastPreset; ++p) {
            PresetInfo& preset = sub.Presets[static_cast<std::size_t>(p)];
            read.section(PresetSection(s, p));
            read.text("Caption", preset.Caption, kPresetCaptionChars);
            read.text("Description", preset.Description);
            read.boolean("Active", preset.Active);
            read.integer("DemodMode", preset.DemodMode, 0, kMaxDemodMode);
            read.integer("FreqCurrent", preset.FreqCurrent, kMin, kMax);
            read.boolean("TuneImage", preset.TuneImage);
            read.text("When", preset.When);
            if (const auto v = read.find("FilterMode")) {
                std::int32_t mode = preset.FilterMode;
                read.integer("FilterMode", mode, kSliderFilterMode, kMaxFilterMode);
                if (mode == -1)
                    read.skip(*v, "FilterMode", "not an audio filter selection");
                else
                    preset.FilterMode = mode;
            }
            read.optionalInteger("FilterHi", preset.FilterHi, kMaxFilterEdgeHz);
            read.optionalInteger("FilterLo", preset.FilterLo, kMaxFilterEdgeHz);
            read.optionalInteger("AGCMode", preset.AGCMode, kMaxAgcMode);
            read.optionalSingle("AGCAttack", preset.AGCAttack, kMaxAgcAttack);
            read.optionalSingle("AGCDecay", preset.AGCDecay, kMaxAgcDecay);
        }
    }
    std::stable_sort(
        report.issues.begin(), report.issues.end(),
        [](const BandPlanIssue& a, const BandPlanIssue& b) { return a.line < b.line; });
}

bool LoadBandPlan(MainBandInfo& band, BandPlanReport* reportOut) {
    BandPlanReport local;
    BandPlanReport& report = reportOut ? *reportOut : local;
    report = BandPlanReport{};
    report.fileName = band.FileName;

    BandPlanBusyGuard guard;
    if (!guard.acquired()) {
        report.readFailed = true;
        report.readError = "the band-plan files stayed busy";
        ShowMessage("ProfileGetItemError: " + std::to_string(EBUSY) + " " +
                        "the band-plan files stayed busy; " + band.FileName + " was not read",
                    MessageIcon::Critical, kApplicationName);
        return false;
    }
    IniDocument doc;
    IniFileError error;
    bool missing = false;
    if (!ReadIniFile(band.FileName, doc, &error, &missing)) {
        guard.release();
        report.readFailed = true;
        report.readError = error.describe();
        ShowMessage("ProfileGetItemError: " + std::to_string(error.number) + " " + error.describe(),
                    MessageIcon::Critical, kApplicationName);
        return false;
    }
    report.missing = missing;
    if (!missing) LoadBandPlanFromDocument(band, doc, report);
    guard.release();
    // Told after the flag is free: a message box runs the window's events.
    ShowLoadSummary(report);
    return true;
}

void SaveBandPlanToDocument(const MainBandInfo& band, IniDocument& doc,
                            const MainBandInfo* asLoaded) {
    // A key is written when there is no earlier state to compare with, or when its value
    // changed since the band was read.
    const auto put = [&](const std::string& section, const char* key, const std::string& value,
                         const std::optional<std::string>& before) {
        if (!before || *before != value) doc.set(section, key, value);
    };
    const auto was = [&](auto field) -> std::optional<std::string> {
        if (!asLoaded) return std::nullopt;
        return field(*asLoaded);
    };
    put("MainBand", "Index", IntText(band.Index), was([](auto& b) { return IntText(b.Index); }));
    put("MainBand", "Name", band.Name, was([](auto& b) { return b.Name; }));
    put("MainBand", "Caption", band.Caption, was([](auto& b) { return b.Caption; }));
    put("MainBand", "Description", band.Description, was([](auto& b) { return b.Description; }));
    put("MainBand", "Active", BoolText(band.Active),
        was([](auto& b) { return BoolText(b.Active); }));
    put("MainBand", "ActiveSubBand", IntText(band.ActiveSubBand),
        was([](auto& b) { return IntText(b.ActiveSubBand); }));
    put("MainBand", "NumSubBands", IntText(band.NumSubBands),
        was([](auto& b) { return IntText(b.NumSubBands); }));

    const auto lastSub = std::min<std::int64_t>(
        band.NumSubBands, static_cast<std::int64_t>(band.SubBands.size()) - 1);
    for (std::int32_t s = 0; s <= lastSub; ++s) {
        const SubBandInfo& sub = band.SubBands[static_cast<std::size_t>(s)];
        const SubBandInfo* old = nullptr;
        if (asLoaded && s <= asLoaded->NumSubBands &&
            static_cast<std::size_t>(s) < asLoaded->SubBands.size())
            old = &asLoaded->SubBands[static_cast<std::size_t>(s)];
        const auto before = [&](auto field) -> std::optional<std::string> {
            if (!old) return std::nullopt;
            return field(*old);
        };
        const std::string section = SubBandSection(s);
        put(section, "Index", IntText(sub.Index), before([](auto& b) { return IntText(b.Index); }));
        put(section, "Name", sub.Name, before([](auto& b) { return b.Name; }));
        put(section, "Caption", sub.Caption, before([](auto& b) { return b.Caption; }));
        put(section, "Description", sub.Description, before([](auto& b) { return b.Description; }));
        put(section, "NumPresets", IntText(sub.NumPresets),
            before([](auto& b) { return IntText(b.NumPresets); }));
        put(section, "ActivePreset", IntText(sub.ActivePreset),
            before([](auto& b) { return IntText(b.ActivePreset); }));
        put(section, "FreqMin", IntText(sub.FreqMin),
            before([](auto& b) { return IntText(b.FreqMin); }));
        put(section, "FreqMax", IntText(sub.FreqMax),
            before([](auto& b) { return IntText(b.FreqMax); }));
        put(section, "FreqCurrent", IntText(sub.FreqCurrent),
            before([](auto& b) { return IntText(b.FreqCurrent); }));

        const auto lastPreset = std::min<std::int64_t>(
            band.PresetSlots - 1, static_cast<std::int64_t>(sub.Presets.size()) - 1);
        for (std::int32_t p = 0; p <= lastPreset; ++p) {
            const PresetInfo& preset = sub.Presets[static_cast<std::size_t>(p)];
            // A preset is one record: written whole when it changed, left alone otherwise.
            if (old && static_cast<std::size_t>(p) < old->Presets.size() &&
                old->Presets[static_cast<std::size_t>(p)] == preset && old->InUse == sub.InUse)
                continue;
            const std::string ps = PresetSection(s, p);
            if (preset.FreqCurrent <= 0) {
                // Only the presets of a sub-band in use were read: an emptied one loses what an
                // earlier save wrote, so it is still empty after a restart.
                if (sub.InUse && doc.hasSection(ps)) {
                    for (const char* key :
                         {"Index", "Name", "Caption", "Description", "Active", "DemodMode",
                          "FreqCurrent", "TuneImage", "When", "FilterMode", "FilterHi", "FilterLo",
                          "AGCMode", "AGCAttack", "AGCDecay"})
                        doc.remove(ps, key);
                    doc.removeSectionIfEmpty(ps);
                }
                continue;
            }
            doc.set(ps, "Index", IntText(preset.Index));
            doc.set(ps, "Name", preset.Name);
            doc.set(ps, "Caption", preset.Caption);
            doc.set(ps, "Description", preset.Description);
            doc.set(ps, "Active", BoolText(preset.Active));
            doc.set(ps, "DemodMode", IntText(preset.DemodMode));
            doc.set(ps, "FreqCurrent", IntText(preset.FreqCurrent));
            doc.set(ps, "TuneImage", BoolText(preset.TuneImage));
            doc.set(ps, "When", preset.When);
            doc.set(ps, "FilterMode", IntText(preset.FilterMode));
            auto optionalInt = [&](const char* key, std::int32_t v) {
                if (v >= 0)
                    doc.set(ps, key, IntText(v));
                else
                    doc.remove(ps, key);
            };
            auto optionalSingle = [&](const char* key, float v) {
                if (v > -1.0f)
                    doc.set(ps, key, SingleText(v));
                else
                    doc.remove(ps, key);
            };
            optionalInt("FilterHi", preset.FilterHi);
            optionalInt("FilterLo", preset.FilterLo);
            optionalInt("AGCMode", preset.AGCMode);
            optionalSingle("AGCAttack", preset.AGCAttack);
            optionalSingle("AGCDecay", preset.AGCDecay);
        }
    }
}

bool SaveBandPlan(const MainBandInfo& band, const MainBandInfo* asLoaded) {
    IniFileError error;
    bool ok = false;
    {
        BandPlanBusyGuard guard;
        if (!guard.acquired()) {
            error = {EBUSY, "the band-plan files stayed busy"};
        } else {
            // The file as it is now, so that what was edited by hand survives.
            IniDocument doc;
            if (!ReadIniFile(band.FileName, doc, &error)) {
                error.what += "; it is not overwritten";
            } else if (!HasBandPlanSections(doc) &&
                       (!doc.sectionNames().empty() || !doc.problems().empty())) {
                error = {EINVAL, band.FileName + " is not a band plan; it is not overwritten"};
            } else {
                SaveBandPlanToDocument(band, doc, asLoaded);
                ok = WriteIniFile(band.FileName, doc, &error);
            }
        }
    }
    if (!ok) ShowSaveFailure(band, error);
    return ok;
}

// ---- discovery ----

std::vector<std::string> ListBandPlanFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= 4 || name.front() == '.') continue;
        if (!IniNameEquals(std::string_view(name).substr(name.size() - 4), ".bpl")) continue;
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
        for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
            const char x = lower(static_cast<unsigned char>(a[i]));
            const char y = lower(static_cast<unsigned char>(b[i]));
            if (x != y) return x < y;
        }
        if (a.size() != b.size()) return a.size() < b.size();
        return a < b;
    });
    std::vector<std::string> paths;
    for (const auto& name : names)
        paths.push_back(folder + "/" + name);
    return paths;
}

bool DiscoverBandPlans(BandPlanModel& model, const std::string& folder,
                       const std::function<void(const std::string& name)>& onBand,
                       std::vector<BandPlanReport>* reports) {
    const auto files = ListBandPlanFiles(folder);
    if (files.empty()) {
        ShowMessage(kNoBandplanText, MessageIcon::Critical, kNoBandplanTitle);
        return false;
    }
    if (model.WriteBack && !model.FolderLock.locked()) {
        if (model.FolderLock.lockFolder(folder) == FileLock::Result::HeldElsewhere) {
            // Both would write the same files at exit, the later undoing what the other stored.
            model.WriteBack = false;
            ShowMessage("Another OrvexSDR window is using the band plans in " + folder +
                            ".\n\nThis window will not save them when it closes, so that "
                            "nothing the other window stores there is undone. Presets stored "
                            "here are kept only while this window runs.",
                        MessageIcon::Exclamation, kApplicationName);
        }
    }
    if (model.FolderLock.locked())
        RemoveStaleTempFiles(folder, [](std::string_view target) {
            return target.size() > 4 && IniNameEquals(target.substr(target.size() - 4), ".bpl");
        });
    const std::size_t first = model.MainBands.size();
    for (const auto& path : files) {
        MainBandInfo band;
        band.Index = static_cast<std::int32_t>(model.MainBands.size());
        band.FileName = path;
        const std::string file = path.substr(path.find_last_of('/') + 1);
        band.Name = file.substr(0, file.size() - 4);
        band.Caption = band.Name;
        band.Description = band.Name;
        band.SubBandSlots = kSubBandSlots;
        band.PresetSlots = kPresetSlots;
        model.MainBands.push_back(std::move(band));
    }
    // By index, not by reference: the window's events run in between.
    for (std::size_t i = first; i < model.MainBands.size(); ++i) {
        if (onBand) onBand(model.MainBands[i].Name);
        YieldToUser();
        if (i >= model.MainBands.size()) break;
        InitBandPlan(model.MainBands[i]);
        BandPlanReport report;
        LoadBandPlan(model.MainBands[i], &report);
        if (reports) reports->push_back(std::move(report));
        if (i >= model.MainBands.size()) break;
        if (model.MainBands[i].Active) model.CurrentMainBandIndex = model.MainBands[i].Index;
        if (model.AsLoaded.size() == i) model.AsLoaded.push_back(model.MainBands[i]);
    }
    return true;
}

bool SaveAllBandPlans(BandPlanModel& model) {
    if (!model.WriteBack) return true;
    bool ok = true;
    for (std::size_t i = 0; i < model.MainBands.size(); ++i) {
        const MainBandInfo& band = model.MainBands[i];
        const MainBandInfo* asLoaded = i < model.AsLoaded.size() ? &model.AsLoaded[i] : nullptr;
        if (asLoaded && *asLoaded == band) continue; // unchanged: the file stays as it is
        if (!SaveBandPlan(band, asLoaded)) {
            ok = false;
            continue;
        }
        if (asLoaded) model.AsLoaded[i] = band;
    }
    return ok;
}

} // namespace orvex
