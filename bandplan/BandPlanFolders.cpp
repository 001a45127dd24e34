#include "bandplan/BandPlanFolders.h"

#include "bandplan/modBandPlan.h"
#include "bandplan/modIniFiles.h"
#include "core/Error.h"
#include "core/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool ReadWholeFile(const std::string& path, std::string& out, int& err) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        err = errno;
        return false;
    }
    out.clear();
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    const bool ok = !std::ferror(f);
    if (!ok) err = EIO;
    std::fclose(f);
    return ok;
}

std::string FileNameOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

std::string UserBandPlanFolder() {
    std::string base = Env("XDG_DATA_HOME");
    if (base.empty() || base.front() != '/') {
        const std::string home = HomeFolder();
        if (home.empty()) return {};
        base = home + "/.local/share";
    }
    return base + "/OrvexSDR/bandplans";
}

std::vector<std::string> ShippedBandPlanFolders() {
    std::vector<std::string> folders;
    const std::string program = ProgramFolder();
    if (!program.empty()) {
        folders.push_back(program);
        folders.push_back(program + "/bandplans");
    }
    for (auto& shipped : ShippedDataFolders("bandplans"))
        folders.push_back(std::move(shipped));
    return folders;
}

BandPlanFolderRule DefaultBandPlanFolderRule(const std::string& overrideFolder) {
    BandPlanFolderRule rule;
    rule.overrideFolder = overrideFolder;
    rule.environmentFolder = Env("ORVEXSDR_BANDPLANS");
    rule.userFolder = UserBandPlanFolder();
    rule.shippedFolders = ShippedBandPlanFolders();
    return rule;
}

BandPlanFolderChoice ChooseBandPlanFolder(const BandPlanFolderRule& rule) {
    BandPlanFolderChoice choice;
    if (!rule.overrideFolder.empty()) {
        choice.folder = rule.overrideFolder;
        choice.source = "command line";
        return choice;
    }
    if (!rule.environmentFolder.empty()) {
        choice.folder = rule.environmentFolder;
        choice.source = "ORVEXSDR_BANDPLANS";
        return choice;
    }
    std::string shipped;
    for (const auto& folder : rule.shippedFolders)
        if (!ListBandPlanFiles(folder).empty()) {
            shipped = folder;
            break;
        }

    if (!rule.userFolder.empty() && !ListBandPlanFiles(rule.userFolder).empty()) {
        choice.folder = rule.userFolder;
        choice.source = "user folder";
        return choice;
    }
    if (rule.userFolder.empty()) {
        choice.notes.push_back("no home folder is known, so there is no user band-plan folder");
    } else if (!rule.seed) {
        choice.folder = rule.userFolder;
        choice.source = "user folder";
        return choice;
    } else if (shipped.empty()) {
        choice.notes.push_back("no shipped band plans were found to copy into " + rule.userFolder);
        choice.folder = rule.userFolder;
        choice.source = "user folder";
        return choice;
    } else {
        int err = 0;
        bool ok = MakeFolders(rule.userFolder, err);
        if (!ok) choice.notes.push_back(ErrnoText("creating " + rule.userFolder, err));
        for (const auto& path : ok ? ListBandPlanFiles(shipped) : std::vector<std::string>{}) {
            std::string content;
            IniFileError error;
            if (!ReadWholeFile(path, content, err)) {
                choice.notes.push_back(ErrnoText("reading " + path, err));
                continue;
            }
            const std::string name = FileNameOf(path);
            if (!WriteFileAtomically(rule.userFolder + "/" + name, content, &error)) {
                choice.notes.push_back("copying " + name + ": " + error.describe());
                continue;
            }
            choice.copied.push_back(name);
        }
        if (!choice.copied.empty()) {
            choice.folder = rule.userFolder;
            choice.source = "user folder";
            choice.seededFrom = shipped;
            return choice;
        }
    }
    if (!shipped.empty()) {
        choice.folder = shipped;
        choice.source = "shipped";
        choice.notes.push_back("using the shipped band plans in " + shipped +
                               " directly: changes to them may not be saved");
        return choice;
    }
    choice.folder = rule.userFolder;
    choice.source = "user folder";
    return choice;
}

} // namespace orvex
