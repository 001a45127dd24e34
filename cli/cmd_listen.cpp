// orvexsdr-cli listen: the live receiver without a window. Captured blocks run through the
// receive chain exactly as in the program (sound card notifications, block handler, statistics
// timer) and the audio plays on a sound card or goes to a WAV file.
#include "Commands.h"
#include "ReceiveOptions.h"
#include "audio/AlsaDevices.h"
#include "audio/ClockedDevices.h"
#include "audio/OrvexDX8.h"
#include "audio/OrvexDX8ChainPort.h"
#include "audio/RealTimePacer.h"
#include "audio/WavDevices.h"
#include "core/Error.h"
#include "core/IniSettingsStore.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"
#include "core/SafeFile.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"
#include "dsp/VectorOps.h"
#include "radio/ad9951.h"
#include "sim/SimCapture.h"
#include "sim/SimStatus.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli listen [--capture-device N|NAME | --in IF.wav | --sim]\n"
    "        [--scene FILE] [--clock-error PPM] [--freq MHZ] [--settings FILE]\n"
    "        [--playback-device N|NAME | --out AUDIO.wav | --no-playback]\n"
    "        [--seconds N] [--free-running] [receive options]\n"
    "       orvexsdr-cli listen --list-devices\n"
    "\n"
    "Runs the receiver live: every captured block of 2048 samples at 48000 samples/s goes\n"
    "through the receive chain and is played about seven blocks later. Prints one status line\n"
    "a second and stops on Ctrl-C, after --seconds, or when an input file ends. With no\n"
    "capture device named it listens to the simulated Brisko receiver, tuned through the DDS\n"
    "controller over its own control lines.\n"
    "  --sim                the simulated receiver (the default when no capture is named)\n"
    "  --scene FILE         its scene of stations (default: the built-in default scene)\n"
    "  --clock-error PPM    error of its reference clock, -1000..1000 ppm\n"
    "  --freq MHZ           tune to MHZ (default: the DDS controller's saved or start frequency)\n"
    "  --settings FILE      the DDS controller's settings (\"VFO1\") in this INI file, read at\n"
    "                       the start and saved at the end (comments and order kept); a file\n"
    "                       that is not a settings file is refused. By default a fresh set that\n"
    "                       is not saved\n"
    "  --capture-device D   ALSA capture device, by number (see --list-devices) or ALSA name\n"
    "  --in IF.wav          capture from a recorded IF file (16-bit PCM, 48000 samples/s)\n"
    "  --playback-device D  ALSA playback device, by number or name (default: 'default')\n"
    "  --out AUDIO.wav      write the audio to a WAV file instead of playing it\n"
    "  --no-playback        discard the audio\n"
    "  --seconds N          stop after N seconds of captured audio\n"
    "  --free-running       with files only: run as fast as processing allows instead of in\n"
    "                       real time\n"
    "  --list-devices       print the numbered capture and playback devices\n"
    "Receive options (as for demod; the start-up mode is AM):\n";

struct ListenOptions {
    ReceiveOptions receive;
    std::string captureDevice, playbackDevice, in, out, scene, settings;
    bool sim = false, noPlayback = false, freeRunning = false, listDevices = false;
    std::optional<double> seconds, clockErrorPpm, freqMHz;
};

ListenOptions Parse(const Args& args) {
    ListenOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (ParseReceiveOption(args, i, o.receive)) continue;
        auto value = [&]() -> std::string { return OptionValue(args, i); };
        if (a == "--capture-device")
            o.captureDevice = value();
        else if (a == "--playback-device")
            o.playbackDevice = value();
        else if (a == "--in")
            o.in = value();
        else if (a == "--out")
            o.out = value();
        else if (a == "--no-playback")
            o.noPlayback = true;
        else if (a == "--free-running")
            o.freeRunning = true;
        else if (a == "--list-devices")
            o.listDevices = true;
        else if (a == "--seconds")
            o.seconds = OptionNumber(a, value(), 0.01, 1e7);
        else if (a == "--sim")
            o.sim = true;
        else if (a == "--scene")
            o.scene = value();
        else if (a == "--clock-error")
            o.clockErrorPpm = OptionNumber(a, value(), -1000, 1000);
        else if (a == "--freq")
            o.freqMHz = OptionNumber(a, value(), 0, 1000);
        else if (a == "--settings")
            o.settings = value();
        else
            BadOption("unknown option '" + a + "' (see --help)");
    }
    CheckReceiveOptions(o.receive);
    if (o.listDevices) return o;
    if ((!o.captureDevice.empty()) + (!o.in.empty()) + o.sim > 1)
        BadOption("--capture-device, --in and --sim exclude each other");
    const bool usesSim = o.captureDevice.empty() && o.in.empty();
    if (!usesSim && (!o.scene.empty() || o.clockErrorPpm || o.freqMHz || !o.settings.empty()))
        BadOption("--scene, --clock-error, --freq and --settings belong to the simulated receiver");
    if ((!o.playbackDevice.empty()) + (!o.out.empty()) + o.noPlayback > 1)
        BadOption("--playback-device, --out and --no-playback exclude each other");
    if (o.freeRunning && (!o.captureDevice.empty() || (o.out.empty() && !o.noPlayback)))
        BadOption("--free-running needs no sound card on either side (--in or the simulated "
                  "receiver, and --out or --no-playback)");
    return o;
}

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) {
    g_interrupted = 1;
}

// The device number of an option value: a number as the lists show it, or an ALSA name.
int DeviceNumber(audio::AlsaContext& context, bool capture, const std::string& value) {
    if (!value.empty() &&
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const auto count = static_cast<double>(context.devices(capture).size());
        return static_cast<int>(OptionNumber(capture ? "--capture-device" : "--playback-device",
                                             value, 1, std::max(count, 1.0)));
    }
    return context.deviceNumber(capture, value);
}

// The DDS controller as the chain sees it.
class TunerAdapter final : public TunerPort {
public:
    explicit TunerAdapter(ad9951& vfo) : m_vfo(vfo) {}
    double TunedFreq() const override { return m_vfo.TunedFreq(); }
    void setTunedFreq(double mhz) override { m_vfo.setTunedFreq(mhz); }
    std::string FormattedTunedFreq() const override { return m_vfo.FormattedTunedFreq(); }

private:
    ad9951& m_vfo;
};

// The statistics timer: a real one-shot timer in the event loop, a flag when free-running.
class StatsTimer final : public ChainTimers {
public:
    StatsTimer(ReceiveChain& chain, bool eventLoop) : m_chain(chain), m_eventLoop(eventLoop) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_chain.tmrPerfStats_Timer(); });
    }
    void ArmSpectrumTimer(std::int32_t) override {}
    void ArmStatsTimer(std::int32_t ms) override {
        if (m_eventLoop)
            m_timer.start(ms);
        else
            m_armed = true;
    }
    void runIfArmed() {
        if (!m_armed) return;
        m_armed = false;
        m_chain.tmrPerfStats_Timer();
    }

private:
    ReceiveChain& m_chain;
    bool m_eventLoop;
    bool m_armed = false;
    QTimer m_timer;
};

// The window's part: notifications to the sound card, captured blocks to the chain, and the
// figures of the status line.
class Receiver final : public audio::DXEventTarget {
public:
    Receiver(OrvexDX8& card, ReceiveChain& chain)
        : m_card(card), m_chain(chain), ch1(2048), ch2(2048) {
        card.setEventForm(this);
        card.DataReady = [this](std::int16_t* a, std::int16_t* b, std::int32_t n) {
            m_chain.SoundCard_DataReady(a, b, n);
            ++blocks;
            const double load = m_chain.State().DSPLoad;
            loadSum += load;
            loadPeak = std::max(loadPeak, load);
            totalLoadSum += load;
            totalLoadPeak = std::max(totalLoadPeak, load);
            powerSum += m_chain.State().SMeterPower[0];
            totalPowerSum += m_chain.State().SMeterPower[0];
            ++secondBlocks;
        };
    }
    void DirectXEvent8_DXCallback(int eventid) override {
        m_card.EventHandler(eventid, ch1.data(), ch2.data());
    }
    void resetSecond() {
        loadSum = loadPeak = powerSum = 0.0;
        secondBlocks = 0;
    }

    OrvexDX8& m_card;
    ReceiveChain& m_chain;
    std::vector<std::int16_t> ch1, ch2;
    std::int64_t blocks = 0, secondBlocks = 0;
    double loadSum = 0, loadPeak = 0, powerSum = 0, totalLoadSum = 0, totalLoadPeak = 0,
           totalPowerSum = 0;
};

double PowerDb(double power) {
    return power > 0.0 ? 10.0 * std::log10(power) : 0.0;
}

int ListDevices() {
    audio::AlsaContext context;
    for (bool capture : {true, false}) {
        std::printf("%s devices:\n", capture ? "capture" : "playback");
        const auto list = context.devices(capture);
        for (std::size_t i = 0; i < list.size(); ++i)
            std::printf("  %2zu  %-28s %s\n", i + 1, list[i].name.c_str(),
                        list[i].description.c_str());
    }
    std::printf("(files: --in IF.wav for capture, --out AUDIO.wav for playback)\n");
    return 0;
}

} // namespace

int RunListen(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::printf("%s%s", kUsage, kReceiveOptionsUsage);
            return 0;
        }
    const ListenOptions o = Parse(args);
    if (o.listDevices) return ListDevices();

    static int qtArgc = 1;
    static char qtName[] = "orvexsdr-cli";
    static char* qtArgv[] = {qtName, nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    SelectVectorBackEnd(o.receive, "listen");

    // Files are opened before anything streams, so a bad input or an unwritable output is one
    // clear line and nothing is left behind; an output that is one of the inputs is refused.
    std::vector<NamedInput> inputs;
    for (const auto* path : {&o.in, &o.scene, &o.settings})
        AddInput(inputs, *path);
    std::unique_ptr<audio::CaptureSource> source;
    if (!o.in.empty()) source = std::make_unique<audio::WavFileSource>(o.in, kChainSampleRate);
    std::unique_ptr<audio::PlaybackSink> sink;
    if (!o.out.empty())
        sink = std::make_unique<audio::WavFileSink>(o.out, kChainSampleRate, 1, inputs);
    if (o.noPlayback) sink = std::make_unique<audio::NullSink>();
    audio::CaptureSource* sourceView = source.get();
    audio::PlaybackSink* sinkView = sink.get();

    // The simulated receiver: its scene, and the DDS controller tuning it over its own lines.
    std::unique_ptr<sim::SimulatedReceiver> simReceiver;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<ad9951> vfo;
    const bool usesSim = o.captureDevice.empty() && o.in.empty();
    if (usesSim) {
        if (o.settings.empty()) {
            store = std::make_unique<MemorySettingsStore>();
        } else {
            auto file = std::make_unique<IniSettingsStore>(o.settings);
            std::string error;
            if (!file->load(&error)) BadOption(error);
            store = std::move(file);
        }
        sim::SimSetup setup;
        setup.sceneFile = o.scene;
        if (o.clockErrorPpm) setup.clockErrorPpm = *o.clockErrorPpm;
        std::string error;
        simReceiver = sim::MakeSimulatedReceiver(setup, error);
        if (!simReceiver) BadOption(error);
        vfo = std::make_unique<ad9951>(*store, simReceiver->Ports());
        vfo->init();
        if (o.freqMHz) vfo->setTunedFreq(*o.freqMHz);
        std::printf("%s\n%s\n", sim::SimSummaryLine(*simReceiver).c_str(),
                    sim::SimTuningLine(*simReceiver).c_str());
        for (const auto& line : sim::SimStationLines(*simReceiver))
            std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    audio::FrameClock clock;
    audio::AlsaContext alsa;
    std::unique_ptr<audio::CaptureProvider> captureSide;
    std::unique_ptr<audio::PlaybackProvider> playbackSide;
    int captureNumber = 1, playbackNumber = 1;
    if (simReceiver) {
        captureSide = sim::MakeSimCaptureProvider(*simReceiver, clock);
    } else if (source) {
        captureSide = std::make_unique<audio::ClockedCaptureProvider>(
            clock, "WAV file " + o.in, [&source] { return std::move(source); });
    } else {
        captureSide = std::make_unique<audio::AlsaCaptureProvider>(alsa);
        captureNumber = DeviceNumber(alsa, true, o.captureDevice);
    }
    auto* clockedPlayback = sink ? new audio::ClockedPlaybackProvider(
                                       clock, o.noPlayback ? "no playback" : "WAV file " + o.out,
                                       [&sink] { return std::move(sink); })
                                 : nullptr;
    if (clockedPlayback) {
        playbackSide.reset(clockedPlayback);
    } else {
        playbackSide = std::make_unique<audio::AlsaPlaybackProvider>(alsa);
        playbackNumber =
            DeviceNumber(alsa, false, o.playbackDevice.empty() ? "default" : o.playbackDevice);
    }
    const bool anyAlsa = !o.captureDevice.empty() || !clockedPlayback;
    const bool eventLoop = !o.freeRunning;

    audio::AudioBackend backend(std::move(captureSide), std::move(playbackSide));
    OrvexDX8 card(backend);
    card.setFSampling(kChainSampleRate);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    card.setSamplesPerEvent(kBlockSamples);
    card.setCurrentCaptureDevice(captureNumber);
    card.setCurrentPlaybackDevice(playbackNumber);

    ReceiveChain chain;
    OrvexDX8ChainPort cardPort(card);
    StatsTimer stats(chain, eventLoop);
    chain.AttachSoundCard(&cardPort);
    chain.AttachTimers(&stats);
    std::optional<TunerAdapter> tuner;
    if (vfo) {
        tuner.emplace(*vfo);
        chain.AttachTuner(&*tuner);
    }
    chain.RestoreDefaults();
    chain.CompleteStartup();
    ApplyReceiveOptions(chain, o.receive);
    chain.tmrPerfStats_Timer();
    Receiver receiver(card, chain);

    std::string lostReason;
    alsa.setDeviceLostHandler([&](const std::string& why) {
        if (lostReason.empty()) lostReason = why;
    });

    if (!card.PrepareDevices()) {
        std::fprintf(stderr, "orvexsdr-cli listen: %s\n", card.LastErrText().c_str());
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    card.StartSound();
    if (!card.InAction()) {
        std::fprintf(stderr, "orvexsdr-cli listen: the sound card did not start: %s\n",
                     card.LastErrText().c_str());
        card.ReleaseDevices();
        return 2;
    }
    const std::string captureName = simReceiver ? std::string(sim::kSimDeviceName)
                                    : !o.in.empty()
                                        ? o.in
                                        : "ALSA device " + std::to_string(captureNumber);
    const std::string playbackName = !clockedPlayback
                                         ? "ALSA device " + std::to_string(playbackNumber)
                                     : o.noPlayback ? std::string("none")
                                                    : o.out;
    std::fprintf(stderr, "orvexsdr-cli listen: capture %s, playback %s, %s, %s back end\n",
                 captureName.c_str(), playbackName.c_str(),
                 eventLoop ? "real time" : "free-running",
                 vec::UseSPL() ? "optimised" : "portable");

    // Stop conditions, checked between blocks.
    const double blockSeconds = static_cast<double>(kBlockSamples) / kChainSampleRate;
    std::int64_t drainBlocks = -1; // blocks still to run after the input file ended
    auto shouldStop = [&]() -> bool {
        if (g_interrupted || !lostReason.empty()) return true;
        if (sourceView && !sourceView->error().empty()) return true;
        if (o.seconds && static_cast<double>(receiver.blocks) * blockSeconds >= *o.seconds)
            return true;
        if (sourceView && sourceView->finished()) {
            // Let the last captured audio pass the ring and the playback buffer.
            if (drainBlocks < 0) drainBlocks = receiver.blocks + 8;
            if (receiver.blocks >= drainBlocks) return true;
        }
        return false;
    };
    double nextStatus = 1.0;
    const auto t0 = std::chrono::steady_clock::now();
    auto printStatus = [&](double streamSeconds) {
        const auto& st = alsa.stats();
        const double n =
            receiver.secondBlocks > 0 ? static_cast<double>(receiver.secondBlocks) : 1.0;
        std::printf("%7.1f s  blocks %6lld  DSPLoad %5.2f%% (peak %5.2f%%)  dropped %lld  overruns "
                    "%llu  underruns %llu  S-meter %6.1f dB\n",
                    streamSeconds, static_cast<long long>(receiver.blocks),
                    100.0 * receiver.loadSum / n, 100.0 * receiver.loadPeak,
                    static_cast<long long>(chain.DroppedBlocks()),
                    static_cast<unsigned long long>(st.overruns),
                    static_cast<unsigned long long>(st.underruns), PowerDb(receiver.powerSum / n));
        std::fflush(stdout);
        receiver.resetSecond();
    };
    auto streamTime = [&] { return static_cast<double>(receiver.blocks) * blockSeconds; };

    if (eventLoop) {
        audio::RealTimePacer pacer(clock, kChainSampleRate);
        if (source || simReceiver || clockedPlayback) pacer.start();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            while (streamTime() >= nextStatus) {
                printStatus(nextStatus);
                nextStatus += 1.0;
            }
            if (shouldStop()) app.quit();
        });
        watch.start(20);
        app.exec();
        pacer.stop();
    } else {
        while (!shouldStop()) {
            clock.advance(kBlockSamples);
            stats.runIfArmed();
            while (streamTime() >= nextStatus) {
                printStatus(nextStatus);
                nextStatus += 1.0;
            }
        }
    }
    (void)anyAlsa;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    card.StopSound();
    // An input that failed part-way leaves no output: what was written is dropped, not finished.
    const std::string sourceError = sourceView ? sourceView->error() : std::string();
    if (!sourceError.empty() && sinkView) sinkView->discard();
    card.ReleaseDevices();

    std::string finishError;
    if (clockedPlayback && !clockedPlayback->lastError().empty() && sourceError.empty())
        finishError = clockedPlayback->lastError();
    // The DDS controller saves its keys as it is released; a save that fails is an error.
    std::string saveError;
    if (vfo) {
        RecordingMessageSink messages;
        {
            ScopedMessageSink scope(messages);
            vfo->Terminate();
        }
        if (!store->flush(&saveError) && saveError.empty())
            saveError = "the settings could not be saved";
    }
    const double n = receiver.blocks > 0 ? static_cast<double>(receiver.blocks) : 1.0;
    std::fprintf(stderr,
                 "orvexsdr-cli listen: %lld blocks (%.1f s of audio) in %.1f s; DSPLoad mean "
                 "%.3f%%, peak %.3f%%; "
                 "dropped %lld; overruns %llu, underruns %llu; mean S-meter power %.1f dB; final "
                 "AGC gain %.3f\n",
                 static_cast<long long>(receiver.blocks), streamTime(), wall,
                 100.0 * receiver.totalLoadSum / n, 100.0 * receiver.totalLoadPeak,
                 static_cast<long long>(chain.DroppedBlocks()),
                 static_cast<unsigned long long>(alsa.stats().overruns),
                 static_cast<unsigned long long>(alsa.stats().underruns),
                 PowerDb(receiver.totalPowerSum / n), chain.State().AGCGain);
    if (!lostReason.empty()) {
        std::fprintf(stderr, "orvexsdr-cli listen: %s\n", lostReason.c_str());
        return 2;
    }
    int status = 0;
    for (const std::string* error : {&sourceError, static_cast<const std::string*>(&finishError),
                                     static_cast<const std::string*>(&saveError)})
        if (!error->empty()) {
            std::fprintf(stderr, "orvexsdr-cli listen: %s\n", error->c_str());
            status = 2;
        }
    if (!sourceError.empty() && !o.out.empty())
        std::fprintf(stderr, "orvexsdr-cli listen: %s was not written\n", o.out.c_str());
    if (status != 0) return status;
    if (g_interrupted) std::fprintf(stderr, "orvexsdr-cli listen: stopped by the user\n");
    return 0;
}

} // namespace orvex::cli
