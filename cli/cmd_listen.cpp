// orvexsdr-cli listen: the live receiver without a window. Captured blocks run through the
// receive chain exactly as in the program (sound card notifications, block handler, statistics
// timer) and the audio plays on a sound card or goes to a WAV file.
#include "Commands.h"
#include "ReceiveOptions.h"
#include "app/EncoderInput.h"
#include "app/ProgramAudio.h"
#include "app/RadioSession.h"
#include "app/RigctlServer.h"
#include "app/SessionRecorder.h"
#include "app/SessionRig.h"
#include "audio/AlsaDevices.h"
#include "audio/OrvexDX8.h"
#include "audio/WavDevices.h"
#include "core/Error.h"
#include "core/IniSettingsStore.h"
#include "core/MessageSink.h"
#include "core/SafeFile.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"
#include "dsp/VectorOps.h"
#include "radio/ad9951.h"
#include "sim/SimStatus.h"
#include "sim/SimulatedReceiver.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvexsdr-cli listen [--capture-device N|NAME | --in IF.wav | --sim]\n"
    "        [--scene FILE] [--clock-error PPM] [--freq MHZ] [--settings FILE]\n"
    "        [--playback-device N|NAME | --out AUDIO.wav | --no-playback]\n"
    "        [--record-audio FILE] [--record-if FILE]\n"
    "        [--to-programs] [--udp-audio HOST:PORT]\n"
    "        [--seconds N] [--free-running | --speed X] [--rigctl [PORT] [--rigctl-address ADDR]]\n"
    "        [--sim-encoder RATE:COUNT [--encoder-auto-rate]]\n"
    "        [receive options]\n"
    "       orvexsdr-cli listen --list-devices\n"
    "\n"
    "Runs the receiver live: every captured block of 2048 samples at 48000 samples/s goes\n"
    "through the receive chain and is played about seven blocks later. Prints one status line\n"
    "a second and stops on Ctrl-C, after --seconds, or when an input file ends. With no\n"
    "capture device named it listens to the simulated Brisko receiver, tuned through the DDS\n"
    "controller over its own control lines.\n"
    "  --sim                the simulated receiver (the default when no capture is named)\n"
    "  --scene FILE         its scene of stations: a file, or a shipped scene by name\n"
    "                       ('default', 'calibration'); default: the built-in default scene\n"
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
    "  --record-audio FILE  also record the audio as played to FILE, a new WAV file (16-bit\n"
    "                       mono, 48000 samples/s), written while streaming; its header is kept\n"
    "                       current so that a crash loses at most the last second. An existing\n"
    "                       file is refused: a recording never replaces a file\n"
    "  --record-if FILE     also record the captured IF input to FILE, in the same way (a file\n"
    "                       that --in can play back later)\n"
    "  --to-programs        also offer the audio to programs on this machine (WSJT-X, fldigi,\n"
    "                       recorders) as the capture source \"OrvexSDR\" of the sound server\n"
    "                       (PipeWire or PulseAudio), made at the start and removed at the end;\n"
    "                       without a sound server a line says so and the receiver plays on\n"
    "  --udp-audio H:P      also send the audio as UDP datagrams to host H, port P: raw 16-bit\n"
    "                       little-endian mono samples at 48000/s, at most 1024 a datagram\n"
    "                       Both carry the audio after the output level and before mute\n"
    "  --seconds N          stop after N seconds of captured audio\n"
    "  --free-running       with files only: run as fast as processing allows instead of in\n"
    "                       real time\n"
    "  --speed X            with files or the simulated receiver only: run X times faster than\n"
    "                       real time (1 to 100), on the event loop as in real time\n"
    "  --rigctl [PORT]      Hamlib network control (rigctld's protocol, radio model 2) on\n"
    "                       PORT (default 4532; 0 picks a free one, printed at the start), so\n"
    "                       WSJT-X, fldigi or `rigctl -m 2 -r 127.0.0.1:PORT` tune the receiver\n"
    "                       and read its S-meter; not with --free-running\n"
    "  --rigctl-address A   listen on address A instead of 127.0.0.1 (\"any\": every\n"
    "                       interface, so any machine that reaches this one can tune it)\n"
    "  --rigctl-timeout S   drop a client that sends no complete command for S seconds\n"
    "                       (default 30; 0: never)\n"
    "  --sim-encoder RATE:COUNT  turn the simulated receiver's shaft encoder (on the serial\n"
    "                       port's CTS and DSR) COUNT quadrature transitions at RATE\n"
    "                       transitions per second, one second after the receiver starts; a\n"
    "                       negative RATE turns it down. The encoder is enabled: each\n"
    "                       transition moves the knob one step (100 Hz, or the saved TuneStep\n"
    "                       with the rate locked); the status lines show the tuned frequency\n"
    "  --encoder-auto-rate  with --sim-encoder: automatic rate, the turning speed chooses the\n"
    "                       step (1 Hz to 1 kHz) and a 30 ms timer tunes by it\n"
    "  --list-devices       print the numbered capture and playback devices\n"
    "Receive options (as for demod; the start-up mode is AM):\n";

struct ListenOptions {
    ReceiveOptions receive;
    std::string captureDevice, playbackDevice, in, out, scene, settings;
    std::string recordAudio, recordIF, udpAudio;
    bool sim = false, noPlayback = false, freeRunning = false, listDevices = false;
    bool toPrograms = false;
    double speed = 1.0;
    std::optional<std::uint16_t> rigctlPort;
    std::string rigctlAddress;
    std::optional<double> rigctlTimeout;
    std::optional<double> seconds, clockErrorPpm, freqMHz;
    std::optional<double> encoderRate; ///< transitions per second, signed
    std::int64_t encoderCount = 0;
    bool encoderAutoRate = false;
};

// "RATE:COUNT" of --sim-encoder.
void ParseSimEncoder(const std::string& text, ListenOptions& o) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        BadOption(
            "--sim-encoder: RATE:COUNT, e.g. 300:600 (300 transitions a second, 600 of them)");
    const double rate = OptionNumber("--sim-encoder RATE", text.substr(0, colon), -100000, 100000);
    const double count = OptionNumber("--sim-encoder COUNT", text.substr(colon + 1), 1, 1e9);
    if (std::fabs(rate) < 0.01) BadOption("--sim-encoder: RATE cannot be 0");
    if (count != std::floor(count)) BadOption("--sim-encoder: COUNT is a whole number");
    o.encoderRate = rate;
    o.encoderCount = static_cast<std::int64_t>(count);
}

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
        else if (a == "--record-audio")
            o.recordAudio = value();
        else if (a == "--record-if")
            o.recordIF = value();
        else if (a == "--to-programs")
            o.toPrograms = true;
        else if (a == "--udp-audio") {
            o.udpAudio = value();
            audio::UdpEndpoint endpoint;
            if (std::string error; !audio::ParseUdpEndpoint(o.udpAudio, endpoint, error))
                BadOption("--udp-audio: " + error);
        } else if (a == "--speed")
            o.speed = OptionNumber(a, value(), 1, 100);
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
        else if (a == "--rigctl") {
            // The port is optional: a following word that is not an option is taken as it.
            o.rigctlPort = app::RigctlServer::kDefaultPort;
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                const double port = OptionNumber(a, value(), 0, 65535);
                if (port != std::floor(port)) BadOption("--rigctl: the port is a whole number");
                o.rigctlPort = static_cast<std::uint16_t>(port);
            }
        } else if (a == "--rigctl-address")
            o.rigctlAddress = value();
        else if (a == "--rigctl-timeout")
            o.rigctlTimeout = OptionNumber(a, value(), 0, 86400);
        else if (a == "--sim-encoder")
            ParseSimEncoder(value(), o);
        else if (a == "--encoder-auto-rate")
            o.encoderAutoRate = true;
        else
            BadOption("unknown option '" + a + "' (see --help)");
    }
    CheckReceiveOptions(o.receive);
    if (o.listDevices) return o;
    if ((!o.captureDevice.empty()) + (!o.in.empty()) + o.sim > 1)
        BadOption("--capture-device, --in and --sim exclude each other");
    const bool usesSim = o.captureDevice.empty() && o.in.empty();
    if (!usesSim &&
        (!o.scene.empty() || o.clockErrorPpm || o.freqMHz || !o.settings.empty() || o.encoderRate))
        BadOption("--scene, --clock-error, --freq, --settings and --sim-encoder belong to the "
                  "simulated receiver");
    if (o.encoderAutoRate && !o.encoderRate) BadOption("--encoder-auto-rate needs --sim-encoder");
    if (o.encoderRate && o.freeRunning)
        BadOption("--sim-encoder turns the knob in real time: not with --free-running");
    if (o.encoderRate && o.speed != 1.0)
        BadOption("--sim-encoder turns the knob in real time: not with --speed");
    if ((!o.playbackDevice.empty()) + (!o.out.empty()) + o.noPlayback > 1)
        BadOption("--playback-device, --out and --no-playback exclude each other");
    if (!o.rigctlAddress.empty() && !o.rigctlPort) BadOption("--rigctl-address needs --rigctl");
    if (o.rigctlTimeout && !o.rigctlPort) BadOption("--rigctl-timeout needs --rigctl");
    if (o.rigctlPort && o.freeRunning)
        BadOption("--rigctl serves clients in real time: not with --free-running");
    if (o.speed != 1.0 && o.freeRunning) BadOption("--speed and --free-running exclude each other");
    if (o.speed != 1.0 && (!o.captureDevice.empty() || (o.out.empty() && !o.noPlayback)))
        BadOption("--speed needs no sound card on either side (--in or the simulated receiver, "
                  "and --out or --no-playback)");
    if (o.freeRunning && (!o.captureDevice.empty() || (o.out.empty() && !o.noPlayback)))
        BadOption("--free-running needs no sound card on either side (--in or the simulated "
                  "receiver, and --out or --no-playback)");
    return o;
}

// Recordings are written in place and never replace a file: one that names an input or
// another output of the run is refused before anything starts.
void CheckRecordings(const ListenOptions& o, const std::vector<NamedInput>& inputs) {
    auto same = [](const std::string& a, const std::string& b) {
        std::error_code ea, eb;
        const auto ca = std::filesystem::weakly_canonical(a, ea);
        const auto cb = std::filesystem::weakly_canonical(b, eb);
        return ea || eb ? a == b : ca == cb;
    };
    const std::pair<std::string, const std::string*> recordings[] = {
        {"--record-audio", &o.recordAudio}, {"--record-if", &o.recordIF}};
    for (const auto& [option, path] : recordings) {
        if (path->empty()) continue;
        if (const NamedInput* input = SameFileAsInput(*path, inputs))
            BadOption(option + ": " + *path + " is the same file as the input " + input->path +
                      "; a recording never replaces a file");
        if (!o.out.empty() && same(*path, o.out))
            BadOption(option + ": " + *path + " is also the --out file");
    }
    if (!o.recordAudio.empty() && !o.recordIF.empty() && same(o.recordAudio, o.recordIF))
        BadOption("--record-audio and --record-if name the same file");
}

// "a.wav (3.0 s, 288044 bytes)", or why the recording stopped early.
std::string RecordingReport(const app::SessionRecorder& recorder, app::RecordStream stream) {
    char figures[96];
    std::snprintf(figures, sizeof figures, " (%.1f s, %lld bytes", recorder.elapsedSeconds(stream),
                  static_cast<long long>(recorder.fileBytes(stream)));
    std::string text = recorder.path(stream) + figures;
    if (const auto lost = recorder.droppedSamples(stream); lost > 0)
        text += "; " + std::to_string(lost) + " samples lost: the program fell behind";
    return text + ")";
}

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) {
    g_interrupted = 1;
}

// The composite device number of an option value: a number as --list-devices shows it, or an
// ALSA name.
std::int32_t DeviceNumber(app::RadioSession& session, bool capture, const std::string& value) {
    audio::AlsaContext& context = *session.alsa();
    std::string name = value;
    if (!value.empty() &&
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const auto list = context.devices(capture);
        const auto n = static_cast<std::size_t>(
            OptionNumber(capture ? "--capture-device" : "--playback-device", value, 1,
                         std::max(static_cast<double>(list.size()), 1.0)));
        if (n > list.size()) BadOption("there are no ALSA devices");
        name = list[n - 1].name;
    }
    const std::int32_t number = session.alsaDeviceNumber(capture, name);
    if (number < 1) BadOption("no ALSA device '" + value + "'");
    return number;
}

// "  7.1004000 MHz" (the tuned frequency), and with the encoder on "  encoder +12 -3 ?0 step
// 100 Hz" (steps decoded up and down, changes counted without a direction, the tuning step).
std::string TuningStatus(app::RadioSession& session) {
    if (!session.hasVFO()) return {};
    char text[160];
    const ad9951& vfo = session.vfo();
    int n = std::snprintf(text, sizeof text, "  %.7f MHz", vfo.TunedFreq());
    app::EncoderInput& encoder = session.encoder();
    if (encoder.enabled()) {
        const ShaftEncoder& d = encoder.decoder();
        std::snprintf(
            text + n, sizeof text - static_cast<std::size_t>(n),
            "  encoder +%llu -%llu ?%llu step %g Hz", static_cast<unsigned long long>(d.stepsUp()),
            static_cast<unsigned long long>(d.stepsDown()),
            static_cast<unsigned long long>(d.uncountedChanges()),
            // The knob's step: 100 Hz unless the rate is locked; automatic rate:
            // the step the speed chose.
            std::round(
                (encoder.autoRate() || encoder.knob().TuneRateLocked ? vfo.TuneStep() : 0.0001) *
                1e7) /
                10.0);
    }
    return text;
}

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

    // The receiver's one wiring, as the window has it: chain, device lists, sound card and,
    // for the simulated receiver, the DDS controller on its lines. An output that is one of
    // the inputs is refused; a bad input or an unwritable output is one clear line.
    std::vector<NamedInput> inputs;
    for (const auto* path : {&o.in, &o.scene, &o.settings})
        AddInput(inputs, *path);
    CheckRecordings(o, inputs);
    const bool usesSim = o.captureDevice.empty() && o.in.empty();
    const bool anyAlsa = !o.captureDevice.empty() || (o.out.empty() && !o.noPlayback);
    std::unique_ptr<SettingsStore> store;
    if (usesSim) {
        if (o.settings.empty()) {
            store = std::make_unique<MemorySettingsStore>();
        } else {
            auto file = std::make_unique<IniSettingsStore>(o.settings);
            std::string error;
            if (!file->load(&error)) BadOption(error);
            store = std::move(file);
        }
    }
    app::SessionDevices devices;
    devices.alsa = anyAlsa;
    devices.sim.sceneFile = o.scene;
    if (o.clockErrorPpm) devices.sim.clockErrorPpm = *o.clockErrorPpm;
    devices.ifFile = o.in;
    devices.loopIFFile = false;
    devices.audioFile = o.out;
    devices.audioFileInputs = inputs;
    if (!o.in.empty()) audio::WavFileSource check(o.in, kChainSampleRate); // fails here, named
    app::RadioSession session;
    session.createChain();
    std::string simError;
    if (!session.createDevices(devices, simError) && usesSim) BadOption(simError);
    session.createSoundCard();
    OrvexDX8& card = session.soundCard();
    card.setFSampling(kChainSampleRate);
    card.setNoChannelsIn(1);
    card.setNoChannelsOut(1);
    card.setSamplesPerEvent(kBlockSamples);
    const std::int32_t captureNumber = usesSim ? session.simulatedCaptureDevice()
                                       : !o.in.empty()
                                           ? session.ifFileCaptureDevice()
                                           : DeviceNumber(session, true, o.captureDevice);
    const std::int32_t playbackNumber =
        !o.out.empty() ? session.audioFilePlaybackDevice()
        : o.noPlayback
            ? session.noPlaybackDevice()
            : DeviceNumber(session, false, o.playbackDevice.empty() ? "default" : o.playbackDevice);
    card.setCurrentCaptureDevice(captureNumber);
    card.setCurrentPlaybackDevice(playbackNumber);
    ReceiveChain& chain = session.chain();
    if (usesSim) {
        session.createVFO(*store, captureNumber);
        ad9951& vfo = session.vfo();
        vfo.init();
        if (o.freqMHz) vfo.setTunedFreq(*o.freqMHz);
        if (o.encoderRate) {
            // The encoder as the window's "Enable ?" and "Auto Rate ?" set it: the watcher
            // follows the simulated port's CTS and DSR from now on.
            session.encoder().setAutoRate(o.encoderAutoRate);
            session.encoder().setEnabled(true);
        }
        sim::SimulatedReceiver& receiver = *session.simulatedReceiver();
        std::printf("%s\n%s\n", sim::SimSummaryLine(receiver).c_str(),
                    sim::SimTuningLine(receiver).c_str());
        for (const auto& line : sim::SimStationLines(receiver))
            std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    chain.RestoreDefaults();
    chain.CompleteStartup();
    ApplyReceiveOptions(chain, o.receive);
    chain.tmrPerfStats_Timer();

    std::string lostReason;
    QObject::connect(&session, &app::RadioSession::deviceLost, [&](const QString& why) {
        if (lostReason.empty()) lostReason = why.toStdString();
    });
    // Recordings of the audio as played and of the captured IF, written while streaming
    // (app/SessionRecorder); a recording that fails stops with its message, reception goes on.
    app::SessionRecorder recorder(session);
    const std::pair<app::RecordStream, const std::string*> recordings[] = {
        {app::RecordStream::Audio, &o.recordAudio}, {app::RecordStream::IF, &o.recordIF}};
    bool recordFailed[2] = {false, false};
    QObject::connect(
        &recorder, &app::SessionRecorder::recordingFailed, [&](int stream, const QString& message) {
            recordFailed[stream] = true;
            std::fprintf(stderr, "orvexsdr-cli listen: %s\n", message.toStdString().c_str());
        });
    auto dropRecordings = [&] { // nothing was recorded: the files just made go again
        for (const auto& [stream, path] : recordings)
            if (recorder.recording(stream)) {
                recorder.stop(stream);
                ::unlink(path->c_str());
            }
    };
    for (const auto& [stream, path] : recordings)
        if (std::string error; !path->empty() && !recorder.start(stream, *path, error)) {
            dropRecordings();
            BadOption(error);
        }

    // Audio for other programs: made as streaming starts, removed as it stops.
    app::ProgramAudio programs(session);
    if (o.toPrograms || !o.udpAudio.empty()) {
        app::ProgramAudioSettings shared;
        shared.toPrograms = o.toPrograms;
        shared.udp = !o.udpAudio.empty();
        if (shared.udp) shared.udpDestination = o.udpAudio;
        programs.setSettings(shared);
        programs.onProblem = [](const std::string& message) {
            std::fprintf(stderr, "orvexsdr-cli listen: %s\n", message.c_str());
        };
    }
    session.setPaceFactor(o.speed);

    const bool eventLoop = !o.freeRunning;
    // Ctrl-C, SIGTERM, a closed terminal or SSH session (SIGHUP) and a CPU-time limit reached
    // (ulimit -t, SIGXCPU) all stop the run cleanly, finishing the output and the recordings.
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGXCPU})
        std::signal(s, OnSignal);
    if (std::string error; !session.startStreaming(eventLoop, error)) {
        dropRecordings();
        // The input was read once above: one that fails now ended or changed meanwhile.
        if (!o.in.empty()) try {
                audio::WavFileSource again(o.in, kChainSampleRate);
            } catch (const std::exception& e) {
                error = "the input file " + o.in +
                        " ended or changed before streaming started: " + e.what();
            }
        std::fprintf(stderr, "orvexsdr-cli listen: %s\n", error.c_str());
        if (!o.out.empty())
            std::fprintf(stderr, "orvexsdr-cli listen: %s was not written\n", o.out.c_str());
        return 2;
    }
    // Remote control: clients are served by the event loop between blocks.
    app::SessionRig rig(session);
    app::RigctlServer rigctl(rig);
    if (o.rigctlTimeout)
        rigctl.setIdleTimeoutMs(static_cast<int>(std::lround(*o.rigctlTimeout * 1000)));
    if (o.rigctlPort) {
        const QString address = o.rigctlAddress.empty() ? QString("127.0.0.1")
                                                        : QString::fromStdString(o.rigctlAddress);
        if (!rigctl.start(*o.rigctlPort, address)) {
            session.stopStreaming();
            std::fprintf(stderr, "orvexsdr-cli listen: rigctl: %s\n",
                         rigctl.errorText().toStdString().c_str());
            return 2;
        }
        rigctl.onClientDropped = [](const QString& line) {
            std::fprintf(stderr, "orvexsdr-cli listen: %s\n", line.toStdString().c_str());
        };
        std::fprintf(stderr, "orvexsdr-cli listen: rigctl listening on %s:%u\n",
                     address.toStdString().c_str(), static_cast<unsigned>(rigctl.port()));
    }
    const auto captures = session.captureDeviceNames();
    const auto plays = session.playbackDeviceNames();
    const std::string captureName = !o.in.empty() ? o.in : captures[captureNumber - 1];
    const std::string playbackName = !o.out.empty() ? o.out
                                     : o.noPlayback ? std::string("none")
                                                    : plays[playbackNumber - 1];
    char pace[48] = "real time";
    if (!eventLoop)
        std::snprintf(pace, sizeof pace, "free-running");
    else if (o.speed != 1.0)
        std::snprintf(pace, sizeof pace, "%g times real time", o.speed);
    // The shaft encoder: its log lines, tmrShaft for the automatic rate, and the simulated
    // hand that turns the knob one second after the start.
    QTimer tmrShaft;
    if (o.encoderRate) {
        app::EncoderInput& encoder = session.encoder();
        QObject::connect(&encoder, &app::EncoderInput::message, [](const QString& text) {
            std::fprintf(stderr, "orvexsdr-cli listen: encoder: %s\n", text.toStdString().c_str());
        });
        QObject::connect(&tmrShaft, &QTimer::timeout, [&encoder] { encoder.tmrShaft_Timer(); });
        tmrShaft.start(30);
        session.simulatedReceiver()->Encoder().turn(*o.encoderRate, o.encoderCount, 1'000'000'000);
        std::fprintf(stderr,
                     "orvexsdr-cli listen: the simulated knob turns %lld transitions %s at %g a "
                     "second from 1 s%s\n",
                     static_cast<long long>(o.encoderCount), *o.encoderRate < 0 ? "down" : "up",
                     std::fabs(*o.encoderRate), o.encoderAutoRate ? ", automatic rate" : "");
    }
    std::fprintf(stderr, "orvexsdr-cli listen: capture %s, playback %s, %s, %s back end\n",
                 captureName.c_str(), playbackName.c_str(), pace,
                 vec::UseSPL() ? "optimised" : "portable");
    if (o.toPrograms || !o.udpAudio.empty())
        std::fprintf(stderr, "orvexsdr-cli listen: audio for other programs: %s\n",
                     programs.statusText().c_str());

    // Stop conditions, checked between blocks.
    const double blockSeconds = session.blockSeconds();
    const bool fileInput = !o.in.empty();
    std::int64_t drainBlocks = -1; // blocks still to run after the input file ended
    auto blocks = [&] { return session.total().blocks; };
    auto shouldStop = [&]() -> bool {
        if (g_interrupted || !lostReason.empty()) return true;
        if (fileInput && !session.ifFileError().empty()) return true;
        if (o.seconds && static_cast<double>(blocks()) * blockSeconds >= *o.seconds) return true;
        if (fileInput && session.ifFileFinished()) {
            // Let the last captured audio pass the ring and the playback buffer.
            if (drainBlocks < 0) drainBlocks = blocks() + 8;
            if (blocks() >= drainBlocks) return true;
        }
        return false;
    };
    auto alsaStats = [&] {
        return session.alsa() ? session.alsa()->stats() : audio::AlsaStreamStats{};
    };
    double nextStatus = 1.0;
    const auto t0 = std::chrono::steady_clock::now();
    auto printStatus = [&](double streamSeconds) {
        const auto st = alsaStats();
        const app::BlockFigures& f = session.second();
        const double n = f.blocks > 0 ? static_cast<double>(f.blocks) : 1.0;
        std::printf("%7.1f s  blocks %6lld  DSPLoad %5.2f%% (peak %5.2f%%)  dropped %lld  overruns "
                    "%llu  underruns %llu  S-meter %6.1f dB%s\n",
                    streamSeconds, static_cast<long long>(blocks()), 100.0 * f.loadSum / n,
                    100.0 * f.loadPeak, static_cast<long long>(chain.DroppedBlocks()),
                    static_cast<unsigned long long>(st.overruns),
                    static_cast<unsigned long long>(st.underruns), PowerDb(f.powerSum / n),
                    TuningStatus(session).c_str());
        std::fflush(stdout);
        session.resetSecond();
    };
    auto streamTime = [&] { return static_cast<double>(blocks()) * blockSeconds; };
    auto statusDue = [&] {
        while (streamTime() >= nextStatus) {
            printStatus(nextStatus);
            nextStatus += 1.0;
        }
    };

    if (eventLoop) {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            statusDue();
            if (shouldStop()) app.quit();
        });
        watch.start(20);
        app.exec();
    } else {
        while (!shouldStop()) {
            session.advanceOneBlock();
            recorder.drain(); // no event loop runs the recorder's timer
            statusDue();
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // An input that failed part-way leaves no output: what was written is dropped, not finished.
    const std::string sourceError = fileInput ? session.ifFileError() : std::string();
    if (!sourceError.empty()) session.discardAudioFile();
    session.stopStreaming();
    recorder.stopAll(); // what was received stays recorded, whatever ended the run

    const std::string finishError = sourceError.empty() ? session.audioFileError() : std::string();
    if (!o.udpAudio.empty())
        std::fprintf(stderr, "orvexsdr-cli listen: UDP audio: %lld datagrams sent, %lld lost\n",
                     static_cast<long long>(programs.udp().datagramsSent()),
                     static_cast<long long>(programs.udp().datagramsLost()));
    std::string encoderSummary;
    if (o.encoderRate) {
        // What the knob did and what the receiver made of it; then the hand lets go and the
        // watcher ends with the port.
        sim::SimulatedEncoder& knob = session.simulatedReceiver()->Encoder();
        knob.stop();
        const ShaftEncoder& d = session.encoder().decoder();
        char text[256];
        std::snprintf(
            text, sizeof text,
            "encoder: the knob made %lld of %lld transitions; decoded %llu up, %llu "
            "down, %llu changes without a direction; tuned to %.7f MHz",
            static_cast<long long>(knob.transitions()), static_cast<long long>(o.encoderCount),
            static_cast<unsigned long long>(d.stepsUp()),
            static_cast<unsigned long long>(d.stepsDown()),
            static_cast<unsigned long long>(d.uncountedChanges()), session.vfo().TunedFreq());
        encoderSummary = text;
    }
    // The DDS controller saves its keys as it is released; a save that fails is an error.
    std::string saveError;
    if (session.hasVFO()) {
        RecordingMessageSink messages;
        {
            ScopedMessageSink scope(messages);
            session.vfo().Terminate();
        }
        if (!store->flush(&saveError) && saveError.empty())
            saveError = "the settings could not be saved";
    }
    const app::BlockFigures& total = session.total();
    const double n = total.blocks > 0 ? static_cast<double>(total.blocks) : 1.0;
    const auto st = alsaStats();
    std::fprintf(
        stderr,
        "orvexsdr-cli listen: %lld blocks (%.1f s of audio) in %.1f s; DSPLoad mean "
        "%.3f%%, peak %.3f%%; "
        "dropped %lld; overruns %llu, underruns %llu; mean S-meter power %.1f dB; final "
        "AGC gain %.3f\n",
        static_cast<long long>(total.blocks), streamTime(), wall, 100.0 * total.loadSum / n,
        100.0 * total.loadPeak, static_cast<long long>(chain.DroppedBlocks()),
        static_cast<unsigned long long>(st.overruns), static_cast<unsigned long long>(st.underruns),
        PowerDb(total.powerSum / n), chain.State().AGCGain);
    if (!encoderSummary.empty())
        std::fprintf(stderr, "orvexsdr-cli listen: %s\n", encoderSummary.c_str());
    // Where the recordings went. One that stopped early (its message came when it stopped)
    // leaves status 2: the run did not do all it was asked, though reception went on.
    int status = 0;
    for (const auto& [stream, path] : recordings) {
        if (path->empty()) continue;
        const char* what = stream == app::RecordStream::Audio ? "audio" : "IF input";
        const auto i = static_cast<std::size_t>(stream);
        if (recordFailed[i] || !recorder.errorText(stream).empty()) {
            std::fprintf(stderr, "orvexsdr-cli listen: the %s recording stopped early: %s\n", what,
                         recorder.errorText(stream).c_str());
            status = 2;
        } else {
            std::fprintf(stderr, "orvexsdr-cli listen: %s recorded to %s\n", what,
                         RecordingReport(recorder, stream).c_str());
        }
    }
    if (!lostReason.empty()) {
        std::fprintf(stderr, "orvexsdr-cli listen: %s\n", lostReason.c_str());
        return 2;
    }
    for (const std::string* error :
         {&sourceError, &finishError, static_cast<const std::string*>(&saveError)})
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
