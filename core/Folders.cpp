#include "core/Folders.h"

#include "core/SafeFile.h"
#include "core/TextLines.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ORVEX_INSTALL_DATA_DIR
#define ORVEX_INSTALL_DATA_DIR ""
#endif
#ifndef ORVEX_SOURCE_DATA_DIR
#define ORVEX_SOURCE_DATA_DIR ""
#endif

namespace orvex {
namespace {

// user-dirs.dirs is a few lines of shell assignments; anything larger is not one.
constexpr std::uint64_t kMaxUserDirsBytes = 64 * 1024;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// The value of a user-dirs.dirs line `XDG_NAME_DIR="$HOME/Music"`: double-quoted, "$HOME"
// allowed only at the start, backslash escapes the next character.
bool ParseUserDirsValue(const std::string& text, const std::string& home, std::string& out) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos || text[i] != '"') return false;
    ++i;
    out.clear();
    if (text.compare(i, 5, "$HOME") == 0) {
        out = home;
        i += 5;
    }
    for (; i < text.size(); ++i) {
        if (text[i] == '"') return !out.empty() && out.front() == '/';
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return false;
}

} // namespace

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string ProgramFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string exe(buffer, static_cast<std::size_t>(n));
    const auto slash = exe.find_last_of('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::vector<std::string> ShippedDataFolders(const std::string& sub) {
    std::vector<std::string> candidates;
    if (const std::string program = ProgramFolder(); !program.empty())
        candidates.push_back(program + "/../share/orvexsdr/" + sub);
    for (const char* configured : {ORVEX_INSTALL_DATA_DIR, ORVEX_SOURCE_DATA_DIR})
        if (configured[0] != '\0') candidates.push_back(std::string(configured) + "/" + sub);
    std::vector<std::string> folders;
    for (const auto& c : candidates)
        if (IsFolder(c)) folders.push_back(std::filesystem::path(c).lexically_normal().string());
    return folders;
}

std::string XdgUserFolder(const std::string& name) {
    const std::string key = "XDG_" + name + "_DIR";
    const std::string home = HomeFolder();
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = home.empty() ? "" : home + "/.config";
    if (!config.empty()) {
        // Read as any input is: a FIFO, a device or a link to /dev/zero in its place is
        // refused at once, and a file too large to be one is not read.
        std::string text;
        (void)ReadWholeFile(config + "/user-dirs.dirs", text, kMaxUserDirsBytes);
        std::string found;
        LineReader lines(text);
        for (std::string_view view; lines.next(view);) {
            const std::string line(view);
            const std::size_t start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
            const std::size_t eq = start + key.size();
            std::string value;
            if (eq < line.size() && line[eq] == '=' &&
                ParseUserDirsValue(line.substr(eq + 1), home, value))
                found = value; // the last assignment wins, as when the shell reads the file
        }
        if (!found.empty()) return found;
    }
    const std::string env = Env(key.c_str());
    return !env.empty() && env.front() == '/' ? env : std::string();
}

bool MakeFolders(const std::string& path, int& err) {
    if (path.empty()) {
        err = ENOENT;
        return false;
    }
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            err = errno;
            return false;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        err = ENOTDIR;
        return false;
    }
    return true;
}

} // namespace orvex
