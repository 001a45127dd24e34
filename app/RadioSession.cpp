#include "RadioSession.h"

#include "app/EncoderInput.h"
#include "audio/AlsaDevices.h"
#include "audio/ClockedDevices.h"
#include "audio/CompositeDevices.h"
#include "audio/OrvexDX8.h"
#include "audio/OrvexDX8ChainPort.h"
#include "audio/RealTimePacer.h"
#include "audio/WavDevices.h"
#include "core/Error.h"
#include "core/MessageSink.h"
#include "dsp/ReceiveChain.h"
#include "radio/LinuxPorts.h"
#include "radio/ad9951.h"
#include "sim/SimCapture.h"
#include "sim/SimulatedReceiver.h"

#include <algorithm>
#include <cmath>

namespace orvex::app {
namespace {

constexpr const char* kNoPlaybackName = "No playback";
// How often the simulated receiver and files are brought up to the wall clock: well inside a
// block (42.7 ms), and few wake-ups.
constexpr int kPacerTickMs = 10;

// An IF recording played over and over: at its end the file is opened again from the start.
class LoopingWavSource final : public audio::CaptureSource {
public:
    LoopingWavSource(std::string path, bool loop)
        : m_path(std::move(path)), m_loop(loop),
          m_source(std::make_unique<audio::WavFileSource>(m_path, kChainSampleRate)) {}
    void read(std::int16_t* interleaved, std::int64_t frames,
              const audio::PcmFormat& format) override {
        m_source->read(interleaved, frames, format);
        if (m_loop && m_source->finished()) {
            // The block that reached the end is padded with silence; the next starts again.
            try {
                m_source = std::make_unique<audio::WavFileSource>(m_path, kChainSampleRate);
            } catch (const OrvexError&) {
                m_loop = false; // the file went away: stay finished (silence)
            }
        }
    }
    bool finished() const override { return !m_loop && m_source->finished(); }
    std::string error() const override { return m_source->error(); }

private:
    std::string m_path;
    bool m_loop;
    std::unique_ptr<audio::WavFileSource> m_source;
};

} // namespace

// The DDS controller's ports: the simulated receiver's lines or the real ports, whichever the
// session points it at. Ports already open stay with the side that opened them, so the
// controller closes its port before the side changes.
class RadioSession::SwitchablePorts final : public PortProvider {
public:
    PortProvider* target() const { return m_target; }
    void setTarget(PortProvider* target) { m_target = target; }
    std::unique_ptr<SerialLines> openSerial(const std::string& device, PortError& error) override {
        if (m_target) return m_target->openSerial(device, error);
        error = {PortFault::NotFound, "cannot use " + device + ": no ports"};
        return nullptr;
    }
    std::unique_ptr<ParallelLines> openParallel(const std::string& device,
                                                PortError& error) override {
        if (m_target) return m_target->openParallel(device, error);
        error = {PortFault::NotFound, "cannot use " + device + ": no ports"};
        return nullptr;
    }

private:
    PortProvider* m_target = nullptr;
};

// Notifications of the sound devices reach OrvexDX8 through the window in the receiver's
// event model; here the session stands in for the window.
class RadioSession::EventTarget final : public audio::DXEventTarget {
public:
    explicit EventTarget(RadioSession& s) : m_s(s), ch1(kBlockSamples), ch2(kBlockSamples) {}
    void DirectXEvent8_DXCallback(int eventid) override {
        ++m_s.m_notificationDepth;
        m_s.m_card->EventHandler(eventid, ch1.data(), ch2.data());
        --m_s.m_notificationDepth;
    }

private:
    RadioSession& m_s;
    std::vector<std::int16_t> ch1, ch2;
};

// The DDS controller as the chain sees it.
class RadioSession::Tuner final : public TunerPort {
public:
    explicit Tuner(ad9951& vfo) : m_vfo(vfo) {}
    double TunedFreq() const override { return m_vfo.TunedFreq(); }
    void setTunedFreq(double mhz) override { m_vfo.setTunedFreq(mhz); }
    std::string FormattedTunedFreq() const override { return m_vfo.FormattedTunedFreq(); }

private:
    ad9951& m_vfo;
};

RadioSession::RadioSession() : m_clock(std::make_unique<audio::FrameClock>()) {
    m_statsTimer.setSingleShot(true);
    m_spectrumTimer.setSingleShot(true);
    connect(&m_statsTimer, &QTimer::timeout, this, [this] {
        m_chain->tmrPerfStats_Timer();
        Q_EMIT statisticsUpdated();
    });
    connect(&m_spectrumTimer, &QTimer::timeout, this, [this] { Q_EMIT spectrumRedrawDue(); });
}

RadioSession::~RadioSession() {
    stopStreaming();
    // The controller's release saves its keys and closes its port; the ports it holds belong
    // to the simulated receiver, which must go after it. The encoder's thread reads that port
    // and ends first.
    m_encoder.reset();
    m_vfo.reset();
    if (m_chain) m_chain->AttachSoundCard(nullptr);
    m_cardPort.reset();
    m_card.reset();
    m_backend.reset();
}

void RadioSession::createChain() {
    m_chain = std::make_unique<ReceiveChain>();
    m_chain->AttachTimers(this);
}

bool RadioSession::createDevices(const SessionDevices& devices, std::string& error) {
    auto capture = std::make_unique<audio::CompositeCaptureProvider>();
    auto playback = std::make_unique<audio::CompositePlaybackProvider>();
    m_capture = capture.get();
    m_playback = playback.get();
    bool ok = true;
    m_hardware = devices.hardwarePorts ? devices.hardwarePorts : &DefaultPorts();
    m_simSetup = devices.sim;
    if (devices.captureOverride) {
        m_capture->add(devices.captureOverride(*m_clock));
    } else {
        m_sim = sim::MakeSimulatedReceiver(devices.sim, error);
        ok = m_sim != nullptr;
        // The device reads whichever simulated receiver is in place when it opens (the box can
        // be rebuilt with another scene); without one it gives silence.
        m_simDevice = m_capture->add(std::make_unique<audio::ClockedCaptureProvider>(
            *m_clock, sim::kSimDeviceName, [this]() -> std::unique_ptr<audio::CaptureSource> {
                if (m_sim) return std::make_unique<sim::SimCaptureSource>(*m_sim);
                return std::make_unique<audio::SilenceSource>();
            }));
    }
    if (devices.alsa && !m_alsa) {
        m_alsa = std::make_unique<audio::AlsaContext>();
        m_alsa->setDeviceLostHandler([this](const std::string& why) {
            stopStreaming();
            Q_EMIT deviceLost(QString::fromStdString(why));
        });
    }
    if (devices.alsa && !devices.captureOverride)
        m_capture->add(std::make_unique<audio::AlsaCaptureProvider>(*m_alsa));
    if ((!devices.ifFile.empty() || devices.offerIFFile) && !devices.captureOverride) {
        m_ifFile = devices.ifFile;
        const bool loop = devices.loopIFFile;
        const std::string name =
            devices.offerIFFile ? std::string(kIFFileDeviceName) : "IF recording " + m_ifFile;
        m_ifFileDevice = m_capture->add(std::make_unique<audio::ClockedCaptureProvider>(
            *m_clock, name, [this, loop]() -> std::unique_ptr<audio::CaptureSource> {
                if (m_ifFile.empty()) throw audio::AudioError("no IF recording has been chosen");
                auto source = std::make_unique<LoopingWavSource>(m_ifFile, loop);
                m_ifSource = source.get();
                return source;
            }));
    }
    if (devices.playbackOverride) {
        m_playback->add(devices.playbackOverride(*m_clock));
    } else {
        if (devices.alsa) m_playback->add(std::make_unique<audio::AlsaPlaybackProvider>(*m_alsa));
        if (!devices.audioFile.empty()) {
            m_audioFile = devices.audioFile;
            const std::string path = devices.audioFile;
            const auto inputs = devices.audioFileInputs;
            m_audioFileDevice = m_playback->add(std::make_unique<audio::ClockedPlaybackProvider>(
                *m_clock, "WAV file " + path,
                [path, inputs]() -> std::unique_ptr<audio::PlaybackSink> {
                    return std::make_unique<audio::WavFileSink>(path, kChainSampleRate, 1, inputs);
                }));
        }
        m_noPlaybackDevice = m_playback->add(std::make_unique<audio::ClockedPlaybackProvider>(
            *m_clock, kNoPlaybackName, [] { return std::make_unique<audio::NullSink>(); }));
    }
    m_backend = std::make_unique<audio::AudioBackend>(std::move(capture), std::move(playback));
    return ok;
}

void RadioSession::createSoundCard() {
    m_card = std::make_unique<OrvexDX8>(*m_backend);
    m_events = std::make_unique<EventTarget>(*this);
    m_card->DataReady = [this](std::int16_t* a, std::int16_t* b, std::int32_t n) {
        onBlock(a, b, n);
    };
    m_cardPort = std::make_unique<OrvexDX8ChainPort>(*m_card);
    m_chain->AttachSoundCard(m_cardPort.get());
}

void RadioSession::createVFO(SettingsStore& store, std::int32_t captureDevice) {
    if (!m_hardware) m_hardware = &DefaultPorts();
    m_encoder.reset();
    m_vfoPorts = std::make_unique<SwitchablePorts>();
    m_vfoPorts->setTarget(m_sim && captureDevice == m_simDevice ? &m_sim->Ports() : m_hardware);
    m_vfo = std::make_unique<ad9951>(store, *m_vfoPorts);
    m_encoder = std::make_unique<EncoderInput>(*m_vfo);
    m_tuner = std::make_unique<Tuner>(*m_vfo);
    m_chain->AttachTuner(m_tuner.get());
}

std::vector<std::string> RadioSession::captureDeviceNames() {
    return m_capture ? m_capture->deviceNames() : std::vector<std::string>{};
}
std::vector<std::string> RadioSession::playbackDeviceNames() {
    return m_playback ? m_playback->deviceNames() : std::vector<std::string>{};
}

std::int32_t RadioSession::alsaDeviceNumber(bool capture, const std::string& name) {
    if (!m_alsa) return 0;
    // The ALSA back end's own number for the name (it lists a name its hints do not know at the
    // end), then its place in the composite list.
    const int local = m_alsa->deviceNumber(capture, name);
    if (local < 1) return 0;
    if (capture) {
        int first = 1;
        for (int n = 1;; n += 1) {
            int inner = 0;
            auto* p = m_capture->providerOf(n, &inner);
            if (!p) return 0;
            if (dynamic_cast<audio::AlsaCaptureProvider*>(p)) {
                first = n;
                break;
            }
        }
        return first + local - 1;
    }
    return local; // the ALSA devices come first in the playback list
}

bool RadioSession::captureIsClocked() const {
    int local = 0;
    auto* p = m_capture ? m_capture->providerOf(m_card ? m_card->CurrentCaptureDevice() : 1, &local)
                        : nullptr;
    return p && dynamic_cast<audio::ClockedCaptureProvider*>(p) != nullptr;
}

bool RadioSession::playbackIsClocked() const {
    int local = 0;
    auto* p = m_playback
                  ? m_playback->providerOf(m_card ? m_card->CurrentPlaybackDevice() : 1, &local)
                  : nullptr;
    return p && dynamic_cast<audio::ClockedPlaybackProvider*>(p) != nullptr;
}

bool RadioSession::ifFileFinished() const {
    return m_ifSource && m_card && m_card->CurrentCaptureDevice() == m_ifFileDevice &&
           m_ifSource->finished();
}

std::string RadioSession::ifFileError() const {
    return m_ifSource ? m_ifSource->error() : std::string();
}

void RadioSession::discardAudioFile() {
    int local = 0;
    if (m_playback && m_audioFileDevice != 0)
        if (auto* p = dynamic_cast<audio::ClockedPlaybackProvider*>(
                m_playback->providerOf(m_audioFileDevice, &local)))
            if (p->sink()) p->sink()->discard();
}

std::string RadioSession::audioFileError() const {
    return m_audioFileError;
}

bool RadioSession::prepareCard(std::string& error) {
    m_card->setEventForm(m_events.get());
    // The sound card object's own message box is folded into the one error the caller shows.
    RecordingMessageSink cardMessages;
    bool prepared = false;
    {
        ScopedMessageSink scope(cardMessages);
        prepared = m_card->PrepareDevices();
    }
    if (!prepared) {
        error = cardMessages.messages().empty() ? std::string(kSoundCardOpenMessage)
                                                : cardMessages.messages().front().text;
        // With no sound card on either side (files, the simulated receiver) the sound card
        // message would mislead: the device's own reason is the message.
        if (captureIsClocked() && playbackIsClocked() && !m_card->LastErrText().empty())
            error = m_card->LastErrText();
        else if (!m_card->LastErrText().empty())
            error += "\n" + m_card->LastErrText();
        m_card->ReleaseDevices();
    }
    return prepared;
}

bool RadioSession::probeDevices(std::string& error) {
    if (streaming()) return true;
    const bool ok = prepareCard(error);
    m_card->ReleaseDevices();
    return ok;
}

bool RadioSession::startStreaming(bool realTime, std::string& error) {
    if (streaming()) return true;
    if (!prepareCard(error)) return false;
    m_card->StartSound();
    if (!m_card->InAction()) {
        error = "the sound card did not start: " + m_card->LastErrText();
        m_card->ReleaseDevices();
        return false;
    }
    m_freeRunning = !realTime;
    if (realTime && (captureIsClocked() || playbackIsClocked())) {
        m_pacer = std::make_unique<audio::RealTimePacer>(
            *m_clock, static_cast<int>(std::lround(kChainSampleRate * m_paceFactor)), kPacerTickMs);
        m_pacer->start();
    }
    for (BlockListener* l : m_listeners)
        l->streamingStarted();
    return true;
}

void RadioSession::stopStreaming() {
    if (m_pacer) m_pacer->stop();
    if (!m_card) return;
    const bool wasStreaming = m_card->InAction();
    if (wasStreaming) m_card->StopSound();
    if (m_card->Prepared) {
        m_card->ReleaseDevices();
        if (m_playback && m_audioFileDevice != 0) {
            int local = 0;
            if (auto* p = dynamic_cast<audio::ClockedPlaybackProvider*>(
                    m_playback->providerOf(m_audioFileDevice, &local)))
                if (!p->lastError().empty()) m_audioFileError = p->lastError();
        }
    }
    m_ifSource = m_card->CurrentCaptureDevice() == m_ifFileDevice ? nullptr : m_ifSource;
    stopChainTimers();
    if (wasStreaming)
        for (BlockListener* l : m_listeners)
            l->streamingStopped();
}

void RadioSession::addBlockListener(BlockListener* listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void RadioSession::removeBlockListener(BlockListener* listener) {
    std::erase(m_listeners, listener);
}

bool RadioSession::streaming() const {
    return m_card && m_card->InAction();
}

void RadioSession::advanceOneBlock() {
    m_clock->advance(kBlockSamples);
    if (m_statsArmed) {
        m_statsArmed = false;
        m_chain->tmrPerfStats_Timer();
        Q_EMIT statisticsUpdated();
    }
    if (m_spectrumArmed) {
        m_spectrumArmed = false;
        Q_EMIT spectrumRedrawDue();
    }
}

void RadioSession::attachSpectrum(SpectrumTap* tap) {
    m_chain->AttachSpectrum(tap);
}
void RadioSession::attachMeter(MeterDisplay* meter) {
    m_chain->AttachMeter(meter);
}

void RadioSession::stopChainTimers() {
    m_statsTimer.stop();
    m_spectrumTimer.stop();
    m_statsArmed = false;
    m_spectrumArmed = false;
}

double RadioSession::blockSeconds() const {
    return static_cast<double>(kBlockSamples) / kChainSampleRate;
}

void RadioSession::ArmSpectrumTimer(std::int32_t ms) {
    if (m_freeRunning)
        m_spectrumArmed = true;
    else
        m_spectrumTimer.start(ms);
}

void RadioSession::ArmStatsTimer(std::int32_t ms) {
    if (m_freeRunning)
        m_statsArmed = true;
    else
        m_statsTimer.start(ms);
}

void RadioSession::onBlock(std::int16_t* channel1, std::int16_t* channel2,
                           std::int32_t numSamples) {
    m_chain->SoundCard_DataReady(channel1, channel2, numSamples);
    const auto& st = m_chain->State();
    for (BlockFigures* f : {&m_total, &m_second}) {
        ++f->blocks;
        f->loadSum += st.DSPLoad;
        f->loadPeak = std::max(f->loadPeak, static_cast<double>(st.DSPLoad));
        f->powerSum += st.SMeterPower[0];
    }
    if (m_afterBlock) m_afterBlock(channel1, channel2);
    for (BlockListener* l : m_listeners)
        l->outputBlock(channel1, channel2);
}

double RadioSession::maxTunableMHz() const {
    if (!m_vfo) return 0.0;
    return m_vfo->MaxFreq() - m_vfo->CalibOffset() - m_vfo->IFFreq() - 0.000001;
}

// ---- changes while the program runs -------------------------------------------------------------

bool RadioSession::replaceSimulatedReceiver(const sim::SimSetup& setup, std::string& error) {
    auto fresh = sim::MakeSimulatedReceiver(setup, error);
    if (!fresh) return false;
    const bool onSim = m_vfo && m_sim && m_vfoPorts->target() == &m_sim->Ports();
    if (onSim) {
        // The controller's port belongs to the old box: close it before the box goes.
        m_vfo->SerialClose();
        m_vfo->ParallelClose();
    }
    m_sim = std::move(fresh);
    m_simSetup = setup;
    if (onSim) {
        m_vfoPorts->setTarget(&m_sim->Ports());
        reopenVFOPort();
    }
    return true;
}

void RadioSession::setSimulatedClockErrorPpm(double ppm) {
    m_simSetup.clockErrorPpm = ppm;
    if (m_sim) m_sim->setClockErrorPpm(ppm);
}

bool RadioSession::routeVFOLines(bool simulated) {
    if (!m_vfo) return false;
    PortProvider* target = simulated && m_sim ? &m_sim->Ports() : m_hardware;
    if (m_vfoPorts->target() == target) return false;
    m_vfo->SerialClose();
    m_vfo->ParallelClose();
    m_vfoPorts->setTarget(target);
    reopenVFOPort();
    return true;
}

bool RadioSession::vfoOnSimulatedLines() const {
    return m_vfoPorts && m_sim && m_vfoPorts->target() == &m_sim->Ports();
}

void RadioSession::reopenVFOPort() {
    if (m_vfo->IFType() == 1)
        m_vfo->SerialOpen();
    else if (m_vfo->IFType() == 2)
        m_vfo->ParallelOpen();
}

} // namespace orvex::app
