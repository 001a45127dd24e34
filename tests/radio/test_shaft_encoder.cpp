// The shaft encoder on CTS and DSR: direction, skipped states, the automatic rate, tmrShaft.
#include "RadioTestSupport.h"
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
        encoder.setClock([this] { return now; });
        setState(0);
        encoder.Poll(); // the first poll takes the lines' state
    }
    // Encoder state s: bit 0 set = CTS off, bit 1 set = DSR off.
    void setState(int s) { r.ports.setModemStatus({(s & 1) == 0, (s & 2) == 0}); }
    void turn(int s, std::int64_t afterMicros = 0) {
        now += afterMicros * 1000;
        setState(s);
        encoder.Poll();
    }

    test::RecordedVfo r;
    TuningKnob knob;
    ShaftEncoder encoder;
    std::int64_t now = 0;
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
}

TEST(ShaftEncoder, EveryTransitionCodeHasItsDirection) {
    Bench b;
    // The neighbour of each state on the up side (0 -> 2 -> 3 -> 1 -> 0) and the down side.
    const int upNext[4] = {2, 0, 3, 1};
    const int downNext[4] = {1, 3, 0, 2};
    std::vector<int> codes;
    for (int from = 0; from < 4; ++from) {
        for (const bool up : {true, false}) {
            b.turn(from);
            const int pos = b.knob.Position();
            b.turn(up ? upNext[from] : downNext[from]);
            EXPECT_EQ(b.knob.Position() - pos, up ? 1 : -1) << "from state " << from;
            codes.push_back(b.encoder.LastCode());
        }
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{1, 2, 4, 7, 8, 11, 13, 14}));
}

TEST(ShaftEncoder, AJumpOfTwoStatesIsIgnored) {
    Bench b;
    b.turn(3); // CTS and DSR both changed between two reads
    EXPECT_EQ(b.knob.Position(), 0);
    EXPECT_EQ(b.encoder.LastCode(), 3);
    b.turn(0);
    EXPECT_EQ(b.knob.Position(), 0);
    EXPECT_NEAR(b.r.vfo->TunedFreq(), 7.1, 1e-12);
    b.turn(2);
    EXPECT_EQ(b.knob.Position(), 1); // and decoding goes on from the new state
}

TEST(ShaftEncoder, NothingHappensWhenDisabledUnreadableOrAtRest) {
    Bench b;
    b.turn(0);
    b.encoder.Poll();
    EXPECT_EQ(b.knob.Position(), 0);
    b.r.ports.setModemReadFails(true);
    b.turn(2);
    EXPECT_EQ(b.knob.Position(), 0);
    b.r.ports.setModemReadFails(false);
    b.encoder.EnableShaftEncoder = false;
    b.turn(3);
    b.encoder.OnModemStatusChange();
    EXPECT_EQ(b.knob.Position(), 0);
    // Enabled again: the lines' state is taken afresh, not read as a turn.
    b.encoder.EnableShaftEncoder = true;
    b.encoder.Poll();
    EXPECT_EQ(b.knob.Position(), 0);
    b.turn(1); // 3 -> 1 is up
    EXPECT_EQ(b.knob.Position(), 1);
}

TEST(ShaftEncoder, TheFirstPollIsNotATurn) {
    test::RecordedVfo r;
    r.start();
    TuningKnob knob(*r.vfo);
    ShaftEncoder enc(*r.vfo, knob);
    enc.EnableShaftEncoder = true;
    r.ports.setModemStatus({false, true}); // CTS off at rest: state 1
    enc.Poll();
    enc.Poll();
    EXPECT_EQ(knob.Position(), 0);
    EXPECT_EQ(enc.PreviousState(), 1);
}

TEST(ShaftEncoder, RateTable) {
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

TEST(ShaftEncoder, TheMeanIsOverTheNewestFiveIntervals) {
    Bench b;
    b.encoder.ShaftAutoRate = true;
    for (int n = 0; n < 10; ++n)
        b.turn(kUp[n % 4], 20000); // slow: 1 Hz
    EXPECT_DOUBLE_EQ(b.r.vfo->TuneStep(), 0.000001);
    for (int n = 0; n < 4; ++n)
        b.turn(kUp[(n + 2) % 4], 500);
    // (20000 + 4 x 500) / 5 = 4400 us: 500 Hz
    EXPECT_DOUBLE_EQ(b.r.vfo->TuneStep(), 0.0005);
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
