// Where files live: the user's folders, the running program's folder, and the data shipped
// with the program (band plans, scenes). Plain C++ (environment, passwd entry,
// /proc/self/exe), so every layer can use them.
#pragma once

#include <string>
#include <vector>

namespace orvex {

/// $HOME, or the passwd entry's home folder; empty when neither is known.
std::string HomeFolder();

/// The folder holding the running program, from /proc/self/exe; empty when unknown.
std::string ProgramFolder();

/// The folders the shipped data of kind `sub` ("bandplans", "scenes") is looked for in, in
/// order: beside the program as installed (<program folder>/../share/orvexsdr/<sub>, so an
/// installed tree works wherever it is moved), the data folder configured at build time
/// (<prefix>/share/orvexsdr/<sub>), and the source tree's data/<sub> (a program run from its
/// build folder). Folders that do not exist are left out.
std::vector<std::string> ShippedDataFolders(const std::string& sub);

/// A user folder of the XDG user-dirs scheme as `xdg-user-dir NAME` finds it (NAME is
/// "MUSIC", "DOWNLOAD", ...): XDG_<NAME>_DIR in $XDG_CONFIG_HOME/user-dirs.dirs
/// (~/.config/user-dirs.dirs), else the environment variable XDG_<NAME>_DIR when it is an
/// absolute path; empty when neither names one.
std::string XdgUserFolder(const std::string& name);

/// mkdir -p: creates path and its missing parents (mode 0755). False with errno's value in
/// err when a part cannot be made or path is not a folder.
bool MakeFolders(const std::string& path, int& err);

} // namespace orvex
