// Band, sub-band and preset selection on the band-plan model: what the front panel's buttons
// show, which preset is active, what a preset stores and what applying it sets. The window
// calls these from its handlers and shows the returned views; the receiver state a preset
// stores and sets is reached through PresetTarget, which the window wires to the receive chain
// and the DDS controller (tests use a recording fake).
#pragma once

#include "bandplan/modBandPlan.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace orvex {

/// The receiver state a preset stores.
struct ReceiverSnapshot {
    std::int32_t demodMode = 0;  // CurrentDemodMode: 0 AM, 1 USB, 2 LSB, 3 DRM, 4 FM, 5 BC
    std::int32_t filterMode = 0; // CurrentFilterMode: 0..4, or -2 for the sliders
    std::int32_t filterHi = 0;   // FilterHi, Hz
    std::int32_t filterLo = 0;   // FilterLo, Hz
    std::int32_t agcMode = 0;    // AGCMode, 0..4
    float agcAttack = 0.0f;      // current delay value D of agcMode (lblAGCAttack, 5..100)
    float agcDecay = 0.0f;       // current ramp value S of agcMode (lblAGCDecay, 10..200)
    double tunedFreqMHz = 0.0;   // the DDS controller's TunedFreq, MHz
    bool tuneImage = false;      // the DDS controller's TuneImage
};

/// The receiver as a preset sees it. ApplyPreset calls these in the order listed.
class PresetTarget {
public:
    virtual ~PresetTarget() = default;
    /// The current state (for StorePreset and the "Save to Preset" editor).
    virtual ReceiverSnapshot snapshot() const = 0;
    /// optMode_Click(mode), mode 0..5.
    virtual void selectDemodMode(std::int32_t mode) = 0;
    /// optFilter_Click(filterMode), 0..4 or -2.
    virtual void selectFilter(std::int32_t filterMode) = 0;
    /// Default edges of the filter selection now in force, Hz.
    virtual std::int32_t defaultFilterHi() const = 0;
    virtual std::int32_t defaultFilterLo() const = 0;
    /// Puts an edge into its control, applies it and refreshes its caption. Hz.
    virtual void setFilterHi(std::int32_t hz) = 0;
    virtual void setFilterLo(std::int32_t hz) = 0;
    /// The AGC selection now in force, 0..4.
    virtual std::int32_t agcMode() const = 0;
    /// Sets the current delay value (attack, 5..100) and ramp value (decay, 10..200) of AGC
    /// selection 4; -1 keeps that value as it is.
    virtual void setPresetAgcTimes(std::int32_t attack, std::int32_t decay) = 0;
    /// optAGC_Click(mode), mode 0..4.
    virtual void selectAgcMode(std::int32_t mode) = 0;
    /// After selection 4 is taken: every AGC button painted (0, 192, 192) with its value
    /// cleared, and the preset's times shown on their controls (-1: not stored, leave it).
    virtual void showPresetAgc(std::int32_t attack, std::int32_t decay) = 0;
    /// Tunes the DDS and shows the frequency on the seven-segment display. MHz.
    virtual void tune(double mhz) = 0;
    /// chkImage: ticked when on.
    virtual void setImage(bool on) = 0;
    /// Gives the preset button with this index the focus and the fore colour (0, 255, 255).
    virtual void focusPreset(std::int32_t index) = 0;
};

/// Selection state of the panel (program-wide in the window).
struct PresetPanelState {
    std::int32_t LastPresetIndex = -1;   // the last used preset pressed; -1 before the first press
    bool ShowPresetDesc = false;         // the description window follows the pointer
    std::int32_t RememberedAgcMode = -1; // AGC selection before the last preset took over
    // Re-entrancy flags: an operation started from inside itself returns at once.
    bool inSelectMainBand = false;
    bool inSelectSubBand = false;
    bool inPressPreset = false;
    bool inApplyPreset = false;
};

/// A button's caption and tool tip.
struct ButtonView {
    std::string caption;
    std::string toolTip;
    bool visible = true;
    bool operator==(const ButtonView&) const = default;
};

/// The captions rule: an empty preset shows "P" + (index + 1) with the tool tip
/// "Unused - Shift + Right Click to set"; a used one the integer part of FreqCurrent / 1000
/// (kHz) with its Description as the tool tip.
ButtonView PresetButton(const PresetInfo& preset, std::int32_t index);

/// Every preset button of a sub-band by the captions rule, presets 0..NumPresets-1 (at most
/// the band's PresetSlots).
std::vector<ButtonView> PresetButtons(const MainBandInfo& band, const SubBandInfo& sub);

enum class MouseButton { Left, Right, Middle };

/// The keys held with a mouse press.
struct KeyState {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

/// What selecting a main band shows.
struct MainBandView {
    bool done = false;                    // false when re-entered or the index is not a band
    std::string frameCaption;             // frPresets: the band's Caption
    std::vector<ButtonView> subBands;     // buttons 0..NumSubBands-1; every other one is hidden
    std::vector<std::string> subBandList; // captions for cboSubBandSelect and lstSubBandSelect
    std::int32_t selectedSubBand = 0;     // the button and list index of ActiveSubBand
    std::vector<ButtonView> presets;      // labels of the active sub-band's preset buttons
    std::int32_t selectedPreset = -1;     // -1: clear every preset button
    bool applied = false;                 // the selected preset was applied
};

/// What pressing a preset button did.
struct PresetPressView {
    bool done = false;         // false when re-entered or the index is not a preset
    std::int32_t applied = -1; // index of the preset applied, -1 for none
    bool relabel = false;      // button gets `label` (after Shift + right button)
    ButtonView label;
    bool showMenu = false;    // pop up mnuUserPresets
    bool editEnabled = false; // with mnuUserPresets_Edit enabled
};

/// What selecting a sub-band shows.
struct SubBandView {
    bool done = false;
    std::vector<ButtonView> presets; // labels of the sub-band's preset buttons
    std::int32_t listIndex = 0;      // index for lstSubBandSelect and cboSubBandSelect
    PresetPressView press;           // the press of its ActivePreset, when it has one
};

/// SelectMainBand(i): CurrentMainBandIndex = i, the band becomes Active (others keep their
/// flag), its sub-bands 0..NumSubBands-1 labelled (visible when in use), the active
/// sub-band's preset buttons labelled, and its ActivePreset applied when it is 0 or more.
MainBandView SelectMainBand(BandPlanModel& model, std::int32_t index, PresetPanelState& state,
                            PresetTarget& target);

/// Selects sub-band s of the current band: ActiveSubBand = s, its preset buttons labelled
/// (an empty preset also loses Active), and its ActivePreset pressed with the left button
/// when it is 0 or more.
SubBandView SelectSubBand(BandPlanModel& model, std::int32_t s, PresetPanelState& state,
                          PresetTarget& target);

/// Press preset p of the active sub-band:
///  - the first press after start sets LastPresetIndex; ActivePreset = p;
///  - left button: an empty preset makes ActivePreset = LastPresetIndex; a used one becomes
///    LastPresetIndex and the only Active preset; then the ActivePreset is applied;
///  - right button with Shift alone: StorePreset(p) from the target's state, the button takes
///    the preset's Caption and Description, and the preset is applied;
///  - right button with any other keys: the pop-up menu, Edit enabled only for a used preset;
///  - any other button: nothing more.
PresetPressView PressPreset(BandPlanModel& model, std::int32_t p, MouseButton button, KeyState keys,
                            PresetPanelState& state, PresetTarget& target,
                            std::time_t now = std::time(nullptr));

/// Stores the receiver state into a preset: DemodMode, FilterMode, FreqCurrent = tuned MHz x
/// 1000000 rounded (half to even) to whole hertz, Caption = FreqCurrent / 1000 formatted "#0",
/// Description = FreqCurrent formatted "#,###0 Hz", TuneImage, When = now as
/// "YYYY-MM-DD HH:MM:SS", FilterHi, FilterLo, AGCMode, AGCAttack, AGCDecay.
void StorePreset(PresetInfo& preset, const ReceiverSnapshot& state,
                 std::time_t now = std::time(nullptr));

/// Applies a preset: mode, filter, both edges (the stored one when 0 or more, else the
/// filter selection's default), the AGC (not stored: while a preset's selection 4 is in force,
/// back to the selection remembered before it took over, 1 when none, and otherwise the
/// listener's selection stays; stored: selection 4 with the preset's times, remembering the
/// selection in force when it is below 4), the frequency, the image box, the button focus.
/// An empty preset (FreqCurrent below 1) is not applied: there is nothing to tune to. Returns
/// whether it was applied.
bool ApplyPreset(const PresetInfo& preset, PresetPanelState& state, PresetTarget& target);

/// The preset editor's shared record and captions (the editor window shows it modally).
struct PresetEditRequest {
    PresetInfo record;  // EditPreset
    std::string title;  // EditPresetTitle
    std::string button; // EditPresetButton
};

/// "Save to Preset": the preset with the current mode, filter and its edges, AGC and its times,
/// tuned frequency, image flag and time, Active False, title "Save Current Settings to Preset "
/// + Index, button "&Save".
PresetEditRequest BeginSaveToPreset(const PresetInfo& preset, const ReceiverSnapshot& state,
                                    std::time_t now = std::time(nullptr));
/// "Edit Preset": the preset with Active True, title "Edit Preset " + Index, button "&Update".
PresetEditRequest BeginEditPreset(const PresetInfo& preset);
/// After the editor confirmed: copies the record back and returns the button's label (save:
/// the kHz rounded to the nearest whole, "0#"; edit: FreqCurrent / 1000 formatted "#0"). The
/// window then selects the button and applies the preset.
ButtonView FinishPresetEdit(PresetInfo& preset, const PresetInfo& edited, bool wasSave);

/// The active preset of the active sub-band of the current band; nullptr when there is none.
PresetInfo* CurrentPreset(BandPlanModel& model);

/// Text of the description window over a preset button: "Frequency=" (MHz, "#0.000 MHz"),
/// "Modulation=", "Filter=", "Date=" (YYYY/mm/dd) and "Time=" (HH:MM), one per line. The
/// mode and filter captions are the front panel's.
std::string PresetDescriptionText(const PresetInfo& preset, const std::string& modeCaption,
                                  const std::string& filterCaption);
/// Text of the description window over a sub-band button: "Band=", "Freq Lo=", "Freq Hi=".
std::string SubBandDescriptionText(const SubBandInfo& sub);

} // namespace orvex
