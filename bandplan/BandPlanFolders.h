// Where the band plans live. Every plan is written back at shutdown, so the folder the program
// uses must be writable by the user; the plans shipped with the program are only a seed.
//
// The rule, first match wins:
//  1. a folder given on the command line (--bandplans DIR), used as it is;
//  2. the folder in the environment variable ORVEXSDR_BANDPLANS, used as it is;
//  3. the user's folder, $XDG_DATA_HOME/OrvexSDR/bandplans (~/.local/share/OrvexSDR/bandplans
//     when XDG_DATA_HOME is unset or not absolute). When it holds no plan (first start, or
//     every plan deleted) it is created and the shipped plans are copied into it from the
//     first shipped folder that has any: the program's own folder, its "bandplans" sub-folder,
//     <program folder>/../share/orvexsdr/bandplans, the installed data folder, and the source
//     tree's data/bandplans (for a program run from its build folder).
//     When the user's folder cannot be made or filled, the shipped folder is used directly:
//     the plans load, and saving them later reports why it fails.
#pragma once

#include "core/Folders.h"

#include <string>
#include <vector>

namespace orvex {

/// The folders and choices the rule works with (explicit, so tests can use their own).
struct BandPlanFolderRule {
    std::string overrideFolder;              // --bandplans DIR; empty for none
    std::string environmentFolder;           // ORVEXSDR_BANDPLANS; empty for none
    std::string userFolder;                  // the per-user folder
    std::vector<std::string> shippedFolders; // seed sources, in search order
    bool seed = true;                        // copy the shipped plans into an empty user folder
};

/// What the rule chose and why.
struct BandPlanFolderChoice {
    std::string folder;     // where the plans are read and written back
    std::string source;     // "command line", "ORVEXSDR_BANDPLANS", "user folder", "shipped"
    std::string seededFrom; // the shipped folder copied in now; empty when none was
    std::vector<std::string> copied; // file names copied
    std::vector<std::string> notes;  // what went wrong on the way, for the log and the user
};

/// The rule with this machine's folders: the environment, the program's own folder (from
/// /proc/self/exe) and the folders configured at build time.
BandPlanFolderRule DefaultBandPlanFolderRule(const std::string& overrideFolder = {});

/// $XDG_DATA_HOME/OrvexSDR/bandplans, or $HOME/.local/share/OrvexSDR/bandplans.
std::string UserBandPlanFolder();

/// The folders shipped plans are looked for in, in order.
std::vector<std::string> ShippedBandPlanFolders();

/// Applies the rule (creating and seeding the user folder when needed).
BandPlanFolderChoice ChooseBandPlanFolder(const BandPlanFolderRule& rule);

} // namespace orvex
