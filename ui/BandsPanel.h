// Bands and presets: the band picture, the 18 sub-band buttons, and the presets frame (titled
// with the band's caption) with the band and sub-band pickers and the 12 preset buttons.
//
// Mouse: left on a sub-band selects it; left on a preset recalls it, Shift + right stores the
// receiver's state into it, right opens "&User Presets" (Save to Preset, Edit Preset). Keys:
// F1..F12 recall presets 1..12 of the sub-band, Ctrl on a preset button shows or hides the
// details pop-up, Ctrl+B opens the band picker, Enter on the sub-band caption its picker.
// The pickers hide while the pointer is elsewhere and show where it points (the core keeps
// which are shown). Everything is forwarded to the bands controller; the panel repaints on its
// changed().
#pragma once

#include "app/BandsController.h"

#include <QWidget>
#include <array>
#include <cstdint>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QMouseEvent;
class QPushButton;

namespace orvex::ui {

class frmPresetDesc;

class BandsPanel final : public QWidget {
    Q_OBJECT
public:
    explicit BandsPanel(app::BandsController& bands, QWidget* parent = nullptr);
    ~BandsPanel() override;
    void refresh();

    QLabel* bandImage() const { return m_image; }            // imgBandSelect
    QWidget* subBandsArea() const { return m_subBandsArea; } // picSubBands
    QPushButton* subBand(int s) const { return m_subBands[static_cast<std::size_t>(s)]; }
    QGroupBox* presetsFrame() const { return m_frame; }          // frPresets
    QComboBox* bandSelect() const { return m_bandSelect; }       // cboBandSelect
    QLabel* subBandLabel() const { return m_subBandLabel; }      // lblSubBand
    QComboBox* subBandSelect() const { return m_subBandSelect; } // cboSubBandSelect
    QListView* subBandList() const { return m_subBandList; }     // lstSubBandSelect
    QPushButton* preset(int p) const { return m_presets[static_cast<std::size_t>(p)]; }
    QMenu* userPresets() const { return m_menu; }    // mnuUserPresets
    QAction* saveToPreset() const { return m_save; } // mnuUserPresets_Save
    QAction* editPreset() const { return m_edit; }   // mnuUserPresets_Edit
    frmPresetDesc* description() const { return m_desc; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void presetMouse(int p, QMouseEvent* event, bool press);
    int pickerUnder(QPoint inFrame) const;
    void showDescription();
    void refreshButtons();
    void refreshPickers();

    app::BandsController& m_bands;
    QLabel* m_image = nullptr;
    QWidget* m_subBandsArea = nullptr;
    std::array<QPushButton*, 18> m_subBands{};
    QGroupBox* m_frame = nullptr;
    QComboBox* m_bandSelect = nullptr;
    QLabel* m_subBandLabel = nullptr;
    QComboBox* m_subBandSelect = nullptr;
    QListView* m_subBandList = nullptr;
    std::array<QPushButton*, 12> m_presets{};
    QMenu* m_menu = nullptr;
    QAction* m_save = nullptr;
    QAction* m_edit = nullptr;
    frmPresetDesc* m_desc = nullptr;
    std::uint32_t m_focusRequests = 0;
    int m_menuPress = -1; ///< the preset whose press opened the menu (its release does nothing)
};

} // namespace orvex::ui
