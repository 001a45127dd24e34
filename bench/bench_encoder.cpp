// The shaft encoder from the knob's contacts to the synthesiser: the simulated receiver's knob
// turned by its simulated hand, through the watcher thread, the queue, the event on this
// thread, the decoder and the knob, to the tuning word on the control lines (real bit timing,
// the waits running the event loop as in the program).
//
// Reports, for the kernel-wait watcher and for the 1 ms polling fallback:
//  - the largest transition rate decoded with no lost step (steps one way, each rate tried
//    twice), with the knob tuning at every step and with automatic rate (decoding only);
//  - the delay from a line change to the tuning word leaving (its first line change) and to
//    the chip holding it, median and 99th percentile;
//  - the watcher thread's CPU while the knob rests and while it turns at 1000 a second.
// Usage: bench_encoder [--quick]
#include "app/EncoderInput.h"
#include "core/MessageSink.h"
#include "core/Profiler.h"
#include "core/SettingsStore.h"
#include "core/YieldHook.h"
#include "radio/LineDecoder.h"
#include "radio/RecordingPorts.h"
#include "radio/ad9951.h"
#include "sim/SimulatedReceiver.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

using namespace orvex;

namespace {

// Times of the tuning words on the lines: the first line change of each frame and the change
// that completed its frequency word (as the chip latched it).
class WordTimes final : public LineEventSink {
public:
    WordTimes() : m_decoder(DdsChip::AD9951) {
        m_decoder.setKeepTransfers(false);
        m_decoder.setListener([this](const ChipTransfer& t) {
            if (t.kind != ChipTransfer::Kind::AD9951Write || t.address != 4) return;
            starts.push_back(m_start);
            ends.push_back(t.timeNs);
        });
    }
    void lineChanged(const LineEvent& e) override {
        if (e.line == LineId::DTR && e.value == 1) m_start = e.timeNs; // a frame begins
        m_decoder.lineChanged(e);
    }
    void clear() {
        starts.clear();
        ends.clear();
    }
    std::vector<std::int64_t> starts, ends;

private:
    LineDecoder m_decoder;
    std::int64_t m_start = 0;
};

sim::Scene BenchScene() {
    sim::SceneLoadResult r =
        sim::ParseScene("noise -200\nstation 7.003 MHz carrier level=-10\n", "bench.scene");
    return std::move(*r.scene);
}

// The program's wiring: the DDS controller on the simulated receiver's port (through a tap
// that times the words), the encoder following that port.
struct Rig {
    explicit Rig(bool polling) : box(BenchScene()), tap(&box.Ports(), &words) {
        tap.setKeepEvents(false);
        box.Encoder().lines().setWaitSupported(!polling);
        vfo = std::make_unique<ad9951>(store, tap);
        vfo->init();
        vfo->setTunedFreq(7.1);
        vfo->setTuneStep(0.0001);
        words.clear();
        input = std::make_unique<app::EncoderInput>(*vfo);
    }
    ~Rig() {
        box.Encoder().stop();
        input.reset();
        vfo.reset();
    }
    bool enable(bool autoRate) {
        input->setAutoRate(autoRate);
        input->setEnabled(true);
        return pumpUntil([&] { return input->decoder().decoding(); }, 5.0);
    }
    std::uint64_t seen() const {
        const ShaftEncoder& d = input->decoder();
        return d.stepsUp() + d.stepsDown() + d.uncountedChanges();
    }
    static bool pumpUntil(const std::function<bool()>& done, double seconds) {
        const std::int64_t end = Profiler::Now() + static_cast<std::int64_t>(seconds * 1e9);
        while (!done()) {
            if (Profiler::Now() > end) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            5);
        }
        return true;
    }
    /// `n` transitions up at `rate`; true when every one was decoded as a step.
    bool turn(double rate, std::int64_t n, double jitter = 0.0) {
        sim::SimulatedEncoder::Turn t;
        t.segments.push_back({rate, n});
        t.jitter = jitter;
        const std::uint64_t target = seen() + static_cast<std::uint64_t>(n);
        const std::uint64_t stepsBefore = input->decoder().stepsUp();
        box.Encoder().turn(t);
        pumpUntil([&] { return !box.Encoder().turning() && seen() >= target; },
                  static_cast<double>(n) / rate + 10.0);
        return input->decoder().stepsUp() - stepsBefore == static_cast<std::uint64_t>(n);
    }

    MemorySettingsStore store;
    RecordingMessageSink messages;
    ScopedMessageSink scope{messages};
    sim::SimulatedReceiver box;
    WordTimes words;
    RecordingPorts tap;
    std::unique_ptr<ad9951> vfo;
    std::unique_ptr<app::EncoderInput> input;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// The largest rates at which every transition was a step: in each of three trials, and in at
// least one (what the path can do when the machine lets the watcher run).
struct CleanRates {
    double always = 0.0, once = 0.0;
};
CleanRates LargestCleanRate(bool polling, bool autoRate, const std::vector<double>& rates,
                            std::int64_t transitions) {
    CleanRates r;
    bool everyTrialSoFar = true;
    for (const double rate : rates) {
        int clean = 0;
        for (int trial = 0; trial < 3; ++trial) {
            Rig rig(polling);
            clean += rig.enable(autoRate) && rig.turn(rate, transitions) ? 1 : 0;
        }
        everyTrialSoFar = everyTrialSoFar && clean == 3;
        if (everyTrialSoFar) r.always = rate;
        if (clean == 0) break;
        r.once = rate;
    }
    return r;
}

std::string LoadAverage() {
    std::FILE* f = std::fopen("/proc/loadavg", "r");
    char text[64] = "?";
    if (f) {
        if (!std::fgets(text, sizeof text, f)) text[0] = 0;
        std::fclose(f);
    }
    std::string s = text;
    return s.substr(0, s.find(' ', s.find(' ') + 1));
}

struct Delays {
    double wordMedian = 0, word99 = 0, latchMedian = 0, latch99 = 0;
    std::size_t words = 0, transitions = 0;
};
Delays LineToWordOnce(bool polling, double rate, std::int64_t n);

// The watcher alone: from a line change to its record, read by a thread that waits on the
// watcher's descriptor (no event loop, no tuning), microseconds.
std::pair<double, double> LineToRecord(double rate, std::int64_t n) {
    sim::SimulatedEncoder knob;
    ModemLineWatcher watcher(knob.lines());
    std::vector<ModemChange> records;
    auto drain = [&] {
        watcher.rearm();
        for (ModemChange c; watcher.pop(c);)
            records.push_back(c);
    };
    auto wait = [&](int ms) {
        pollfd p{watcher.wakeFd(), POLLIN, 0};
        ::poll(&p, 1, ms);
    };
    while (records.empty()) {
        drain();
        wait(100);
    }
    knob.setKeepTimes(true);
    sim::SimulatedEncoder::Turn t;
    t.segments.push_back({rate, n});
    t.jitter = 0.2;
    knob.turn(t);
    while (knob.turning()) {
        drain();
        wait(100);
    }
    wait(50);
    drain();
    const auto times = knob.takeTimes();
    std::vector<double> delays;
    std::size_t k = 0;
    for (const ModemChange& r : records) {
        if (r.kind != ModemChange::Kind::Lines) continue;
        const unsigned changes = r.ctsChanges + r.dsrChanges;
        if (changes == 1 && k < times.size())
            delays.push_back(static_cast<double>(r.timeNs - times[k]) / 1000.0);
        k += changes;
    }
    return {Percentile(delays, 0.5), Percentile(delays, 0.99)};
}

// Delays over a run in which every transition made its word (of up to three: a lost step
// leaves no way to pair transitions with words).
Delays LineToWord(bool polling, double rate, std::int64_t n) {
    Delays d;
    for (int run = 0; run < 3; ++run) {
        d = LineToWordOnce(polling, rate, n);
        if (d.words == d.transitions && d.words > 0) break;
    }
    return d;
}

Delays LineToWordOnce(bool polling, double rate, std::int64_t n) {
    Rig rig(polling);
    Delays d;
    if (!rig.enable(false)) return d;
    rig.box.Encoder().setKeepTimes(true);
    rig.turn(rate, n, 0.2);
    const auto changes = rig.box.Encoder().takeTimes();
    d.transitions = changes.size();
    d.words = rig.words.starts.size();
    if (d.words != changes.size()) return d; // a step lost: no pairing
    std::vector<double> toWord, toLatch;
    for (std::size_t k = 0; k < changes.size(); ++k) {
        toWord.push_back(static_cast<double>(rig.words.starts[k] - changes[k]) / 1000.0);
        toLatch.push_back(static_cast<double>(rig.words.ends[k] - changes[k]) / 1000.0);
    }
    d.wordMedian = Percentile(toWord, 0.5);
    d.word99 = Percentile(toWord, 0.99);
    d.latchMedian = Percentile(toLatch, 0.5);
    d.latch99 = Percentile(toLatch, 0.99);
    return d;
}

// The watcher's CPU, per cent of one core, over `seconds` at rest and turning at `rate`.
std::pair<double, double> WatcherCpu(bool polling, double seconds, double rate) {
    Rig rig(polling);
    if (!rig.enable(false)) return {-1, -1};
    const ModemLineWatcher* w = rig.input->watcher();
    std::int64_t c0 = w->cpuTimeNs(), t0 = Profiler::Now();
    Rig::pumpUntil([] { return false; }, seconds);
    const double idle = 100.0 * static_cast<double>(w->cpuTimeNs() - c0) /
                        static_cast<double>(Profiler::Now() - t0);
    c0 = w->cpuTimeNs();
    t0 = Profiler::Now();
    rig.turn(rate, static_cast<std::int64_t>(rate * seconds));
    const double turning = 100.0 * static_cast<double>(w->cpuTimeNs() - c0) /
                           static_cast<double>(Profiler::Now() - t0);
    return {idle, turning};
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    QCoreApplication app(argc, argv);
    ScopedYieldHook yield([] { QCoreApplication::processEvents(); });
    const std::int64_t n = quick ? 300 : 1000;
    const double cpuSeconds = quick ? 1.0 : 5.0;
    const std::vector<double> rates{250,  500,  1000, 1500,  2000, 3000,
                                    4000, 6000, 8000, 12000, 16000};

    std::printf("Shaft encoder, simulated knob through the watcher to the tuning word\n");
    {
        Rig probe(false);
        probe.enable(false);
        std::printf("watcher priority: %s\n\n", probe.input->watcher()->realTimePriority()
                                                    ? "real-time (SCHED_FIFO 10)"
                                                    : "normal (no real-time priority allowed)");
    }
    std::printf("load average at the start: %s (2 cores here: above 2, other work competes)\n",
                LoadAverage().c_str());
    std::printf("%-40s %16s %16s\n", "no lost step (3 of 3 trials / 1 of 3)", "kernel wait",
                "1 ms polling");
    for (const bool autoRate : {false, true}) {
        const CleanRates w = LargestCleanRate(false, autoRate, rates, n);
        const CleanRates p = LargestCleanRate(true, autoRate, rates, n);
        std::printf("%-40s %7.0f / %6.0f %7.0f / %6.0f\n",
                    autoRate ? "  automatic rate (decoding only), /s"
                             : "  knob tuning every step, /s",
                    w.always, w.once, p.always, p.once);
    }

    const auto record = LineToRecord(1000, n);
    std::printf("line change to the watcher's record, 1000/s: median %6.0f us, 99%% %6.0f us\n",
                record.first, record.second);
    for (const double rate : {200.0, 1000.0}) {
        const Delays w = LineToWord(false, rate, n);
        const Delays p = LineToWord(true, rate, n);
        std::printf("line change to word leaving, %4.0f/s: median %6.0f us, 99%% %6.0f us   "
                    "median %6.0f us, 99%% %6.0f us\n",
                    rate, w.wordMedian, w.word99, p.wordMedian, p.word99);
        std::printf("line change to chip latched,  %4.0f/s: median %6.0f us, 99%% %6.0f us   "
                    "median %6.0f us, 99%% %6.0f us\n",
                    rate, w.latchMedian, w.latch99, p.latchMedian, p.latch99);
        if (w.words != w.transitions || p.words != p.transitions)
            std::printf("  (words %zu/%zu and %zu/%zu: a step was lost, delays not paired)\n",
                        w.words, w.transitions, p.words, p.transitions);
    }
    const auto cpuWait = WatcherCpu(false, cpuSeconds, 1000);
    const auto cpuPoll = WatcherCpu(true, cpuSeconds, 1000);
    std::printf("%-28s %11.4f %% %11.4f %%\n", "watcher CPU, knob at rest", cpuWait.first,
                cpuPoll.first);
    std::printf("%-28s %11.4f %% %11.4f %%\n", "watcher CPU, 1000/s", cpuWait.second,
                cpuPoll.second);
    std::printf("(per cent of one core; polling / wait at rest: %.0f x)\n",
                cpuWait.first > 0 ? cpuPoll.first / cpuWait.first : 0.0);
    return 0;
}
