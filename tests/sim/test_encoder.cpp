// The simulated receiver's shaft encoder turned by its simulated hand, through the path a real
// knob takes: the port's CTS/DSR lines, the watcher thread, the queue, the queued event to this
// thread, the decoder, the rate chooser, the knob and the tuning word the chip receives.
#include "SimTestSupport.h"
#include "app/EncoderInput.h"
#include "app/EventPump.h"
#include "app/RadioSession.h"
#include "core/YieldHook.h"
#include "radio/RecordingPorts.h"

#include <QCoreApplication>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

using namespace orvex;
using testutil::PumpUntil;
using Turn = sim::SimulatedEncoder::Turn;

namespace {

constexpr double kStep = 0.0001; // 100 Hz: the knob's step while the rate is unlocked

struct Knob {
    Knob() : box(test::SceneFrom("noise -200\nstation 7.003 MHz carrier level=-10\n")) {
        testutil::App();
        box.start();
        box.vfo->setTunedFreq(7.1);
        box.vfo->setTuneStep(kStep);
        input = std::make_unique<app::EncoderInput>(*box.vfo);
        QObject::connect(input.get(), &app::EncoderInput::message,
                         [this](const QString& text) { messages.push_back(text.toStdString()); });
    }
    sim::SimulatedEncoder& hand() { return box.receiver.Encoder(); }
    const ShaftEncoder& decoder() { return input->decoder(); }
    /// Enables the encoder; true once the watcher's first read has arrived.
    bool enable(bool autoRate = false) {
        input->setAutoRate(autoRate);
        input->setEnabled(true);
        return PumpUntil([&] { return decoder().decoding(); });
    }
    /// Turns and runs the event loop until every transition has been accounted for (decoded,
    /// or counted without a direction).
    bool turn(const Turn& t) {
        std::int64_t n = 0;
        for (const auto& s : t.segments)
            n += std::abs(s.transitions);
        const auto target = seen() + static_cast<std::uint64_t>(n);
        hand().turn(t);
        return PumpUntil([&] { return !hand().turning() && seen() >= target; }, 30000) &&
               seen() == target;
    }
    std::uint64_t seen() {
        return decoder().stepsUp() + decoder().stepsDown() + decoder().uncountedChanges();
    }
    double tuned() const { return box.vfo->TunedFreq(); }

    test::SimVfo box;
    std::unique_ptr<app::EncoderInput> input; // reads the controller's port: released first
    std::vector<std::string> messages;
};

Turn Segments(double rate, std::initializer_list<std::int64_t> counts, double jitter) {
    Turn t;
    for (const auto c : counts)
        t.segments.push_back({rate, c});
    t.jitter = jitter;
    return t;
}

// On a machine too busy to give the watcher the processor in time (it asks for a real-time
// priority, but a loaded virtual machine can still hold it up for milliseconds), changes come
// faster than it reads them: those are counted without a direction, never decoded. `attempt`
// checks what must hold on every run and returns whether the watcher kept up; the exact
// counts are checked on a run where it did, of up to five.
template <typename F>
void OnARunThatKeptUp(F attempt) {
    for (int run = 0; run < 5; ++run)
        if (attempt(run)) return;
    ADD_FAILURE() << "the watcher never kept up in five runs";
}

/// What holds whatever the machine's load: every transition decoded or counted, none the
/// wrong way, and the frequency where the decoded steps put it.
void ExpectNothingReversed(Knob& k, std::int64_t up, std::int64_t down) {
    const ShaftEncoder& d = k.decoder();
    EXPECT_LE(d.stepsUp(), static_cast<std::uint64_t>(up));
    EXPECT_LE(d.stepsDown(), static_cast<std::uint64_t>(down));
    EXPECT_EQ(d.stepsUp() + d.stepsDown() + d.uncountedChanges(),
              static_cast<std::uint64_t>(up + down));
    const auto net = static_cast<double>(d.stepsUp()) - static_cast<double>(d.stepsDown());
    EXPECT_NEAR(k.tuned(), 7.1 + net * kStep, 1e-9);
    ASSERT_TRUE(k.box.receiver.TunedHz().has_value());
    EXPECT_NEAR(*k.box.receiver.TunedHz(), k.tuned() * 1e6, 1.0); // the word left
}

} // namespace

// Up, down and up again at each speed, the intervals jittered: the frequency moves by exactly
// the steps turned, and the chip runs on it. The knob's tuning waits let events run, as in the
// program, so the queued events arrive in the middle of tuning words.
TEST(SimulatedEncoder, EveryStepTunesAt50_300And1000TransitionsASecond) {
    ScopedYieldHook yield([] { QCoreApplication::processEvents(); });
    const struct {
        double rate, jitter;
        std::int64_t up1, down, up2;
    } cases[] = {{50, 0.3, 12, 5, 8}, {300, 0.3, 60, 25, 40}, {1000, 0.2, 100, 40, 60}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " transitions a second");
        OnARunThatKeptUp([&](int run) {
            Knob k;
            k.box.vfo->Lines().setBitPeriodNs(kBitPeriodNs); // real bit timing
            EXPECT_TRUE(k.enable());
            Turn t = Segments(c.rate, {c.up1, -c.down, c.up2}, c.jitter);
            t.seed = static_cast<std::uint32_t>(run + 1);
            EXPECT_TRUE(k.turn(t)) << k.seen() << " changes seen";
            ExpectNothingReversed(k, c.up1 + c.up2, c.down);
            EXPECT_EQ(k.input->watcher()->mode(), ModemLineWatcher::Mode::Waiting);
            if (k.decoder().uncountedChanges() > 0) return false;
            EXPECT_EQ(k.decoder().stepsUp(), static_cast<std::uint64_t>(c.up1 + c.up2));
            EXPECT_EQ(k.decoder().stepsDown(), static_cast<std::uint64_t>(c.down));
            EXPECT_NEAR(k.tuned(), 7.1 + static_cast<double>(c.up1 - c.down + c.up2) * kStep, 1e-9);
            EXPECT_EQ(k.input->knob().Position(), c.up1 - c.down + c.up2);
            return true;
        });
    }
}

// Where the driver cannot wait for changes the watcher polls every millisecond: the same steps
// arrive, and the log says so once.
TEST(SimulatedEncoder, ThePollingFallbackTunesTheSameAndSaysSoOnce) {
    OnARunThatKeptUp([&](int) {
        Knob k;
        k.hand().lines().setWaitSupported(false);
        EXPECT_TRUE(k.enable());
        EXPECT_TRUE(k.turn(Segments(300, {-40, 15}, 0.3)));
        ExpectNothingReversed(k, 15, 40);
        EXPECT_EQ(k.input->watcher()->mode(), ModemLineWatcher::Mode::Polling);
        EXPECT_EQ(k.messages.size(), 1u);
        if (!k.messages.empty()) {
            EXPECT_NE(k.messages[0].find("every 1 ms"), std::string::npos) << k.messages[0];
        }
        if (k.decoder().uncountedChanges() > 0) return false;
        EXPECT_EQ(k.decoder().stepsDown(), 40u);
        EXPECT_EQ(k.decoder().stepsUp(), 15u);
        EXPECT_NEAR(k.tuned(), 7.1 - 25 * kStep, 1e-9);
        return true;
    });
}

// Each speed gives its row of the table (the step after the newest five intervals); tmrShaft
// then tunes one step of that size, however many transitions came.
TEST(SimulatedEncoder, AutomaticRatePicksTheTableRowForEachSpeed) {
    const struct {
        double rate, step, grid;
    } rows[] = {
        {2000, 0.001, 0.001},         // 500 us apart: 1 kHz
        {300, 0.0005, 0.0001},        // 3333 us: 500 Hz on a 100 Hz grid
        {1e6 / 5500, 0.0001, 0.0001}, // 5500 us: 100 Hz
        {1e6 / 6500, 0.00005, 0.0001},
        {1e6 / 7500, 0.000025, 0.0001},
        {1e6 / 8500, 0.0000125, 0.00001},
        {1e6 / 10500, 0.00001, 0.00001},
        {50, 0.000001, 0.000001}, // 20 ms: 1 Hz
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.rate) + " transitions a second");
        OnARunThatKeptUp([&](int) {
            Knob k;
            EXPECT_TRUE(k.enable(true));
            // The step chosen after each decoded transition, from the sixth on.
            std::map<double, int> chosen;
            QObject counting; // ends the connection before the map goes
            QObject::connect(k.input.get(), &app::EncoderInput::stepped, &counting, [&] {
                if (k.decoder().stepsUp() > 5) ++chosen[k.box.vfo->TuneStep()];
            });
            EXPECT_TRUE(k.turn(Segments(row.rate, {30}, 0.03)));
            EXPECT_EQ(k.decoder().stepsDown(), 0u);
            EXPECT_NEAR(k.tuned(), 7.1, 1e-12); // nothing tuned before tmrShaft
            if (k.decoder().uncountedChanges() > 0) return false;
            EXPECT_EQ(k.decoder().stepsUp(), 30u);
            int total = 0;
            for (const auto& [step, n] : chosen)
                total += n;
            EXPECT_GE(chosen[row.step] * 4, total * 3) << chosen.size() << " steps chosen";
            EXPECT_DOUBLE_EQ(k.box.vfo->TuneStep(), row.step);
            EXPECT_DOUBLE_EQ(k.box.vfo->TuneStepLSD(), row.grid);
            EXPECT_TRUE(k.input->tmrShaft_Timer());
            EXPECT_NEAR(k.tuned(), 7.1 + row.step, 1e-10);
            EXPECT_FALSE(k.input->tmrShaft_Timer()); // nothing pending any more
            return true;
        });
    }
}

// Three transitions between two reads would read as one step the wrong way (0 -> 2 -> 3 -> 1
// looks like 0 -> 1); the kernel's counts make them three changes without a direction.
TEST(SimulatedEncoder, ABurstFasterThanTheReaderIsCountedNotReversed) {
    Knob k;
    ASSERT_TRUE(k.enable());
    for (const int burst : {3, 5, 2}) {
        const auto counted = k.decoder().uncountedChanges();
        const auto before = k.seen();
        const auto up = k.decoder().stepsUp();
        k.hand().burst(burst);
        ASSERT_TRUE(PumpUntil([&] { return k.seen() == before + static_cast<unsigned>(burst); }));
        EXPECT_EQ(k.decoder().uncountedChanges() - counted, static_cast<unsigned>(burst));
        EXPECT_EQ(k.decoder().stepsUp(), up);
        EXPECT_EQ(k.decoder().stepsDown(), 0u);
        // Decoding goes on from where the lines are: single transitions step again.
        k.hand().step(1);
        ASSERT_TRUE(PumpUntil([&] { return k.seen() == before + burst + 1u; }));
        EXPECT_EQ(k.decoder().stepsUp(), up + 1);
    }
    EXPECT_EQ(k.decoder().stepsDown(), 0u);
    EXPECT_NEAR(k.tuned(), 7.1 + 3 * kStep, 1e-9);
}

// The watcher follows the DDS controller's port: the simulated/real switch, a close and a
// reopen (the configuration dialog), and the release at Close all end the thread on the old
// port before it goes; a knob on the new port tunes.
TEST(SimulatedEncoder, TheWatcherFollowsTheControllersPort) {
    testutil::App();
    RecordingMessageSink messages;
    ScopedMessageSink scope(messages);
    RecordingPorts hardware;
    MemorySettingsStore store;
    app::RadioSession session;
    session.createChain();
    app::SessionDevices devices;
    devices.alsa = false;
    devices.hardwarePorts = &hardware;
    std::string error;
    ASSERT_TRUE(session.createDevices(devices, error)) << error;
    session.createSoundCard();
    session.createVFO(store, session.simulatedCaptureDevice());
    ad9951& vfo = session.vfo();
    vfo.init();
    vfo.Lines().setBitPeriodNs(0);
    app::EncoderInput& encoder = session.encoder();
    EXPECT_EQ(encoder.watcher(), nullptr); // off until enabled: no thread
    encoder.setEnabled(true);
    ASSERT_NE(encoder.watcher(), nullptr);
    EXPECT_EQ(encoder.watcher()->device(), "simulated receiver's serial port");
    ASSERT_TRUE(PumpUntil([&] { return encoder.decoder().decoding(); }));

    ASSERT_TRUE(session.routeVFOLines(false)); // the real port (here recorded)
    ASSERT_NE(encoder.watcher(), nullptr);
    EXPECT_EQ(encoder.watcher()->device(), "recorded port");
    EXPECT_EQ(encoder.watchersStarted(), 2);
    ASSERT_TRUE(PumpUntil([&] { return encoder.decoder().decoding(); }));
    const double start = vfo.TunedFreq();
    hardware.modemLines().toggle(false); // DSR: one step from the state at the start
    ASSERT_TRUE(PumpUntil(
        [&] { return encoder.decoder().stepsUp() + encoder.decoder().stepsDown() == 1; }));
    EXPECT_NE(vfo.TunedFreq(), start);

    ASSERT_TRUE(session.routeVFOLines(true));
    EXPECT_EQ(encoder.watcher()->device(), "simulated receiver's serial port");
    vfo.SerialClose();
    EXPECT_EQ(encoder.watcher(), nullptr);
    vfo.SerialOpen();
    ASSERT_NE(encoder.watcher(), nullptr);
    EXPECT_EQ(encoder.watchersStarted(), 4);
    encoder.setEnabled(false);
    EXPECT_EQ(encoder.watcher(), nullptr);
    encoder.setEnabled(true);
    vfo.Terminate(); // Close and SIGTERM release the controller: the thread ends first
    EXPECT_EQ(encoder.watcher(), nullptr);
}
