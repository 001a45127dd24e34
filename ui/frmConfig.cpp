#include "frmConfig.h"

#include "PanelWidgets.h"
#include "app/ConfigController.h"
#include "frmCalibrate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>

namespace orvex::ui {
namespace {

// The chip selector's entries and the DDSType each stands for.
constexpr struct {
    const char* name;
    int type;
} kChips[] = {{"AD9951", 3}, {"AD9835", 2}, {"AD9850", 1}};

template <typename W>
W* Named(W* w, const char* name, const QString& accessible) {
    w->setObjectName(name);
    w->setAccessibleName(accessible);
    return w;
}

QComboBox* DeviceList(QWidget* parent, const char* name, const char* tip) {
    auto* c = Named(new QComboBox(parent), name, tip);
    c->setToolTip(tip);
    // Long ALSA descriptions must not widen the dialog; the list pops up as wide as it needs.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(26);
    return c;
}

void ShowItems(QComboBox* c, const std::vector<std::string>& items) {
    bool same = c->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < c->count(); ++i)
        same = c->itemText(i) == Q(items[static_cast<std::size_t>(i)]);
    if (same) return;
    c->clear();
    for (const auto& item : items)
        c->addItem(Q(item));
}

void ShowCheck(QCheckBox* box, bool enabled, bool checked) {
    box->setEnabled(enabled);
    box->setChecked(checked);
}

} // namespace

frmConfig::frmConfig(app::ConfigController& config, QWidget* parent)
    : QDialog(parent), m_config(config), m_form(config) {
    setObjectName("frmConfig");
    setModal(false);
    chooseFile = [this](const QString& caption, const QString& filter, const QString& folder) {
        return QFileDialog::getOpenFileName(this, caption, folder, filter);
    };
    m_form.Form_Load();

    // ---- the synthesiser ----------------------------------------------------------------
    auto* dds = new QGroupBox("DDS", this);
    m_clock = Named(new QLineEdit(dds), "txtDDSClkin", "DDS clock, Hz");
    m_clock->setToolTip("DDS CLKIN Frequency");
    m_if = Named(new QLineEdit(dds), "txtIFFrequency", "IF frequency, Hz");
    m_if->setToolTip("IF Frequency");
    m_ifHigh = Named(new QCheckBox("Hi Side Local Osc Injection", dds), "chkIFHigh",
                     "Hi Side Local Osc Injection");
    m_ifHigh->setToolTip("Check if DDS tunes high side of tuned frequency");
    auto* cal = Named(new QPushButton("CA&L", dds), "cmdCalDDS", "Calibrate DDS clock");
    cal->setToolTip("Calibrate DDS CLKIN");
    cal->setAutoDefault(false);
    m_chip = Named(new QComboBox(dds), "cboDDSType", "DDS chip");
    m_chip->setToolTip("The synthesiser chip on the receiver board (the AD9850 is driven over "
                       "the parallel port only)");
    for (const auto& chip : kChips)
        m_chip->addItem(chip.name, chip.type);
    auto* ddsGrid = new QGridLayout(dds);
    ddsGrid->addWidget(new QLabel("DDS Clock (Hz)", dds), 0, 0);
    ddsGrid->addWidget(m_clock, 0, 1);
    ddsGrid->addWidget(cal, 0, 2);
    ddsGrid->addWidget(new QLabel("IF Freq. (Hz)", dds), 1, 0);
    ddsGrid->addWidget(m_if, 1, 1);
    ddsGrid->addWidget(m_ifHigh, 2, 0, 1, 3);
    ddsGrid->addWidget(new QLabel("DDS chip", dds), 3, 0);
    ddsGrid->addWidget(m_chip, 3, 1);

    // ---- the control lines --------------------------------------------------------------
    auto* lines = Named(new QGroupBox("DDS I/F Control", this), "lblDevices0", "DDS I/F Control");
    m_optIF[1] = Named(new QRadioButton("Ser", lines), "optIF1", "Serial port");
    m_optIF[1]->setToolTip("Serial Port DDS Control");
    m_optIF[0] = Named(new QRadioButton("Par", lines), "optIF0", "Parallel port");
    m_optIF[0]->setToolTip("Parallel Port DDS Control");
    m_comPortLabel = Named(new QLabel("Serial Port", lines), "lblDevices4", "Serial port");
    m_comPort = DeviceList(lines, "cboComPort", "Select the serial port (or type its path)");
    m_comPort->setEditable(true); // any device path may be typed
    m_comPort->setInsertPolicy(QComboBox::NoInsert);
    m_parallel = Named(new QLabel(lines), "lblParallelPort", "Parallel port");
    m_parallel->setWordWrap(true);
    auto* linesGrid = new QGridLayout(lines);
    auto* options = new QHBoxLayout;
    options->addWidget(m_optIF[1]);
    options->addWidget(m_optIF[0]);
    options->addStretch();
    linesGrid->addLayout(options, 0, 0, 1, 2);
    linesGrid->addWidget(m_comPortLabel, 1, 0);
    linesGrid->addWidget(m_comPort, 1, 1);
    linesGrid->addWidget(new QLabel("Parallel", lines), 2, 0, Qt::AlignTop);
    linesGrid->addWidget(m_parallel, 2, 1);

    // ---- the shaft encoder --------------------------------------------------------------
    auto* encoder = new QGroupBox("Shaft Encoder", this);
    m_encoder = Named(new QCheckBox("Enable ?", encoder), "chkEnableEncoder", "Enable encoder");
    m_autoRate =
        Named(new QCheckBox("Auto Rate ?", encoder), "chkShaftAutoRate", "Encoder automatic rate");
    auto* encoderBox = new QHBoxLayout(encoder);
    encoderBox->addWidget(m_encoder);
    encoderBox->addWidget(m_autoRate);

    // ---- sound devices ------------------------------------------------------------------
    auto* sound = new QGroupBox("Sound", this);
    m_capture = DeviceList(sound, "cboCapDevices", "Select Audio Input Device");
    m_playback = DeviceList(sound, "cboPlayDevices", "Select AF Output Device");
    ShowItems(m_capture, m_form.cboCapDevices);
    ShowItems(m_playback, m_form.cboPlayDevices);
    m_ifFile = Named(new QLabel(sound), "lblIFRecording", "IF recording file");
    auto* soundGrid = new QGridLayout(sound);
    soundGrid->addWidget(new QLabel("Capture Devices", sound), 0, 0);
    soundGrid->addWidget(m_capture, 0, 1);
    soundGrid->addWidget(m_ifFile, 1, 1);
    soundGrid->addWidget(new QLabel("Plaback Devices", sound), 2, 0);
    soundGrid->addWidget(m_playback, 2, 1);

    // ---- the simulated receiver ---------------------------------------------------------
    m_sim = Named(new QGroupBox("Simulated receiver", this), "frSimulatedReceiver",
                  "Simulated receiver");
    m_sim->setToolTip("Options of the simulated Brisko receiver, while it is the capture device");
    m_scene = Named(new QLineEdit(m_sim), "txtSimScene", "Scene file");
    m_scene->setPlaceholderText("built-in scene");
    m_scene->setToolTip("Scene file of the simulated receiver (empty: the built-in scene)");
    auto* browse = Named(new QPushButton("...", m_sim), "cmdSimScene", "Choose scene file");
    browse->setAutoDefault(false);
    auto* builtIn = Named(new QPushButton("Built-in", m_sim), "cmdSimBuiltIn", "Built-in scene");
    builtIn->setAutoDefault(false);
    m_ppm = Named(new QDoubleSpinBox(m_sim), "spnSimClockError", "Clock error, ppm");
    m_ppm->setRange(-1000.0, 1000.0);
    m_ppm->setDecimals(3);
    m_ppm->setSuffix(" ppm");
    m_ppm->setToolTip("Error of the simulated receiver's reference crystal (positive: fast), so "
                      "calibration can be practised");
    auto* simGrid = new QGridLayout(m_sim);
    simGrid->addWidget(new QLabel("Scene", m_sim), 0, 0);
    simGrid->addWidget(m_scene, 0, 1);
    simGrid->addWidget(browse, 0, 2);
    simGrid->addWidget(builtIn, 0, 3);
    simGrid->addWidget(new QLabel("Clock error", m_sim), 1, 0);
    simGrid->addWidget(m_ppm, 1, 1);

    // ---- option flags -------------------------------------------------------------------
    auto* flags = new QGroupBox("Options", this);
    m_useSPL = Named(new QCheckBox("Use FFTW/VOLK ?", flags), "chkUseSPL", "Use optimised library");
    m_useSPL->setToolTip("Click to use the optimised vector back end (FFTW and VOLK)");
    m_wheelOverScope = Named(new QCheckBox("ScrollWheel Tune over 'scope?", flags),
                             "chkScrollWheelEnableOverScope", "Scroll wheel tunes over spectrum");
    m_wheelOverScope->setToolTip("Click to enable Tuning by ScrollWheel over the Spectrum Display");
    m_autoRefresh =
        Named(new QCheckBox("AutoDDSRefresh ", flags), "chkAutoDDSRefresh", "Periodic DDS refresh");
    m_autoRefresh->setToolTip("Periodic Initialise DDS ");
    m_caption = Named(new QCheckBox("Caption Bar ?", flags), "chkfrmMainCaption", "Caption bar");
    auto* flagGrid = new QGridLayout(flags);
    flagGrid->addWidget(m_useSPL, 0, 0);
    flagGrid->addWidget(m_caption, 0, 1);
    flagGrid->addWidget(m_wheelOverScope, 1, 0);
    flagGrid->addWidget(m_autoRefresh, 1, 1);

    // ---- remote control -----------------------------------------------------------------
    auto* remote =
        Named(new QGroupBox("Remote control", this), "frRemoteControl", "Remote control");
    m_rigctl = Named(new QCheckBox("Hamlib network control (rigctld)", remote), "chkRigctl",
                     "Hamlib network control");
    m_rigctl->setToolTip("Let programs built on Hamlib (WSJT-X, fldigi, loggers; radio model 2, "
                         "NET rigctl) tune the receiver and read its S-meter");
    m_rigctlAddress = Named(new QLineEdit(remote), "txtRigctlAddress", "Listen address");
    m_rigctlAddress->setToolTip("127.0.0.1: this computer only; \"any\" or an interface's "
                                "address lets other computers connect");
    m_rigctlPort = Named(new QLineEdit(remote), "txtRigctlPort", "Port");
    m_rigctlPort->setToolTip("TCP port (rigctld's is 4532)");
    m_rigctlPort->setMaxLength(5);
    m_rigctlPort->setMaximumWidth(m_rigctlPort->fontMetrics().horizontalAdvance("000000") + 12);
    m_rigctlStatus = Named(new QLabel(remote), "lblRigctlStatus", "Remote control status");
    auto* remoteGrid = new QGridLayout(remote);
    remoteGrid->addWidget(m_rigctl, 0, 0, 1, 4);
    remoteGrid->addWidget(new QLabel("Address", remote), 1, 0);
    remoteGrid->addWidget(m_rigctlAddress, 1, 1);
    remoteGrid->addWidget(new QLabel("Port", remote), 1, 2);
    remoteGrid->addWidget(m_rigctlPort, 1, 3);
    remoteGrid->addWidget(m_rigctlStatus, 2, 0, 1, 4);

    // ---- audio for other programs --------------------------------------------------------
    auto* shared = Named(new QGroupBox("Audio for other programs", this), "frProgramAudio",
                         "Audio for other programs");
    m_toPrograms = Named(new QCheckBox("Offer the audio as the source OrvexSDR", shared),
                         "chkToPrograms", "Offer the audio as the source OrvexSDR");
    m_toPrograms->setToolTip("WSJT-X, fldigi and recorders on this computer choose OrvexSDR as "
                             "their input (PipeWire or PulseAudio); made at On, removed at Off");
    m_udpAudio = Named(new QCheckBox("Send the audio over UDP to", shared), "chkUdpAudio",
                       "Send the audio over UDP");
    m_udpAudio->setToolTip("Raw 16-bit little-endian mono samples at 48000/s, at most 1024 a "
                           "datagram");
    m_udpAddress = Named(new QLineEdit(shared), "txtUdpAddress", "UDP address");
    m_udpAddress->setToolTip("HOST:PORT, e.g. 127.0.0.1:7355");
    m_programAudioStatus =
        Named(new QLabel(shared), "lblProgramAudioStatus", "Audio for other programs status");
    m_programAudioStatus->setWordWrap(true);
    auto* sharedGrid = new QGridLayout(shared);
    sharedGrid->addWidget(m_toPrograms, 0, 0, 1, 2);
    sharedGrid->addWidget(m_udpAudio, 1, 0);
    sharedGrid->addWidget(m_udpAddress, 1, 1);
    sharedGrid->addWidget(m_programAudioStatus, 2, 0, 1, 2);

    // ---- buttons ------------------------------------------------------------------------
    auto* apply = Named(new QPushButton("&Apply", this), "cmdApply", "Apply");
    auto* ok = Named(new QPushButton("&OK", this), "cmdOK", "OK");
    auto* cancel = Named(new QPushButton("&Cancel", this), "cmdCancel", "Cancel");
    apply->setAutoDefault(false);
    cancel->setAutoDefault(false);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* left = new QVBoxLayout;
    left->addWidget(dds);
    left->addWidget(lines);
    left->addWidget(encoder);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(sound);
    right->addWidget(m_sim);
    right->addWidget(flags);
    right->addWidget(remote);
    right->addWidget(shared);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* box = new QVBoxLayout(this);
    box->addLayout(columns);
    box->addLayout(buttons);

    // ---- handlers -----------------------------------------------------------------------
    // A box acts on every change the user makes (a click, Space, or the accessible Toggle and
    // Press actions), not on the changes showControls() makes.
    auto handler = [this](auto run) {
        return [this, run](bool checked) {
            if (m_showing) return;
            readControls();
            run(checked);
            showControls();
        };
    };
    for (int i = 0; i < 2; ++i)
        OnToggled(m_optIF[i], handler([this, i](bool checked) {
                      if (checked) m_form.optIF_Click(i);
                  }));
    OnToggled(m_encoder, handler([this](bool) { m_form.chkEnableEncoder_Click(); }));
    OnToggled(m_caption, handler([this](bool) { m_form.chkfrmMainCaption_Click(); }));
    connect(m_capture, &QComboBox::activated, this, &frmConfig::cboCapDevices_Activated);
    connect(browse, &QPushButton::clicked, this, &frmConfig::chooseScene);
    connect(builtIn, &QPushButton::clicked, m_scene, &QLineEdit::clear);
    connect(cal, &QPushButton::clicked, this, &frmConfig::cmdCalDDS_Click);
    connect(apply, &QPushButton::clicked, this, &frmConfig::cmdApply_Click);
    connect(ok, &QPushButton::clicked, this, &frmConfig::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &frmConfig::cmdCancel_Click);
    // Clients come and go while the dialog is open.
    connect(&m_config, &app::ConfigController::remoteChanged, this,
            [this] { SetText(m_rigctlStatus, m_config.remote().Status); });
    showControls();
}

void frmConfig::readControls() {
    app::ConfigForm& f = m_form;
    f.txtDDSClkin = m_clock->text().toStdString();
    f.txtIFFrequency = m_if->text().toStdString();
    f.chkIFHigh = m_ifHigh->isChecked();
    f.DDSType = m_chip->currentData().toInt();
    f.optIF = m_optIF[0]->isChecked() ? 0 : 1;
    f.cboComPort = m_comPort->currentText().toStdString();
    f.cboCapIndex = m_capture->currentIndex();
    f.cboPlayIndex = m_playback->currentIndex();
    f.SimSceneFile = m_scene->text().trimmed().toStdString();
    f.SimClockErrorPpm = m_ppm->value();
    f.chkUseSPL = m_useSPL->isChecked();
    f.chkEnableEncoder = m_encoder->isChecked();
    f.chkShaftAutoRate = m_autoRate->isChecked();
    f.chkScrollWheelEnableOverScope = m_wheelOverScope->isChecked();
    f.chkAutoDDSRefresh = m_autoRefresh->isChecked();
    f.chkfrmMainCaption = m_caption->isChecked();
    f.chkRigctl = m_rigctl->isChecked();
    f.txtRigctlPort = m_rigctlPort->text().toStdString();
    f.txtRigctlAddress = m_rigctlAddress->text().toStdString();
    f.chkToPrograms = m_toPrograms->isChecked();
    f.chkUdpAudio = m_udpAudio->isChecked();
    f.txtUdpAddress = m_udpAddress->text().toStdString();
}

void frmConfig::showControls() {
    const QScopedValueRollback<bool> showing(m_showing, true);
    const app::ConfigForm& f = m_form;
    setWindowTitle(Q(f.Caption));
    if (m_clock->text() != Q(f.txtDDSClkin)) m_clock->setText(Q(f.txtDDSClkin));
    if (m_if->text() != Q(f.txtIFFrequency)) m_if->setText(Q(f.txtIFFrequency));
    m_ifHigh->setChecked(f.chkIFHigh);
    auto* chips = qobject_cast<QStandardItemModel*>(m_chip->model());
    for (int i = 0; i < m_chip->count(); ++i)
        if (kChips[i].type == 1) chips->item(i)->setEnabled(f.AD9850Allowed);
    m_chip->setCurrentIndex(m_chip->findData(f.DDSType));
    m_optIF[0]->setChecked(f.optIF == 0);
    m_optIF[1]->setChecked(f.optIF == 1);
    ShowItems(m_comPort, f.cboComPortItems);
    if (m_comPort->currentText() != Q(f.cboComPort)) m_comPort->setEditText(Q(f.cboComPort));
    m_comPort->setEnabled(f.cboComPortEnabled);
    m_comPortLabel->setEnabled(f.cboComPortEnabled);
    SetText(m_parallel, f.ParallelStatus);
    m_capture->setCurrentIndex(f.cboCapIndex);
    m_playback->setCurrentIndex(f.cboPlayIndex);
    const QString file = Q(f.IFRecordingFile);
    m_ifFile->setText(file.isEmpty() ? QString() : "File: " + QFileInfo(file).fileName());
    m_ifFile->setToolTip(file);
    m_ifFile->setVisible(!file.isEmpty() && f.cboCapIndex == f.ifRecordingEntry());
    m_sim->setEnabled(f.SimOptionsEnabled);
    if (m_scene->text() != Q(f.SimSceneFile)) m_scene->setText(Q(f.SimSceneFile));
    m_ppm->setValue(f.SimClockErrorPpm);
    ShowCheck(m_useSPL, f.chkUseSPLEnabled, f.chkUseSPL);
    ShowCheck(m_encoder, true, f.chkEnableEncoder);
    ShowCheck(m_autoRate, f.chkShaftAutoRateEnabled, f.chkShaftAutoRate);
    ShowCheck(m_wheelOverScope, true, f.chkScrollWheelEnableOverScope);
    ShowCheck(m_autoRefresh, true, f.chkAutoDDSRefresh);
    ShowCheck(m_caption, true, f.chkfrmMainCaption);
    ShowCheck(m_rigctl, true, f.chkRigctl);
    if (m_rigctlPort->text() != Q(f.txtRigctlPort)) m_rigctlPort->setText(Q(f.txtRigctlPort));
    if (m_rigctlAddress->text() != Q(f.txtRigctlAddress))
        m_rigctlAddress->setText(Q(f.txtRigctlAddress));
    SetText(m_rigctlStatus, f.lblRigctlStatus);
    ShowCheck(m_toPrograms, true, f.chkToPrograms);
    ShowCheck(m_udpAudio, true, f.chkUdpAudio);
    if (m_udpAddress->text() != Q(f.txtUdpAddress)) m_udpAddress->setText(Q(f.txtUdpAddress));
    SetText(m_programAudioStatus, f.lblProgramAudioStatus);
}

void frmConfig::cboCapDevices_Activated(int index) {
    if (index == m_form.ifRecordingEntry()) {
        const QString folder = QFileInfo(Q(m_form.IFRecordingFile)).absolutePath();
        const QString file =
            chooseFile("IF recording (WAV file)", "WAV files (*.wav *.WAV);;All files (*)", folder);
        if (!file.isEmpty()) {
            m_form.IFRecordingFile = file.toStdString();
        } else if (m_form.IFRecordingFile.empty()) {
            m_capture->setCurrentIndex(m_form.cboCapIndex); // nothing to play: choice undone
            return;
        }
    }
    readControls();
    m_form.cboCapDevices_Click();
    showControls();
}

void frmConfig::chooseScene() {
    const QString now = m_scene->text().trimmed();
    const QString file =
        chooseFile("Scene of the simulated receiver", "Scenes (*.scene);;All files (*)",
                   now.isEmpty() ? QString() : QFileInfo(now).absolutePath());
    if (!file.isEmpty()) m_scene->setText(file);
}

void frmConfig::cmdCalDDS_Click() {
    frmCalibrate calibrate(m_config.calibration(), this);
    calibrate.exec();
    readControls();
    m_form.CalibrationClosed(calibrate.calibration().ApplyChanges);
    showControls();
}

// Apply switches sound devices: never underneath a block in progress (a wait inside the block
// let the click through), but as soon as that block is done. True when put off.
bool frmConfig::putOffPastBlock(void (frmConfig::*handler)()) {
    if (!m_config.inNotification()) return false;
    QTimer::singleShot(0, this, handler);
    return true;
}

void frmConfig::cmdApply_Click() {
    if (putOffPastBlock(&frmConfig::cmdApply_Click)) return;
    readControls();
    m_form.cmdApply_Click();
    showControls();
}

void frmConfig::cmdOK_Click() {
    if (putOffPastBlock(&frmConfig::cmdOK_Click)) return;
    readControls();
    if (!m_form.cmdOK_Click()) {
        showControls(); // a refused value: the dialog stays
        return;
    }
    close();
}

void frmConfig::cmdCancel_Click() {
    m_form.cmdCancel_Click();
    close();
}

void frmConfig::reject() {
    cmdCancel_Click(); // Escape
}

void frmConfig::closeEvent(QCloseEvent* event) {
    if (m_form.DialogOpen) m_form.cmdCancel_Click(); // the close box cancels
    event->accept();
    if (m_closed) return;
    m_closed = true;
    m_form.Form_Unload();
    Q_EMIT closed();
}

} // namespace orvex::ui
