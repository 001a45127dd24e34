// Bands, sub-bands and presets on the front panel: the receiver as a preset sees it (the
// receiver's verbs and the preset buttons), and the panel's band, sub-band, preset, editor and
// hover operations.
#include "BandsController.h"

#include "app/RadioSession.h"
#include "app/ValuesController.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"

#include <algorithm>

namespace orvex::app {
namespace {

SubBandInfo* ActiveSubBand(BandPlanModel& model) {
    const std::int32_t b = model.CurrentMainBandIndex;
    if (b < 0 || b >= static_cast<std::int32_t>(model.MainBands.size())) return nullptr;
    MainBandInfo& band = model.MainBands[static_cast<std::size_t>(b)];
    const std::int32_t s = band.ActiveSubBand;
    if (s < 0 || s >= static_cast<std::int32_t>(band.SubBands.size())) return nullptr;
    return &band.SubBands[static_cast<std::size_t>(s)];
}

PresetInfo* PresetOf(BandPlanModel& model, std::int32_t p) {
    SubBandInfo* sub = ActiveSubBand(model);
    if (!sub || p < 0 || p >= kPresetSlots || p >= static_cast<std::int32_t>(sub->Presets.size()))
        return nullptr;
    return &sub->Presets[static_cast<std::size_t>(p)];
}

std::string ButtonCaption(const ButtonGroup& group, std::int32_t i) {
    if (i < 0 || i >= static_cast<std::int32_t>(group.Buttons.size())) return {};
    std::string caption = group.Buttons[static_cast<std::size_t>(i)].Caption;
    std::erase(caption, '&');
    return caption;
}

// What the hover operations change, to report only real changes.
struct PickerSnapshot {
    bool band, sub, list, label, desc;
    std::string caption, text;
    bool operator==(const PickerSnapshot&) const = default;
};

PickerSnapshot Pickers(const BandsView& b) {
    return {b.cboBandSelectVisible, b.cboSubBandSelectVisible, b.lstSubBandSelectVisible,
            b.lblSubBandVisible,    b.PresetDescVisible,       b.PresetDescCaption,
            b.PresetDescText};
}

// Start-up shows the band in use without applying its preset: the receiver comes back where
// the settings left it. Reads go to the real receiver; nothing is set.
class ShowOnlyTarget final : public PresetTarget {
public:
    explicit ShowOnlyTarget(PresetTarget& real) : m_real(real) {}
    ReceiverSnapshot snapshot() const override { return m_real.snapshot(); }
    void selectDemodMode(std::int32_t) override {}
    void selectFilter(std::int32_t) override {}
    std::int32_t defaultFilterHi() const override { return m_real.defaultFilterHi(); }
    std::int32_t defaultFilterLo() const override { return m_real.defaultFilterLo(); }
    void setFilterHi(std::int32_t) override {}
    void setFilterLo(std::int32_t) override {}
    std::int32_t agcMode() const override { return m_real.agcMode(); }
    void setPresetAgcTimes(std::int32_t, std::int32_t) override {}
    void selectAgcMode(std::int32_t) override {}
    void showPresetAgc(std::int32_t, std::int32_t) override {}
    void tune(double) override {}
    void setImage(bool) override {}
    void focusPreset(std::int32_t) override {}

private:
    PresetTarget& m_real;
};

} // namespace

// ---- the receiver as a preset sees it -----------------------------------------------------------

class BandsController::Target final : public PresetTarget {
public:
    explicit Target(BandsController& owner) : m_owner(owner), m_session(owner.m_session) {}

    ReceiverSnapshot snapshot() const override {
        const ReceiveState& s = m_session.state();
        ReceiverSnapshot r;
        r.demodMode = s.CurrentDemodMode;
        r.filterMode = s.CurrentFilterMode;
        r.filterHi = s.FilterHi;
        r.filterLo = s.FilterLo;
        r.agcMode = s.AGCMode;
        r.agcAttack = s.lblAGCAttack.Value;
        r.agcDecay = s.lblAGCDecay.Value;
        r.tunedFreqMHz = m_session.tunedMHz();
        // The Image box is the image flag the listener sets (start-up shows the DDS
        // controller's TuneImage on it).
        r.tuneImage = s.chkImage.Value;
        return r;
    }
    void selectDemodMode(std::int32_t mode) override { m_session.setMode(mode); }
    void selectFilter(std::int32_t filterMode) override { m_session.selectFilter(filterMode); }
    std::int32_t defaultFilterHi() const override {
        const FilterPreset* p = currentFilter();
        return p ? p->DefaultHi : m_session.state().FilterHi;
    }
    std::int32_t defaultFilterLo() const override {
        const FilterPreset* p = currentFilter();
        return p ? p->DefaultLo : m_session.state().FilterLo;
    }
    // An edge goes through its label as a wheel step would, within what the label can show.
    void setFilterHi(std::int32_t hz) override { setEdge(ChainLabel::FilterHi, hz); }
    void setFilterLo(std::int32_t hz) override { setEdge(ChainLabel::FilterLo, hz); }
    std::int32_t agcMode() const override { return m_session.state().AGCMode; }
    void setPresetAgcTimes(std::int32_t attack, std::int32_t decay) override {
        AGCModeRecord& m = m_session.chain().State().AGCModes[4];
        if (attack >= 0) m.CurrentDelay = attack;
        if (decay >= 0) m.CurrentRamp = decay;
    }
    void selectAgcMode(std::int32_t mode) override { m_session.selectAGC(mode); }
    void showPresetAgc(std::int32_t attack, std::int32_t decay) override {
        ReceiveState& s = m_session.chain().State();
        for (PanelButton& b : s.optAGC.Buttons)
            b.Colour = kColourResting;
        s.optAGC.Selected = -1;
        if (attack >= 0)
            s.sldAGCAttack.Value = std::clamp(attack, s.sldAGCAttack.Min, s.sldAGCAttack.Max);
        if (decay >= 0)
            s.sldAGCDecay.Value = std::clamp(decay, s.sldAGCDecay.Min, s.sldAGCDecay.Max);
    }
    void tune(double mhz) override {
        std::string why;
        if (!m_session.tune(mhz, &why))
            ShowMessage("The preset's frequency cannot be tuned. " + why, MessageIcon::Exclamation,
                        kApplicationName);
    }
    void setImage(bool on) override {
        if (m_session.state().chkImage.Value != on) m_session.setCheck(ChainCheck::Image, on);
    }
    void focusPreset(std::int32_t index) override {
        if (index < 0 || index >= kPresetSlots) return;
        BandsView& b = m_owner.m_view;
        b.FocusPreset = index;
        ++b.FocusRequests;
        b.SelectedPreset = index;
        b.optPresetColour[static_cast<std::size_t>(index)] = kColourSelected;
    }

private:
    const FilterPreset* currentFilter() const {
        const ReceiveState& s = m_session.state();
        const std::int32_t f = s.CurrentFilterMode;
        if (f < 0 || f >= static_cast<std::int32_t>(s.FilterPresets.size())) return nullptr;
        return &s.FilterPresets[static_cast<std::size_t>(f)];
    }
    void setEdge(ChainLabel which, std::int32_t hz) {
        const ValueLabel& l = m_session.chain().Label(which);
        m_session.setValue(which, std::clamp(static_cast<float>(hz), l.Min, l.Max));
    }

    BandsController& m_owner;
    RadioSession& m_session;
};

BandsController::BandsController(RadioSession& session, ValuesController& values,
                                 const LifeCycle& life)
    : m_session(session), m_life(life) {
    // The hover reset hides the pickers and the description.
    values.addHoverReset([this] {
        if (hideBandPickers()) Q_EMIT changed();
    });
}

BandsController::~BandsController() = default;

PresetTarget& BandsController::presetTarget() {
    if (!m_presetTarget) m_presetTarget = std::make_unique<Target>(*this);
    return *m_presetTarget;
}

// ---- start-up ----------------------------------------------------------------------------------

void BandsController::fillBandSelect() {
    BandsView& b = m_view;
    b.cboBandSelect.clear();
    for (const MainBandInfo& band : m_bands.MainBands)
        b.cboBandSelect.push_back(band.Caption);
    b.optSubBandColour.fill(kColourDarkRed);
    b.optPresetColour.fill(kColourResting);
}

void BandsController::selectBandInUse() {
    const auto bands = static_cast<std::int32_t>(m_bands.MainBands.size());
    std::int32_t index = m_restoredBand;
    if (index < 0 || index >= bands) index = m_bands.CurrentMainBandIndex;
    ShowOnlyTarget showOnly(presetTarget());
    const MainBandView view = SelectMainBand(m_bands, index, m_presetState, showOnly);
    if (view.done) showMainBand(view);
}

// ---- what the buttons show ---------------------------------------------------------------------

void BandsController::relabelPresets(const std::vector<ButtonView>& presets) {
    for (std::size_t p = 0; p < m_view.optPreset.size(); ++p)
        m_view.optPreset[p] = p < presets.size() ? presets[p] : ButtonView{"", "", false};
}

void BandsController::showMainBand(const MainBandView& view) {
    BandsView& b = m_view;
    b.BandIndex = m_bands.CurrentMainBandIndex;
    b.frPresets = view.frameCaption;
    for (std::size_t s = 0; s < b.optSubBand.size(); ++s)
        b.optSubBand[s] = s < view.subBands.size() ? view.subBands[s] : ButtonView{"", "", false};
    b.SubBandList = view.subBandList;
    const std::int32_t s = view.selectedSubBand;
    const bool listed = s >= 0 && s < static_cast<std::int32_t>(view.subBandList.size());
    b.SubBandListIndex = listed ? s : -1;
    b.lblSubBand = listed ? " " + view.subBandList[static_cast<std::size_t>(s)] + " " : "";
    b.lblSubBandTag = b.SubBandListIndex;
    b.optSubBandColour.fill(kColourDarkRed);
    b.SelectedSubBand = s >= 0 && s < kSubBandSlots ? s : -1;
    if (b.SelectedSubBand >= 0) b.optSubBandColour[static_cast<std::size_t>(s)] = kColourRed;
    relabelPresets(view.presets);
    b.SelectedPreset = view.selectedPreset;
}

void BandsController::showActivePreset() {
    const SubBandInfo* sub = ActiveSubBand(m_bands);
    m_view.SelectedPreset = sub ? sub->ActivePreset : -1;
}

// ---- band, sub-band and preset ----------------------------------------------------------------

void BandsController::cboBandSelect_Click(std::int32_t index) {
    if (!m_life.running()) return; // ignored while the window is still loading
    m_view.optPresetColour.fill(kColourResting);
    const MainBandView view = SelectMainBand(m_bands, index, m_presetState, presetTarget());
    if (!view.done) return;
    showMainBand(view);
    Q_EMIT changed();
}

void BandsController::optSubBand_MouseDown(std::int32_t s, MouseButton button) {
    // Only the left button selects: a right press would move the active sub-band without
    // relabelling the preset buttons, which would then store into presets not shown.
    if (!m_life.running() || button != MouseButton::Left) return;
    if (s < 0 || s >= kSubBandSlots) return;
    m_view.optPresetColour.fill(kColourResting);
    const SubBandView view = SelectSubBand(m_bands, s, m_presetState, presetTarget());
    if (!view.done) return;
    BandsView& b = m_view;
    b.optSubBandColour.fill(kColourDarkRed);
    b.optSubBandColour[static_cast<std::size_t>(s)] = kColourRed;
    b.SelectedSubBand = s;
    relabelPresets(view.presets);
    if (view.listIndex < static_cast<std::int32_t>(b.SubBandList.size())) {
        b.SubBandListIndex = view.listIndex;
        b.lblSubBand = " " + b.SubBandList[static_cast<std::size_t>(view.listIndex)] + " ";
        b.lblSubBandTag = view.listIndex;
    }
    if (view.press.done)
        showActivePreset();
    else
        b.SelectedPreset = -1; // no active preset here: no preset button is selected
    Q_EMIT changed();
}

void BandsController::subBandList_Click(std::int32_t index) {
    if (!m_life.running()) return;
    if (index < 0 || index >= static_cast<std::int32_t>(m_view.SubBandList.size())) return;
    m_view.lblSubBand = " " + m_view.SubBandList[static_cast<std::size_t>(index)] + " ";
    m_view.lblSubBandTag = index;
    optSubBand_MouseDown(index, MouseButton::Left);
    Q_EMIT changed();
}

PresetPressView BandsController::optPreset_MouseDown(std::int32_t p, MouseButton button,
                                                     KeyState keys) {
    if (!m_life.running() || p < 0 || p >= kPresetSlots) return {};
    m_view.optPresetColour.fill(kColourResting);
    const PresetPressView view =
        PressPreset(m_bands, p, button, keys, m_presetState, presetTarget());
    if (!view.done) return view;
    if (view.relabel) m_view.optPreset[static_cast<std::size_t>(p)] = view.label;
    showActivePreset();
    Q_EMIT changed();
    return view;
}

// ---- the editor --------------------------------------------------------------------------------

bool BandsController::mnuUserPresets_Save() {
    return editPreset(true);
}

bool BandsController::mnuUserPresets_Edit() {
    return editPreset(false);
}

bool BandsController::editPreset(bool save) {
    if (!m_life.running() || !m_presetEditor) return false;
    const PresetInfo* preset = CurrentPreset(m_bands);
    if (!preset || (!save && !preset->isUsed())) return false; // Edit needs a used preset
    PresetEditRequest request =
        save ? BeginSaveToPreset(*preset, presetTarget().snapshot()) : BeginEditPreset(*preset);
    if (!m_presetEditor(request)) return false;
    // The editor ran modally; look the preset up again rather than trusting the old pointer.
    PresetInfo* target = CurrentPreset(m_bands);
    const SubBandInfo* sub = ActiveSubBand(m_bands);
    if (!target || !sub || m_life.unloaded) return false;
    const std::int32_t p = sub->ActivePreset;
    ButtonView label = FinishPresetEdit(*target, request.record, save);
    // A preset edited to no frequency is empty: its button says so, as after the next start.
    if (!target->isUsed()) label = PresetButton(*target, p);
    BandsView& b = m_view;
    b.optPresetColour.fill(kColourResting);
    if (p >= 0 && p < kPresetSlots) {
        b.optPreset[static_cast<std::size_t>(p)] = label;
        b.SelectedPreset = p;
    }
    ApplyPreset(*target, m_presetState, presetTarget()); // the verbs say what it changed
    Q_EMIT changed();
    return true;
}

// ---- hover and the pickers -----------------------------------------------------------------

bool BandsController::hideBandPickers() {
    BandsView& b = m_view;
    const PickerSnapshot before = Pickers(b);
    b.cboBandSelectVisible = b.cboSubBandSelectVisible = b.lstSubBandSelectVisible = false;
    b.lblSubBandVisible = true;
    b.PresetDescVisible = false;
    return before != Pickers(b);
}

void BandsController::presetHover(std::int32_t p) {
    BandsView& b = m_view;
    const PickerSnapshot before = Pickers(b);
    const PresetInfo* preset = PresetOf(m_bands, p);
    b.PresetDescVisible = m_presetState.ShowPresetDesc && preset;
    if (b.PresetDescVisible) {
        b.PresetDescCaption = preset->Description;
        const ReceiveState& s = m_session.state();
        b.PresetDescText =
            preset->isUsed()
                ? PresetDescriptionText(*preset, ButtonCaption(s.optMode, preset->DemodMode),
                                        preset->FilterMode == -2
                                            ? "Sliders"
                                            : ButtonCaption(s.optFilter, preset->FilterMode))
                : "Unused - Shift + Right Click to set";
    }
    if (before != Pickers(b)) Q_EMIT changed();
}

void BandsController::optPreset_CtrlKey(std::int32_t p) {
    m_presetState.ShowPresetDesc = !m_presetState.ShowPresetDesc;
    m_view.PresetDescVisible = false;
    presetHover(p);
    Q_EMIT changed();
}

void BandsController::subBandHover(std::int32_t s) {
    BandsView& b = m_view;
    const PickerSnapshot before = Pickers(b);
    b.cboBandSelectVisible = b.cboSubBandSelectVisible = b.lstSubBandSelectVisible = false;
    b.lblSubBandVisible = true;
    const auto bi = m_bands.CurrentMainBandIndex;
    const MainBandInfo* band = bi >= 0 && bi < static_cast<std::int32_t>(m_bands.MainBands.size())
                                   ? &m_bands.MainBands[static_cast<std::size_t>(bi)]
                                   : nullptr;
    const bool known = band && s >= 0 && s < static_cast<std::int32_t>(band->SubBands.size());
    b.PresetDescVisible = m_presetState.ShowPresetDesc && known;
    if (b.PresetDescVisible) {
        const SubBandInfo& sub = band->SubBands[static_cast<std::size_t>(s)];
        b.PresetDescCaption = sub.Description;
        b.PresetDescText = SubBandDescriptionText(sub);
    }
    if (before != Pickers(b)) Q_EMIT changed();
}

void BandsController::subBandLabelHover() {
    BandsView& b = m_view;
    if (!b.lblSubBandVisible && b.cboSubBandSelectVisible) return;
    b.lblSubBandVisible = false;
    b.cboSubBandSelectVisible = true;
    Q_EMIT changed();
}

void BandsController::presetsFrameHover(BandPicker under) {
    BandsView& b = m_view;
    const PickerSnapshot before = Pickers(b);
    b.cboBandSelectVisible = under == BandPicker::cboBandSelect;
    b.cboSubBandSelectVisible = under == BandPicker::cboSubBandSelect;
    b.lstSubBandSelectVisible = under == BandPicker::lstSubBandSelect;
    b.lblSubBandVisible = !b.cboSubBandSelectVisible;
    b.PresetDescVisible = false;
    if (before != Pickers(b)) Q_EMIT changed();
}

void BandsController::subBandsHover() {
    if (hideBandPickers()) Q_EMIT changed();
}

void BandsController::bandImageHover() {
    BandsView& b = m_view;
    const PickerSnapshot before = Pickers(b);
    b.cboBandSelectVisible = b.cboSubBandSelectVisible = b.lstSubBandSelectVisible = false;
    b.lblSubBandVisible = true;
    if (before != Pickers(b)) Q_EMIT changed();
}

void BandsController::pickerLostFocus(BandPicker which) {
    BandsView& b = m_view;
    const PickerSnapshot before = Pickers(b);
    if (which == BandPicker::cboBandSelect) b.cboBandSelectVisible = false;
    if (which == BandPicker::cboSubBandSelect) {
        b.cboSubBandSelectVisible = false;
        b.lblSubBandVisible = true;
    }
    if (which == BandPicker::lstSubBandSelect) b.lstSubBandSelectVisible = false;
    if (before != Pickers(b)) Q_EMIT changed();
}

void BandsController::openPicker(BandPicker which) {
    BandsView& b = m_view;
    if (which == BandPicker::cboBandSelect) b.cboBandSelectVisible = true;
    if (which == BandPicker::cboSubBandSelect) {
        b.cboSubBandSelectVisible = true;
        b.lblSubBandVisible = false;
    }
    if (which == BandPicker::lstSubBandSelect) b.lstSubBandSelectVisible = true;
    Q_EMIT changed();
}

void BandsController::saveAll() {
    SaveAllBandPlans(m_bands);
}

} // namespace orvex::app
