// frmConfig: the configuration dialog (non-modal; the main window waits for it while staying
// usable). It shows the synthesiser's clock, IF and injection side, the chip, the interface
// and port of its control lines, the sound devices, the simulated receiver's options and the
// option flags, and runs the handlers of ConfigForm on them: the window copies its controls
// into the form before a handler and shows the form afterwards.
//
// "IF recording (WAV file)..." in the capture list asks for the file when chosen; the
// simulated receiver's scene and clock error apply while it is the chosen capture device.
#pragma once

#include "app/ConfigForm.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;

namespace orvex::ui {

class frmConfig final : public QDialog {
    Q_OBJECT
public:
    explicit frmConfig(app::ConfigController& config, QWidget* parent = nullptr);
    const app::ConfigForm& form() const { return m_form; }

    /// Asks for a file to open (caption, file filter, folder to start in); an empty result is
    /// a cancelled choice. A file dialog by default; tests answer it themselves.
    std::function<QString(const QString&, const QString&, const QString&)> chooseFile;

    void cmdApply_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdCalDDS_Click();

public Q_SLOTS:
    /// Escape: as Cancel.
    void reject() override;

Q_SIGNALS:
    /// The dialog closed (OK, Cancel or its close box); form().Cancel says which.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void readControls();
    void showControls();
    void cboCapDevices_Activated(int index);
    void chooseScene();
    bool putOffPastBlock(void (frmConfig::*handler)());

    app::ConfigController& m_config;
    app::ConfigForm m_form;
    QLineEdit* m_clock = nullptr;
    QLineEdit* m_if = nullptr;
    QCheckBox* m_ifHigh = nullptr;
    QComboBox* m_chip = nullptr;
    QRadioButton* m_optIF[2] = {};
    QLabel* m_comPortLabel = nullptr;
    QComboBox* m_comPort = nullptr;
    QLabel* m_parallel = nullptr;
    QComboBox* m_capture = nullptr;
    QLabel* m_ifFile = nullptr;
    QComboBox* m_playback = nullptr;
    QGroupBox* m_sim = nullptr;
    QLineEdit* m_scene = nullptr;
    QDoubleSpinBox* m_ppm = nullptr;
    QCheckBox* m_useSPL = nullptr;
    QCheckBox* m_rigctl = nullptr;
    QLineEdit* m_rigctlAddress = nullptr;
    QLineEdit* m_rigctlPort = nullptr;
    QLabel* m_rigctlStatus = nullptr;
    QCheckBox* m_toPrograms = nullptr;
    QCheckBox* m_udpAudio = nullptr;
    QLineEdit* m_udpAddress = nullptr;
    QLabel* m_programAudioStatus = nullptr;
    QCheckBox* m_encoder = nullptr;
    QCheckBox* m_autoRate = nullptr;
    QCheckBox* m_wheelOverScope = nullptr;
    QCheckBox* m_autoRefresh = nullptr;
    QCheckBox* m_caption = nullptr;
    bool m_closed = false;
    bool m_showing = false; // showControls() is setting the controls: their signals act on nothing
};

} // namespace orvex::ui
