// The application core on the simulated receiver, for tests: shipped band plans copied into a
// temporary folder, an in-memory settings store, messages recorded, the trace log in the
// temporary folder, playback to memory, and the frame clock advanced by the test.
#pragma once

#include "app/ReceiverCore.h"
#include "audio/ClockedDevices.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"
#include "radio/ad9951.h"
#include "sim/SimulatedReceiver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace orvex::test {

struct CoreRig {
    explicit CoreRig(std::vector<std::string> arguments = {"orvexsdr"}, bool bandPlans = true)
        : scope(messages) {
        QDir().mkpath(dir.filePath("bandplans"));
        if (bandPlans)
            for (const QString& name :
                 QDir(ORVEX_SOURCE_DIR "/data/bandplans").entryList({"*.bpl"}))
                QFile::copy(ORVEX_SOURCE_DIR "/data/bandplans/" + name,
                            dir.filePath("bandplans/" + name));
        options.arguments = std::move(arguments);
        options.traceFolder = dir.filePath("state").toStdString();
        options.bandPlanFolder = dir.filePath("bandplans").toStdString();
        options.realTime = false;
        options.devices.alsa = false;
        options.devices.sim.prepareAll = false;
        options.devices.playbackOverride = [this](audio::FrameClock& clock) {
            return std::make_unique<audio::ClockedPlaybackProvider>(
                clock, "test playback", [this]() -> std::unique_ptr<audio::PlaybackSink> {
                    auto sink = std::make_unique<audio::RecordingSink>();
                    played = sink.get();
                    return sink;
                });
        };
    }
    /// Creates the core and runs start-up; false when it cannot run.
    bool start(const app::FrontPanelHooks& hooks = {}) {
        core = std::make_unique<app::ReceiverCore>(store, options);
        const bool ok = core->Form_Initialize(hooks);
        if (ok) core->session().vfo().Lines().setBitPeriodNs(0);
        return ok;
    }
    sim::SimulatedReceiver& receiver() { return *core->session().simulatedReceiver(); }
    /// Streams `blocks` blocks (capture, chain, statistics timer).
    void run(int blocks) {
        for (int i = 0; i < blocks; ++i)
            core->session().advanceOneBlock();
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
    MemorySettingsStore store;
    RecordingMessageSink messages;
    ScopedMessageSink scope;
    app::CoreOptions options;
    audio::RecordingSink* played = nullptr;
    std::unique_ptr<app::ReceiverCore> core;
};

} // namespace orvex::test
