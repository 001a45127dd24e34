#include "core/MessageSink.h"
#include "dsp/SignalMeasure.h"
#include "dsp/clHilbert.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace orvex;

namespace {
constexpr int kBlock = 2048;
}

TEST(Hilbert, LoadSetsDelayHistoryAndAnOddKernel) {
    clHilbert h;
    ASSERT_EQ(h.Load(128, kBlock), Status::Ok);
    EXPECT_EQ(h.Delay, 64);
    EXPECT_EQ(h.Nzeros, 128);
    std::vector<double> k(128);
    ASSERT_EQ(h.GetCoefs(k.data(), 128), Status::Ok);
    EXPECT_EQ(k[0], 0.0);
    EXPECT_EQ(k[64], 0.0);
    for (int i = 1; i <= 63; ++i) {
        if (i % 2 == 0) {
            EXPECT_EQ(k[static_cast<std::size_t>(64 + i)], 0.0) << i;
            EXPECT_EQ(k[static_cast<std::size_t>(64 - i)], 0.0) << i;
        } else {
            EXPECT_LT(k[static_cast<std::size_t>(64 + i)], 0.0) << i;
            EXPECT_DOUBLE_EQ(k[static_cast<std::size_t>(64 - i)],
                             -k[static_cast<std::size_t>(64 + i)])
                << i;
        }
    }
    EXPECT_NEAR(h.Gain * 2.0 * 0.785, 1.0, 0.05); // G is close to twice the series pi/4
    EXPECT_FLOAT_EQ(h.sGain, static_cast<float>(h.Gain));
}

// At a quarter of the sample rate the transformer gives unit amplitude and a 90 degree turn,
// and the delay branch lines up with it sample for sample.
TEST(Hilbert, QuarterRateSineIsTurnedByNinetyDegrees) {
    clHilbert transform, delay;
    transform.Load(128, kBlock);
    delay.Load(128, kBlock);
    const double amplitude = 5000.0, phase0 = 0.3;
    std::vector<float> x(3 * kBlock), q(x.size()), i(x.size());
    for (std::size_t n = 0; n < x.size(); ++n)
        x[n] = static_cast<float>(amplitude * std::cos(M_PI / 2 * n + phase0));
    for (std::size_t pos = 0; pos < x.size(); pos += kBlock) {
        ASSERT_EQ(transform.sTransform(x.data() + pos, q.data() + pos, kBlock), Status::Ok);
        ASSERT_EQ(delay.sDelaySamples(x.data() + pos, i.data() + pos, kBlock), Status::Ok);
    }
    for (std::size_t n = 128; n < x.size(); ++n) {
        const double theta = M_PI / 2 * (static_cast<double>(n) - 64) + phase0;
        ASSERT_NEAR(i[n], amplitude * std::cos(theta), 1e-3) << n;
        // Leads by 90 degrees: cos(theta + 90) = -sin(theta).
        ASSERT_NEAR(q[n], -amplitude * std::sin(theta), amplitude * 1e-4) << n;
    }
}

TEST(Hilbert, AwayFromAQuarterTheShiftStaysNinetyDegrees) {
    clHilbert transform, delay;
    transform.Load(128, kBlock);
    delay.Load(128, kBlock);
    for (double f : {9000.0, 15000.0}) {
        const auto x = measure::MakeTone(4 * kBlock, f, 48000.0, 1000.0);
        std::vector<float> q(x.size()), i(x.size());
        for (std::size_t pos = 0; pos < x.size(); pos += kBlock) {
            transform.sTransform(x.data() + pos, q.data() + pos, kBlock);
            delay.sDelaySamples(x.data() + pos, i.data() + pos, kBlock);
        }
        const auto ti = measure::MeasureTone(i.data() + kBlock, 3 * kBlock, f, 48000.0);
        const auto tq = measure::MeasureTone(q.data() + kBlock, 3 * kBlock, f, 48000.0);
        double d = (tq.phase - ti.phase) * 180.0 / M_PI;
        d = std::remainder(d, 360.0);
        EXPECT_NEAR(d, 90.0, 0.5) << f;
        EXPECT_NEAR(measure::Db(tq.amplitude, ti.amplitude), 0.0, 0.2) << f;
    }
}

TEST(Hilbert, DelayLineShiftsARampBySixtyFourAcrossBlocks) {
    clHilbert h;
    h.Load(128, kBlock);
    std::vector<float> ramp(3 * kBlock), out(ramp.size());
    for (std::size_t n = 0; n < ramp.size(); ++n)
        ramp[n] = static_cast<float>(n + 1);
    for (std::size_t pos = 0; pos < ramp.size(); pos += kBlock)
        h.sDelaySamples(ramp.data() + pos, out.data() + pos, kBlock);
    for (std::size_t n = 0; n < 64; ++n)
        EXPECT_EQ(out[n], 0.0f);
    for (std::size_t n = 64; n < out.size(); ++n)
        ASSERT_EQ(out[n], ramp[n - 64]) << n;

    std::vector<double> dr(2 * kBlock), dout(dr.size());
    for (std::size_t n = 0; n < dr.size(); ++n)
        dr[n] = static_cast<double>(n) * 0.5;
    for (std::size_t pos = 0; pos < dr.size(); pos += kBlock)
        h.DelaySamples(dr.data() + pos, dout.data() + pos, kBlock);
    for (std::size_t n = 64; n < dr.size(); ++n)
        ASSERT_EQ(dout[n], dr[n - 64]);
}

TEST(Hilbert, InputAndOutputMayBeTheSameBlock) {
    clHilbert a, b, c, d;
    for (auto* h : {&a, &b, &c, &d})
        h->Load(128, kBlock);
    const auto x = measure::MakeTone(2 * kBlock, 7000.0, 48000.0, 1000.0);
    std::vector<float> separate(x.size()), inPlace(x.begin(), x.end());
    std::vector<float> dSeparate(x.size()), dInPlace(x.begin(), x.end());
    for (std::size_t pos = 0; pos < x.size(); pos += kBlock) {
        a.sTransform(x.data() + pos, separate.data() + pos, kBlock);
        b.sTransform(inPlace.data() + pos, inPlace.data() + pos, kBlock);
        c.sDelaySamples(x.data() + pos, dSeparate.data() + pos, kBlock);
        d.sDelaySamples(dInPlace.data() + pos, dInPlace.data() + pos, kBlock);
    }
    EXPECT_EQ(separate, inPlace);
    EXPECT_EQ(dSeparate, dInPlace);
}

TEST(Hilbert, CoefficientsCanBeReplaced) {
    clHilbert h;
    h.Load(16, 64);
    std::vector<float> delta(16, 0.0f);
    delta[0] = 1.0f; // identity kernel (before the output gain)
    ASSERT_EQ(h.sSetCoefs(delta.data(), 16), Status::Ok);
    std::vector<double> back(16);
    h.GetCoefs(back.data(), 16);
    EXPECT_EQ(back[0], 1.0);
    std::vector<float> x(64), y(64);
    for (std::size_t n = 0; n < 64; ++n)
        x[n] = static_cast<float>(n);
    h.sTransform(x.data(), y.data(), 64);
    for (std::size_t n = 0; n < 64; ++n)
        ASSERT_FLOAT_EQ(y[n], x[n] * h.sGain);
    EXPECT_EQ(h.sSetCoefs(delta.data(), 17), Status::InvalidArgument);
}

TEST(Hilbert, BadUseIsRefusedWithoutTouchingBuffers) {
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    clHilbert h;
    std::vector<float> in(4096, 1.0f), out(4096, 9.0f);
    EXPECT_EQ(h.sTransform(in.data(), out.data(), kBlock), Status::NotInitialised);
    EXPECT_EQ(h.Load(1, kBlock), Status::InvalidArgument);
    EXPECT_EQ(h.Load(128, 64), Status::InvalidArgument);
    EXPECT_EQ(sink.messages().size(), 3u);
    ASSERT_EQ(h.Load(128, kBlock), Status::Ok);
    EXPECT_EQ(h.sTransform(in.data(), out.data(), 4096),
              Status::InvalidArgument); // longer than loaded
    EXPECT_EQ(h.sDelaySamples(in.data(), out.data(), 32),
              Status::InvalidArgument); // shorter than the delay
    EXPECT_EQ(out[0], 9.0f);
}
