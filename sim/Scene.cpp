#include "Scene.h"

#include "Recording.h"
#include "core/Error.h"
#include "core/Folders.h"
#include "core/Numeric.h"
#include "core/SafeFile.h"
#include "core/SettingsStore.h"
#include "core/TextLines.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace orvex::sim {
namespace {

constexpr std::size_t kMaxErrors = 50;
constexpr const char* kDefaultMorseText = "VVV DE OX0SIM";

struct Token {
    std::string text;
    bool quoted = false; ///< a quote appeared in it (a value with spaces or an empty one)
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Splits a line into tokens at blanks; "..." keeps blanks, '#' outside quotes ends the line.
// Returns false (with `error`) for an unterminated quote.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    Token current;
    bool inToken = false;
    bool inQuote = false;
    for (const char c : line) {
        if (inQuote) {
            if (c == '"')
                inQuote = false;
            else
                current.text += c;
            continue;
        }
        if (c == '#') break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inToken) tokens.push_back(std::move(current));
            current = {};
            inToken = false;
            continue;
        }
        inToken = true;
        if (c == '"') {
            inQuote = true;
            current.quoted = true;
        } else {
            current.text += c;
        }
    }
    if (inQuote) {
        error = "a quoted value is not closed (missing \")";
        return false;
    }
    if (inToken) tokens.push_back(std::move(current));
    return true;
}

class Parser {
public:
    Parser(std::string source, std::string folder, Scene& scene, std::vector<std::string>& errors)
        : m_source(std::move(source)), m_folder(std::move(folder)), m_scene(scene),
          m_errors(errors) {}

    void line(int number, std::string_view text);

private:
    void error(const std::string& text) {
        if (m_errors.size() < kMaxErrors)
            m_errors.push_back(m_source + ":" + std::to_string(m_line) + ": " + text);
        else if (m_errors.size() == kMaxErrors)
            m_errors.push_back(m_source + ": more errors not shown");
    }
    bool number(const std::string& what, const std::string& text, double lo, double hi,
                double& out);
    bool frequency(const std::vector<Token>& tokens, std::size_t& i, double& hz);
    bool audio(const std::string& text, AudioSpec& out);
    void station(const std::vector<Token>& tokens);
    bool loadRecording(AudioSpec& audio);

    std::string m_source;
    std::string m_folder;
    // Recordings read so far, by file and looping, so stations sharing one read it once.
    std::vector<std::pair<std::pair<std::string, bool>, std::shared_ptr<const AudioLoop>>>
        m_recordings;
    Scene& m_scene;
    std::vector<std::string>& m_errors;
    int m_line = 0;
    bool m_sawNoise = false, m_sawSeed = false, m_sawName = false;
};

bool Parser::number(const std::string& what, const std::string& text, double lo, double hi,
                    double& out) {
    const auto v = ParseNumber(text);
    if (!v) {
        error(what + " '" + text + "' is not a number");
        return false;
    }
    if (*v < lo || *v > hi) {
        char buf[160];
        std::snprintf(buf, sizeof buf, " %s is outside %g to %g", text.c_str(), lo, hi);
        error(what + buf);
        return false;
    }
    out = *v;
    return true;
}

// FREQ UNIT or FREQUNIT ("5.505 MHz", "7050kHz"); the unit is required.
bool Parser::frequency(const std::vector<Token>& tokens, std::size_t& i, double& hz) {
    if (i >= tokens.size()) {
        error("station needs a frequency with a unit (e.g. 7.050 MHz)");
        return false;
    }
    const std::string original = tokens[i].text;
    std::string value = original;
    std::string unit;
    std::size_t split = value.size();
    while (split > 0 && std::isalpha(static_cast<unsigned char>(value[split - 1])))
        --split;
    unit = value.substr(split);
    value.resize(split);
    ++i;
    if (unit.empty() && i < tokens.size()) {
        const std::string next = Lower(tokens[i].text);
        if (next == "hz" || next == "khz" || next == "mhz") {
            unit = tokens[i].text;
            ++i;
        }
    }
    if (unit.empty() && i < tokens.size()) {
        // A word that is not a mode where the unit belongs: a unit we do not know.
        const std::string next = Lower(tokens[i].text);
        static const char* const kModes[] = {"am", "usb", "lsb", "cw", "fm", "carrier", "noise"};
        bool isMode = false;
        for (const char* m : kModes)
            isMode = isMode || next == m;
        bool letters = !next.empty();
        for (const char c : next)
            letters = letters && std::isalpha(static_cast<unsigned char>(c));
        if (letters && !isMode) {
            unit = tokens[i].text;
            ++i;
        }
    }
    if (value.empty()) {
        error("frequency '" + original + "' is not a number");
        return false;
    }
    const std::string u = Lower(unit);
    double scale = 0.0;
    if (u == "hz")
        scale = 1.0;
    else if (u == "khz")
        scale = 1e3;
    else if (u == "mhz")
        scale = 1e6;
    if (scale == 0.0) {
        error(unit.empty() ? "frequency '" + value + "' needs a unit: Hz, kHz or MHz"
                           : "unknown frequency unit '" + unit + "' (Hz, kHz or MHz)");
        return false;
    }
    const auto v = ParseNumber(value);
    if (!v) {
        error("frequency '" + value + "' is not a number");
        return false;
    }
    hz = *v * scale;
    if (!InRange(hz, 1.0, 1e9)) {
        error("frequency " + value + " " + unit + " is outside 1 Hz to 1000 MHz");
        return false;
    }
    return true;
}

bool Parser::audio(const std::string& text, AudioSpec& out) {
    const std::string t = Lower(text);
    if (t == "none") {
        out = {};
        return true;
    }
    const std::size_t colon = t.find(':');
    const std::string kind = t.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : t.substr(colon + 1);
    if (kind == "tone") {
        if (arg.empty()) {
            error("audio=tone needs a frequency: tone:HZ or tone:HZ+HZ");
            return false;
        }
        const std::size_t plus = arg.find('+');
        double f1 = 0.0, f2 = 0.0;
        if (!number("tone", arg.substr(0, plus), 10.0, 20000.0, f1)) return false;
        if (plus != std::string::npos &&
            !number("second tone", arg.substr(plus + 1), 10.0, 20000.0, f2))
            return false;
        out = {};
        out.kind = AudioKind::Tone;
        out.toneHz = f1;
        out.tone2Hz = f2;
        return true;
    }
    if (kind == "music" || kind == "speech") {
        double variant = 1.0;
        if (!arg.empty() && !number(kind + " variant", arg, 1.0, 99.0, variant)) return false;
        if (variant != std::floor(variant)) {
            error(kind + " variant '" + arg + "' is not a whole number");
            return false;
        }
        out = {};
        out.kind = kind == "music" ? AudioKind::Music : AudioKind::Speech;
        out.variant = static_cast<int>(variant);
        return true;
    }
    if (kind == "wav") {
        const std::string path = text.substr(colon + 1); // as written: file names keep their case
        if (path.empty()) {
            error("audio=wav needs a file: wav:PATH");
            return false;
        }
        out = {};
        out.kind = AudioKind::Recording;
        out.path = path;
        return true;
    }
    error("unknown audio '" + text +
          "' (tone:HZ, tone:HZ+HZ, music:N, speech:N, wav:PATH or none)");
    return false;
}

bool Parser::loadRecording(AudioSpec& audio) {
    const std::string file =
        audio.path.front() == '/' || m_folder.empty() ? audio.path : m_folder + "/" + audio.path;
    for (const auto& [key, loop] : m_recordings)
        if (key.first == file && key.second == audio.loop) {
            audio.recording = loop;
            return true;
        }
    std::string why;
    audio.recording = LoadRecording(file, audio.loop, why);
    if (!audio.recording) {
        error("audio=wav: " + why);
        return false;
    }
    m_recordings.push_back({{file, audio.loop}, audio.recording});
    return true;
}

void Parser::station(const std::vector<Token>& tokens) {
    SceneSignal s;
    s.line = m_line;
    std::size_t i = 1;
    if (!frequency(tokens, i, s.frequencyHz)) return;
    if (i >= tokens.size()) {
        error("station needs a mode after the frequency (AM, USB, LSB, CW, FM, carrier, noise)");
        return;
    }
    const std::string mode = Lower(tokens[i].text);
    if (mode == "am")
        s.mode = SignalMode::AM;
    else if (mode == "usb")
        s.mode = SignalMode::USB;
    else if (mode == "lsb")
        s.mode = SignalMode::LSB;
    else if (mode == "cw")
        s.mode = SignalMode::CW;
    else if (mode == "fm")
        s.mode = SignalMode::FM;
    else if (mode == "carrier")
        s.mode = SignalMode::Carrier;
    else if (mode == "noise")
        s.mode = SignalMode::Noise;
    else {
        error("unknown mode '" + tokens[i].text + "' (AM, USB, LSB, CW, FM, carrier, noise)");
        return;
    }
    ++i;

    const bool modulated = s.mode == SignalMode::AM || s.mode == SignalMode::USB ||
                           s.mode == SignalMode::LSB || s.mode == SignalMode::FM;
    bool haveLevel = false, haveAudio = false, bad = false;
    std::optional<bool> loop;
    std::vector<std::string> seen;
    for (; i < tokens.size(); ++i) {
        const std::string& tok = tokens[i].text;
        const std::size_t eq = tok.find('=');
        if (eq == std::string::npos || eq == 0) {
            error("expected key=value, found '" + tok + "'");
            bad = true;
            continue;
        }
        const std::string key = Lower(tok.substr(0, eq));
        const std::string value = tok.substr(eq + 1);
        bool duplicate = false;
        for (const auto& k : seen)
            duplicate = duplicate || k == key;
        if (duplicate) {
            error(key + " is given twice");
            bad = true;
            continue;
        }
        seen.push_back(key);
        const auto only = [&](bool applies, const char* modes) {
            if (applies) return true;
            error(key + "= applies to " + modes + " only, not to " + ModeName(s.mode));
            bad = true;
            return false;
        };
        double v = 0.0;
        if (key == "level") {
            std::string num = value;
            if (Lower(num).size() > 4 && Lower(num).ends_with("dbfs")) num.resize(num.size() - 4);
            haveLevel = true; // given, even if wrong: one message is enough
            if (number("level", num, -200.0, 0.0, v))
                s.levelDbfs = v;
            else
                bad = true;
        } else if (key == "name") {
            if (value.size() > 100) {
                error("name is longer than 100 characters");
                bad = true;
            } else {
                s.name = value;
            }
        } else if (key == "audio") {
            if (!only(modulated, "AM, USB, LSB and FM")) continue;
            haveAudio = true; // given, even if wrong: one message is enough
            if (!audio(value, s.audio)) bad = true;
        } else if (key == "loop") {
            if (!only(modulated, "AM, USB, LSB and FM")) continue;
            const std::string word = Lower(value);
            if (word == "yes")
                loop = true;
            else if (word == "no")
                loop = false;
            else {
                error("loop '" + value + "' is neither yes nor no");
                bad = true;
            }
        } else if (key == "depth") {
            if (!only(s.mode == SignalMode::AM, "AM")) continue;
            if (number("depth", value, 0.0, 1.0, v))
                s.depth = v;
            else
                bad = true;
        } else if (key == "deviation") {
            if (!only(s.mode == SignalMode::FM, "FM")) continue;
            if (number("deviation", value, 1.0, 15000.0, v))
                s.deviationHz = v;
            else
                bad = true;
        } else if (key == "text") {
            if (!only(s.mode == SignalMode::CW, "CW")) continue;
            const std::string text = Upper(value);
            std::string badChars;
            for (const char c : text)
                if (!IsMorseCharacter(c) && badChars.find(c) == std::string::npos) badChars += c;
            if (!badChars.empty()) {
                error("text has characters Morse cannot send: '" + badChars + "'");
                bad = true;
            } else if (text.find_first_not_of(' ') == std::string::npos) {
                error("text is empty");
                bad = true;
            } else if (text.size() > kMaxMorseTextLength) {
                error("text is longer than " + std::to_string(kMaxMorseTextLength) + " characters");
                bad = true;
            } else {
                s.text = text;
            }
        } else if (key == "wpm") {
            if (!only(s.mode == SignalMode::CW, "CW")) continue;
            if (number("wpm", value, 5.0, 60.0, v))
                s.wpm = v;
            else
                bad = true;
        } else if (key == "pause") {
            if (!only(s.mode == SignalMode::CW, "CW")) continue;
            if (number("pause", value, 0.0, 60.0, v))
                s.pauseSeconds = v;
            else
                bad = true;
        } else if (key == "width") {
            if (!only(s.mode == SignalMode::Noise, "noise")) continue;
            if (number("width", value, 10.0, 40000.0, v))
                s.widthHz = v;
            else
                bad = true;
        } else {
            error("unknown key '" + key +
                  "' (level, name, audio, loop, depth, deviation, text, wpm, pause, width)");
            bad = true;
        }
    }
    if (!haveLevel) {
        error("station needs level=DBFS");
        bad = true;
    }
    if (modulated && !haveAudio) {
        error(std::string(ModeName(s.mode)) +
              " station needs audio= (tone:HZ, tone:HZ+HZ, music:N, speech:N, wav:PATH or none)");
        bad = true;
    }
    if (loop && haveAudio && s.audio.kind != AudioKind::Recording && !bad) {
        error("loop= applies to a recording (audio=wav:PATH) only");
        bad = true;
    }
    if (bad) return;
    if (s.audio.kind == AudioKind::Recording) {
        s.audio.loop = loop.value_or(true);
        if (!loadRecording(s.audio)) return;
    }
    if (s.mode == SignalMode::CW && s.text.empty()) s.text = kDefaultMorseText;
    if (m_scene.signals.size() >= kMaxSceneSignals) {
        error("more than " + std::to_string(kMaxSceneSignals) + " stations");
        return;
    }
    m_scene.signals.push_back(std::move(s));
}

void Parser::line(int number, std::string_view text) {
    m_line = number;
    if (text.size() > kMaxSceneLineLength) {
        error("line is longer than " + std::to_string(kMaxSceneLineLength) + " characters");
        return;
    }
    std::vector<Token> tokens;
    std::string tokError;
    if (!Tokenize(text, tokens, tokError)) {
        error(tokError);
        return;
    }
    if (tokens.empty()) return;
    const std::string keyword = Lower(tokens[0].text);
    if (keyword == "station") {
        station(tokens);
    } else if (keyword == "scene") {
        if (m_sawName) return error("scene name is given twice");
        m_sawName = true;
        std::string name;
        for (std::size_t i = 1; i < tokens.size(); ++i)
            name += (i > 1 ? " " : "") + tokens[i].text;
        if (name.size() > 200) return error("scene name is longer than 200 characters");
        m_scene.name = name;
    } else if (keyword == "noise") {
        if (m_sawNoise) return error("noise is given twice");
        m_sawNoise = true;
        if (tokens.size() < 2 || tokens.size() > 3 ||
            (tokens.size() == 3 && Lower(tokens[2].text) != "dbfs"))
            return error("noise takes one level in dBFS (e.g. noise -80)");
        double v = 0.0;
        if (this->number("noise level", tokens[1].text, -200.0, 0.0, v)) m_scene.noiseDbfs = v;
    } else if (keyword == "seed") {
        if (m_sawSeed) return error("seed is given twice");
        m_sawSeed = true;
        if (tokens.size() != 2) return error("seed takes one whole number");
        double v = 0.0;
        if (!this->number("seed", tokens[1].text, 0.0, 9007199254740992.0, v)) return;
        if (v != std::floor(v)) return error("seed '" + tokens[1].text + "' is not whole");
        m_scene.seed = static_cast<std::uint64_t>(v);
    } else {
        error("unknown statement '" + tokens[0].text + "' (scene, noise, seed, station)");
    }
}

} // namespace

std::string SceneLoadResult::errorText() const {
    std::string out;
    for (const auto& e : errors)
        out += (out.empty() ? "" : "\n") + e;
    return out;
}

const char* ModeName(SignalMode mode) {
    switch (mode) {
    case SignalMode::AM:
        return "AM";
    case SignalMode::USB:
        return "USB";
    case SignalMode::LSB:
        return "LSB";
    case SignalMode::CW:
        return "CW";
    case SignalMode::FM:
        return "FM";
    case SignalMode::Carrier:
        return "carrier";
    case SignalMode::Noise:
        return "noise";
    }
    return "?";
}

std::string AudioText(const AudioSpec& audio) {
    char buf[64];
    switch (audio.kind) {
    case AudioKind::None:
        return "none";
    case AudioKind::Tone:
        if (audio.tone2Hz > 0.0)
            std::snprintf(buf, sizeof buf, "tone:%g+%g", audio.toneHz, audio.tone2Hz);
        else
            std::snprintf(buf, sizeof buf, "tone:%g", audio.toneHz);
        return buf;
    case AudioKind::Music:
        return "music:" + std::to_string(audio.variant);
    case AudioKind::Speech:
        return "speech:" + std::to_string(audio.variant);
    case AudioKind::Recording:
        return "wav:" + audio.path;
    }
    return "none";
}

bool IsMorseCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') return true;
    return std::strchr(".,?/=+-", c) != nullptr && c != '\0';
}

SceneLoadResult ParseScene(std::string_view text, const std::string& sourceName,
                           const std::string& folder) {
    SceneLoadResult result;
    if (text.size() > kMaxSceneFileBytes) {
        result.errors.push_back(sourceName + ": larger than " + std::to_string(kMaxSceneFileBytes) +
                                " bytes; not a scene file");
        return result;
    }
    if (text.find('\0') != std::string_view::npos) {
        result.errors.push_back(sourceName + ": contains NUL bytes; not a text scene file");
        return result;
    }
    Scene scene;
    scene.source = sourceName;
    Parser parser(sourceName, folder, scene, result.errors);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // a UTF-8 byte order mark
    LineReader lines(text);                                      // LF, CR LF or CR alone
    std::string_view line;
    while (lines.next(line))
        parser.line(lines.number(), line);
    // A scene with nothing on the air is a wrong file, not a quiet band.
    if (result.errors.empty() && scene.signals.empty())
        result.errors.push_back(sourceName +
                                ": no station in the scene (a scene needs at least one "
                                "'station' line; docs/sim.md describes the format)");
    if (result.errors.empty()) result.scene = std::move(scene);
    return result;
}

std::string FindSceneFile(const std::string& nameOrPath) {
    struct stat st {};
    if (nameOrPath.find('/') != std::string::npos || ::stat(nameOrPath.c_str(), &st) == 0)
        return nameOrPath;
    const bool hasSuffix =
        nameOrPath.size() > 6 && nameOrPath.compare(nameOrPath.size() - 6, 6, ".scene") == 0;
    for (const auto& folder : ShippedDataFolders("scenes")) {
        const std::string candidate = folder + "/" + nameOrPath + (hasSuffix ? "" : ".scene");
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
    }
    return nameOrPath;
}

SceneLoadResult LoadSceneFile(const std::string& path) {
    SceneLoadResult result;
    std::string text;
    FileError error;
    if (!ReadWholeFile(path, text, kMaxSceneFileBytes, &error)) {
        result.errors.push_back(error.number == EFBIG
                                    ? path + ": larger than " + std::to_string(kMaxSceneFileBytes) +
                                          " bytes; not a scene file"
                                    : "cannot read scene file " + path + ": " + error.describe());
        return result;
    }
    const std::size_t slash = path.rfind('/');
    return ParseScene(text, path,
                      slash == std::string::npos ? "." : path.substr(0, slash + (slash == 0)));
}

Scene DefaultScene() {
    SceneLoadResult r = ParseScene(DefaultSceneText(), "built-in default.scene");
    if (!r.ok()) throw OrvexError(ErrorKind::Format, r.errorText());
    return std::move(*r.scene);
}

} // namespace orvex::sim
