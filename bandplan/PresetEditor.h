// The preset editor's fields: what the "Save to Preset" / "Edit Preset" dialog shows for a
// preset, and what its confirm button writes back. Text in and out, so the rules are tested
// without a window; frmEditUserPreset only shows the fields.
#pragma once

#include "bandplan/modBandPlan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

struct PresetEditorFields {
    std::string description;       // txtPresetValues(0): Description
    std::string frequency;         // txtPresetValues(1): FreqCurrent, Hz, in decimal
    std::string date;              // txtPresetValues(2): the first 10 characters of When
    std::string time;              // txtPresetValues(3): the 8 characters of When from the 12th
    std::int32_t demodulation = 0; // optDemodulationValue: 0 AM, 1 USB, 2 LSB, 3 DRM
    std::int32_t filtering = 0;    // optFilteringValues: 0 Off (5 kHz), 1 400 Hz .. 4 4 kHz
    bool tuneImage = false;        // chkPresetTuneImage
};

/// The fields for a preset. A mode the dialog has no button for (FM, BC) shows AM, a filter
/// outside 0..4 (the sliders) shows Off; `When` is split by position, so the
/// "YYYY-MM-DD HH:MM:SS" a store writes splits exactly into date and time.
PresetEditorFields PresetEditorLoad(const PresetInfo& preset);

/// What confirming writes into `record`: DemodMode, FilterMode, TuneImage, Description,
/// FreqCurrent = the leading number of the frequency text rounded half-even (0 when there is
/// none, which empties the preset), When = date + " " + time, Caption = the integer part of
/// FreqCurrent / 1000 + 0.5. A leading number beyond the 32-bit range of a frequency is
/// refused: false, `record` unchanged and *why says so.
bool PresetEditorSave(PresetInfo& record, const PresetEditorFields& fields,
                      std::string* why = nullptr);

/// The number at the start of a text, as a listener types it: blanks anywhere are skipped,
/// then an optional sign, digits with an optional decimal point and an optional exponent;
/// reading stops at the first other character ("7050000 Hz" is 7050000, "7 050 000" is
/// 7050000, "7,050,000" is 7). nullopt when the text starts with no number at all.
std::optional<double> LeadingNumber(std::string_view text);

} // namespace orvex
