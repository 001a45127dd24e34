#include "bandplan/PresetSelection.h"

#include "bandplan/BandPlanText.h"
#include "core/Format.h"
#include "core/Numeric.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace orvex {
namespace {

// Sets a re-entrancy flag for a scope; entered() is false when it was already set.
class ReentryGuard {
public:
    explicit ReentryGuard(bool& flag) : m_flag(flag), m_entered(!flag) {
        if (m_entered) m_flag = true;
    }
    ~ReentryGuard() {
        if (m_entered) m_flag = false;
    }
    ReentryGuard(const ReentryGuard&) = delete;
    ReentryGuard& operator=(const ReentryGuard&) = delete;
    bool entered() const { return m_entered; }

private:
    bool& m_flag;
    bool m_entered;
};

bool InRange(std::int64_t i, std::size_t size) {
    return i >= 0 && static_cast<std::size_t>(i) < size;
}

MainBandInfo* CurrentBand(BandPlanModel& model) {
    if (!InRange(model.CurrentMainBandIndex, model.MainBands.size())) return nullptr;
    return &model.MainBands[static_cast<std::size_t>(model.CurrentMainBandIndex)];
}

SubBandInfo* ActiveSub(MainBandInfo& band) {
    if (!InRange(band.ActiveSubBand, band.SubBands.size())) return nullptr;
    return &band.SubBands[static_cast<std::size_t>(band.ActiveSubBand)];
}

std::int32_t PresetButtonCount(const MainBandInfo& band, const SubBandInfo& sub) {
    const std::int64_t n = std::min<std::int64_t>(
        {sub.NumPresets, band.PresetSlots, static_cast<std::int64_t>(sub.Presets.size())});
    return static_cast<std::int32_t>(std::max<std::int64_t>(n, 0));
}

// ApplyPreset's AGC times: a stored value rounded to a whole delay or ramp value; -1 when not.
std::int32_t AgcTime(float value) {
    return value < 0.0f ? -1 : RoundHalfEven32(value);
}

bool IsDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

} // namespace

ButtonView PresetButton(const PresetInfo& preset, std::int32_t index) {
    if (!preset.isUsed())
        return {"P" + std::to_string(index + 1), "Unused - Shift + Right Click to set", true};
    return {std::to_string(preset.FreqCurrent / 1000), preset.Description, true};
}

std::vector<ButtonView> PresetButtons(const MainBandInfo& band, const SubBandInfo& sub) {
    std::vector<ButtonView> buttons;
    const std::int32_t n = PresetButtonCount(band, sub);
    for (std::int32_t p = 0; p < n; ++p)
        buttons.push_back(PresetButton(sub.Presets[static_cast<std::size_t>(p)], p));
    return buttons;
}

PresetInfo* CurrentPreset(BandPlanModel& model) {
    MainBandInfo* band = CurrentBand(model);
    if (!band) return nullptr;
    SubBandInfo* sub = ActiveSub(*band);
    if (!sub || !InRange(sub->ActivePreset, sub->Presets.size())) return nullptr;
    return &sub->Presets[static_cast<std::size_t>(sub->ActivePreset)];
}

MainBandView SelectMainBand(BandPlanModel& model, std::int32_t index, PresetPanelState& state,
                            PresetTarget& target) {
    MainBandView view;
    ReentryGuard guard(state.inSelectMainBand);
    if (!guard.entered() || !InRange(index, model.MainBands.size())) return view;
    model.CurrentMainBandIndex = index;
    MainBandInfo& band = model.MainBands[static_cast<std::size_t>(index)];
    band.Active = true;
    view.done = true;
    view.frameCaption = band.Caption;
    view.selectedSubBand = band.ActiveSubBand;

    const std::int64_t shown = std::min<std::int64_t>(
        {band.NumSubBands, band.SubBandSlots, static_cast<std::int64_t>(band.SubBands.size())});
    for (std::int32_t s = 0; s < shown; ++s) {
        const SubBandInfo& sub = band.SubBands[static_cast<std::size_t>(s)];
        view.subBands.push_back({sub.Caption, sub.Description, sub.InUse});
        view.subBandList.push_back(sub.Caption);
    }

    SubBandInfo* sub = ActiveSub(band);
    if (!sub) return view;
    view.presets = PresetButtons(band, *sub);
    if (sub->ActivePreset < 0 || !InRange(sub->ActivePreset, sub->Presets.size())) return view;
    view.selectedPreset = sub->ActivePreset;
    view.applied =
        ApplyPreset(sub->Presets[static_cast<std::size_t>(sub->ActivePreset)], state, target);
    return view;
}

SubBandView SelectSubBand(BandPlanModel& model, std::int32_t s, PresetPanelState& state,
                          PresetTarget& target) {
    SubBandView view;
    ReentryGuard guard(state.inSelectSubBand);
    MainBandInfo* band = CurrentBand(model);
    if (!guard.entered() || !band || !InRange(s, band->SubBands.size())) return view;
    band->ActiveSubBand = s;
    SubBandInfo& sub = band->SubBands[static_cast<std::size_t>(s)];
    const std::int32_t n = PresetButtonCount(*band, sub);
    for (std::int32_t p = 0; p < n; ++p) {
        PresetInfo& preset = sub.Presets[static_cast<std::size_t>(p)];
        if (!preset.isUsed()) preset.Active = false;
        view.presets.push_back(PresetButton(preset, p));
    }
    view.done = true;
    view.listIndex = s;
    if (sub.ActivePreset >= 0)
        view.press = PressPreset(model, sub.ActivePreset, MouseButton::Left, {}, state, target);
    return view;
}

PresetPressView PressPreset(BandPlanModel& model, std::int32_t p, MouseButton button, KeyState keys,
                            PresetPanelState& state, PresetTarget& target, std::time_t now) {
    PresetPressView view;
    ReentryGuard guard(state.inPressPreset);
    MainBandInfo* band = CurrentBand(model);
    if (!guard.entered() || !band) return view;
    SubBandInfo* sub = ActiveSub(*band);
    if (!sub || !InRange(p, sub->Presets.size()) || p >= band->PresetSlots) return view;
    view.done = true;
    if (state.LastPresetIndex < 0) state.LastPresetIndex = p;
    sub->ActivePreset = p;
    PresetInfo& preset = sub->Presets[static_cast<std::size_t>(p)];

    if (button == MouseButton::Left) {
        if (!preset.isUsed()) {
            sub->ActivePreset = state.LastPresetIndex;
        } else {
            state.LastPresetIndex = p;
            for (auto& other : sub->Presets)
                other.Active = false;
            preset.Active = true;
        }
        if (InRange(sub->ActivePreset, sub->Presets.size()) &&
            ApplyPreset(sub->Presets[static_cast<std::size_t>(sub->ActivePreset)], state, target))
            view.applied = sub->ActivePreset;
    } else if (button == MouseButton::Right) {
        if (keys.shift && !keys.ctrl && !keys.alt) {
            StorePreset(preset, target.snapshot(), now);
            view.relabel = true;
            view.label = {preset.Caption, preset.Description, true};
            if (ApplyPreset(preset, state, target)) view.applied = p;
        } else {
            view.showMenu = true;
            view.editEnabled = preset.isUsed();
        }
    }
    return view;
}

void StorePreset(PresetInfo& preset, const ReceiverSnapshot& state, std::time_t now) {
    preset.DemodMode = state.demodMode;
    preset.FilterMode = state.filterMode;
    preset.FreqCurrent = RoundHalfEven32(state.tunedFreqMHz * 1000000.0);
    preset.Caption = FormatNumber(preset.FreqCurrent / 1000.0, "#0");
    preset.Description = FormatNumber(preset.FreqCurrent, "#,###0 Hz");
    preset.TuneImage = state.tuneImage;
    preset.When = WhenText(now);
    preset.FilterHi = state.filterHi;
    preset.FilterLo = state.filterLo;
    preset.AGCMode = state.agcMode;
    preset.AGCAttack = state.agcAttack;
    preset.AGCDecay = state.agcDecay;
}

bool ApplyPreset(const PresetInfo& preset, PresetPanelState& state, PresetTarget& target) {
    ReentryGuard guard(state.inApplyPreset);
    if (!guard.entered() || !preset.isUsed()) return false;
    target.selectDemodMode(preset.DemodMode);
    target.selectFilter(preset.FilterMode);
    target.setFilterHi(preset.FilterHi >= 0 ? preset.FilterHi : target.defaultFilterHi());
    target.setFilterLo(preset.FilterLo >= 0 ? preset.FilterLo : target.defaultFilterLo());
    if (preset.AGCMode < 0) {
        // Not stored: the AGC is the listener's. Only a preset's own selection (4) is handed
        // back, to the selection it took over from (1 when none is known); a selection the
        // listener made stays.
        if (target.agcMode() >= 4)
            target.selectAgcMode(state.RememberedAgcMode >= 0 ? state.RememberedAgcMode : 1);
    } else {
        const std::int32_t current = target.agcMode();
        if (current < 4) state.RememberedAgcMode = current;
        const std::int32_t attack = AgcTime(preset.AGCAttack);
        const std::int32_t decay = AgcTime(preset.AGCDecay);
        target.setPresetAgcTimes(attack, decay);
        target.selectAgcMode(4);
        target.showPresetAgc(attack, decay);
    }
    target.tune(preset.FreqCurrent / 1000000.0);
    target.setImage(preset.TuneImage);
    target.focusPreset(preset.Index);
    return true;
}

PresetEditRequest BeginSaveToPreset(const PresetInfo& preset, const ReceiverSnapshot& state,
                                    std::time_t now) {
    PresetEditRequest request;
    request.record = preset;
    request.record.FilterMode = state.filterMode;
    request.record.DemodMode = state.demodMode;
    request.record.Active = false;
    request.record.FreqCurrent = RoundHalfEven32(state.tunedFreqMHz * 1000000.0);
    request.record.TuneImage = state.tuneImage;
    request.record.When = WhenText(now);
    // The current settings are the filter's edges and the AGC with its times too, as a store
    // takes them: a recall then brings back what was saved, not the preset's old edges.
    request.record.FilterHi = state.filterHi;
    request.record.FilterLo = state.filterLo;
    request.record.AGCMode = state.agcMode;
    request.record.AGCAttack = state.agcAttack;
    request.record.AGCDecay = state.agcDecay;
    request.title = "Save Current Settings to Preset " + std::to_string(preset.Index);
    request.button = "&Save";
    return request;
}

PresetEditRequest BeginEditPreset(const PresetInfo& preset) {
    PresetEditRequest request;
    request.record = preset;
    request.record.Active = true;
    request.title = "Edit Preset " + std::to_string(preset.Index);
    request.button = "&Update";
    return request;
}

ButtonView FinishPresetEdit(PresetInfo& preset, const PresetInfo& edited, bool wasSave) {
    preset = edited;
    const std::string caption =
        wasSave ? FormatNumber(std::floor(preset.FreqCurrent / 1000.0 + 0.5), "0#")
                : FormatNumber(preset.FreqCurrent / 1000.0, "#0");
    return {caption, preset.Description, true};
}

std::string PresetDescriptionText(const PresetInfo& preset, const std::string& modeCaption,
                                  const std::string& filterCaption) {
    // When is "YYYY-MM-DD HH:MM:SS" (or a date and time in a regional form from older files).
    const std::string& when = preset.When;
    std::string date = when;
    std::string time;
    if (when.size() >= 10 && IsDigits(std::string_view(when).substr(0, 4)) &&
        IsDigits(std::string_view(when).substr(5, 2)) &&
        IsDigits(std::string_view(when).substr(8, 2))) {
        date = when.substr(0, 4) + "/" + when.substr(5, 2) + "/" + when.substr(8, 2);
        if (when.size() >= 16 && IsDigits(std::string_view(when).substr(11, 2)) &&
            IsDigits(std::string_view(when).substr(14, 2)))
            time = when.substr(11, 5);
    }
    return "Frequency=" + FormatNumber(preset.FreqCurrent / 1000000.0, "#0.000 MHz") +
           "\nModulation=" + modeCaption + "\nFilter=" + filterCaption + "\nDate=" + date +
           "\nTime=" + time;
}

std::string SubBandDescriptionText(const SubBandInfo& sub) {
    return "Band=" + sub.Caption + "\nFreq Lo=" + std::to_string(sub.FreqMin) +
           "\nFreq Hi=" + std::to_string(sub.FreqMax);
}

} // namespace orvex
