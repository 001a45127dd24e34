// Scene files: the shipped scenes, the accepted syntax, and bad lines and bad files, each
// refused with its line number and never a crash.
#include "SimTestSupport.h"
#include "radio/RecordingPorts.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace orvex;
using namespace orvex::sim;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

SceneLoadResult Parse(const std::string& text) {
    return ParseScene(text, "t.scene");
}

} // namespace

TEST(Scene, TheDefaultSceneHasSomethingForEveryModeAroundTheDefaultFrequency) {
    // The built-in text is the shipped file.
    EXPECT_EQ(std::string(DefaultSceneText()),
              ReadFile(fs::path(ORVEX_DATA_DIR) / "scenes" / "default.scene"));
    const Scene scene = DefaultScene();
    EXPECT_EQ(scene.name, "Default bands");
    EXPECT_EQ(scene.source, "built-in default.scene");

    // The frequency the controller starts on with no saved settings.
    MemorySettingsStore store;
    RecordingPorts ports;
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    ad9951 vfo(store, ports);
    vfo.init();
    const double start = vfo.TunedFreq() * 1e6;
    EXPECT_EQ(start, 5505000.0);

    std::map<SignalMode, int> modes;
    std::map<AudioKind, int> amAudio;
    int nearStart = 0, usbSpeech = 0, lsbSpeech = 0;
    for (const auto& s : scene.signals) {
        ++modes[s.mode];
        if (s.mode == SignalMode::AM) ++amAudio[s.audio.kind];
        if (s.mode == SignalMode::USB && s.audio.kind == AudioKind::Speech) ++usbSpeech;
        if (s.mode == SignalMode::LSB && s.audio.kind == AudioKind::Speech) ++lsbSpeech;
        if (std::fabs(s.frequencyHz - start) < 12000.0) ++nearStart;
        EXPECT_FALSE(s.name.empty()) << "line " << s.line;
    }
    for (SignalMode m : {SignalMode::AM, SignalMode::USB, SignalMode::LSB, SignalMode::CW,
                         SignalMode::FM, SignalMode::Carrier, SignalMode::Noise})
        EXPECT_GE(modes[m], 1) << ModeName(m);
    EXPECT_GE(modes[SignalMode::CW], 2);
    EXPECT_GE(modes[SignalMode::Carrier], 3);
    for (AudioKind k : {AudioKind::Tone, AudioKind::Music, AudioKind::Speech})
        EXPECT_GE(amAudio[k], 1);
    EXPECT_GE(usbSpeech, 2);
    EXPECT_GE(lsbSpeech, 2);
    EXPECT_GE(nearStart, 4);

    // Every shipped scene loads.
    int files = 0;
    for (const auto& e : fs::directory_iterator(fs::path(ORVEX_DATA_DIR) / "scenes")) {
        const SceneLoadResult r = LoadSceneFile(e.path().string());
        EXPECT_TRUE(r.ok()) << r.errorText();
        EXPECT_FALSE(r.ok() && r.scene->signals.empty()) << e.path();
        ++files;
    }
    EXPECT_GE(files, 2);
}

TEST(Scene, AcceptedSyntax) {
    const std::string text = "\xEF\xBB\xBF# a comment line\r\n"
                             "scene My \"test\" band\r\n"
                             "\r\n"
                             "NOISE -90 dBFS   # trailing comment\r\n"
                             "seed 42\n"
                             "station 7050kHz am level=-20dBFS audio=TONE:1000 name=\"A # not a "
                             "comment\"\n"
                             "station\t7.1\tMHz\tUSB\tlevel=-30\taudio=tone:700+1900\n"
                             "Station 7100500 Hz lsb level=-31 audio=speech:3 name=x\n"
                             "station 14.06MHZ CW level=-40\n"
                             "station 14.07 MHz cw level=-40 text=\"cq de test\" wpm=25 pause=0\n"
                             "station 29.6 mhz FM level=-30 audio=music:7 deviation=3000\n"
                             "station 3.6 MHz NOISE level=-60 width=12000\n"
                             "station 3.6001 MHz carrier level=-50\n"
                             "station 6.0 MHz AM level=-25 audio=none depth=1\n";
    const SceneLoadResult r = Parse(text);
    ASSERT_TRUE(r.ok()) << r.errorText();
    const Scene& s = *r.scene;
    EXPECT_EQ(s.name, "My test band");
    EXPECT_EQ(s.noiseDbfs, -90.0);
    EXPECT_EQ(s.seed, 42u);
    ASSERT_EQ(s.signals.size(), 9u);
    const auto& am = s.signals[0];
    EXPECT_EQ(am.frequencyHz, 7050000.0);
    EXPECT_EQ(am.mode, SignalMode::AM);
    EXPECT_EQ(am.levelDbfs, -20.0);
    EXPECT_EQ(am.audio, (AudioSpec{AudioKind::Tone, 1000.0, 0.0, 1}));
    EXPECT_EQ(am.depth, 0.5);
    EXPECT_EQ(am.name, "A # not a comment");
    EXPECT_EQ(am.line, 6);
    EXPECT_EQ(s.signals[1].frequencyHz, 7100000.0);
    EXPECT_EQ(s.signals[1].audio, (AudioSpec{AudioKind::Tone, 700.0, 1900.0, 1}));
    EXPECT_EQ(s.signals[2].mode, SignalMode::LSB);
    EXPECT_EQ(s.signals[2].audio, (AudioSpec{AudioKind::Speech, 0.0, 0.0, 3}));
    EXPECT_EQ(s.signals[3].frequencyHz, 14060000.0);
    EXPECT_EQ(s.signals[3].text, "VVV DE OX0SIM"); // the default message
    EXPECT_EQ(s.signals[3].wpm, 18.0);
    EXPECT_EQ(s.signals[4].text, "CQ DE TEST");
    EXPECT_EQ(s.signals[4].wpm, 25.0);
    EXPECT_EQ(s.signals[4].pauseSeconds, 0.0);
    EXPECT_EQ(s.signals[5].deviationHz, 3000.0);
    EXPECT_EQ(s.signals[5].audio.kind, AudioKind::Music);
    EXPECT_EQ(s.signals[6].widthHz, 12000.0);
    EXPECT_EQ(s.signals[7].mode, SignalMode::Carrier);
    EXPECT_EQ(s.signals[8].audio.kind, AudioKind::None);
    EXPECT_EQ(s.signals[8].depth, 1.0);
    EXPECT_EQ(AudioText(s.signals[1].audio), "tone:700+1900");
    EXPECT_EQ(AudioText(s.signals[2].audio), "speech:3");

    // An empty file is an empty band.
    const SceneLoadResult empty = Parse("");
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.scene->signals.empty());
}

TEST(Scene, EveryBadLineIsNamedWithItsNumber) {
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        {"stations 7 MHz AM", "unknown statement 'stations'"},
        {"station", "needs a frequency"},
        {"station 7 AM level=-20 audio=none", "frequency '7' needs a unit"},
        {"station 7 GHz AM level=-20 audio=none", "unknown frequency unit 'GHz'"},
        {"station x MHz AM level=-20 audio=none", "frequency 'x' is not a number"},
        {"station -7 MHz AM level=-20 audio=none", "outside 1 Hz to 1000 MHz"},
        {"station 2000 MHz AM level=-20 audio=none", "outside 1 Hz to 1000 MHz"},
        {"station 7 MHz", "needs a mode"},
        {"station 7 MHz QAM level=-20", "unknown mode 'QAM'"},
        {"station 7 MHz AM audio=none", "needs level=DBFS"},
        {"station 7 MHz AM level=loud audio=none", "level 'loud' is not a number"},
        {"station 7 MHz AM level=6 audio=none", "level 6 is outside -200 to 0"},
        {"station 7 MHz AM level=-20", "AM station needs audio="},
        {"station 7 MHz USB level=-20 audio=tone", "audio=tone needs a frequency"},
        {"station 7 MHz USB level=-20 audio=tone:5", "tone 5 is outside 10 to 20000"},
        {"station 7 MHz USB level=-20 audio=tone:700+x", "second tone 'x' is not a number"},
        {"station 7 MHz USB level=-20 audio=speech:0", "speech variant 0 is outside 1 to 99"},
        {"station 7 MHz USB level=-20 audio=music:1.5", "music variant '1.5' is not a whole"},
        {"station 7 MHz USB level=-20 audio=opera:1", "unknown audio 'opera:1'"},
        {"station 7 MHz AM level=-20 audio=none depth=2", "depth 2 is outside 0 to 1"},
        {"station 7 MHz USB level=-20 audio=none depth=0.5", "depth= applies to AM only"},
        {"station 7 MHz FM level=-20 audio=none deviation=0", "deviation 0 is outside"},
        {"station 7 MHz CW level=-20 audio=tone:700", "audio= applies to AM, USB, LSB and FM"},
        {"station 7 MHz CW level=-20 text=\"CQ ~\"", "characters Morse cannot send: '~'"},
        {"station 7 MHz CW level=-20 text=\"  \"", "text is empty"},
        {"station 7 MHz CW level=-20 wpm=100", "wpm 100 is outside 5 to 60"},
        {"station 7 MHz CW level=-20 pause=-1", "pause -1 is outside 0 to 60"},
        {"station 7 MHz noise level=-20 width=1", "width 1 is outside 10 to 40000"},
        {"station 7 MHz carrier level=-20 width=100", "width= applies to noise only"},
        {"station 7 MHz carrier level=-20 level=-30", "level is given twice"},
        {"station 7 MHz carrier level=-20 colour=red", "unknown key 'colour'"},
        {"station 7 MHz carrier level=-20 loud", "expected key=value, found 'loud'"},
        {"station 7 MHz carrier level=-20 name=\"open", "not closed"},
        {"noise", "noise takes one level"},
        {"noise -80 -70", "noise takes one level"},
        {"seed 1.5", "seed '1.5' is not whole"},
        {"seed", "seed takes one whole number"},
    };
    std::string all = "scene Bad lines\n";
    for (const Case& c : cases) {
        const SceneLoadResult r = Parse("scene X\n" + std::string(c.line) + "\n");
        EXPECT_FALSE(r.ok()) << c.line;
        ASSERT_EQ(r.errors.size(), 1u) << c.line << "\n" << r.errorText();
        EXPECT_EQ(r.errors[0].rfind("t.scene:2: ", 0), 0u) << r.errors[0];
        EXPECT_NE(r.errors[0].find(c.error), std::string::npos) << c.line << "\n" << r.errors[0];
        all += std::string(c.line) + "\n";
    }
    // All of them at once: each reported with its own line (the file's first 50 problems).
    const SceneLoadResult r = Parse(all);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.errors.size(), sizeof cases / sizeof cases[0]);
    EXPECT_NE(r.errors.back().find("t.scene:" + std::to_string(r.errors.size() + 1) + ":"),
              std::string::npos);
    // Statements that may appear once.
    EXPECT_EQ(Parse("noise -80\nnoise -70\n").errors.at(0), "t.scene:2: noise is given twice");
    std::string many;
    for (int i = 0; i < 80; ++i)
        many += "bad\n";
    EXPECT_EQ(Parse(many).errors.size(), 51u);
    EXPECT_EQ(Parse(many).errors.back(), "t.scene: more errors not shown");
}

TEST(Scene, BadFilesAreRefusedWithTheReason) {
    const fs::path dir = fs::temp_directory_path() / ("orvex_scene_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    };
    const auto only = [](const SceneLoadResult& r) {
        EXPECT_FALSE(r.ok());
        return r.errors.size() == 1 ? r.errors[0] : r.errorText();
    };
    EXPECT_NE(only(LoadSceneFile((dir / "missing.scene").string())).find("No such file"),
              std::string::npos);
    EXPECT_NE(only(LoadSceneFile(dir.string())).find("not a regular file"), std::string::npos);
    EXPECT_NE(
        only(LoadSceneFile(write("nul.scene", std::string("noise -80\n\0\n", 12)))).find("NUL"),
        std::string::npos);
    EXPECT_NE(only(LoadSceneFile(write("big.scene", std::string(kMaxSceneFileBytes + 1, '#'))))
                  .find("larger than"),
              std::string::npos);
    EXPECT_NE(only(Parse(std::string(kMaxSceneLineLength + 1, ' '))).find("longer than"),
              std::string::npos);
    const SceneLoadResult good =
        LoadSceneFile(write("ok.scene", "station 7 MHz carrier level=-9\n"));
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(good.scene->source, (dir / "ok.scene").string());
    fs::remove_all(dir);
}

TEST(Scene, MangledScenesNeverCrashTheLoader) {
    // Random damage to the default scene: bytes replaced, deleted and duplicated, lines cut.
    const std::string base(DefaultSceneText());
    sim::FastNoise rng(99);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = base;
        const int edits = rng.range(1, 8);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const auto at =
                static_cast<std::size_t>(rng.range(0, static_cast<int>(text.size()) - 1));
            switch (rng.range(0, 3)) {
            case 0:
                text[at] = static_cast<char>(rng.range(1, 255));
                break;
            case 1:
                text.erase(at, static_cast<std::size_t>(rng.range(1, 40)));
                break;
            case 2:
                text.insert(at, text.substr(at, static_cast<std::size_t>(rng.range(1, 40))));
                break;
            default:
                text.resize(at);
                break;
            }
        }
        const SceneLoadResult r = Parse(text);
        if (!r.ok()) {
            ++refused;
            for (const auto& err : r.errors)
                ASSERT_EQ(err.rfind("t.scene:", 0), 0u) << err;
            continue;
        }
        for (const auto& s : r.scene->signals) {
            ASSERT_TRUE(s.frequencyHz > 0.0 && s.frequencyHz <= 1e9);
            ASSERT_TRUE(s.levelDbfs >= -200.0 && s.levelDbfs <= 0.0);
            ASSERT_TRUE(s.depth >= 0.0 && s.depth <= 1.0);
        }
    }
    EXPECT_GT(refused, 1000);
}
