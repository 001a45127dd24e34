// orvexsdr-cli bandplan: checks and lists band-plan files, and shows where the program keeps them.
#include "Commands.h"
#include "bandplan/BandPlanFolders.h"
#include "bandplan/PresetSelection.h"
#include "bandplan/modBandPlan.h"
#include "core/MessageSink.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orvex::cli {
namespace {

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: orvexsdr-cli bandplan check [--bandplans DIR] [FILE...]\n"
                 "       orvexsdr-cli bandplan list FILE\n"
                 "       orvexsdr-cli bandplan where [--bandplans DIR]\n"
                 "\n"
                 "  check  loads each band plan as the program does and tells what loaded, what\n"
                 "         was skipped and why; without FILE, every plan of the band-plan folder\n"
                 "         (exit 0 when everything loaded, 2 when something was skipped)\n"
                 "  list   the band's sub-bands and used presets\n"
                 "  where  the folder the program reads and writes plans in, and why\n"
                 "  --bandplans DIR  use DIR as the band-plan folder (as the program's option)\n");
}

const char* ModeName(std::int32_t mode) {
    static const char* const kNames[] = {"AM", "USB", "LSB", "DRM", "FM", "BC"};
    return mode >= 0 && mode <= 5 ? kNames[mode] : "?";
}

const char* FilterName(std::int32_t filter) {
    static const char* const kNames[] = {"5.0 KHz", "400 Hz", "2.4 KHz", "3.2 KHz", "4.0 KHz"};
    if (filter == -2) return "sliders";
    return filter >= 0 && filter <= 4 ? kNames[filter] : "?";
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A band for one file, initialised and loaded as discovery does; messages are kept, not shown.
MainBandInfo LoadFile(const std::string& path, BandPlanReport& report) {
    MainBandInfo band;
    band.FileName = path;
    const std::string file = FileNameOf(path);
    band.Name = file.size() > 4 ? file.substr(0, file.size() - 4) : file;
    band.SubBandSlots = kSubBandSlots;
    band.PresetSlots = kPresetSlots;
    InitBandPlan(band);
    RecordingMessageSink quiet;
    ScopedMessageSink scope(quiet);
    LoadBandPlan(band, &report);
    return band;
}

int CountUsedPresets(const MainBandInfo& band) {
    int used = 0;
    for (std::int32_t s = 0; s <= band.NumSubBands && s < std::ssize(band.SubBands); ++s) {
        const auto& sub = band.SubBands[static_cast<std::size_t>(s)];
        if (!sub.InUse) continue;
        for (const auto& p : sub.Presets)
            if (p.isUsed()) ++used;
    }
    return used;
}

// Prints the check of one file; true when it loaded with nothing skipped.
bool CheckFile(const std::string& path) {
    BandPlanReport report;
    const MainBandInfo band = LoadFile(path, report);
    const std::string file = FileNameOf(path);
    if (report.readFailed) {
        std::printf("%s: not read: %s\n", file.c_str(), report.readError.c_str());
        return false;
    }
    if (report.missing) {
        std::printf("%s: no such file (a plan that is missing loads as an empty band)\n",
                    file.c_str());
        return false;
    }
    int inUse = 0;
    for (std::int32_t s = 0; s < band.NumSubBands && s < std::ssize(band.SubBands); ++s)
        if (band.SubBands[static_cast<std::size_t>(s)].InUse) ++inUse;
    const std::size_t skipped = report.skippedCount();
    std::printf("%s: loaded \"%s\": %d of %d sub-bands in use, %d presets used%s\n", file.c_str(),
                band.Caption.c_str(), inUse, band.NumSubBands, CountUsedPresets(band),
                skipped ? "" : ", nothing skipped");
    const auto lines = report.describe();
    for (std::size_t i = 0; i < lines.size(); ++i)
        std::printf("  %s %s\n",
                    report.issues[i].skipped ? "skipped:" : "note:   ", lines[i].c_str());
    if (skipped) std::printf("  %zu item%s skipped\n", skipped, skipped == 1 ? "" : "s");
    return skipped == 0;
}

// The folder `check` and `where` look at: the program's choice, without creating or copying.
BandPlanFolderChoice LookUpFolder(const std::string& overrideFolder, std::string& remark) {
    BandPlanFolderRule rule = DefaultBandPlanFolderRule(overrideFolder);
    rule.seed = false;
    BandPlanFolderChoice choice = ChooseBandPlanFolder(rule);
    if (choice.source == "user folder" && ListBandPlanFiles(choice.folder).empty()) {
        for (const auto& shipped : rule.shippedFolders)
            if (!ListBandPlanFiles(shipped).empty()) {
                remark = "the user folder " + choice.folder +
                         " holds no plan yet: the program copies the shipped plans from " +
                         shipped + " on its first start";
                choice.folder = shipped;
                choice.source = "shipped";
                break;
            }
    }
    return choice;
}

int RunCheck(const Args& args) {
    std::string overrideFolder;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--bandplans") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                std::fprintf(stderr, "orvexsdr-cli bandplan: --bandplans needs a folder\n");
                return 2;
            }
            overrideFolder = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            std::fprintf(stderr, "orvexsdr-cli bandplan: unknown option '%s'\n", args[i].c_str());
            return 2;
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) {
        std::string remark;
        const auto choice = LookUpFolder(overrideFolder, remark);
        std::printf("band-plan folder: %s (%s)\n", choice.folder.c_str(), choice.source.c_str());
        if (!remark.empty()) std::printf("  %s\n", remark.c_str());
        files = ListBandPlanFiles(choice.folder);
        if (files.empty()) {
            std::printf("%s\n", kNoBandplanText);
            return 2;
        }
    }
    bool allClean = true;
    for (const auto& f : files)
        allClean = CheckFile(f) && allClean;
    return allClean ? 0 : 2;
}

int RunList(const Args& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        PrintUsage(stderr);
        return 2;
    }
    BandPlanReport report;
    const MainBandInfo band = LoadFile(args[0], report);
    if (report.readFailed || report.missing) {
        std::fprintf(stderr, "orvexsdr-cli bandplan list: %s: %s\n", args[0].c_str(),
                     report.missing ? "no such file" : report.readError.c_str());
        return 2;
    }
    std::printf("Band \"%s\" (%s): %s\n", band.Caption.c_str(), FileNameOf(band.FileName).c_str(),
                band.Description.c_str());
    std::printf("  active: %s, active sub-band %d, %d sub-bands shown\n",
                band.Active ? "yes" : "no", band.ActiveSubBand, band.NumSubBands);
    for (std::int32_t s = 0; s < band.NumSubBands && s < std::ssize(band.SubBands); ++s) {
        const SubBandInfo& sub = band.SubBands[static_cast<std::size_t>(s)];
        if (!sub.InUse) {
            std::printf("  S%-2d %-6s (not in use)\n", s, sub.Caption.c_str());
            continue;
        }
        std::printf("  S%-2d %-6s %d-%d Hz, current %d Hz, active preset %d: %s\n", s,
                    sub.Caption.c_str(), sub.FreqMin, sub.FreqMax, sub.FreqCurrent,
                    sub.ActivePreset, sub.Description.c_str());
        const auto buttons = PresetButtons(band, sub);
        for (std::size_t p = 0; p < buttons.size(); ++p) {
            const PresetInfo& preset = sub.Presets[p];
            if (!preset.isUsed()) continue;
            std::string extra;
            if (preset.FilterLo >= 0 || preset.FilterHi >= 0)
                extra += ", edges " + std::to_string(preset.FilterLo) + "-" +
                         std::to_string(preset.FilterHi) + " Hz";
            if (preset.AGCMode >= 0)
                extra += ", AGC " + std::to_string(preset.AGCMode) + " (" +
                         std::to_string(preset.AGCAttack) + ", " + std::to_string(preset.AGCDecay) +
                         ")";
            if (preset.TuneImage) extra += ", image";
            std::printf("      P%-2zu %-7s %9d Hz %-3s filter %-7s%s  %s\n", p,
                        buttons[p].caption.c_str(), preset.FreqCurrent, ModeName(preset.DemodMode),
                        FilterName(preset.FilterMode), extra.c_str(), preset.Description.c_str());
        }
    }
    if (const std::size_t skipped = report.skippedCount())
        std::fprintf(stderr, "%zu item%s skipped: 'orvexsdr-cli bandplan check %s' tells which\n",
                     skipped, skipped == 1 ? "" : "s", args[0].c_str());
    return 0;
}

int RunWhere(const Args& args) {
    std::string overrideFolder;
    if (args.size() == 2 && args[0] == "--bandplans" && !args[1].empty()) {
        overrideFolder = args[1];
    } else if (!args.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    std::string remark;
    const auto choice = LookUpFolder(overrideFolder, remark);
    std::printf("band-plan folder: %s (%s)\n", choice.folder.c_str(), choice.source.c_str());
    if (!remark.empty()) std::printf("  %s\n", remark.c_str());
    std::printf("user folder: %s\n", UserBandPlanFolder().c_str());
    std::printf("shipped plans are looked for in:\n");
    for (const auto& f : ShippedBandPlanFolders())
        std::printf("  %s (%zu plans)\n", f.c_str(), ListBandPlanFiles(f).size());
    const auto files = ListBandPlanFiles(choice.folder);
    std::printf("plans in discovery order:\n");
    for (const auto& f : files)
        std::printf("  %s\n", FileNameOf(f).c_str());
    if (files.empty()) {
        std::printf("  none: %s\n", kNoBandplanText);
        return 2;
    }
    return 0;
}

} // namespace

int RunBandplan(const Args& args) {
    if (args.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string& sub = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (sub == "--help" || sub == "-h" || sub == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (sub == "check") return RunCheck(rest);
    if (sub == "list") return RunList(rest);
    if (sub == "where") return RunWhere(rest);
    std::fprintf(stderr, "orvexsdr-cli bandplan: unknown subcommand '%s'\n", sub.c_str());
    PrintUsage(stderr);
    return 2;
}

} // namespace orvex::cli
