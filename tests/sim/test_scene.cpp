// Scene files: the shipped scenes, the accepted syntax, and bad lines and bad files, each
// refused with its line number and never a crash.
#include "SimTestSupport.h"
#include "radio/RecordingPorts.h"
#include "sim/FastNoise.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvex;
using namespace orvex::sim;
namespace fs = std::filesystem;

namespace {

SceneLoadResult Parse(const std::string& text) {
    return ParseScene(text, "t.scene");
}

} // namespace

TEST(Scene, TheDefaultSceneHasSomethingForEveryModeAroundTheDefaultFrequency) {
    std::stringstream file;
    file << std::ifstream(fs::path(ORVEX_DATA_DIR) / "scenes" / "default.scene").rdbuf();
    EXPECT_EQ(std::string(DefaultSceneText()), file.str()); // built in = shipped
    const Scene scene = DefaultScene();
    EXPECT_EQ(scene.name, "Default bands");

    // The frequency the controller starts on with no saved settings.
    MemorySettingsStore store;
    RecordingPorts ports;
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    ad9951 vfo(store, ports);
    vfo.init();
    const double start = vfo.TunedFreq() * 1e6;

    std::map<SignalMode, int> modes;
    std::map<AudioKind, int> amAudio;
    int nearStart = 0, usbSpeech = 0, lsbSpeech = 0;
    for (const auto& s : scene.signals) {
        ++modes[s.mode];
        if (s.mode == SignalMode::AM) ++amAudio[s.audio.kind];
        usbSpeech += s.mode == SignalMode::USB && s.audio.kind == AudioKind::Speech;
        lsbSpeech += s.mode == SignalMode::LSB && s.audio.kind == AudioKind::Speech;
        nearStart += std::fabs(s.frequencyHz - start) < 12000.0;
    }
    for (SignalMode m : {SignalMode::AM, SignalMode::USB, SignalMode::LSB, SignalMode::CW,
                         SignalMode::FM, SignalMode::Carrier, SignalMode::Noise})
        EXPECT_GE(modes[m], 1) << ModeName(m);
    EXPECT_GE(modes[SignalMode::Carrier], 3);
    for (AudioKind k : {AudioKind::Tone, AudioKind::Music, AudioKind::Speech})
        EXPECT_GE(amAudio[k], 1);
    EXPECT_GE(usbSpeech, 2);
    EXPECT_GE(lsbSpeech, 2);
    EXPECT_GE(nearStart, 4);
    for (const auto& e : fs::directory_iterator(fs::path(ORVEX_DATA_DIR) / "scenes"))
        if (e.path().extension() == ".scene") { // beside them: the recordings they play
            const SceneLoadResult shipped = LoadSceneFile(e.path().string());
            EXPECT_TRUE(shipped.ok()) << shipped.errorText();
        }
}

TEST(Scene, AcceptedSyntax) {
    const SceneLoadResult r =
        Parse("\xEF\xBB\xBF# comment\r\n"
              "scene My \"test\" band\r\n"
              "NOISE -90 dBFS   # trailing comment\r\n"
              "station 7050kHz am level=-20dBFS audio=TONE:1000 name=\"A # not a comment\"\n"
              "station\t7.1\tMHz\tUSB\tlevel=-30\taudio=tone:700+1900\n"
              "station 14.06MHZ CW level=-40\n"
              "station 3.6 MHz NOISE level=-60 width=12000\n");
    ASSERT_TRUE(r.ok()) << r.errorText();
    const Scene& s = *r.scene;
    EXPECT_EQ(s.name, "My test band");
    EXPECT_EQ(s.noiseDbfs, -90.0);
    ASSERT_EQ(s.signals.size(), 4u);
    EXPECT_EQ(s.signals[0].frequencyHz, 7050000.0);
    EXPECT_EQ(s.signals[0].levelDbfs, -20.0);
    EXPECT_EQ(s.signals[0].audio, (AudioSpec{AudioKind::Tone, 1000.0, 0.0, 1}));
    EXPECT_EQ(s.signals[0].depth, 0.5);
    EXPECT_EQ(s.signals[0].name, "A # not a comment");
    EXPECT_EQ(s.signals[0].line, 4);
    EXPECT_EQ(s.signals[1].audio, (AudioSpec{AudioKind::Tone, 700.0, 1900.0, 1}));
    EXPECT_EQ(s.signals[2].frequencyHz, 14060000.0);
    EXPECT_EQ(s.signals[2].text, "VVV DE OX0SIM"); // the default message
    EXPECT_EQ(s.signals[3].widthHz, 12000.0);
}

TEST(Scene, EveryBadLineIsNamedWithItsNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"stations 7 MHz AM", "unknown statement 'stations'"},
        {"station 7 AM level=-20 audio=none", "frequency '7' needs a unit"},
        {"station 7 GHz AM level=-20 audio=none", "unknown frequency unit 'GHz'"},
        {"station x MHz AM level=-20 audio=none", "frequency 'x' is not a number"},
        {"station 2000 MHz AM level=-20 audio=none", "outside 1 Hz to 1000 MHz"},
        {"station 7 MHz QAM level=-20", "unknown mode 'QAM'"},
        {"station 7 MHz AM audio=none", "needs level=DBFS"},
        {"station 7 MHz AM level=6 audio=none", "level 6 is outside -200 to 0"},
        {"station 7 MHz AM level=-20", "AM station needs audio="},
        {"station 7 MHz USB level=-20 audio=tone:5", "tone 5 is outside 10 to 20000"},
        {"station 7 MHz USB level=-20 audio=music:1.5", "music variant '1.5' is not a whole"},
        {"station 7 MHz USB level=-20 audio=none depth=0.5", "depth= applies to AM only"},
        {"station 7 MHz CW level=-20 text=\"CQ ~\"", "characters Morse cannot send: '~'"},
        {"station 7 MHz CW level=-20 wpm=100", "wpm 100 is outside 5 to 60"},
        {"station 7 MHz carrier level=-20 level=-30", "level is given twice"},
        {"station 7 MHz carrier level=-20 colour=red", "unknown key 'colour'"},
        {"station 7 MHz carrier level=-20 name=\"open", "not closed"},
        {"noise -80 -70", "noise takes one level"},
        {"seed 1.5", "seed '1.5' is not whole"},
    };
    std::string all = "scene Bad lines\n";
    for (const auto& [line, error] : cases) {
        const SceneLoadResult r = Parse("scene X\n" + std::string(line) + "\n");
        ASSERT_EQ(r.errors.size(), 1u) << line << "\n" << r.errorText();
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.errors[0].rfind("t.scene:2: ", 0), 0u) << r.errors[0];
        EXPECT_NE(r.errors[0].find(error), std::string::npos) << line << "\n" << r.errors[0];
        all += std::string(line) + "\n";
    }
    // All at once: each reported on its own line; at most 50 and a note.
    const SceneLoadResult r = Parse(all);
    EXPECT_EQ(r.errors.size(), sizeof cases / sizeof cases[0]);
    EXPECT_EQ(r.errors.back().rfind("t.scene:" + std::to_string(r.errors.size() + 1) + ": "), 0u);
    std::string many;
    for (int i = 0; i < 80; ++i)
        many += "bad\n";
    EXPECT_EQ(Parse(many).errors.back(), "t.scene: more errors not shown");
}

TEST(Scene, BadFilesAreRefusedWithTheReasonAndMangledOnesNeverCrash) {
    const fs::path dir = fs::temp_directory_path() / ("orvex_scene_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto load = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        const SceneLoadResult r = LoadSceneFile((dir / name).string());
        return r.ok() ? std::string("ok") : r.errorText();
    };
    EXPECT_NE(LoadSceneFile((dir / "none").string()).errorText().find("No such file"),
              std::string::npos);
    EXPECT_NE(LoadSceneFile(dir.string()).errorText().find("Is a directory"), std::string::npos);
    EXPECT_NE(load("nul", std::string("noise -80\n\0\n", 12)).find("NUL"), std::string::npos);
    EXPECT_NE(load("big", std::string(kMaxSceneFileBytes + 1, '#')).find("larger than"),
              std::string::npos);
    EXPECT_EQ(load("ok", "station 7 MHz carrier level=-9\n"), "ok");
    // Line ends of any system read alike; nothing on the air, a frequency under 1 Hz and a FIFO
    // in place of the file are refused (the FIFO at once, without waiting for a writer).
    const std::string lf = "# two\nstation 7 MHz carrier level=-9\nstation 7.01 MHz AM "
                           "level=-9 audio=none\n";
    std::string cr = lf, crlf;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    for (const char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const auto& text : {lf, cr, crlf}) {
        std::ofstream(dir / "ends", std::ios::binary) << text;
        const auto r = LoadSceneFile((dir / "ends").string());
        ASSERT_TRUE(r.ok()) << r.errorText();
        ASSERT_EQ(r.scene->signals.size(), 2u);
        EXPECT_EQ(r.scene->signals[1].line, 3);
    }
    EXPECT_NE(load("empty", "# nothing here\r\r").find("no station"), std::string::npos);
    EXPECT_NE(load("low", "station 0.5 Hz carrier level=-9\n").find("outside 1 Hz"),
              std::string::npos);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_NE(LoadSceneFile((dir / "fifo").string()).errorText().find("not a regular file"),
              std::string::npos);
    fs::remove_all(dir);

    // Random damage to the default scene: bytes replaced, deleted, duplicated, text cut.
    const std::string base(DefaultSceneText());
    FastNoise rng(99);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = base;
        for (int e = rng.range(1, 8); e > 0 && !text.empty(); --e) {
            const auto at =
                static_cast<std::size_t>(rng.range(0, static_cast<int>(text.size()) - 1));
            const auto len = static_cast<std::size_t>(rng.range(1, 40));
            switch (rng.range(0, 3)) {
            case 0:
                text[at] = static_cast<char>(rng.range(1, 255));
                break;
            case 1:
                text.erase(at, len);
                break;
            case 2:
                text.insert(at, text.substr(at, len));
                break;
            default:
                text.resize(at);
                break;
            }
        }
        const SceneLoadResult r = Parse(text);
        refused += !r.ok();
        for (const auto& err : r.errors)
            ASSERT_EQ(err.rfind("t.scene:", 0), 0u) << err;
        for (const auto& s : r.ok() ? r.scene->signals : std::vector<SceneSignal>{})
            ASSERT_TRUE(s.frequencyHz > 0.0 && s.levelDbfs <= 0.0 && s.depth <= 1.0);
    }
    EXPECT_GT(refused, 1000);
}
