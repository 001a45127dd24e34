// The configuration and calibration dialogs on the real windows (offscreen), driven with
// synthetic clicks and keys: the IF and clock checks, ports and chips decoded from the recorded
// lines, sound devices switched while streaming, and a calibration of the simulated receiver
// measured in its audio.
#include "../app/CoreRig.h"
#include "../sim/SimTestSupport.h"
#include "audio/OrvexDX8.h"
#include "audio/WavFile.h"
#include "core/Format.h"
#include "radio/LineDecoder.h"
#include "radio/LinuxPorts.h"
#include "radio/RecordingPorts.h"
#include "ui/ConfigPanel.h"
#include "ui/DisplaySizePanel.h"
#include "ui/FrequencyPanel.h"
#include "ui/frmCalibrate.h"
#include "ui/frmConfig.h"
#include "ui/frmMain.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace orvex::test {
namespace {

// The front panel on the simulated receiver; the real serial and parallel ports are a
// recorder, so no test touches the machine's ports.
struct ConfigRig : CoreRig {
    ConfigRig() { options.devices.hardwarePorts = &hardware; }
    ~ConfigRig() { stop(); }
    bool startWindow() {
        core = std::make_unique<app::ReceiverCore>(store, options);
        window = std::make_unique<ui::frmMain>(*core);
        const bool ok = window->start();
        if (ok) core->session().vfo().Lines().setBitPeriodNs(0);
        window->show();
        // "Full" shows the configuration row.
        QTest::mouseClick(window->displaySize()->option(3), Qt::LeftButton);
        return ok;
    }
    void stop() { // the window, then the core, while the recorder of its ports still exists
        window.reset();
        core.reset();
    }
    /// Presses "Config" and runs `inside` on the dialog while the main window waits for it;
    /// a dialog `inside` leaves open is cancelled.
    void config(const std::function<void(ui::frmConfig&)>& inside) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ui::frmConfig* d = window->config()->dialog();
            if (!d) return;
            inside(*d);
            ran = true;
            if (window->config()->dialog()) d->cmdCancel_Click();
        });
        QTest::mouseClick(window->config()->button(), Qt::LeftButton);
        EXPECT_TRUE(ran);
        EXPECT_EQ(window->config()->dialog(), nullptr);
    }
    std::string label(const char* name) {
        return window->findChild<QLabel*>(name)->text().toStdString();
    }
    /// The frequency of the strongest component of the next second of IF (captured input) or
    /// audio (played) between lo and hi Hz, after `settle` blocks.
    double measure(bool audio, double lo, double hi, int settle = 12) {
        run(settle);
        std::vector<float> x;
        core->session().setAfterBlock([&](const std::int16_t*, const std::int16_t* in) {
            if (!audio) x.insert(x.end(), in, in + kBlockSamples);
        });
        const std::size_t mark = played->samples().size();
        run(24);
        core->session().setAfterBlock({});
        if (audio)
            x.assign(played->samples().begin() + static_cast<std::ptrdiff_t>(mark),
                     played->samples().end());
        return StrongestFrequency(x, lo, hi);
    }

    RecordingPorts hardware;
    std::unique_ptr<ui::frmMain> window;
};

template <typename T>
T* Find(QWidget* in, const char* name) {
    T* w = in->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}
void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}
void Type(QLineEdit* e, const QString& text) {
    e->clear();
    QTest::keyClicks(e, text);
}
void Choose(QComboBox* c, int index) { // as a user's pick in the list
    c->setCurrentIndex(index);
    Q_EMIT c->activated(index);
}

std::vector<ChipTransfer> Decode(DdsChip chip, const std::vector<LineEvent>& events,
                                 std::size_t from) {
    LineDecoder decoder(chip);
    decoder.feed({events.begin() + static_cast<std::ptrdiff_t>(from), events.end()});
    return decoder.transfers();
}

TEST(ConfigDialog, IFAndClockAreCheckedAndTheMainWindowShowsWhatIsApplied) {
    ConfigRig rig;
    ASSERT_TRUE(rig.startWindow());
    ad9951& vfo = rig.core->session().vfo();
    ASSERT_TRUE(rig.window->config()->isVisible());
    EXPECT_EQ(rig.label("lblIFFreq"), "45.000 000");

    rig.config([&](ui::frmConfig& d) {
        Type(Find<QLineEdit>(&d, "txtIFFrequency"), "455000");
        Click(Find<QCheckBox>(&d, "chkIFHigh"));
        Click(Find<QPushButton>(&d, "cmdOK"));
    });
    EXPECT_DOUBLE_EQ(vfo.IFFreq(), -0.455);
    EXPECT_EQ(rig.label("lblIFFreq"), "(0.455 000)");

    rig.config([&](ui::frmConfig& d) {
        auto* ifText = Find<QLineEdit>(&d, "txtIFFrequency");
        auto* clock = Find<QLineEdit>(&d, "txtDDSClkin");
        Type(ifText, "-1");
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_TRUE(rig.messages.contains("IF Frequency must be greater than 0.4 MHZ"));
        EXPECT_DOUBLE_EQ(vfo.IFFreq(), -0.455);
        // A wrong clock refuses the whole Apply, the good IF with it; OK keeps the dialog open.
        Type(ifText, "12000");
        Type(clock, "1000000");
        Click(Find<QPushButton>(&d, "cmdOK"));
        EXPECT_TRUE(rig.messages.contains("CLKIN must be greater than 1.0000 MHZ"));
        EXPECT_DOUBLE_EQ(vfo.IFFreq(), -0.455);
        EXPECT_DOUBLE_EQ(vfo.ClkIn(), 360.096);
        EXPECT_TRUE(d.isVisible());
        Type(ifText, "455000");
        Type(clock, "360096000");
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_DOUBLE_EQ(vfo.IFFreq(), -0.455);
        // Edited, then cancelled: nothing changes.
        Type(ifText, "10700000");
        Type(clock, "400000000");
        Click(Find<QPushButton>(&d, "cmdCancel"));
    });
    EXPECT_TRUE(rig.window->config()->dialog() == nullptr);
    EXPECT_DOUBLE_EQ(vfo.IFFreq(), -0.455);
    EXPECT_DOUBLE_EQ(vfo.ClkIn(), 360.096);
    EXPECT_EQ(rig.label("lblIFFreq"), "(0.455 000)");
    EXPECT_EQ(rig.label("lblCLKINFreq"), "360.096 000");
}

TEST(ConfigDialog, ApplyChecksEveryFieldFirstAndTheLOFollowsAtOnce) {
    ConfigRig rig;
    ASSERT_TRUE(rig.startWindow());
    ad9951& vfo = rig.core->session().vfo();
    const std::string lo = rig.label("lblStatsVal3");
    rig.config([&](ui::frmConfig& d) {
        // Ticked through its accessible action, the encoder box acts as a click does.
        QAccessible::queryAccessibleInterface(Find<QCheckBox>(&d, "chkEnableEncoder"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_TRUE(Find<QCheckBox>(&d, "chkShaftAutoRate")->isEnabled());
        Type(Find<QLineEdit>(&d, "txtIFFrequency"), "455000");
        Click(Find<QCheckBox>(&d, "chkRigctl"));
        Type(Find<QLineEdit>(&d, "txtRigctlPort"), "99999");
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_TRUE(rig.messages.contains("The rigctl port must be a whole number"));
        EXPECT_FALSE(rig.core->tuning().enableShaftEncoder());
        EXPECT_DOUBLE_EQ(vfo.IFFreq(), 45.0);
        EXPECT_EQ(rig.label("lblStatsVal3"), lo);
        Click(Find<QCheckBox>(&d, "chkRigctl"));
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_TRUE(rig.core->tuning().enableShaftEncoder());
        EXPECT_DOUBLE_EQ(vfo.IFFreq(), 0.455);
        // The statistics' LO is the synthesiser's new output at once.
        EXPECT_NE(rig.label("lblStatsVal3"), lo);
        EXPECT_EQ(rig.label("lblStatsVal3"), FormatNumber(vfo.FreqOut(), "#0.##0 ##0 0 MHz"));
    });
    // Every row of the statistics shows whole inside its frame, the thread rows included.
    QWidget* stats = Find<QWidget>(rig.window.get(), "frStats");
    for (const int row : {0, 1, 2, 3, 4, 5, 9, 10, 11}) {
        auto* v = Find<QLabel>(stats, QString("lblStatsVal%1").arg(row).toUtf8());
        EXPECT_TRUE(v->isVisible()) << row;
        EXPECT_TRUE(stats->rect().contains(QRect(v->mapTo(stats, QPoint()), v->size()))) << row;
    }
}

// The shaft encoder on the port's CTS and DSR lines and the knob on screen turn one knob: the
// dial follows the encoder, and its next turn goes on from there the way it is turned.
TEST(ConfigDialog, PortsChipsAndTheWordsSentOnTheNewLines) {
    ConfigRig rig;
    rig.store.save("frmMain", "CurrentCaptureDevice", "2"); // the IF recording: real ports
    ASSERT_TRUE(rig.startWindow());
    ad9951& vfo = rig.core->session().vfo();
    EXPECT_EQ(rig.hardware.lastDevice(), "/dev/ttyS0");

    rig.config([&](ui::frmConfig& d) {
        auto* port = Find<QComboBox>(&d, "cboComPort");
        auto* chip = Find<QComboBox>(&d, "cboDDSType");
        auto ad9850 = [&] {
            return qobject_cast<QStandardItemModel*>(chip->model())->item(2)->isEnabled();
        };
        // Only the port changes: the old one closes and the new one opens at once.
        Type(port->lineEdit(), "/dev/ttyUSB1");
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_EQ(rig.hardware.lastDevice(), "/dev/ttyUSB1");
        EXPECT_EQ(rig.hardware.openSerialCount(), 1);
        EXPECT_EQ(vfo.ComPort(), 6);
        // A port that will not open: the device and the reason, and the dialog goes on.
        const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
        rig.hardware.failNextOpen(DescribePortError(byId, EACCES, false));
        Type(port->lineEdit(), QString::fromStdString(byId));
        Click(Find<QPushButton>(&d, "cmdApply"));
        ASSERT_FALSE(rig.messages.messages().empty());
        const std::string& text = rig.messages.messages().back().text;
        EXPECT_NE(text.find("Serial Port Interface Error"), std::string::npos) << text;
        EXPECT_NE(text.find(byId), std::string::npos) << text;
        EXPECT_NE(text.find("'dialout' group"), std::string::npos) << text;
        EXPECT_EQ(vfo.ComDevice(), byId);
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(ad9850());

        // Serial to parallel: the serial port closes and the AD9835 control words go out.
        Click(Find<QRadioButton>(&d, "optIF0"));
        EXPECT_FALSE(port->isEnabled());
        EXPECT_TRUE(ad9850());
        const std::size_t mark = rig.hardware.events().size();
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_EQ(rig.hardware.openSerialCount(), 0);
        EXPECT_EQ(rig.hardware.openParallelCount(), 1);
        std::vector<std::uint32_t> words;
        for (const auto& t : Decode(DdsChip::AD9835, rig.hardware.events(), mark))
            words.push_back(t.value);
        EXPECT_EQ(words, (std::vector<std::uint32_t>{0x8000, 0xC000}));

        // Another chip takes the tuned frequency at once.
        chip->setCurrentIndex(2);
        const std::size_t mark2 = rig.hardware.events().size();
        Click(Find<QPushButton>(&d, "cmdOK"));
        const auto loads = Decode(DdsChip::AD9850, rig.hardware.events(), mark2);
        ASSERT_EQ(loads.size(), 1u);
        EXPECT_EQ(loads[0].kind, ChipTransfer::Kind::AD9850Load);
        EXPECT_EQ(loads[0].value, static_cast<std::uint32_t>(vfo.CurrentTuningWord()));
    });
    EXPECT_EQ(vfo.DDSType(), 1);
    EXPECT_EQ(vfo.IFType(), 2);
}

TEST(ConfigDialog, SoundDevicesSwitchWhileStreamingAndABadOneLeavesThePreviousRunning) {
    ConfigRig rig;
    ASSERT_TRUE(rig.startWindow());
    app::RadioSession& session = rig.core->session();
    const std::string wav = rig.path("if.wav");
    {
        audio::WavWriter w(wav, 48000, 1);
        std::vector<std::int16_t> tone(4800);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 13000.0 * i / 48000));
        w.write(tone.data(), static_cast<std::int64_t>(tone.size()));
        w.commit();
    }
    const std::string notWav = rig.path("notes.txt");
    std::ofstream(notWav) << "not a recording\n";
    rig.core->power().optPwr_Click(0);
    rig.run(4);
    ASSERT_TRUE(session.streaming());
    ASSERT_TRUE(session.vfoOnSimulatedLines());

    rig.config([&](ui::frmConfig& d) {
        auto* capture = Find<QComboBox>(&d, "cboCapDevices");
        const int ifEntry = d.form().ifRecordingEntry();
        std::string answer = wav;
        d.chooseFile = [&](const QString&, const QString&, const QString&) {
            return QString::fromStdString(answer);
        };
        Choose(capture, ifEntry);
        Click(Find<QPushButton>(&d, "cmdApply"));
        EXPECT_TRUE(session.streaming());
        EXPECT_EQ(session.soundCard().CurrentCaptureDevice(), ifEntry + 1);
        // The synthesiser's lines moved to the real port with the capture device.
        EXPECT_FALSE(session.vfoOnSimulatedLines());
        EXPECT_EQ(rig.hardware.openSerialCount(), 1);
        const auto blocks = session.total().blocks;
        rig.run(30); // 1.3 s: the 0.1 s file plays over and over
        EXPECT_EQ(session.total().blocks, blocks + 30);
        // The panel goes on while the dialog is open: tuned now, on the real port.
        ASSERT_TRUE(rig.core->tuning().tuneTo(7.1));

        // A file that is no recording: said why, and the previous one plays on.
        answer = notWav;
        Choose(capture, ifEntry);
        Click(Find<QPushButton>(&d, "cmdApply"));
        ASSERT_FALSE(rig.messages.messages().empty());
        const std::string& text = rig.messages.messages().back().text;
        EXPECT_NE(text.find("notes.txt"), std::string::npos) << text;
        EXPECT_NE(text.find("previous devices stay in use"), std::string::npos) << text;
        EXPECT_TRUE(session.streaming());
        EXPECT_EQ(session.ifFile(), wav);

        // Back to the simulated receiver, now with a clock error.
        Choose(capture, d.form().simulatedEntry());
        EXPECT_TRUE(Find<QWidget>(&d, "frSimulatedReceiver")->isEnabled());
        Find<QDoubleSpinBox>(&d, "spnSimClockError")->setValue(-3.5);
        Click(Find<QPushButton>(&d, "cmdOK"));
    });
    EXPECT_TRUE(session.streaming());
    EXPECT_TRUE(session.vfoOnSimulatedLines());
    EXPECT_EQ(rig.hardware.openSerialCount(), 0);
    EXPECT_EQ(rig.receiver().Config().clockErrorPpm, -3.5);
    // The box on the simulated lines was programmed again: it runs at the frequency tuned
    // while it was not in use.
    ASSERT_TRUE(rig.receiver().TunedHz());
    EXPECT_NEAR(*rig.receiver().TunedHz(), 7.1e6 * (1 - 3.5e-6) - 45e6 * 3.5e-6, 1.0);
    EXPECT_EQ(rig.store.get("Devices", "SimClockErrorPpm", ""), "-3.5");
    EXPECT_EQ(rig.store.get("Devices", "IFRecordingFile", ""), wav);
}

TEST(ConfigDialog, AudioForOtherProgramsIsOffUntilTickedThenStreamsAndIsKept) {
    ConfigRig rig;
    ASSERT_TRUE(rig.startWindow());
    // A UDP socket of this test's own on 127.0.0.1.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string address = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));

    rig.config([&](ui::frmConfig& d) {
        EXPECT_FALSE(Find<QCheckBox>(&d, "chkToPrograms")->isChecked());
        EXPECT_FALSE(Find<QCheckBox>(&d, "chkUdpAudio")->isChecked());
        EXPECT_EQ(Find<QLineEdit>(&d, "txtUdpAddress")->text(), "127.0.0.1:7355");
        Click(Find<QCheckBox>(&d, "chkUdpAudio"));
        Type(Find<QLineEdit>(&d, "txtUdpAddress"), "nowhere");
        Click(Find<QPushButton>(&d, "cmdOK"));
        EXPECT_TRUE(rig.messages.contains("'nowhere' is not HOST:PORT"));
        EXPECT_TRUE(d.isVisible());
        Type(Find<QLineEdit>(&d, "txtUdpAddress"), QString::fromStdString(address));
        Click(Find<QPushButton>(&d, "cmdOK"));
    });
    EXPECT_EQ(rig.store.get("ProgramAudio", "UdpOn", ""), "1");
    EXPECT_EQ(rig.store.get("ProgramAudio", "UdpAddress", ""), address);
    EXPECT_EQ(rig.store.get("ProgramAudio", "ToPrograms", ""), "0");

    // On: the blocks go out as datagrams of 1024 samples.
    rig.core->power().optPwr_Click(0);
    ASSERT_TRUE(rig.core->power().view().PowerOn);
    rig.run(5);
    std::size_t datagrams = 0;
    std::vector<char> buf(65536);
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0)
        datagrams += ::recv(fd, buf.data(), buf.size(), 0) == 2048;
    EXPECT_EQ(datagrams, 10u);
    rig.config([&](ui::frmConfig& d) {
        EXPECT_TRUE(Find<QCheckBox>(&d, "chkUdpAudio")->isChecked());
        EXPECT_EQ(Find<QLabel>(&d, "lblProgramAudioStatus")->text().toStdString(),
                  "UDP to " + address);
    });
    rig.core->power().optPwr_Click(1);
    ::close(fd);
}

TEST(CalibrationDialog, TheExampleWordZeroAndTryThenCancel) {
    MemorySettingsStore store;
    RecordingPorts ports;
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    ad9951 vfo(store, ports);
    vfo.setIFFreq(0.0);
    vfo.setTunedFreq(50.0);
    vfo.setCurrentTuningWord(600000000);
    ui::frmCalibrate cal(DDSCalibration{vfo});
    cal.show();
    auto* official = Find<QLineEdit>(&cal, "txtOfficialFreq");
    auto* fresh = Find<QLabel>(&cal, "lblDDSClkinNew");
    EXPECT_EQ(official->text(), "50.000 000");
    EXPECT_EQ(fresh->text(), "357.913 941");
    messages.clear();
    Type(official, "0"); // emptied and typed: nothing said until the entry is finished
    EXPECT_TRUE(messages.messages().empty());
    QTest::keyClick(official, Qt::Key_Return);
    EXPECT_TRUE(messages.contains("Official Frequency must not be ZERO"));
    EXPECT_EQ(fresh->text(), "357.913 941");
    Type(official, "50.0001");
    Click(Find<QPushButton>(&cal, "cmdTry"));
    EXPECT_NEAR(vfo.ClkIn(), 357.914657, 1e-6);
    Click(Find<QPushButton>(&cal, "cmdCancel"));
    EXPECT_EQ(vfo.ClkIn(), 360.096);
    EXPECT_FALSE(cal.isVisible());
}

TEST(CalibrationDialog, TheStandardFrequencyStationSitsOnFrequencyAfterCalibrationAndRestart) {
    ConfigRig rig;
    rig.store.save("Devices", "SimClockErrorPpm", "20");
    ASSERT_TRUE(rig.startWindow());
    rig.core->controls().optMode_Click(1); // USB: a carrier is heard as a tone
    rig.core->power().optPwr_Click(0);
    // Tuned to the 10 MHz station, its carrier is 1100 Hz low in the IF (20 ppm of 55 MHz).
    ASSERT_TRUE(rig.core->tuning().tuneTo(10.0));
    const double before = rig.measure(false, 9000, 15000);
    EXPECT_NEAR(before, 12000 - 1100, 2);
    // Zero beat: the carrier at the IF centre; then its official frequency is typed.
    ASSERT_TRUE(rig.core->tuning().tuneTo(10.0 - (12000 - before) / 1e6));
    EXPECT_NEAR(rig.measure(false, 9000, 15000), 12000, 0.5);
    rig.config([&](ui::frmConfig& d) {
        QTimer::singleShot(0, [&] {
            auto* cal = qobject_cast<ui::frmCalibrate*>(QApplication::activeModalWidget());
            if (!cal) return;
            Type(Find<QLineEdit>(cal, "txtOfficialFreq"), "10.000000");
            Click(Find<QPushButton>(cal, "cmdApply"));
            if (cal->isVisible()) cal->reject();
        });
        Click(Find<QPushButton>(&d, "cmdCalDDS"));
        // The clock the calibration found, in whole hertz: 20 ppm above 360.096 MHz.
        EXPECT_NEAR(Find<QLineEdit>(&d, "txtDDSClkin")->text().toDouble(), 360103201.92, 1);
        Click(Find<QPushButton>(&d, "cmdOK"));
    });
    EXPECT_NEAR(rig.core->session().vfo().ClkIn(), 360.096 * 1.00002, 1e-6);
    // On frequency: tuned 1500 Hz below the station in USB, its carrier is a 1500 Hz tone.
    ASSERT_TRUE(rig.core->tuning().tuneTo(9.9985));
    EXPECT_NEAR(rig.measure(true, 300, 3000), 1500, 1);

    // Closed and started again on the same settings: still calibrated.
    rig.core->power().optPwr_Click(1);
    rig.core->power().optPwr_Click(2);
    rig.stop();
    ASSERT_TRUE(rig.startWindow());
    EXPECT_NEAR(rig.core->session().vfo().ClkIn(), 360.096 * 1.00002, 1e-6);
    EXPECT_EQ(rig.receiver().Config().clockErrorPpm, 20);
    rig.core->power().optPwr_Click(0);
    ASSERT_TRUE(rig.core->tuning().tuneTo(9.9985));
    EXPECT_NEAR(rig.measure(true, 300, 3000), 1500, 1);
}

} // namespace
} // namespace orvex::test
