// Recording from the application core on the simulated receiver: the 1 kHz AM test station
// recorded with its IF, Off finishing the files, and a full disk stopping the recording while
// reception goes on.
#include "CoreRig.h"
#include "audio/OrvexDX8.h"
#include "audio/WavFile.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SignalMeasure.h"

#include <QDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace orvex::test {
namespace {

constexpr int kBlocksPerSecond = 48000 / 2048 + 1; // 24 blocks: just over a second

double ToneLevel(const std::vector<std::int16_t>& s, double f) {
    // The last second: the AGC has settled.
    std::vector<float> x(s.end() - 48000, s.end());
    return measure::MeasureTone(x, f, 48000.0).amplitude;
}

// Blocks as they come in real time, with the main loop's drain between them.
void Receive(CoreRig& rig, int blocks) {
    for (int i = 0; i < blocks; ++i) {
        rig.run(1);
        rig.core->record().recorder().drain();
    }
}

void TuneTestStation(CoreRig& rig) {
    ASSERT_TRUE(rig.core->tuning().tuneTo(6.015));
    rig.core->controls().optMode_Click(kModeAM);
    rig.core->power().optPwr_Click(0);
    ASSERT_TRUE(rig.core->power().view().PowerOn);
}

TEST(CoreRecording, RecordsTheToneAndTheIFUnderTheirNamesAndOffFinishesTheFiles) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& core = *rig.core;
    core.record().setFolder(rig.path("music"));     // missing: made on the first recording
    EXPECT_FALSE(core.record().setRecording(true)); // the receiver is off
    EXPECT_TRUE(rig.messages.contains("press On first"));
    EXPECT_FALSE(QDir(QString::fromStdString(rig.path("music"))).exists());

    TuneTestStation(rig);
    core.record().setFolder("/proc/orvex-music"); // a folder nobody can make, root included
    EXPECT_FALSE(core.record().setRecording(true));
    EXPECT_TRUE(rig.messages.contains("cannot record in /proc/orvex-music"));
    EXPECT_FALSE(core.record().view().Recording);
    EXPECT_TRUE(core.power().view().PowerOn);
    core.record().setFolder(rig.path("music"));
    int recordChanges = 0;
    QObject counting; // ends the connections before the counters go
    QObject::connect(&core.record(), &app::RecordController::changed, &counting,
                     [&] { ++recordChanges; });
    core.record().setRecordIF(true);
    ASSERT_TRUE(core.record().setRecording(true));
    auto v = core.record().view();
    EXPECT_TRUE(v.Recording && v.IFRecording);
    EXPECT_NE(v.AudioPath.find(rig.path("music") + "/OrvexSDR_"), std::string::npos);
    EXPECT_NE(v.AudioPath.find("_6015kHz_AM.wav"), std::string::npos) << v.AudioPath;
    EXPECT_NE(v.IFPath.find("_6015kHz_AM_IF.wav"), std::string::npos) << v.IFPath;
    recordChanges = 0;
    Receive(rig, 3 * kBlocksPerSecond);
    EXPECT_EQ(recordChanges, 3); // the panel's update once a second of recording
    v = core.record().view();
    EXPECT_DOUBLE_EQ(v.Seconds, 3.0 * kBlocksPerSecond * 2048 / 48000);
    EXPECT_EQ(v.Bytes, 2 * (44 + 2 * 3 * kBlocksPerSecond * 2048)); // two files, 2 bytes a sample

    core.power().optPwr_Click(1); // Off finishes both files
    v = core.record().view();
    EXPECT_FALSE(v.Recording || v.IFRecording);
    const auto af = audio::ReadWavFile(v.AudioPath);
    const auto in = audio::ReadWavFile(v.IFPath);
    ASSERT_EQ(af.samples.size(), 3u * kBlocksPerSecond * 2048);
    ASSERT_EQ(in.samples.size(), af.samples.size());
    const double tone = ToneLevel(af.samples, 1000.0);
    EXPECT_GT(tone, 1000.0);
    EXPECT_GT(measure::Db(tone, ToneLevel(af.samples, 1700.0)), 30.0);
    const double carrier = ToneLevel(in.samples, 12000.0);
    EXPECT_GT(measure::Db(carrier, ToneLevel(in.samples, 9000.0)), 20.0);
    EXPECT_EQ(rig.messages.messages().size(), 2u); // only the two refusals
}

// The file size limit fails the writes with EFBIG exactly where a full disk gives ENOSPC.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

TEST(CoreRecording, AFullDiskStopsTheRecordingWithAMessageWhileReceptionGoesOn) {
    CoreRig rig;
    ASSERT_TRUE(rig.start());
    app::ReceiverCore& core = *rig.core;
    core.record().setFolder(rig.path("music"));
    TuneTestStation(rig);
    QString status;
    QObject::connect(&core.record(), &app::RecordController::problem,
                     [&](const QString& text) { status = text; });
    ASSERT_TRUE(core.record().setRecording(true));
    const std::string file = core.record().view().AudioPath;
    {
        FileSizeLimit full(100000); // about a second of audio
        Receive(rig, 2 * kBlocksPerSecond);
    }
    const auto v = core.record().view();
    EXPECT_FALSE(v.Recording);
    EXPECT_NE(v.Error.find("Recording stopped: cannot write " + file + ": File too large"),
              std::string::npos)
        << v.Error;
    EXPECT_EQ(status.toStdString(), v.Error);
    EXPECT_TRUE(rig.messages.contains("Recording stopped"));

    // Reception did not notice: on, every block handled and played, none dropped.
    EXPECT_TRUE(core.power().view().PowerOn);
    const auto blocks = core.session().total().blocks;
    const auto played = rig.played->samples().size();
    Receive(rig, kBlocksPerSecond);
    EXPECT_EQ(core.session().total().blocks, blocks + kBlocksPerSecond);
    EXPECT_GT(rig.played->samples().size(), played);
    EXPECT_EQ(core.session().chain().DroppedBlocks(), 0);

    // What was written before the disk filled is a valid file.
    const auto af = audio::ReadWavFile(file);
    EXPECT_LE(44 + 2 * af.samples.size(), 100000u);
    EXPECT_GE(af.samples.size(), (100000u - 44) / 2 - 2048);
}

// An IF recording that ends or changes after it was chosen, before streaming starts (listen
// checks its --in file, then opens it): the start fails naming the file and the reason, not
// the sound card, and the WAV output that was to be written does not appear at all.
TEST(SessionFiles, AnInputThatChangesBeforeStreamingStartsIsNamedAndLeavesNoOutput) {
    QTemporaryDir dir;
    const std::string in = dir.filePath("if.wav").toStdString();
    const std::string out = dir.filePath("af.wav").toStdString();
    audio::WriteWavFile(in, 48000, 1, std::vector<std::int16_t>(48000, 100));
    app::RadioSession session;
    session.createChain();
    app::SessionDevices devices;
    devices.alsa = false;
    devices.sim.prepareAll = false;
    devices.ifFile = in;
    devices.loopIFFile = false;
    devices.audioFile = out;
    std::string error;
    session.createDevices(devices, error);
    session.createSoundCard();
    OrvexDX8& card = session.soundCard();
    card.setFSampling(48000);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    card.setSamplesPerEvent(2048);
    card.setCurrentCaptureDevice(session.ifFileCaptureDevice());
    card.setCurrentPlaybackDevice(session.audioFilePlaybackDevice());
    ASSERT_EQ(::truncate(in.c_str(), 8), 0); // cut inside its RIFF header
    EXPECT_FALSE(session.startStreaming(false, error));
    EXPECT_NE(error.find(in), std::string::npos) << error;
    EXPECT_NE(error.find("not a WAV file"), std::string::npos) << error;
    EXPECT_EQ(error.find("DirectSound"), std::string::npos) << error;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(out)));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size() == 1); // if.wav
}

} // namespace
} // namespace orvex::test
