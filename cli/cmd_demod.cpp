// orvexsdr-cli demod: runs a recorded IF file through the receive chain, block by block, exactly
// as the receiver does with the sound card, and writes the audio it would play.
#include "Commands.h"
#include "audio/WavFile.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli demod --in IF.wav --out AUDIO.wav --mode am|usb|lsb|drm|fm|bc\n"
    "        [--filter 0..4] [--filter-lo HZ] [--filter-hi HZ] [--music]\n"
    "        [--if-filter off|man|track] [--if-lo HZ] [--if-hi HZ]\n"
    "        [--agc off|fast|normal|slow] [--notch-af HZ | --notch-if HZ] [--notch-width HZ]\n"
    "        [--notch-auto] [--dyn-filter] [--nr LEVEL] [--volume L] [--spl]\n"
    "\n"
    "Runs a recorded IF (16-bit PCM WAV, 48000 samples/s, mono; of a stereo file the first\n"
    "channel) through the receive chain in blocks of 2048 samples and writes the audio as a\n"
    "16-bit mono WAV at 48000 samples/s with as many samples as the input.\n"
    "  --filter N       AF filter preset: 0 \"5.0 KHz\", 1 \"400 Hz\", 2 \"2.4 KHz\", 3 \"3.2 "
    "KHz\",\n"
    "                   4 \"4.0 KHz\" (default 0)\n"
    "  --filter-lo HZ   AF filter low edge, 0..1999; --filter-hi HZ high edge, 0..6000\n"
    "  --music          music mode (low edge 50 Hz)\n"
    "  --if-filter M    IF filter off (default), man (--if-lo/--if-hi offsets from the IF\n"
    "                   centre, 0..6000 Hz, used in AM and BC) or track (follows the AF filter)\n"
    "  --agc M          AGC off (default) or on with the fast, normal or slow times\n"
    "  --notch-af HZ    manual notch at an audio frequency, 0..6000\n"
    "  --notch-if HZ    manual notch at an offset from the IF centre, -6000..6000\n"
    "  --notch-width HZ notch width, 0..5000 (default 50)\n"
    "  --notch-auto     automatic notch on the strongest audio peak\n"
    "  --dyn-filter     dynamic AF filter on the strongest audio peak\n"
    "  --nr LEVEL       noise reducer on at LEVEL, 0..10000\n"
    "  --volume L       output level, -10000..8000 (default 0: unity)\n"
    "  --spl            use the optimised vector back end (FFTW/VOLK) when available\n";

[[noreturn]] void Bad(const std::string& what) {
    throw OrvexError(ErrorKind::InvalidArgument, what);
}

double Number(const std::string& option, const std::string& text, double lo, double hi) {
    std::size_t used = 0;
    double v = 0.0;
    try {
        v = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(v))
        Bad(option + ": '" + text + "' is not a number");
    if (v < lo || v > hi)
        Bad(option + ": " + text + " is out of range (" +
            std::to_string(static_cast<long long>(lo)) + " to " +
            std::to_string(static_cast<long long>(hi)) + ")");
    return v;
}

std::int32_t Choice(const std::string& option, const std::string& text,
                    const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (text == names[i]) return static_cast<std::int32_t>(i);
    std::string list;
    for (const auto& n : names)
        list += (list.empty() ? "" : "|") + n;
    Bad(option + ": '" + text + "' is not one of " + list);
}

struct Options {
    std::string in, out;
    std::int32_t mode = -1;
    std::optional<std::int32_t> filter;
    std::optional<double> filterLo, filterHi, ifLo, ifHi, notchAf, notchIf, notchWidth, nr, volume;
    bool music = false, notchAuto = false, dynFilter = false, spl = false;
    std::int32_t ifFilter = 0; // 0 off, 1 man, 2 track
    std::int32_t agc = 0;      // 0 off, 1 fast, 2 normal, 3 slow
};

Options Parse(const Args& args) {
    Options o;
    const std::map<std::string, bool> known = {
        {"--in", true},          {"--out", true},         {"--mode", true},
        {"--filter", true},      {"--filter-lo", true},   {"--filter-hi", true},
        {"--music", false},      {"--if-filter", true},   {"--if-lo", true},
        {"--if-hi", true},       {"--agc", true},         {"--notch-af", true},
        {"--notch-if", true},    {"--notch-width", true}, {"--notch-auto", false},
        {"--dyn-filter", false}, {"--nr", true},          {"--volume", true},
        {"--spl", false}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto it = known.find(a);
        if (it == known.end()) Bad("unknown option '" + a + "' (see --help)");
        std::string v;
        if (it->second) {
            if (i + 1 >= args.size()) Bad(a + " needs a value");
            v = args[++i];
        }
        if (a == "--in")
            o.in = v;
        else if (a == "--out")
            o.out = v;
        else if (a == "--mode")
            o.mode = Choice(a, v, {"am", "usb", "lsb", "drm", "fm", "bc"});
        else if (a == "--filter")
            o.filter = Choice(a, v, {"0", "1", "2", "3", "4"});
        else if (a == "--filter-lo")
            o.filterLo = Number(a, v, 0, 1999);
        else if (a == "--filter-hi")
            o.filterHi = Number(a, v, 0, 6000);
        else if (a == "--music")
            o.music = true;
        else if (a == "--if-filter")
            o.ifFilter = Choice(a, v, {"off", "man", "track"});
        else if (a == "--if-lo")
            o.ifLo = Number(a, v, 0, 6000);
        else if (a == "--if-hi")
            o.ifHi = Number(a, v, 0, 6000);
        else if (a == "--agc")
            o.agc = Choice(a, v, {"off", "fast", "normal", "slow"});
        else if (a == "--notch-af")
            o.notchAf = Number(a, v, 0, 6000);
        else if (a == "--notch-if")
            o.notchIf = Number(a, v, -6000, 6000);
        else if (a == "--notch-width")
            o.notchWidth = Number(a, v, 0, 5000);
        else if (a == "--notch-auto")
            o.notchAuto = true;
        else if (a == "--dyn-filter")
            o.dynFilter = true;
        else if (a == "--nr")
            o.nr = Number(a, v, 0, 10000);
        else if (a == "--volume")
            o.volume = Number(a, v, -10000, 8000);
        else if (a == "--spl")
            o.spl = true;
    }
    if (o.in.empty()) Bad("--in IF.wav is required");
    if (o.out.empty()) Bad("--out AUDIO.wav is required");
    if (o.mode < 0) Bad("--mode is required (am, usb, lsb, drm, fm or bc)");
    if (o.notchAf && o.notchIf) Bad("--notch-af and --notch-if exclude each other");
    return o;
}

/// The sound card as the file sees it: each queued block is kept, at the playback
/// attenuation in force when it was queued (hundredths of a dB; -10000 is silence).
class FileSoundCard final : public SoundCardPort {
public:
    void Output(const std::int16_t* Channel1, const std::int16_t*,
                std::int32_t NumSamples) override {
        block.assign(Channel1, Channel1 + NumSamples);
        if (m_attenuation >= 0) return;
        const double gain = m_attenuation <= -10000 ? 0.0 : std::pow(10.0, m_attenuation / 2000.0);
        for (auto& v : block)
            v = static_cast<std::int16_t>(RoundHalfEven(v * gain));
    }
    void setOutputAttenuation(std::int32_t HundredthsDb) override {
        m_attenuation = std::max(HundredthsDb, -10000);
    }
    std::int32_t OutputAttenuation() const override { return m_attenuation; }
    bool Prepared() const override { return true; }
    void PrepareDevices() override {}
    void StartSound() override {}

    std::vector<std::int16_t> block;

private:
    std::int32_t m_attenuation = 0;
};

/// The statistics timer fires after every block, as in the receiver.
class BlockTimers final : public ChainTimers {
public:
    void ArmSpectrumTimer(std::int32_t) override {}
    void ArmStatsTimer(std::int32_t) override { statsArmed = true; }
    bool statsArmed = false;
};

// The front-panel operations the options stand for, in the order a user would press them.
void ApplyOptions(ReceiveChain& chain, const Options& o) {
    chain.optMode_Click(o.mode);
    if (o.filter) chain.optFilter_Click(*o.filter);
    if (o.filterLo) chain.SetLabel(ChainLabel::FilterLo, static_cast<float>(*o.filterLo));
    if (o.filterHi) chain.SetLabel(ChainLabel::FilterHi, static_cast<float>(*o.filterHi));
    if (o.music) chain.SetCheck(ChainCheck::Music, true);
    if (o.ifFilter != 0) {
        chain.SetCheck(ChainCheck::IFFilter, true);
        chain.optIFFilter_Click(o.ifFilter);
    }
    if (o.ifLo) chain.SetLabel(ChainLabel::IFLo, static_cast<float>(*o.ifLo));
    if (o.ifHi) chain.SetLabel(ChainLabel::IFHi, static_cast<float>(*o.ifHi));
    if (o.dynFilter) chain.SetCheck(ChainCheck::DynFilter, true);
    if (o.notchAf || o.notchIf || o.notchAuto) {
        chain.SetCheck(ChainCheck::NotchOn, true);
        chain.SetCheck(ChainCheck::NotchType, o.notchIf.has_value());
        chain.optNotch_Click(o.notchAuto ? 1 : 0);
        if (o.notchAf) chain.SetLabel(ChainLabel::NotchC, static_cast<float>(*o.notchAf));
        if (o.notchIf) chain.SetLabel(ChainLabel::NotchC, static_cast<float>(*o.notchIf));
    }
    if (o.notchWidth) chain.SetLabel(ChainLabel::NotchW, static_cast<float>(*o.notchWidth));
    if (o.nr) {
        chain.SetCheck(ChainCheck::NB, true);
        chain.SetLabel(ChainLabel::NB, static_cast<float>(*o.nr));
    }
    if (o.agc != 0) {
        chain.SetCheck(ChainCheck::AGC, true);
        chain.optAGC_Click(o.agc);
    }
    if (o.volume) chain.SetLabel(ChainLabel::OutVol, static_cast<float>(*o.volume));
}

} // namespace

int RunDemod(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::printf("%s", kUsage);
            return 0;
        }
    const Options o = Parse(args);

    audio::WavData in = audio::ReadWavFile(o.in);
    const auto& f = in.format;
    if (f.SampleRate != kChainSampleRate)
        Bad(o.in + ": sample rate is " + std::to_string(f.SampleRate) +
            " Hz; the receiver needs 48000 Hz");
    if (f.Channels > 1)
        std::fprintf(stderr, "orvexsdr-cli demod: note: %s has %d channels; using the first\n",
                     o.in.c_str(), f.Channels);

    // The probe (and with it the transform plans every filter then makes) only when asked for:
    // the portable back end needs no set-up.
    const bool splAvailable = o.spl && spl::Probe();
    if (o.spl && !splAvailable)
        std::fprintf(stderr,
                     "orvexsdr-cli demod: note: the optimised back end is not available (%s); "
                     "using the portable one\n",
                     spl::Description());
    vec::SetUseSPL(o.spl && splAvailable);

    // The output file exists (as a temporary) from here on, so an unwritable folder stops the
    // run before any work; it takes the target name only when everything has succeeded.
    audio::WavWriter writer(o.out, kChainSampleRate, 1);

    ReceiveChain chain; // after the probe, so its transforms get their plans
    FileSoundCard card;
    BlockTimers timers;
    chain.AttachSoundCard(&card);
    chain.AttachTimers(&timers);
    chain.RestoreDefaults();
    chain.CompleteStartup();
    ApplyOptions(chain, o);
    chain.tmrPerfStats_Timer(); // the filters as the statistics timer rebuilds them
    if (chain.State().FilterLo >= chain.State().FilterHi)
        Bad("the AF filter low edge (" + std::to_string(chain.State().FilterLo) +
            " Hz) must be below its high edge (" + std::to_string(chain.State().FilterHi) + " Hz)");

    const std::int64_t frames = f.Frames;
    const std::int32_t channels = f.Channels;
    std::vector<std::int16_t> ch1(kBlockSamples), ch2(kBlockSamples),
        out(static_cast<std::size_t>(frames));
    std::int64_t blocks = 0;
    double loadSum = 0.0, loadPeak = 0.0, powerSum = 0.0;
    const auto t0 = std::chrono::steady_clock::now();
    for (std::int64_t pos = 0; pos < frames; pos += kBlockSamples) {
        const std::int64_t n = std::min<std::int64_t>(kBlockSamples, frames - pos);
        for (std::int64_t k = 0; k < kBlockSamples; ++k)
            ch1[static_cast<std::size_t>(k)] =
                k < n ? in.samples[static_cast<std::size_t>((pos + k) * channels)]
                      : std::int16_t{0};
        ch2 = ch1;
        card.block.assign(kBlockSamples, 0);
        chain.SoundCard_DataReady(ch1.data(), ch2.data(), kBlockSamples);
        std::copy(card.block.begin(), card.block.begin() + n, out.begin() + pos);
        ++blocks;
        loadSum += chain.State().DSPLoad;
        loadPeak = std::max(loadPeak, static_cast<double>(chain.State().DSPLoad));
        powerSum += chain.State().SMeterPower[0];
        if (timers.statsArmed) {
            timers.statsArmed = false;
            chain.tmrPerfStats_Timer();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    writer.write(out.data(), frames);
    writer.commit();

    const double meanPower = blocks > 0 ? powerSum / static_cast<double>(blocks) : 0.0;
    const double gain = chain.State().AGCGain;
    std::fprintf(stderr,
                 "orvexsdr-cli demod: %lld blocks (%lld samples) in %.3f s, %s back end\n"
                 "  DSPLoad mean %.4f%%, peak %.4f%% of the %.2f ms block period\n"
                 "  mean S-meter power %.2f dB\n"
                 "  final AGC gain %.4f (%.2f dB)%s\n",
                 static_cast<long long>(blocks), static_cast<long long>(frames), seconds,
                 vec::UseSPL() ? "optimised" : "portable",
                 blocks > 0 ? 100.0 * loadSum / static_cast<double>(blocks) : 0.0, 100.0 * loadPeak,
                 1000.0 * kBlockPeriod, meanPower > 0.0 ? 10.0 * std::log10(meanPower) : 0.0, gain,
                 20.0 * Log10Abs(gain), chain.State().AGCON ? "" : ", AGC off");
    return 0;
}

} // namespace orvex::cli
