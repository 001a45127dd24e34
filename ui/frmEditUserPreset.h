// frmEditUserPreset: the modal dialog in which the listener reviews one preset before it is
// saved ("Save to Preset") or updated ("Edit Preset"): description, frequency in hertz, mode,
// filter, date, time and image tuning. Confirming writes the fields into the request's record
// (bandplan/PresetEditor.h has the rules); Cancel or the close box leave it as it was.
#pragma once

#include "app/BandsController.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvex::ui {

class frmEditUserPreset final : public QDialog {
    Q_OBJECT
public:
    /// Fills the controls from request.record; the title and confirm caption come with it.
    explicit frmEditUserPreset(PresetEditRequest& request, QWidget* parent = nullptr);
    /// EditPresetConfirmed: true only once the confirm button wrote the record.
    bool confirmed() const { return m_confirmed; }

    QLineEdit* value(int i) const { return m_values[static_cast<std::size_t>(i)]; }
    QRadioButton* demodulation(int i) const { return m_demod[static_cast<std::size_t>(i)]; }
    QRadioButton* filtering(int i) const { return m_filter[static_cast<std::size_t>(i)]; }
    QCheckBox* tuneImage() const { return m_tuneImage; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    void cmdSave_Click();

    PresetEditRequest& m_request;
    bool m_confirmed = false;
    QLabel* m_index = nullptr;               // lblPresetIndex
    std::array<QLineEdit*, 4> m_values{};    // txtPresetValues(0..3)
    std::array<QRadioButton*, 4> m_demod{};  // optDemodulationValue(0..3)
    std::array<QRadioButton*, 5> m_filter{}; // optFilteringValues(0..4)
    QCheckBox* m_tuneImage = nullptr;        // chkPresetTuneImage
    QPushButton* m_save = nullptr;           // cmdSave
    QPushButton* m_cancel = nullptr;         // cmdCancel
};

} // namespace orvex::ui
