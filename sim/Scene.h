// A scene: the radio signals on the air that the simulated receiver can hear, read from a small
// text file (docs/sim.md describes the format; data/scenes/ holds the shipped ones).
//
// Levels are relative to the sound card's full scale, 32767: a carrier of L dBFS has a peak
// amplitude of 32767 x 10^(L/20) at the receiver's output, and noise of L dBFS has that RMS.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::sim {

/// How a signal is transmitted.
enum class SignalMode {
    AM,      ///< double-sideband with carrier; audio = programme
    USB,     ///< upper sideband, suppressed carrier at the frequency
    LSB,     ///< lower sideband, suppressed carrier at the frequency
    CW,      ///< carrier keyed on and off with Morse
    FM,      ///< frequency modulation; audio = programme
    Carrier, ///< a steady unmodulated carrier
    Noise,   ///< a band of noise centred on the frequency
};

/// The modulating audio of AM, SSB and FM signals, generated in code.
enum class AudioKind {
    None,      ///< silence (AM: bare carrier)
    Tone,      ///< one or two steady tones
    Music,     ///< a melody with a bass line (variants 1 to 99)
    Speech,    ///< speech-like syllables: voiced harmonics shaped by formants, fricatives, pauses
    Recording, ///< a WAV file, read when the scene is loaded (sim/Recording.h)
};

class AudioLoop;

struct AudioSpec {
    AudioKind kind = AudioKind::None;
    double toneHz = 0.0;  ///< Tone: first tone, Hz (10 to 20000)
    double tone2Hz = 0.0; ///< Tone: second tone, Hz, or 0 for one tone
    int variant = 1;      ///< Music, Speech: which programme (1 to 99)
    std::string path{};   ///< Recording: the file as the scene names it ("wav:PATH")
    bool loop = true;     ///< Recording: play it again and again (false: once, then silence)
    /// Recording: the file as analytic audio at 48000 samples/s, peak magnitude 1.
    std::shared_ptr<const AudioLoop> recording{};
    bool operator==(const AudioSpec&) const = default;
};

struct SceneSignal {
    std::string name;
    double frequencyHz = 0.0; ///< carrier (AM, CW, FM, Carrier), suppressed carrier (USB,
                              ///< LSB) or centre (Noise), Hz
    SignalMode mode = SignalMode::Carrier;
    double levelDbfs = -60.0; ///< carrier or peak envelope level; RMS for Noise
    AudioSpec audio;
    double depth = 0.5;          ///< AM modulation depth, 0 to 1
    double deviationHz = 2500.0; ///< FM peak deviation, Hz
    std::string text;            ///< CW: the Morse message, sent again and again
    double wpm = 18.0;           ///< CW: speed in words per minute (PARIS)
    double pauseSeconds = 2.0;   ///< CW: key-up time between repetitions of the message
    double widthHz = 3000.0;     ///< Noise: bandwidth, Hz
    int line = 0;                ///< line of the scene file that defined it
};

struct Scene {
    std::string name;
    std::string source;       ///< file the scene came from ("built-in" for the default)
    double noiseDbfs = -80.0; ///< receiver noise, RMS over the whole IF band
    std::uint64_t seed = 1;   ///< seeds the noise and the programme start points
    std::vector<SceneSignal> signals;
};

/// The outcome of reading a scene: the scene, or every problem found, each as
/// "FILE:LINE: text".
struct SceneLoadResult {
    std::optional<Scene> scene;
    std::vector<std::string> errors;
    bool ok() const { return scene.has_value(); }
    /// The errors joined by newlines.
    std::string errorText() const;
};

/// Limits the loader enforces.
inline constexpr std::size_t kMaxSceneFileBytes = 1 << 20;
inline constexpr std::size_t kMaxSceneSignals = 2000;
inline constexpr std::size_t kMaxSceneLineLength = 4096;
inline constexpr std::size_t kMaxMorseTextLength = 256;

/// Parses scene text; `sourceName` labels the errors and becomes Scene::source. Recordings
/// (audio=wav:PATH) are read from `folder` when PATH is relative ("" : the current folder).
SceneLoadResult ParseScene(std::string_view text, const std::string& sourceName,
                           const std::string& folder = "");
/// Reads and parses a scene file; a file that cannot be read is one error saying why.
/// Recordings are read relative to the scene file's folder.
SceneLoadResult LoadSceneFile(const std::string& path);
/// The file a --scene value names: the value itself when it holds a '/' or names an existing
/// file; otherwise a scene shipped with the program, by name with or without ".scene"
/// ("calibration"), from core/Folders.h's ShippedDataFolders("scenes"); the value unchanged
/// when no shipped scene has that name (loading it then says the file is missing).
std::string FindSceneFile(const std::string& nameOrPath);
/// The default scene (data/scenes/default.scene, built into the program).
Scene DefaultScene();
/// The text of the built-in default scene.
std::string_view DefaultSceneText();

const char* ModeName(SignalMode mode);
/// "tone:1000", "music:2", "speech:1", "wav:rtty.wav", "none".
std::string AudioText(const AudioSpec& audio);
/// The characters a CW message may hold (letters, digits and Morse punctuation).
bool IsMorseCharacter(char c);

} // namespace orvex::sim
