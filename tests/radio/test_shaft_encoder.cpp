// The shaft encoder's decoder on records as the watcher queues them: direction, changes
// without a direction, the automatic rate from the records' time stamps, tmrShaft.
#include "RadioTestSupport.h"
#include "radio/ModemLineWatcher.h"
#include "radio/ShaftEncoder.h"
#include "radio/TuningKnob.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

struct Bench {
    Bench() : knob(*r.vfo), encoder(*r.vfo, knob) {
        r.start();
        r.vfo->setTunedFreq(7.1);
        encoder.EnableShaftEncoder = true;
        feed(ModemChange::Kind::Start, 0, 1, 0);
    }
    // Encoder state s: bit 0 set = CTS off, bit 1 set = DSR off.
    void feed(ModemChange::Kind kind, int s, std::uint32_t cts, std::uint32_t dsr) {
        ModemChange c;
        c.kind = kind;
        c.cts = (s & 1) == 0;
        c.dsr = (s & 2) == 0;
        c.ctsChanges = cts;
        c.dsrChanges = dsr;
        c.timeNs = now;
        encoder.modemChanged(c);
        state = s;
    }
    /// One transition to state s, `afterMicros` after the previous record.
    void turn(int s, std::int64_t afterMicros = 0) {
        now += afterMicros * 1000;
        const int moved = s ^ state;
        feed(ModemChange::Kind::Lines, s, (moved & 1) ? 1 : 0, (moved & 2) ? 1 : 0);
    }

    test::RecordedVfo r;
    TuningKnob knob;
    ShaftEncoder encoder;
    std::int64_t now = 1'000'000'000;
    int state = 0;
};

constexpr int kUp[] = {2, 3, 1, 0};   // 0 -> 2 -> 3 -> 1 -> 0
constexpr int kDown[] = {1, 3, 2, 0}; // 0 -> 1 -> 3 -> 2 -> 0

} // namespace

TEST(ShaftEncoder, FourChangesOneWayMoveTheKnobFourPositionsAndTuneFourSteps) {
    Bench b;
    for (const int s : kUp)
        b.turn(s);
    EXPECT_EQ(b.knob.Position(), 4);
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1004, 1e-9); // 100 Hz a step, rate unlocked
    EXPECT_EQ(b.r.decoder.FrequencyWord(),
              static_cast<std::uint32_t>(b.r.vfo->CurrentTuningWord()));

    b.knob.TuneRateLocked = true; // locked: the panel's TuneStep
    b.r.vfo->setTuneStep(0.001);
    for (const int s : kDown)
        b.turn(s);
    EXPECT_EQ(b.knob.Position(), 0);
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.096, 1e-9); // snapped to 1 kHz first
    EXPECT_EQ(b.encoder.LastCode(), 8);             // 2 -> 0
    EXPECT_EQ(b.encoder.stepsUp(), 4u);
    EXPECT_EQ(b.encoder.stepsDown(), 4u);
}

TEST(ShaftEncoder, EveryTransitionCodeHasItsDirection) {
    Bench b;
    // The neighbour of each state on the up side (0 -> 2 -> 3 -> 1 -> 0) and the down side.
    const int upNext[4] = {2, 0, 3, 1};
    const int downNext[4] = {1, 3, 0, 2};
    std::vector<int> codes;
    for (int from = 0; from < 4; ++from) {
        for (const bool up : {true, false}) {
            b.feed(ModemChange::Kind::Start, from, 0, 0);
            const int pos = b.knob.Position();
            b.turn(up ? upNext[from] : downNext[from]);
            EXPECT_EQ(b.knob.Position() - pos, up ? 1 : -1) << "from state " << from;
            codes.push_back(b.encoder.LastCode());
        }
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{1, 2, 4, 7, 8, 11, 13, 14}));
}

// Three transitions up between two reads (0 -> 2 -> 3 -> 1) look like one step down
// (0 -> 1, code 1) to a decoder that sees the levels only. The counts say three changes.
TEST(ShaftEncoder, ChangesFasterThanTheReaderAreCountedNeverReversed) {
    Bench b;
    b.feed(ModemChange::Kind::Lines, 1, 1, 2);
    EXPECT_EQ(b.knob.Position(), 0);
    EXPECT_EQ(b.encoder.uncountedChanges(), 3u);
    EXPECT_EQ(b.encoder.stepsDown(), 0u);
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1, 1e-12);
    // Both lines between two reads (a jump of two states) is two changes, ignored.
    b.feed(ModemChange::Kind::Lines, 2, 1, 1);
    EXPECT_EQ(b.encoder.LastCode(), 6);
    EXPECT_EQ(b.encoder.uncountedChanges(), 5u);
    // A line that went and came back: two changes, and no movement.
    b.feed(ModemChange::Kind::Lines, 2, 2, 0);
    EXPECT_EQ(b.encoder.uncountedChanges(), 7u);
    b.turn(3); // decoding goes on from the state read: 2 -> 3 is up
    EXPECT_EQ(b.knob.Position(), 1);
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1001, 1e-9);
}

TEST(ShaftEncoder, NothingHappensWhenDisabledOrBeforeTheStart) {
    test::RecordedVfo r;
    r.start();
    TuningKnob knob(*r.vfo);
    ShaftEncoder enc(*r.vfo, knob);
    ModemChange c;
    c.kind = ModemChange::Kind::Lines;
    c.cts = false; // 0 -> 1
    c.dsr = true;
    c.ctsChanges = 1;
    enc.EnableShaftEncoder = true;
    enc.modemChanged(c); // no Start yet: the state to decode from is unknown
    EXPECT_EQ(knob.Position(), 0);
    ModemChange start;
    start.kind = ModemChange::Kind::Start;
    start.cts = start.dsr = true;
    enc.EnableShaftEncoder = false;
    enc.modemChanged(start);
    enc.modemChanged(c);
    EXPECT_EQ(knob.Position(), 0);
    enc.EnableShaftEncoder = true;
    enc.modemChanged(c); // enabled again: still waiting for a Start
    EXPECT_EQ(knob.Position(), 0);
    enc.modemChanged(start);
    enc.modemChanged(c);
    EXPECT_EQ(knob.Position(), -1);
}

TEST(ShaftEncoder, RateTableFromTheRecordsTimeStamps) {
    struct Row {
        std::int64_t micros;
        double step, grid;
    };
    const double base = 0.001;
    const Row rows[] = {
        {1, base, base},
        {999, base, base},
        {1000, base / 2, base / 10},
        {4999, base / 2, base / 10},
        {5000, base / 10, base / 10},
        {6500, base / 20, base / 10}, // 50 Hz steps on a 100 Hz grid
        {6999, base / 20, base / 10},
        {7000, base / 40, base / 10},
        {8000, base / 80, base / 100},
        {8999, base / 80, base / 100},
        {9000, base / 100, base / 100},
        {12000, base / 100, base / 100},
        {12001, base / 1000, base / 1000},
        {600'000'000, base / 1000, base / 1000}, // ten minutes between turns
    };
    for (const Row& row : rows) {
        Bench b;
        b.encoder.ShaftAutoRate = true;
        for (int n = 0; n < 5; ++n)
            b.turn(kDown[n % 4], row.micros);
        EXPECT_DOUBLE_EQ(b.r.vfo->TuneStep(), row.step) << row.micros;
        EXPECT_DOUBLE_EQ(b.r.vfo->TuneStepLSD(), row.grid) << row.micros;
        EXPECT_EQ(b.encoder.IntervalHistory()[0], row.micros * 10000); // four decimal places
        EXPECT_EQ(b.encoder.EncoderDownCount, 1);
        EXPECT_EQ(b.knob.Position(), 0); // with automatic rate the knob stays
    }
}

TEST(ShaftEncoder, TheMeanIsOverTheNewestFiveIntervalsAndABurstRestartsTheInterval) {
    Bench b;
    b.encoder.ShaftAutoRate = true;
    for (int n = 0; n < 10; ++n)
        b.turn(kUp[n % 4], 20000); // slow: 1 Hz
    EXPECT_DOUBLE_EQ(b.r.vfo->TuneStep(), 0.000001);
    for (int n = 0; n < 4; ++n)
        b.turn(kUp[(n + 2) % 4], 500);
    // (20000 + 4 x 500) / 5 = 4400 us: 500 Hz
    EXPECT_DOUBLE_EQ(b.r.vfo->TuneStep(), 0.0005);
    // Three changes in one read 30 ms on, then one 600 us later: the interval runs from the
    // burst, not from the step before it.
    b.now += 30'000'000;
    b.feed(ModemChange::Kind::Lines, 2, 1, 2); // 3 -> 1 -> 0 -> 2 read as one record
    b.turn(3, 600);
    EXPECT_EQ(b.encoder.IntervalHistory()[0], 600 * 10000);
}

TEST(ShaftEncoder, TmrShaftGivesOneStepPerTickWhateverTheTransitions) {
    Bench b;
    b.encoder.ShaftAutoRate = true;
    for (int n = 0; n < 5; ++n)
        b.turn(kUp[n % 4], 5500);                  // 100 Hz steps on a 100 Hz grid
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1, 1e-12); // nothing tuned until the tick
    b.encoder.tmrShaft_Timer();
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1001, 1e-9);
    EXPECT_EQ(b.encoder.EncoderUpCount, 0);
    b.encoder.tmrShaft_Timer(); // no new transition: no step
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1001, 1e-9);
    b.turn(0, 5500); // from state 2, one step down
    b.encoder.tmrShaft_Timer();
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1, 1e-9);
    EXPECT_EQ(b.r.decoder.FrequencyWord(),
              static_cast<std::uint32_t>(b.r.vfo->CurrentTuningWord()));
}
