// frmCalibrate: the DDS clock calibration dialog, shown modally over the configuration dialog.
//
// Tune to a station of known frequency, type its official frequency: the dialog shows the
// clock that would make the synthesiser's present tuning word give exactly that frequency.
// "Try It" puts that clock into the DDS controller (the next tuning uses it), "Apply" keeps it
// and closes, "Cancel" (or the close box, or Escape) restores the clock found at opening. The
// arithmetic is DDSCalibration's; this window only shows it. While typing, the new clock
// follows the text; a zero official frequency is refused when the entry is finished (Enter,
// Try It, Apply), so emptying the field to retype never raises a message.
#pragma once

#include "app/ConfigController.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex::ui {

class frmCalibrate final : public QDialog {
    Q_OBJECT
public:
    /// Shows `calibration` (app::ConfigController::calibration()).
    explicit frmCalibrate(DDSCalibration calibration, QWidget* parent = nullptr);
    const DDSCalibration& calibration() const { return m_cal; }

public Q_SLOTS:
    void reject() override;

private:
    void showState();
    /// The official frequency as typed, with the zero message; false when it was zero.
    bool commitOfficial();

    DDSCalibration m_cal;
    QLineEdit* m_official = nullptr;
    QLabel* m_tuned = nullptr;
    QLabel* m_current = nullptr;
    QLabel* m_new = nullptr;
};

} // namespace orvex::ui
