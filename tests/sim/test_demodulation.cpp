// Every station of the default scene, tuned through the DDS controller and demodulated by the
// receive chain in its mode, yields its audio: tones at their frequencies and levels, Morse
// that decodes back to its text, music and speech whose loudness follows the programme.
#include "SimTestSupport.h"
#include "dsp/ReceiveChain.h"
#include "sim/TestAudio.h"

#include <algorithm>
#include <map>
#include <numbers>

using namespace orvex;
using namespace orvex::test;

namespace {

constexpr std::size_t kSkipBlocks = 8; // the chain's filters and detectors settle

class CollectingCard final : public SoundCardPort {
public:
    void Output(const std::int16_t* ch1, const std::int16_t*, std::int32_t n) override {
        out.insert(out.end(), ch1, ch1 + n);
    }
    void setOutputAttenuation(std::int32_t v) override { attenuation = std::max(v, -10000); }
    std::int32_t OutputAttenuation() const override { return attenuation; }
    bool Prepared() const override { return true; }
    void PrepareDevices() override {}
    void StartSound() override {}
    std::vector<float> out;
    std::int32_t attenuation = 0;
};

class StatsTimer final : public ChainTimers {
public:
    void ArmSpectrumTimer(std::int32_t) override {}
    void ArmStatsTimer(std::int32_t) override { armed = true; }
    bool armed = false;
};

// Not from a temporary scene: the station must outlive the call.
const sim::SceneSignal& Station(const sim::Scene&& scene, const std::string& name) = delete;
const sim::SceneSignal& Station(const sim::Scene& scene, const std::string& name) {
    for (const auto& s : scene.signals)
        if (s.name == name) return s;
    ADD_FAILURE() << "no station " << name;
    return scene.signals.front();
}

// Tunes the simulated receiver to `mhz` through the controller and plays `seconds` of its IF
// through the receive chain in `mode`, as the receiver does block by block. AM and BC use
// the tracking IF filter (a symmetric band), as a listener would; `agc` switches the AGC on
// with the given mode (1 fast, 2 normal, 3 slow). Returns the audio after the chain has
// settled.
std::vector<float> Listen(double mhz, std::int32_t mode, double seconds, int agc = 0) {
    SimVfo s(sim::DefaultScene());
    s.start();
    s.vfo->setTunedFreq(mhz);
    ReceiveChain chain;
    CollectingCard card;
    StatsTimer timer;
    chain.AttachSoundCard(&card);
    chain.AttachTimers(&timer);
    chain.RestoreDefaults();
    chain.CompleteStartup();
    chain.optMode_Click(mode);
    if (mode == kModeAM || mode == kModeBC) {
        chain.SetCheck(ChainCheck::IFFilter, true);
        chain.optIFFilter_Click(2);
    }
    if (agc > 0) {
        chain.SetCheck(ChainCheck::AGC, true);
        chain.optAGC_Click(agc);
    }
    chain.tmrPerfStats_Timer();
    std::vector<std::int16_t> ch1(kBlockSamples), ch2(kBlockSamples);
    const auto blocks = static_cast<std::size_t>(seconds * kRate / kBlockSamples) + kSkipBlocks;
    for (std::size_t b = 0; b < blocks; ++b) {
        s.receiver.Render(ch1.data(), kBlockSamples, 1, kRate);
        ch2 = ch1;
        chain.SoundCard_DataReady(ch1.data(), ch2.data(), kBlockSamples);
        if (timer.armed) {
            timer.armed = false;
            chain.tmrPerfStats_Timer();
        }
    }
    return std::vector<float>(card.out.begin() + kSkipBlocks * kBlockSamples, card.out.end());
}

// Loudness every 10 ms (RMS over 20 ms).
std::vector<double> Envelope(const std::vector<float>& x) {
    std::vector<double> e;
    for (std::size_t at = 0; at + 960 <= x.size(); at += 480)
        e.push_back(measure::Rms(x.data() + at, 960));
    return e;
}

// How closely the loudness of `audio` follows the programme: the best correlation of the two
// envelopes over every starting point within one loop of the programme.
double FollowsProgramme(const std::vector<float>& audio, const sim::AudioSpec& programme) {
    const auto loop = sim::MakeLoop(programme);
    const auto frames = static_cast<std::int64_t>(loop->frames() + audio.size());
    const auto ref = Envelope(sim::ProgrammeAudio(programme, frames, kRate));
    const auto out = Envelope(audio);
    const std::size_t lags = loop->frames() / 480;
    double best = -1.0;
    for (std::size_t lag = 0; lag <= lags && lag + out.size() <= ref.size(); ++lag) {
        double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
        const auto n = static_cast<double>(out.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double a = out[i], b = ref[i + lag];
            sa += a;
            sb += b;
            saa += a * a;
            sbb += b * b;
            sab += a * b;
        }
        const double cov = sab - sa * sb / n;
        const double var = (saa - sa * sa / n) * (sbb - sb * sb / n);
        if (var > 0.0) best = std::max(best, cov / std::sqrt(var));
    }
    return best;
}

// The amplitude of the tone at `hz` every 2 ms (over 10 ms), deaf to everything else.
std::vector<double> ToneEnvelope(const std::vector<float>& audio, double hz) {
    std::vector<double> env;
    for (std::size_t at = 0; at + 480 <= audio.size(); at += 96)
        env.push_back(measure::MeasureTone(audio.data() + at, 480, hz, kRate).amplitude);
    return env;
}

// Reads Morse from the envelope of a CW note: runs of key-down and key-up, measured in dots,
// back to characters and word spaces.
std::string DecodeMorse(const std::vector<double>& env, double wpm) {
    const double dot = 1.2 / wpm * kRate;
    const std::size_t hop = 96;
    const double threshold = 0.5 * *std::max_element(env.begin(), env.end());
    std::map<std::string, char> table;
    for (char c = 'A'; c <= 'Z'; ++c)
        table[std::string(sim::MorseCode(c))] = c;
    for (char c = '0'; c <= '9'; ++c)
        table[std::string(sim::MorseCode(c))] = c;
    for (char c : std::string(".,?/=+-"))
        table[std::string(sim::MorseCode(c))] = c;
    std::string text, symbol;
    bool started = false;
    std::size_t i = 0;
    while (i < env.size()) {
        const bool down = env[i] > threshold;
        std::size_t j = i;
        while (j < env.size() && (env[j] > threshold) == down)
            ++j;
        const double units = static_cast<double>((j - i) * hop) / dot;
        if (j == env.size()) break; // the last run may be cut short
        if (down) {
            symbol += units < 2.0 ? '.' : '-';
            started = true;
        } else if (started && units >= 2.0) {
            const auto it = table.find(symbol);
            text += it != table.end() ? it->second : '*';
            symbol.clear();
            if (units >= 5.0) text += ' ';
        }
        i = j;
    }
    return text;
}

} // namespace

TEST(DefaultSceneDemodulation, AmToneStationsGiveTheirTonesAndDepths) {
    const sim::Scene scene = sim::DefaultScene();
    // Square-law detection of A(1 + m cos) gives 2mA^2 at the tone and m^2 A^2 / 2 at twice
    // it, so the second harmonic sits at m / 4 of the tone: the depth can be read back.
    for (const char* name : {"Tone test 1 kHz", "Standard frequency 10 MHz"}) {
        SCOPED_TRACE(name);
        const auto& st = Station(scene, name);
        const auto audio = Listen(st.frequencyHz / 1e6, kModeAM, 3.0);
        const double f = st.audio.toneHz;
        EXPECT_NEAR(StrongestFrequency(audio, 100, 4500), f, 0.05);
        const double tone = ToneAmplitude(audio, f);
        EXPECT_GT(tone, 0.8 * 16384); // no AGC: the limiter holds the peaks at 16384
        EXPECT_NEAR(4.0 * ToneAmplitude(audio, 2 * f) / tone, st.depth, 0.1 * st.depth);
    }
    // Two tones of equal amplitude come out equal.
    const auto& two = Station(scene, "Two-tone test");
    const auto audio = Listen(two.frequencyHz / 1e6, kModeAM, 3.0);
    EXPECT_NEAR(measure::Db(ToneAmplitude(audio, 400), ToneAmplitude(audio, 1600)), 0.0, 1.0);
    EXPECT_GT(ToneAmplitude(audio, 400), 0.3 * 16384);
}

TEST(DefaultSceneDemodulation, BroadcastDetectorGivesTheModulationAtItsLevel) {
    // Full-wave rectified A(1 + m cos): (2 / pi) A (1 + m cos), no limiting at these levels.
    const sim::Scene scene = sim::DefaultScene();
    const auto& st = Station(scene, "Tone test 1 kHz");
    const auto audio = Listen(st.frequencyHz / 1e6, kModeBC, 3.0);
    const double a = sim::DbfsToAmplitude(st.levelDbfs);
    EXPECT_NEAR(StrongestFrequency(audio, 100, 4500), 1000.0, 0.05);
    EXPECT_NEAR(measure::Db(ToneAmplitude(audio, 1000), 2.0 / std::numbers::pi * a * st.depth), 0.0,
                1.0);
}

TEST(DefaultSceneDemodulation, SidebandToneStationsGiveTheirTonesAtTheirLevels) {
    // The sideband modes pass the IF amplitude: a tone of amplitude A comes out at A.
    const sim::Scene scene = sim::DefaultScene();
    const auto& usb = Station(scene, "Two-tone SSB test");
    const auto up = Listen(usb.frequencyHz / 1e6, kModeUSB, 3.0);
    for (const double f : {usb.audio.toneHz, usb.audio.tone2Hz}) {
        EXPECT_NEAR(measure::Db(ToneAmplitude(up, f), 0.5 * sim::DbfsToAmplitude(usb.levelDbfs)),
                    0.0, 1.0)
            << f;
        EXPECT_NEAR(RefineFrequency(up, f), f, 0.05);
    }
    const auto& lsb = Station(scene, "LSB test tone");
    const auto down = Listen(lsb.frequencyHz / 1e6, kModeLSB, 3.0);
    EXPECT_NEAR(StrongestFrequency(down, 100, 3000), 1000.0, 0.05);
    EXPECT_NEAR(measure::Db(ToneAmplitude(down, 1000), sim::DbfsToAmplitude(lsb.levelDbfs)), 0.0,
                1.0);
    // The wrong sideband hears the station only as leakage.
    const auto wrong = Listen(lsb.frequencyHz / 1e6, kModeUSB, 2.0);
    EXPECT_LT(measure::Db(ToneAmplitude(wrong, 1000), ToneAmplitude(down, 1000)), -30.0);
}

TEST(DefaultSceneDemodulation, CwBeaconsKeyTheirMorseAtTheirLevel) {
    const sim::Scene scene = sim::DefaultScene();
    for (const char* name : {"OX5SIM beacon", "OX7SIM"}) {
        SCOPED_TRACE(name);
        const auto& st = Station(scene, name);
        // Tuned 700 Hz below the carrier in USB: a 700 Hz note.
        const double cycle =
            sim::MorseKeyer(st.text, st.wpm, st.pauseSeconds, kRate).cycleSamples() /
            static_cast<double>(kRate);
        const auto audio = Listen(st.frequencyHz / 1e6 - 0.0007, kModeUSB, 2.0 * cycle + 1.0);
        EXPECT_NEAR(StrongestFrequency(audio, 300, 2000), 700.0, 0.1);
        // Key down: the carrier's full amplitude.
        const auto env = ToneEnvelope(audio, 700.0);
        const double peak = *std::max_element(env.begin(), env.end());
        EXPECT_NEAR(measure::Db(peak, sim::DbfsToAmplitude(st.levelDbfs)), 0.0, 1.0);
        const std::string decoded = DecodeMorse(env, st.wpm);
        EXPECT_NE(decoded.find(st.text), std::string::npos) << "decoded: " << decoded;
    }
}

TEST(DefaultSceneDemodulation, FmGivesTheToneAtItsDeviation) {
    const sim::Scene scene = sim::DefaultScene();
    const auto& st = Station(scene, "FM calling");
    const auto audio = Listen(st.frequencyHz / 1e6, kModeFM, 3.0);
    EXPECT_NEAR(StrongestFrequency(audio, 100, 4500), 1000.0, 0.05);
    // The discriminator gives (phase step - pi/2) x 4096: 2 pi deviation / fs x 4096.
    const double expected = 2.0 * std::numbers::pi * st.deviationHz / kRate * 4096.0;
    EXPECT_NEAR(measure::Db(ToneAmplitude(audio, 1000), expected), 0.0, 1.0);
    EXPECT_LT(measure::Db(ToneAmplitude(audio, 2000), expected), -30.0);
}

TEST(DefaultSceneDemodulation, MusicAndSpeechFollowTheirProgrammes) {
    const sim::Scene scene = sim::DefaultScene();
    struct Case {
        const char* name;
        std::int32_t mode;
    };
    for (const Case c : {Case{"Radio Orvex", kModeAM}, Case{"Radio Brisko", kModeAM},
                         Case{"Voice of Orvex", kModeAM}, Case{"Net control", kModeLSB},
                         Case{"Aero weather", kModeUSB}, Case{"40 m net", kModeLSB},
                         Case{"DX station", kModeUSB}, Case{"FM repeater", kModeFM}}) {
        SCOPED_TRACE(c.name);
        const auto& st = Station(scene, c.name);
        const auto audio = Listen(st.frequencyHz / 1e6, c.mode, 8.0, c.mode == kModeAM ? 3 : 0);
        EXPECT_GT(FollowsProgramme(audio, st.audio), 0.9);
        // Another programme of the same kind does not fit.
        sim::AudioSpec other = st.audio;
        other.variant = st.audio.variant + 20;
        EXPECT_LT(FollowsProgramme(audio, other), 0.7);
    }
}

TEST(DefaultSceneDemodulation, DrmPassesTheDigitalSignalThroughAtItsLevel) {
    const sim::Scene scene = sim::DefaultScene();
    const auto& st = Station(scene, "Digital broadcast (DRM-like)");
    const auto audio = Listen(st.frequencyHz / 1e6, kModeDRM, 3.0);
    const auto spectrum = PowerSpectrum(audio);
    const double a = sim::DbfsToAmplitude(st.levelDbfs);
    EXPECT_NEAR(10.0 * std::log10(BandPower(spectrum, 12000 - 6000, 12000 + 6000) / (a * a)), 0.0,
                0.5);
    EXPECT_LT(BandPower(spectrum, 0, 4000), 0.01 * a * a);
}
