// WAV files written and read back, and every malformed file the reader must refuse.
#include "audio/WavFile.h"
#include "core/Error.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;
using namespace orvex::audio;

namespace {

class WavFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("orvex_wav_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    std::size_t fileCount() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }
    fs::path m_dir;
};

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& b, const char* tag) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(tag[i]));
}

// A hand-built file: RIFF header, an optional extra chunk, fmt, data.
std::vector<std::uint8_t> BuildWav(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                   std::uint16_t bits, std::uint32_t dataBytes,
                                   std::size_t actualDataBytes, bool extraChunk = false) {
    std::vector<std::uint8_t> b;
    PutTag(b, "RIFF");
    Put32(b, 0); // patched below
    PutTag(b, "WAVE");
    if (extraChunk) {
        PutTag(b, "LIST");
        Put32(b, 3); // odd size: padded to 4
        b.insert(b.end(), {'a', 'b', 'c', 0});
    }
    PutTag(b, "fmt ");
    Put32(b, 16);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * bits / 8);
    Put16(b, static_cast<std::uint16_t>(channels * bits / 8));
    Put16(b, bits);
    PutTag(b, "data");
    Put32(b, dataBytes);
    for (std::size_t i = 0; i < actualDataBytes; ++i)
        b.push_back(static_cast<std::uint8_t>(i * 7));
    const auto riff = static_cast<std::uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

void WriteBytes(const std::string& p, const std::vector<std::uint8_t>& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::string FaultOf(const std::string& p) {
    try {
        WavReader r(p);
    } catch (const OrvexError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST_F(WavFileTest, WrittenFileReadsBackExactly) {
    std::vector<std::int16_t> stereo;
    for (int i = 0; i < 5001; ++i) {
        stereo.push_back(static_cast<std::int16_t>(i * 13 - 32768));
        stereo.push_back(static_cast<std::int16_t>(32767 - i));
    }
    WriteWavFile(path("a.wav"), 44100, 2, stereo);
    EXPECT_EQ(fs::file_size(path("a.wav")), 44u + stereo.size() * 2);
    const WavData d = ReadWavFile(path("a.wav"));
    EXPECT_EQ(d.format.SampleRate, 44100);
    EXPECT_EQ(d.format.Channels, 2);
    EXPECT_EQ(d.format.BitsPerSample, 16);
    EXPECT_EQ(d.format.Frames, 5001);
    EXPECT_EQ(d.samples, stereo);
    EXPECT_EQ(fileCount(), 1u) << "no temporary file left beside the result";
}

TEST_F(WavFileTest, ReaderWalksPastOtherChunksAndReadsInPieces) {
    WriteBytes(path("b.wav"), BuildWav(1, 1, 48000, 16, 20, 20, true));
    WavReader r(path("b.wav"));
    EXPECT_EQ(r.format().Frames, 10);
    std::int16_t buf[10];
    EXPECT_EQ(r.read(buf, 4), 4);
    EXPECT_EQ(r.read(buf + 4, 100), 6);
    EXPECT_EQ(r.read(buf, 100), 0);
    EXPECT_EQ(buf[0], static_cast<std::int16_t>(0 | (7 << 8)));
}

TEST_F(WavFileTest, EachMalformedFileGivesItsOwnMessage) {
    EXPECT_NE(FaultOf(path("missing.wav")).find("cannot open"), std::string::npos);
    WriteBytes(path("text.wav"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    EXPECT_NE(FaultOf(path("text.wav")).find("not a WAV file"), std::string::npos);
    WriteBytes(path("empty.wav"), {});
    EXPECT_NE(FaultOf(path("empty.wav")).find("not a WAV file"), std::string::npos);
    WriteBytes(path("float.wav"), BuildWav(3, 1, 48000, 32, 8, 8));
    EXPECT_NE(FaultOf(path("float.wav")).find("not PCM"), std::string::npos);
    WriteBytes(path("8bit.wav"), BuildWav(1, 1, 48000, 8, 8, 8));
    EXPECT_NE(FaultOf(path("8bit.wav")).find("not 16-bit"), std::string::npos);
    WriteBytes(path("short.wav"), BuildWav(1, 1, 48000, 16, 4000, 100));
    EXPECT_NE(FaultOf(path("short.wav")).find("truncated data"), std::string::npos);
    WriteBytes(path("odd.wav"), BuildWav(1, 2, 48000, 16, 6, 6));
    EXPECT_NE(FaultOf(path("odd.wav")).find("whole number"), std::string::npos);
    WriteBytes(path("zero.wav"), BuildWav(1, 0, 48000, 16, 0, 0));
    EXPECT_NE(FaultOf(path("zero.wav")).find("channel count"), std::string::npos);
    auto noData = BuildWav(1, 1, 48000, 16, 0, 0);
    noData.resize(noData.size() - 8); // drop the data chunk header
    WriteBytes(path("nodata.wav"), noData);
    EXPECT_NE(FaultOf(path("nodata.wav")).find("no data chunk"), std::string::npos);
    // A chunk whose size runs past the end of the file is caught, not followed.
    auto huge = BuildWav(1, 1, 48000, 16, 0, 0, true);
    huge[16] = 0xFF;
    huge[17] = 0xFF;
    huge[18] = 0xFF;
    huge[19] = 0x7F;
    WriteBytes(path("huge.wav"), huge);
    EXPECT_NE(FaultOf(path("huge.wav")).find("no fmt chunk"), std::string::npos);
    EXPECT_NE(FaultOf(m_dir.string()).find("Is a directory"), std::string::npos);
}

TEST_F(WavFileTest, UncommittedOrFailedWriterLeavesNothing) {
    {
        WavWriter w(path("c.wav"), 48000, 1);
        const std::int16_t s[3] = {1, 2, 3};
        w.write(s, 3);
        EXPECT_EQ(fileCount(), 0u) << "the file being written has no name until commit";
    }
    EXPECT_EQ(fileCount(), 0u);
    EXPECT_FALSE(fs::exists(path("c.wav")));
    // An existing file is replaced only by a committed writer.
    WriteWavFile(path("d.wav"), 48000, 1, {5, 6});
    {
        WavWriter w(path("d.wav"), 48000, 1);
        const std::int16_t s[1] = {9};
        w.write(s, 1);
    }
    EXPECT_EQ(ReadWavFile(path("d.wav")).samples, (std::vector<std::int16_t>{5, 6}));
    EXPECT_THROW(WavWriter(path("no/such/folder/e.wav"), 48000, 1), OrvexError);
    EXPECT_THROW(WavWriter(path("f.wav"), 0, 1), OrvexError);
}
