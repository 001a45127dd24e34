// The band plans: one INI file ("*.bpl") per main band, each with up to 18 sub-bands of 12 user
// presets. At start-up every plan in the band-plan folder is found, initialised and read; at
// shutdown what changed in the plans is written back. Selection and editing work on this in-memory
// model only (bandplan/PresetSelection.h).
//
// File layout (values as text; integers in decimal, Booleans "True"/"False"):
//   [MainBand]            Index Name Caption Description Active ActiveSubBand NumSubBands
//   [SubBand.s]           Index Name Caption Description NumPresets ActivePreset
//                         FreqMin FreqMax FreqCurrent
//   [Preset.s.p]          Index Name Caption Description Active DemodMode FreqCurrent TuneImage
//                         When FilterMode FilterHi FilterLo AGCMode AGCAttack AGCDecay
// "Index", "Name" and "NumPresets" are written but never read. docs/bandplans.md has the rest.
#pragma once

#include "bandplan/modIniFiles.h"
#include "core/FileLock.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace orvex {

/// One user preset: a stored receiver state.
struct PresetInfo {
    std::string Name;              // sub-band Name + ".Preset(" + index + ")"
    std::int32_t Index = 0;        // position in SubBandInfo::Presets
    std::string Caption;           // at most 7 characters when read; initially "P" + (index+1)
    std::string Description;       // tool tip; initially "Preset" + (index+1)
    std::int32_t FreqCurrent = -1; // tuned frequency, Hz; below 1 marks the preset as empty
    std::int32_t FilterMode = 0;   // audio filter selection: 0..4, or -2 for the sliders
    std::int32_t FilterHi = 0;     // audio filter high edge, Hz; -1 when not stored
    std::int32_t FilterLo = 0;     // audio filter low edge, Hz; -1 when not stored
    std::int32_t AGCMode = 0;      // AGC selection 0..4; -1 when not stored
    float AGCAttack = 0.0f;        // the AGC mode's delay value (lblAGCAttack, tenths of a second,
                                   // 0..100); -1 when not stored
    float AGCDecay = 0.0f; // the AGC mode's ramp value (lblAGCDecay, 0..200); -1 when not stored
    std::int32_t DemodMode = 0; // 0 AM, 1 USB, 2 LSB, 3 DRM, 4 FM, 5 BC
    bool Active = false;
    std::string When;       // "YYYY-MM-DD HH:MM:SS" when stored here; initially the build time
    bool TuneImage = false; // image-side tuning of the DDS

    bool isUsed() const { return FreqCurrent >= 1; }
    bool operator==(const PresetInfo&) const = default;
};

/// One sub-band: a button on the panel with its frequency limits and presets.
struct SubBandInfo {
    std::string Name;       // band Name + ".SubBand(" + index + ")"
    std::int32_t Index = 0; // position in MainBandInfo::SubBands
    std::string Caption;    // button caption, at most 6 characters when read; initially "S" + (i+1)
    std::string Description;         // tool tip; initially "SubBand #" + (index+1)
    std::int32_t FreqMin = -1;       // Hz; -1 when unset
    std::int32_t FreqMax = -1;       // Hz; -1 when unset
    std::int32_t FreqCurrent = -1;   // last frequency used here, Hz; -1 when unset
    std::vector<PresetInfo> Presets; // indices 0..PresetSlots
    std::int32_t ActivePreset = -1;  // selected preset, -1 for none
    std::int32_t NumPresets = 0;     // presets shown; set to PresetSlots
    bool InUse = false;              // false when FreqMin, FreqMax and FreqCurrent are all negative

    bool operator==(const SubBandInfo&) const = default;
};

/// One band plan file.
struct MainBandInfo {
    std::string Name;                  // file name without its last four characters (".bpl")
    std::int32_t Index = 0;            // position in BandPlanModel::MainBands
    std::string Caption;               // title of the presets frame; initially Name
    std::string Description;           // initially Name
    bool Active = false;               // this band was the current one
    std::int32_t ActiveSubBand = 0;    // selected sub-band, 0..SubBandSlots-1
    std::vector<SubBandInfo> SubBands; // indices 0..SubBandSlots
    std::int32_t NumSubBands = 0;      // sub-bands shown, 0..SubBandSlots
    std::int16_t SubBandSlots = 18;    // sub-band buttons on the panel
    std::int16_t PresetSlots = 12;     // preset buttons on the panel
    std::string FileName;              // folder + "/" + file name

    bool operator==(const MainBandInfo&) const = default;
};

/// The band plans the window works on; owned by the main window from start-up to shutdown.
struct BandPlanModel {
    std::vector<MainBandInfo> MainBands; // in discovery order
    std::int32_t CurrentMainBandIndex = 0;
    /// Each band as it was read (or last saved), by index: shutdown writes back only what
    /// changed since, so whatever another program (or a text editor) changed meanwhile in the
    /// same file stays.
    std::vector<MainBandInfo> AsLoaded;
    /// False: nothing is written back (another window uses these band plans, or the settings).
    bool WriteBack = true;
    /// Held while the plans are in use: another window on the same folder sees it taken.
    FileLock FolderLock;
};

/// Panel button counts the plans are made for.
inline constexpr std::int16_t kSubBandSlots = 18;
inline constexpr std::int16_t kPresetSlots = 12;

/// One item the loader could not take, or took with a change.
struct BandPlanIssue {
    int line = 0; // 1-based line in the file; 0 when the item is not tied to one line
    std::string section;
    std::string key;
    std::string value; // as found, cut to 80 bytes
    std::string reason;
    bool skipped = true; // false: loaded, with the change the reason names
};

/// What one load found.
struct BandPlanReport {
    std::string fileName;
    bool missing = false;    // no such file: the band loads empty
    bool readFailed = false; // the file exists but could not be read: nothing loaded
    std::string readError;
    std::vector<BandPlanIssue> issues;

    std::size_t skippedCount() const;
    /// True when everything loaded as written (a missing file is not clean either).
    bool clean() const { return !missing && !readFailed && issues.empty(); }
    /// Lines for a person: "line 12 [SubBand.3] FreqMin="abc": not a number".
    std::vector<std::string> describe() const;
};

/// Fills a band with the initial values: Caption and Description = Name, not Active,
/// ActiveSubBand 0, SubBands sized SubBandSlots + 1 and NumSubBands = SubBandSlots - 1, each
/// sub-band's Presets sized PresetSlots + 1 with NumPresets = PresetSlots, every preset empty
/// with When = now. Slot counts below 1 are taken as 1. Returns true.
bool InitBandPlan(MainBandInfo& band, std::time_t now = std::time(nullptr));

/// Reads the band's file (band.FileName) into the record. An item that is missing keeps the
/// field's value; an item that cannot be used (not a number, out of range, a duplicate) is
/// skipped, keeps the value and is listed in the report. A missing file leaves the record as it
/// was. When anything was skipped, or the file could not be read, one message tells the user
/// (the full list goes to report). Returns false only when the file could not be read or the
/// band-plan files stayed busy.
bool LoadBandPlan(MainBandInfo& band, BandPlanReport* report = nullptr);

/// The reading part of LoadBandPlan, on a parsed file; adds what it skips to report.
void LoadBandPlanFromDocument(MainBandInfo& band, const IniDocument& doc, BandPlanReport& report);

/// Writes the record to its file, keeping the file's comments, other keys and order, and
/// replacing the file only once the new one is complete. With `asLoaded` (the band as read at
/// start-up) only what differs from it is written: each key of [MainBand] and [SubBand.s], and
/// each preset as a whole. A failure (read-only folder, full disk, a file that cannot be read
/// back first) shows "ProfileSaveItem: " + errno + " " + reason, leaves the previous file as it
/// was and returns false.
bool SaveBandPlan(const MainBandInfo& band, const MainBandInfo* asLoaded = nullptr);

/// The writing part of SaveBandPlan, on a parsed file: every section and key of the record,
/// sub-bands 0..NumSubBands and presets 0..PresetSlots-1 (with `asLoaded`, only those that
/// changed, as above). A preset section is written only for a used preset; "FilterHi",
/// "FilterLo", "AGCMode" only when 0 or more; "AGCAttack", "AGCDecay" only when above -1. Keys
/// that an earlier save wrote for values that are no longer stored are removed (for an emptied
/// preset of a sub-band in use: its whole section, when nothing else is left in it), so what
/// was cleared stays cleared after a restart.
void SaveBandPlanToDocument(const MainBandInfo& band, IniDocument& doc,
                            const MainBandInfo* asLoaded = nullptr);

/// The busy flag LoadBandPlan and SaveBandPlan share. Each waits while it is set, letting the
/// window's events run; the program has one thread, so the holder can only be a caller further
/// down the stack, and the wait gives up after kBandPlanBusyYields yields (with a message)
/// instead of hanging.
bool BandPlanBusy();
inline constexpr int kBandPlanBusyYields = 1000;

/// Holds the busy flag for a scope (the loader and saver use it; tests hold it to see a wait).
class BandPlanBusyGuard {
public:
    /// Waits (yielding) for the flag, then takes it; acquired() tells whether it did.
    BandPlanBusyGuard();
    ~BandPlanBusyGuard() { release(); }
    BandPlanBusyGuard(const BandPlanBusyGuard&) = delete;
    BandPlanBusyGuard& operator=(const BandPlanBusyGuard&) = delete;
    bool acquired() const { return m_acquired; }
    void release();

private:
    bool m_acquired = false;
};

/// Finds the plans in folder (files ending ".bpl" in any letter case, sorted by name),
/// appends one band per file to model.MainBands with Index, FileName, Name, Caption and
/// Description from the file name and the panel's slot counts, then for each band calls
/// onBand (the splash label) and lets window events run, InitBandPlan, LoadBandPlan, and keeps
/// the band as read in model.AsLoaded. A band that reads back Active becomes
/// CurrentMainBandIndex (the last such band wins).
/// While model.WriteBack holds, the folder is locked for this model first: when another window
/// holds it, a message says that this one will not save the plans and WriteBack turns false;
/// when the lock is had, stale temporary files of interrupted saves (".NAME.bpl.tmp.XXXXXX")
/// are removed.
/// When there is no plan, shows "No Bandplan (.bpl) files found ..." with the critical icon
/// and returns false: the program cannot run without one.
bool DiscoverBandPlans(BandPlanModel& model, const std::string& folder,
                       const std::function<void(const std::string& name)>& onBand = {},
                       std::vector<BandPlanReport>* reports = nullptr);

/// The .bpl files of a folder, full paths, sorted by file name. Missing folder: none.
std::vector<std::string> ListBandPlanFiles(const std::string& folder);

/// SaveBandPlan for every band that changed since it was read, in order (shutdown), writing
/// only what changed; nothing when model.WriteBack is false. False when any failed.
bool SaveAllBandPlans(BandPlanModel& model);

/// The text of the message shown when no band plan is found, and its title.
extern const char* const kNoBandplanText;
extern const char* const kNoBandplanTitle;

} // namespace orvex
