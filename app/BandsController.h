// The bands and presets area of the window: the band plans (MainBands), the band and
// sub-band pickers, the 18 sub-band buttons, the 12 preset buttons with their store, recall,
// edit and description pop-up, and the band plans' save at shutdown. A recalled preset sets
// the receiver through RadioSession's verbs, so the readout and the controls follow it.
//
// Runs on the user-interface thread; the bands panel shows view() and repaints on changed().
#pragma once

#include "app/LifeCycle.h"
#include "bandplan/PresetEditor.h"
#include "bandplan/PresetSelection.h"
#include "bandplan/modBandPlan.h"
#include "core/Colours.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex::app {

class RadioSession;
class ValuesController;

/// The pickers of the bands and presets panel.
enum class BandPicker { None, cboBandSelect, cboSubBandSelect, lstSubBandSelect };

/// What the bands and presets panel shows.
struct BandsView {
    std::vector<std::string> cboBandSelect; ///< the bands' captions, in MainBands order
    std::int32_t BandIndex = -1;            ///< cboBandSelect's index
    std::string frPresets;                  ///< frame caption: the band's Caption
    std::array<ButtonView, kSubBandSlots> optSubBand{};
    std::array<PanelColour, kSubBandSlots> optSubBandColour{};
    std::int32_t SelectedSubBand = -1;
    std::vector<std::string> SubBandList; ///< cboSubBandSelect and lstSubBandSelect
    std::int32_t SubBandListIndex = -1;
    std::string lblSubBand; ///< the sub-band's caption with a space on each side
    std::int32_t lblSubBandTag = -1;
    std::array<ButtonView, kPresetSlots> optPreset{};
    std::array<PanelColour, kPresetSlots> optPresetColour{};
    std::int32_t SelectedPreset = -1; ///< the preset button shown selected; -1 none
    std::int32_t FocusPreset = -1;    ///< the button the last applied preset focused
    std::uint32_t FocusRequests = 0;  ///< counts the requests to focus FocusPreset
    bool cboBandSelectVisible = false;
    bool cboSubBandSelectVisible = false;
    bool lstSubBandSelectVisible = false; ///< also its enabled state
    bool lblSubBandVisible = true;
    /// frmPresetDesc: shown near the pointer with a heading and the details.
    bool PresetDescVisible = false;
    std::string PresetDescCaption, PresetDescText;
};

class BandsController final : public QObject {
    Q_OBJECT
public:
    BandsController(RadioSession& session, ValuesController& values, const LifeCycle& life);
    ~BandsController() override;

    /// The band plans (loaded at start-up, written back at shutdown).
    BandPlanModel& model() { return m_bands; }
    const BandPlanModel& model() const { return m_bands; }

    /// "Form_Load : Initialising cboBandSelect": the bands' captions and resting colours.
    void fillBandSelect();
    /// The band index the settings restored (CurrentMainBandIndex).
    std::int32_t restoredBandIndex() const { return m_restoredBand; }
    void setRestoredBandIndex(std::int32_t index) { m_restoredBand = index; }
    /// "Form_Load : Select Band in use last time": shows that band, its sub-band and presets
    /// without applying a preset (the receiver comes back where the settings left it).
    void selectBandInUse();
    /// Writes every band plan back (shutdown).
    void saveAll();

    const BandsView& view() const { return m_view; }
    const PresetPanelState& presetState() const { return m_presetState; }
    /// The receiver as presets see it: the chain, the DDS controller and this panel.
    PresetTarget& presetTarget();
    /// Shows the preset editor modally on the request; true when the user confirmed (the
    /// edited record is then in request.record). The window installs it; without one, Save
    /// and Edit do nothing.
    using PresetEditor = std::function<bool(PresetEditRequest& request)>;
    void setPresetEditor(PresetEditor editor) { m_presetEditor = std::move(editor); }

    /// cboBandSelect chose band i: the band, its sub-bands, presets and active preset.
    void cboBandSelect_Click(std::int32_t index);
    /// optSubBand(s) pressed; only the left button selects.
    void optSubBand_MouseDown(std::int32_t s, MouseButton button);
    /// lstSubBandSelect or cboSubBandSelect chose list entry i.
    void subBandList_Click(std::int32_t index);
    /// optPreset(p) pressed (and released: the left button's handling is repeated).
    PresetPressView optPreset_MouseDown(std::int32_t p, MouseButton button, KeyState keys);
    /// A key on preset button p with Ctrl alone held: the description window on or off.
    void optPreset_CtrlKey(std::int32_t p);
    /// "Save to Preset" and "Edit Preset" of "&User Presets": the editor on the active preset
    /// of the active sub-band; true when a preset changed.
    bool mnuUserPresets_Save();
    bool mnuUserPresets_Edit();
    /// Hover: a preset button, a sub-band button, the sub-band caption, the presets frame (with
    /// the hidden picker whose area holds the pointer), the sub-band buttons' ground, the band
    /// picture; a picker that lost the keyboard focus; a picker opened from the keyboard.
    void presetHover(std::int32_t p);
    void subBandHover(std::int32_t s);
    void subBandLabelHover();
    void presetsFrameHover(BandPicker under);
    void subBandsHover();
    void bandImageHover();
    void pickerLostFocus(BandPicker which);
    void openPicker(BandPicker which);

    /// Repaints what shows this area (start-up, a change made outside its handlers).
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();

private:
    class Target;
    void showMainBand(const MainBandView& view);
    void showActivePreset();
    void relabelPresets(const std::vector<ButtonView>& presets);
    /// The hover reset's part: pickers and description hidden, the sub-band caption shown;
    /// true when anything changed.
    bool hideBandPickers();
    bool editPreset(bool save);

    RadioSession& m_session;
    const LifeCycle& m_life;
    BandPlanModel m_bands;
    std::int32_t m_restoredBand = 0;
    BandsView m_view;
    PresetPanelState m_presetState;
    std::unique_ptr<PresetTarget> m_presetTarget; // a Target, made on first use
    PresetEditor m_presetEditor;
};

} // namespace orvex::app
