// orvexsdr-cli demod: runs a recorded IF file through the receive chain, block by block, exactly
// as the receiver does with the sound card, and writes the audio it would play.
#include "Commands.h"
#include "ReceiveOptions.h"
#include "audio/WavFile.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "core/SafeFile.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli demod --in IF.wav|- --out AUDIO.wav --mode am|usb|lsb|drm|fm|bc\n"
    "        [--filter 0..4] [--filter-lo HZ] [--filter-hi HZ] [--music]\n"
    "        [--if-filter off|man|track] [--if-lo HZ] [--if-hi HZ]\n"
    "        [--agc off|fast|normal|slow] [--notch-af HZ | --notch-if HZ] [--notch-width HZ]\n"
    "        [--notch-auto] [--dyn-filter] [--nr LEVEL] [--volume L] [--spl]\n"
    "\n"
    "Runs a recorded IF (16-bit PCM WAV, 48000 samples/s, mono; of a stereo file the first\n"
    "channel) through the receive chain in blocks of 2048 samples and writes the audio as a\n"
    "16-bit mono WAV at 48000 samples/s with as many samples as the input. '--in -' reads the\n"
    "IF from the standard input. The output replaces AUDIO.wav only when complete; it may not\n"
    "be the input file.\n";

struct Options {
    std::string in, out;
    ReceiveOptions receive;
};

Options Parse(const Args& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (ParseReceiveOption(args, i, o.receive)) continue;
        if (a != "--in" && a != "--out") BadOption("unknown option '" + a + "' (see --help)");
        (a == "--in" ? o.in : o.out) = OptionValue(args, i);
    }
    if (o.in.empty()) BadOption("--in IF.wav is required");
    if (o.out.empty()) BadOption("--out AUDIO.wav is required");
    if (o.receive.mode < 0) BadOption("--mode is required (am, usb, lsb, drm, fm or bc)");
    CheckReceiveOptions(o.receive);
    return o;
}

/// The sound card as the file sees it: each queued block is kept, at the playback
/// attenuation in force when it was queued (hundredths of a dB; -10000 is silence).
class FileSoundCard final : public SoundCardPort {
public:
    void Output(const std::int16_t* Channel1, const std::int16_t*,
                std::int32_t NumSamples) override {
        block.assign(Channel1, Channel1 + NumSamples); // the same size each block: no allocation
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

} // namespace

int RunDemod(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::printf("%s%s", kUsage, kReceiveOptionsUsage);
            return 0;
        }
    const Options o = Parse(args);

    // Read as it goes: memory stays the same whatever the length of the file.
    audio::WavReader in(o.in);
    const auto& f = in.format();
    if (f.SampleRate != kChainSampleRate)
        BadOption(o.in + ": sample rate is " + std::to_string(f.SampleRate) +
                  " Hz; the receiver needs 48000 Hz");
    if (f.Channels > 1)
        std::fprintf(stderr, "orvexsdr-cli demod: note: %s has %d channels; using the first\n",
                     o.in.c_str(), f.Channels);
    std::vector<NamedInput> inputs;
    if (const auto id = in.identity()) inputs.push_back({o.in, *id});

    SelectVectorBackEnd(o.receive, "demod");

    ReceiveChain chain; // after the probe, so its transforms get their plans
    FileSoundCard card;
    BlockTimers timers;
    chain.AttachSoundCard(&card);
    chain.AttachTimers(&timers);
    chain.RestoreDefaults();
    chain.CompleteStartup();
    ApplyReceiveOptions(chain, o.receive);
    chain.tmrPerfStats_Timer(); // the filters as the statistics timer rebuilds them
    if (chain.State().FilterLo >= chain.State().FilterHi)
        BadOption("the AF filter low edge (" + std::to_string(chain.State().FilterLo) +
                  " Hz) must be below its high edge (" + std::to_string(chain.State().FilterHi) +
                  " Hz)");

    // The output exists (as a temporary file) from here on and takes its name only when
    // everything has succeeded; one that is the input file is refused before anything is
    // written.
    audio::WavWriter writer(o.out, kChainSampleRate, 1, inputs);

    // Large reads and writes: 256 blocks (11 s of IF, 1 MiB of audio) at a time, so the audio
    // goes from this buffer to the file with no copy in between.
    constexpr std::int64_t kChunkFrames = 256 * kBlockSamples;
    const std::int32_t channels = f.Channels;
    std::vector<std::int16_t> raw(static_cast<std::size_t>(kChunkFrames * channels)),
        out(static_cast<std::size_t>(kChunkFrames)), ch1(kBlockSamples), ch2(kBlockSamples);
    std::int64_t blocks = 0, frames = 0;
    double loadSum = 0.0, loadPeak = 0.0, powerSum = 0.0, chainSeconds = 0.0;
    const auto t0 = std::chrono::steady_clock::now();
    for (;;) {
        const std::int64_t got = in.read(raw.data(), kChunkFrames);
        if (got == 0) break;
        const auto c0 = std::chrono::steady_clock::now();
        for (std::int64_t pos = 0; pos < got; pos += kBlockSamples) {
            const std::int64_t n = std::min<std::int64_t>(kBlockSamples, got - pos);
            for (std::int64_t k = 0; k < kBlockSamples; ++k)
                ch1[static_cast<std::size_t>(k)] =
                    k < n ? raw[static_cast<std::size_t>((pos + k) * channels)] : std::int16_t{0};
            ch2 = ch1;
            card.block.assign(kBlockSamples, 0); // silence, should no block be queued
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
        chainSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - c0).count();
        writer.write(out.data(), got);
        frames += got;
    }
    writer.commit();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    const double meanPower = blocks > 0 ? powerSum / static_cast<double>(blocks) : 0.0;
    const double gain = chain.State().AGCGain;
    std::fprintf(stderr,
                 "orvexsdr-cli demod: %lld blocks (%lld samples) in %.3f s (the chain %.3f s), "
                 "%s back end\n"
                 "  DSPLoad mean %.4f%%, peak %.4f%% of the %.2f ms block period\n"
                 "  mean S-meter power %.2f dB\n"
                 "  final AGC gain %.4f (%.2f dB)%s\n",
                 static_cast<long long>(blocks), static_cast<long long>(frames), seconds,
                 chainSeconds, vec::UseSPL() ? "optimised" : "portable",
                 blocks > 0 ? 100.0 * loadSum / static_cast<double>(blocks) : 0.0, 100.0 * loadPeak,
                 1000.0 * kBlockPeriod, meanPower > 0.0 ? 10.0 * std::log10(meanPower) : 0.0, gain,
                 20.0 * Log10Abs(gain), chain.State().AGCON ? "" : ", AGC off");
    return 0;
}

} // namespace orvex::cli
