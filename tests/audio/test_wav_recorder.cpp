// Live WAV recording: what goes in comes back out of the WAV reader; a SIGKILLed recorder
// leaves all but the last second; a file that cannot grow stops the recording with a
// message and keeps a valid file; no file is ever replaced.
#include "audio/WavFile.h"
#include "audio/WavRecorder.h"
#include "core/MessageSink.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;
using namespace orvex::audio;

namespace {

constexpr std::size_t kBlock = 2048;

// A recognisable signal: sample n of the recording is Ramp(n).
std::int16_t Ramp(std::int64_t n) {
    return static_cast<std::int16_t>((n * 7919) & 0xffff);
}

std::vector<std::int16_t> RampBlock(std::int64_t first, std::size_t count) {
    std::vector<std::int16_t> block(count);
    for (std::size_t i = 0; i < count; ++i)
        block[i] = Ramp(first + static_cast<std::int64_t>(i));
    return block;
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("orvex_rec_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    fs::path m_dir;
};

TEST_F(RecorderTest, AToneReadsBackExactlyAndAFullQueueDropsWholeBlocks) {
    WavRecorder recorder;
    const std::string name = RecordingFileName(0, 6015000.0, "AM");
    ASSERT_TRUE(recorder.startUnique(path("Music"), name)) << recorder.errorText();
    EXPECT_EQ(recorder.path(), path("Music/" + name));

    // Three seconds of a 1 kHz tone in blocks, as the block path delivers it.
    std::vector<std::int16_t> expected;
    std::vector<std::int16_t> block(kBlock);
    for (int b = 0; b < 70; ++b) {
        for (std::size_t i = 0; i < kBlock; ++i)
            block[i] = static_cast<std::int16_t>(
                std::lround(12000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 *
                                               static_cast<double>(expected.size()) / 48000.0)));
        ASSERT_TRUE(recorder.pushBlock(block.data(), kBlock));
        expected.insert(expected.end(), block.begin(), block.end());
        ASSERT_TRUE(recorder.drain());
    }
    // Odd sizes, and a block longer than a queue slot.
    for (std::size_t size : {std::size_t{1}, std::size_t{1000}, std::size_t{5000}}) {
        const auto b = RampBlock(static_cast<std::int64_t>(expected.size()), size);
        ASSERT_TRUE(recorder.pushBlock(b.data(), size));
        expected.insert(expected.end(), b.begin(), b.end());
    }
    // The main loop stalls: the queue takes what it has room for and drops the rest whole.
    const std::size_t free = 64 - 5; // the odd sizes above hold five slots
    for (std::size_t b = 0; b < free + 3; ++b) {
        const auto ramp = RampBlock(static_cast<std::int64_t>(b) * 31, kBlock);
        const bool taken = recorder.pushBlock(ramp.data(), kBlock);
        EXPECT_EQ(taken, b < free) << b;
        if (taken) expected.insert(expected.end(), ramp.begin(), ramp.end());
    }
    EXPECT_EQ(recorder.droppedSamples(), 3 * static_cast<std::int64_t>(kBlock));
    ASSERT_TRUE(recorder.drain());
    recorder.stop();
    EXPECT_FALSE(recorder.pushBlock(block.data(), kBlock));
    EXPECT_FALSE(recorder.isRecording());

    const WavData data = ReadWavFile(recorder.path());
    EXPECT_EQ(data.format.SampleRate, 48000);
    EXPECT_EQ(data.format.Channels, 1);
    ASSERT_EQ(data.samples.size(), expected.size());
    EXPECT_EQ(data.samples, expected);
    EXPECT_DOUBLE_EQ(recorder.elapsedSeconds(), static_cast<double>(expected.size()) / 48000.0);
    EXPECT_EQ(recorder.fileBytes(), static_cast<std::int64_t>(fs::file_size(recorder.path())));
}

TEST_F(RecorderTest, NoFileIsEverReplaced) {
    const std::string taken = path("taken.wav");
    std::ofstream(taken) << "precious";
    WavRecorder recorder;
    EXPECT_FALSE(recorder.start(taken));
    EXPECT_NE(recorder.errorText().find("the file exists"), std::string::npos);
    EXPECT_EQ(fs::file_size(taken), 8u);

    ASSERT_TRUE(recorder.startUnique(m_dir.string(), "taken.wav"));
    EXPECT_EQ(recorder.path(), path("taken_2.wav"));
    WavRecorder second;
    ASSERT_TRUE(second.startUnique(m_dir.string(), "taken.wav"));
    EXPECT_EQ(second.path(), path("taken_3.wav"));
    recorder.stop();
    second.stop();
    EXPECT_EQ(ReadWavFile(path("taken_3.wav")).format.Frames, 0);

    EXPECT_FALSE(recorder.start(path("no/such/folder/x.wav")));
    EXPECT_NE(recorder.errorText().find("No such file or directory"), std::string::npos)
        << recorder.errorText();
    EXPECT_FALSE(recorder.startUnique(taken + "/sub", "x.wav")); // a file where a folder goes
    EXPECT_NE(recorder.errorText().find("cannot record in"), std::string::npos);
    EXPECT_FALSE(recorder.isRecording());
}

// Reads a whole message from a pipe.
std::string ReadAll(int fd) {
    std::string text;
    char buf[512];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    return text;
}

TEST_F(RecorderTest, SigkillLosesAtMostTheLastSecond) {
    const std::string file = path("killed.wav");
    int progress[2], ack[2];
    ASSERT_EQ(::pipe(progress), 0);
    ASSERT_EQ(::pipe(ack), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Records as the program does, reporting each block and waiting to be let on.
        ::close(progress[0]);
        ::close(ack[1]);
        WavRecorder recorder;
        if (!recorder.start(file)) ::_exit(3);
        for (std::int64_t frames = 0;;) {
            const auto block = RampBlock(frames, kBlock);
            recorder.pushBlock(block.data(), kBlock);
            recorder.drain();
            frames += static_cast<std::int64_t>(kBlock);
            char go = 0;
            if (::write(progress[1], &frames, sizeof frames) != sizeof frames ||
                ::read(ack[0], &go, 1) != 1)
                ::_exit(0);
        }
    }
    ::close(progress[1]);
    ::close(ack[0]);
    std::int64_t frames = 0;
    while (::read(progress[0], &frames, sizeof frames) == sizeof frames && frames < 158400) {
        const char go = 1;
        ASSERT_EQ(::write(ack[1], &go, 1), 1);
    }
    ::kill(child, SIGKILL); // mid-recording: the file is open, its last header is whatever it is
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(progress[0]);
    ::close(ack[1]);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(frames, 158400);

    const WavData data = ReadWavFile(file); // opens: the header matches what is on disk
    const auto kept = static_cast<std::int64_t>(data.samples.size());
    EXPECT_GE(kept, frames - 48000) << "more than a second lost of " << frames;
    EXPECT_LE(kept, frames);
    for (std::int64_t n = 0; n < kept; ++n)
        ASSERT_EQ(data.samples[static_cast<std::size_t>(n)], Ramp(n)) << n;
}

TEST_F(RecorderTest, AFileThatCannotGrowStopsTheRecordingWithAMessage) {
    // A file size limit fails the writes exactly as a full disk does (with EFBIG instead of
    // ENOSPC), in a child so the limit stays there.
    const std::string file = path("full.wav");
    constexpr std::int64_t kLimit = 100001;
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = kLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        RecordingMessageSink sink;
        ScopedMessageSink scope(sink);
        WavRecorder recorder;
        if (!recorder.start(file)) ::_exit(3);
        int drainsFailed = 0;
        for (std::int64_t frames = 0; frames < 200 * 2048; frames += 2048) {
            const auto block = RampBlock(frames, kBlock);
            recorder.pushBlock(block.data(), kBlock);
            if (!recorder.drain()) ++drainsFailed;
        }
        const auto block = RampBlock(0, kBlock);
        const std::string text = recorder.errorText() + "\n" + std::to_string(drainsFailed) + " " +
                                 std::to_string(sink.messages().size()) + " " +
                                 std::to_string(recorder.isRecording()) + " " +
                                 std::to_string(recorder.pushBlock(block.data(), kBlock));
        (void)!::write(report[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(report[1]);
    const std::string text = ReadAll(report[0]);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // One failure, one message, the recorder stopped and refusing blocks.
    EXPECT_NE(text.find("Recording stopped: cannot write " + file + ": File too large"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n1 1 0 0"), std::string::npos) << text;
    const WavData data = ReadWavFile(file);
    EXPECT_GE(static_cast<std::int64_t>(data.samples.size()), (kLimit - 44) / 2 - 2048);
    EXPECT_LE(44 + 2 * static_cast<std::int64_t>(data.samples.size()), kLimit);
    for (std::size_t n = 0; n < data.samples.size(); ++n)
        ASSERT_EQ(data.samples[n], Ramp(static_cast<std::int64_t>(n))) << n;
}

// A recording whose file, or whose folder, is deleted while it runs would go on "recording"
// into a file nobody can reach: the next header update notices, and the recording stops with
// its message instead of being reported as recorded.
TEST_F(RecorderTest, AFileDeletedWhileRecordingStopsTheRecordingWithAMessage) {
    for (const bool wholeFolder : {false, true}) {
        WavRecorder recorder;
        ASSERT_TRUE(recorder.startUnique(path("rec"), "a.wav")) << recorder.errorText();
        const auto block = RampBlock(0, kBlock);
        RecordingMessageSink sink;
        ScopedMessageSink scope(sink);
        for (int b = 0; b < 24; ++b) { // one second, several header updates
            ASSERT_TRUE(recorder.pushBlock(block.data(), kBlock));
            ASSERT_TRUE(recorder.drain());
        }
        if (wholeFolder)
            fs::remove_all(path("rec"));
        else
            fs::remove(path("rec/a.wav"));
        bool stopped = false;
        for (int b = 0; b < 24 && !stopped; ++b) { // at most half a second of audio later
            recorder.pushBlock(block.data(), kBlock);
            stopped = !recorder.drain();
        }
        EXPECT_TRUE(stopped) << wholeFolder;
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_NE(recorder.errorText().find("Recording stopped: the file " + path("rec/a.wav") +
                                            " was deleted while recording"),
                  std::string::npos)
            << recorder.errorText();
        ASSERT_EQ(sink.messages().size(), 1u);
        EXPECT_EQ(sink.messages()[0].text, recorder.errorText());
        EXPECT_FALSE(fs::exists(path("rec/a.wav")));
    }
}

TEST_F(RecorderTest, FileNamesAndTheMusicFolder) {
    // 2024-05-17 18:30:12 UTC.
    EXPECT_EQ(RecordingFileName(1715970612, 6015000.0, "AM"),
              "OrvexSDR_20240517_183012Z_6015kHz_AM.wav");
    EXPECT_EQ(RecordingFileName(1715970612, 7090500.0, "IF USB"),
              "OrvexSDR_20240517_183012Z_7090.5kHz_IF-USB.wav");

    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    ::setenv("HOME", m_dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
    fs::create_directories(path("config"));
    EXPECT_EQ(DefaultRecordingFolder(), path("Music"));
    std::ofstream(path("config/user-dirs.dirs"))
        << "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Klänge \\\"x\\\"\"\n";
    EXPECT_EQ(DefaultRecordingFolder(), path("Klänge \"x\""));
    ::setenv("HOME", oldHome.c_str(), 1);
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
