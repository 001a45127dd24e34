// IFSynthesiser: the receiver's low-IF output for a scene at a given tuning.
//
// The receiver moves the tuned frequency to the IF centre, 12000 Hz at the sound card: a
// signal at RF frequency f comes out at 12000 + (f - tuned) Hz, with its spectrum the right
// way round (upper sideband above its carrier). The sound card sees 0 Hz to half its sample
// rate, so at 48000 samples per second the receiver passes the stations within ±12 kHz of the
// tuned frequency. Near the ends of that band the receiver's audio stages (below about 600 Hz)
// and the sound card's anti-alias filter (above 90 % of the Nyquist frequency) roll the
// signals off; stations that would fall outside are not computed at all. White receiver noise
// of the scene's level covers the whole band.
//
// Each station is a complex envelope (AM: A(1 + m·a); USB: A(a + j·â); LSB: A(a - j·â); CW: A
// times the keying; FM: A·e^{jθ}, θ' = 2π·deviation·a; noise: band-limited complex noise)
// turned up to its IF by a recursive phasor, and the real part summed. The phasor restarts from
// an exact double-precision phase every chunk, so frequencies stay exact over any length of
// run. Nothing is allocated while rendering, except once when a music or speech station first
// comes into the band (its loop is generated then; prepareAll() does it up front).
#pragma once

#include "FastNoise.h"
#include "Scene.h"
#include "TestAudio.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvex::sim {

/// One station within the receiver's band, as the status lines show it.
struct StationView {
    std::size_t index = 0; ///< position in Scene::signals
    std::string name;
    SignalMode mode = SignalMode::Carrier;
    double frequencyHz = 0.0;
    double offsetHz = 0.0; ///< frequency - tuned frequency
    double ifHz = 0.0;     ///< where its carrier sits in the sound card's band
    double levelDbfs = 0.0;
    double edgeGain = 1.0; ///< roll-off at the band's ends (1 inside)
};

class IFSynthesiser {
public:
    /// `ifCentreHz`: where the tuned frequency lands in the sound card's band.
    explicit IFSynthesiser(Scene scene, double ifCentreHz = 12000.0);
    IFSynthesiser(const IFSynthesiser&) = delete;
    IFSynthesiser& operator=(const IFSynthesiser&) = delete;

    /// The RF frequency that lands at the IF centre, Hz; nullopt when the receiver has no
    /// local oscillator (the synthesiser not loaded, reset or powered down): then only the
    /// receiver noise comes out.
    void setTuning(std::optional<double> tunedHz);
    std::optional<double> tuning() const { return m_tuned; }
    /// Samples per second of the output (8000 to 384000). The analogue IF does not change
    /// with it; programmes and keying keep their real-time speed.
    void setSampleRate(int rate);
    int sampleRate() const { return m_rate; }

    /// `frames` mono samples, full scale ±32767, not clipped.
    void render(float* out, std::int64_t frames);
    /// `frames` interleaved frames of `channels` 16-bit samples (every channel the same), as a
    /// sound card delivers them: rounded and clipped to -32768..32767.
    void render(std::int16_t* out, std::int64_t frames, int channels);

    /// Generates every music and speech loop of the scene now, so that later tuning never
    /// pauses to make one.
    void prepareAll();

    /// The stations the receiver now passes, lowest IF first.
    std::vector<StationView> stationsInView() const;
    const Scene& scene() const { return m_scene; }
    std::uint64_t framesRendered() const { return m_frames; }
    /// 16-bit samples that had to be clipped since creation.
    std::uint64_t clippedSamples() const { return m_clipped; }
    /// The receiver's noise RMS, full-scale units.
    double noiseRms() const { return m_noiseRms; }

    static constexpr int kChunk = 256;
    static constexpr int kNoiseSections = 2;

private:
    struct Station {
        std::size_t index = 0;     ///< the scene signal it plays
        double amplitude = 0.0;    ///< peak (RMS for noise), full-scale units
        double centreOffset = 0.0; ///< middle of the occupied band relative to the carrier, Hz
        bool prepared = false;
        ProgrammePlayer programme;
        std::unique_ptr<MorseKeyer> keyer;
        // FM: the modulation phasor and 2π·deviation / rate.
        double fmRe = 1.0, fmIm = 0.0, fmScale = 0.0;
        // Noise: complex white noise through a Butterworth low-pass of kNoiseSections
        // biquads (transposed direct form II), one state pair each for I and Q.
        struct Biquad {
            float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
            float re[2] = {}, im[2] = {};
        };
        FastNoise rng{1};
        Biquad biquad[kNoiseSections];
        float noiseNorm = 0.0f;
        // Carrier phasor: exact phase (radians) and step.
        double phase = 0.0, omega = 0.0, wRe = 1.0, wIm = 0.0;
        double offsetHz = 0.0, ifHz = 0.0;
        float gain = 0.0f; ///< edge roll-off
        std::uint64_t startFrame = 0;
    };

    void prepare(Station& s);
    void retune();
    double edgeGain(double ifHz) const;
    void renderChunk(float* mix, int n);
    void stationEnvelope(Station& s, int n, bool& complex);

    Scene m_scene;
    double m_ifCentre;
    int m_rate = 48000;
    std::optional<double> m_tuned;
    std::vector<Station> m_stations;
    std::vector<std::size_t> m_active; ///< indices of stations in view (capacity reserved)
    std::map<std::pair<int, int>, std::shared_ptr<const AudioLoop>> m_loops;
    FastNoise m_noise;
    double m_noiseRms = 0.0;
    std::uint64_t m_frames = 0;
    std::uint64_t m_clipped = 0;
    std::array<float, kChunk> m_mix{};
    std::array<float, kChunk> m_envRe{};
    std::array<float, kChunk> m_envIm{};
};

/// Peak amplitude in full-scale units (32767 = 0 dBFS) of a level in dBFS.
double DbfsToAmplitude(double dbfs);

} // namespace orvex::sim
