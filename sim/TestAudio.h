// Test audio for the simulated stations, generated in code: steady tones, a music-like melody,
// speech-like syllables and Morse keying.
//
// Modulators need the analytic form of the audio, a + j·â (â the Hilbert transform of a): a
// single-sideband transmitter puts a + j·â on its carrier. Every programme is therefore made
// from sinusoids whose analytic form is known (e^{jφ} for cos φ), so no Hilbert filter runs
// while streaming. Music and speech are generated once into loops of a few seconds (16-bit
// pairs, about 1.5 MB per loop) and played round and round; tones are two recursive
// oscillators. The magnitude |a + j·â| never exceeds 1, so the real part a stays within ±1.
#pragma once

#include "Scene.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::sim {

/// A loop of analytic audio at 48000 samples per second, peak magnitude 1.
class AudioLoop {
public:
    static constexpr int kRate = 48000;
    explicit AudioLoop(std::vector<std::int16_t> interleaved) : m_iq(std::move(interleaved)) {}
    /// Frames in the loop.
    std::size_t frames() const { return m_iq.size() / 2; }
    float re(std::size_t i) const { return m_iq[2 * i] * kScale; }
    float im(std::size_t i) const { return m_iq[2 * i + 1] * kScale; }
    const std::int16_t* data() const { return m_iq.data(); }
    static constexpr float kScale = 1.0f / 32767.0f;

private:
    std::vector<std::int16_t> m_iq; ///< re, im, re, im, ... scaled by 32767
};

/// Speech-like audio: phrases of syllables, each a voiced sound (harmonics of a gliding pitch
/// shaped by the formants of a vowel) sometimes led by a fricative hiss, with pauses between
/// phrases. Odd variants are a lower voice (pitch about 100 to 130 Hz), even ones a higher
/// voice (185 to 225 Hz). About 6 s long, silent at both ends so the loop joins cleanly.
std::shared_ptr<const AudioLoop> MakeSpeechLoop(int variant);
/// Music-like audio: a pentatonic melody of plucked notes with vibrato over a bass line, 16
/// beats at 100 to 140 beats per minute (about 7 to 10 s), silent at the loop's end.
std::shared_ptr<const AudioLoop> MakeMusicLoop(int variant);
/// The loop of a Music, Speech or Recording programme.
std::shared_ptr<const AudioLoop> MakeLoop(const AudioSpec& audio);

/// Plays one station's programme as analytic audio at any output rate. Default: silence.
class ProgrammePlayer {
public:
    /// One tone (tone2Hz = 0) at amplitude 1, or two tones at 0.5 each; starting phase 0.
    void setTones(double toneHz, double tone2Hz, int rate);
    /// A loop, starting `startFrame` frames into it. The loop is stepped at 48000 frames per
    /// second of output whatever the output rate (nearest sample at other rates). With `once`
    /// it plays to its end and then falls silent.
    void setLoop(std::shared_ptr<const AudioLoop> loop, std::uint64_t startFrame, int rate,
                 bool once = false);
    /// Keeps the programme and its position, stepping it for a new output rate.
    void setRate(int rate);
    /// n samples of the analytic audio: re = the audio, im = its Hilbert transform.
    void render(float* re, float* im, int n);
    bool silent() const { return m_kind == Kind::Silence; }

private:
    enum class Kind { Silence, Tones, Loop };
    Kind m_kind = Kind::Silence;
    // Tones: two recursive oscillators (double precision, renormalised every call).
    double m_tone[2] = {0.0, 0.0};
    double m_amp[2] = {0.0, 0.0};
    double m_zr[2] = {1.0, 1.0}, m_zi[2] = {0.0, 0.0};
    double m_wr[2] = {1.0, 1.0}, m_wi[2] = {0.0, 0.0};
    int m_tones = 0;
    // Loop position in 32.32 fixed point frames.
    std::shared_ptr<const AudioLoop> m_loop;
    std::uint64_t m_pos = 0;
    std::uint64_t m_step = 1ull << 32;
    std::uint64_t m_length = 0;
    bool m_once = false;
};

/// The dots and dashes of a character (".-" for A); empty for a space or an unknown one.
std::string_view MorseCode(char c);

/// The key-down envelope of a CW station: the message in Morse at `wpm` words per minute
/// (PARIS: a dot lasts 1.2 / wpm seconds), then `pauseSeconds` of silence, again and again.
/// Key-down and key-up edges are raised-cosine ramps of 5 ms (less at very high speeds) so
/// the signal has no key clicks.
class MorseKeyer {
public:
    struct Element {
        bool keyDown = false;
        std::int64_t samples = 0;
    };
    MorseKeyer(std::string_view text, double wpm, double pauseSeconds, int rate,
               std::uint64_t startOffset = 0);
    /// n samples of the envelope, 0 (key up) to 1 (key down).
    void render(float* envelope, int n);
    /// The keying pattern of one repetition, key-down and key-up runs alternating.
    const std::vector<Element>& elements() const { return m_elements; }
    std::int64_t cycleSamples() const { return m_cycle; }
    std::int64_t dotSamples() const { return m_dot; }

private:
    std::vector<Element> m_elements;
    std::vector<float> m_ramp; ///< raised cosine, 0 .. 1 over m_ramp.size() - 1 steps
    std::int64_t m_dot = 1;
    std::int64_t m_cycle = 0;
    std::size_t m_index = 0;
    std::int64_t m_left = 0;
    int m_k = 0;
};

/// What a listener hears of a programme: its real audio for `frames` samples at `rate`, from
/// its start (for tests and tools).
std::vector<float> ProgrammeAudio(const AudioSpec& audio, std::int64_t frames, int rate);

} // namespace orvex::sim
