#include "DspTestUtil.h"
#include "dsp/OrvexVector.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace orvex;
using namespace orvex::testutil;

TEST(VectorLibrary, FloatToInt16RoundsHalvesToEvenAndSaturates) {
    const float in[] = {
        0.5f,     1.5f,     2.5f,      -2.5f,     -0.4f,
        32767.4f, 40000.0f, -40000.0f, -32768.0f, std::numeric_limits<float>::quiet_NaN()};
    const std::int16_t want[] = {0, 2, 2, -2, 0, 32767, 32767, -32768, -32768, 0};
    std::int16_t out[10];
    dll::FloatToInt16_S_2(in, out, 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(out[i], want[i]) << "input " << in[i];
    float back[10];
    dll::Int16ToFloat_S_2(out, back, 10);
    EXPECT_EQ(back[5], 32767.0f); // no scaling either way
}

TEST(VectorLibrary, InterlaceAndDeInterlaceAreInverse) {
    const std::int16_t stereo[] = {1, -1, 2, -2, 3, -3};
    std::int16_t a[3], b[3], again[6];
    dll::DeInterlace_16_2(stereo, a, b, 3);
    EXPECT_EQ(a[2], 3);
    EXPECT_EQ(b[2], -3);
    dll::Interlace_16_2(a, b, again, 3);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(again[i], stereo[i]);
    const float x[] = {0, 1, 2, 3, 4, 5, 6, 7};
    float even[4], odd[4];
    dll::DeInterlace_S_2(x, even, odd, 8); // n counts source elements
    EXPECT_EQ(even[3], 6.0f);
    EXPECT_EQ(odd[0], 1.0f);
}

TEST(VectorLibrary, RampStopsOneStepShortOfItsEnd) {
    float x[4];
    dll::VectorRamp_S_1(0.0f, 8.0f, x, 4);
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_EQ(x[3], 6.0f);
    dll::VectorRamp_S_1(1.0f, 0.0f, x, 4); // falling
    EXPECT_EQ(x[1], 0.75f);
}

TEST(VectorLibrary, ReductionsAndTies) {
    const float x[] = {1.0f, 5.0f, -7.0f, 5.0f};
    EXPECT_EQ(dll::MaxIndex_S(x, 4), 1); // first of the tied maxima
    EXPECT_EQ(dll::MaxValue_S(x, 4), 5.0f);
    EXPECT_EQ(dll::MaxValueAbs_S(x, 4), 7.0f);
    EXPECT_EQ(dll::Sum_S_1(x, 4), 4.0f);
    EXPECT_EQ(dll::MaxIndex_S(x, 0), 0);
    const std::int16_t s[] = {32767, 32767, -5};
    EXPECT_EQ(dll::Sum_Int16_1(s, 3), 65529);
    EXPECT_EQ(dll::MaxValue_16(s, 3), 32767);
    const std::int32_t big[] = {2000000000, 2000000000};
    EXPECT_EQ(dll::Sum_Int32_1(big, 2), std::numeric_limits<std::int32_t>::max());
}

TEST(VectorLibrary, ThresholdsAndShifts) {
    float x[] = {-3.0f, 0.5f, 2.0f, 9.0f};
    dll::HiThresh_S_1(x, 0, 2.0f, 4);
    EXPECT_EQ(x[3], 2.0f);
    dll::LowThresh_S_1(x, 0, 0.0f, 4);
    EXPECT_EQ(x[0], 0.0f);
    float m[] = {10.0f, 1.0f, 4.0f, 0.0f};
    dll::LowThreshFract_S_1(m, 5.0f, 0.5f, 4); // below 5 is halved; 10 stays
    EXPECT_EQ(m[0], 10.0f);
    EXPECT_EQ(m[1], 0.5f);
    EXPECT_EQ(m[2], 2.0f);
    float z[] = {1.0f, 2.0f};
    dll::LowThreshFract_S_1(z, 0.0f, 0.0f, 2); // level 0: nothing is below it
    EXPECT_EQ(z[0], 1.0f);
    float s[] = {1.0f, 2.0f, 3.0f};
    dll::ShiftVectorRight_S_1(s, 3);
    EXPECT_EQ(s[0], 1.0f);
    EXPECT_EQ(s[1], 1.0f);
    EXPECT_EQ(s[2], 2.0f);
}

TEST(VectorLibrary, MixerTakesCosineAndSineAtAQuarterOfTheRate) {
    const float x[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    float i[9], q[9];
    dll::MixerIQ_S_S_1(x, i, q, 9);
    const float wantI[] = {1, 0, -3, 0, 5, 0, -7, 0, 9};
    const float wantQ[] = {0, 2, 0, -4, 0, 6, 0, -8, 0};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(i[k], wantI[k]) << k;
        EXPECT_EQ(q[k], wantQ[k]) << k;
    }
}

TEST(VectorLibrary, PolarRoundTrip) {
    const float re[] = {3.0f, -1.0f, 0.0f, -2.0f};
    const float im[] = {4.0f, 0.0f, -2.0f, -2.0f};
    float mag[4], ph[4], re2[4], im2[4];
    dll::CartToPolar_S_2(re, im, mag, ph, 4);
    EXPECT_FLOAT_EQ(mag[0], 5.0f);
    EXPECT_FLOAT_EQ(ph[1], static_cast<float>(M_PI));
    EXPECT_FLOAT_EQ(ph[2], static_cast<float>(-M_PI / 2));
    dll::PolarToCart_S_2(mag, ph, re2, im2, 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(re2[k], re[k], 1e-5);
        EXPECT_NEAR(im2[k], im[k], 1e-5);
    }
    float p[4];
    dll::PowerSpectrum_S_2(re, im, p, 4);
    EXPECT_EQ(p[0], 25.0f);
}

TEST(VectorLibrary, CallBackReachesTheInstalledHandler) {
    int got = 0;
    auto previous = dll::SetCallBack([&](std::int32_t v) { got = v; });
    dll::CallBack(42);
    dll::SetCallBack(previous);
    EXPECT_EQ(got, 42);
}

// ---- The optimised back end against the portable library ---------------------------------

class BackEnds : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(spl::Probe()) << spl::Description(); }
    void TearDown() override { vec::SetUseSPL(false); }
};

TEST_F(BackEnds, ProbeLeavesTheSwitchOff) {
    EXPECT_TRUE(spl::IsAvailable());
    EXPECT_FALSE(vec::UseSPL());
    vec::SetUseSPL(true);
    EXPECT_TRUE(vec::UseSPL());
}

// Each routed operation on both back ends over many lengths, odd ones and unaligned starts
// included; the portable result is the reference.
TEST_F(BackEnds, RoutedOperationsAgreeWithThePortableLibrary) {
    for (std::int32_t n : {0, 1, 3, 7, 16, 33, 255, 1000, 2048, 4099}) {
        for (std::size_t offset : {0u, 1u, 3u}) {
            const auto a =
                RandomVector(static_cast<std::size_t>(n) + 8, 11u + static_cast<unsigned>(n));
            const auto b =
                RandomVector(static_cast<std::size_t>(n) + 8, 97u + static_cast<unsigned>(n));
            struct Result {
                FloatVector x, y, z, mag, ph;
                float peak = 0.0f;
            };
            auto run = [&](bool optimised) {
                vec::SetUseSPL(optimised);
                Result r;
                r.x.assign(a.begin(), a.end());
                r.y.assign(b.begin(), b.end());
                r.z.assign(a.size(), 0.0f);
                r.mag.assign(a.size(), 0.0f);
                r.ph.assign(a.size(), 0.0f);
                float* x = r.x.data() + offset;
                float* y = r.y.data() + offset;
                float* z = r.z.data() + offset;
                vec::Scale(0.5f, x, n);
                vec::MultiplyInPlace(y, x, n);
                vec::AddInPlace(y, x, n);
                vec::Multiply(x, y, z, n);
                vec::CartToPolar(x, y, r.mag.data() + offset, r.ph.data() + offset, n);
                r.peak = vec::BlockPeak(z, n);
                vec::CopySingle(z, y, n / 2);
                vec::ZeroSingle(x, n / 3);
                return r;
            };
            const Result p = run(false);
            const Result o = run(true);
            for (std::size_t i = 0; i < a.size(); ++i) {
                ASSERT_FLOAT_EQ(o.x[i], p.x[i]) << "n " << n << " i " << i;
                ASSERT_FLOAT_EQ(o.y[i], p.y[i]) << "n " << n << " i " << i;
                ASSERT_FLOAT_EQ(o.z[i], p.z[i]) << "n " << n << " i " << i;
                ASSERT_NEAR(o.mag[i], p.mag[i], 1e-5f * (1.0f + p.mag[i])) << "n " << n;
                // VOLK's arctangent is a polynomial; within 1e-4 rad is far below what the
                // noise reducer and FM detector can hear.
                const double dph = WrapDegrees((o.ph[i] - p.ph[i]) * 180.0 / M_PI) * M_PI / 180.0;
                ASSERT_LT(std::fabs(dph), 1e-4) << "n " << n << " i " << i;
            }
            EXPECT_FLOAT_EQ(o.peak, p.peak) << "n " << n;
        }
    }
}

TEST_F(BackEnds, BlockPeakIsTheLargestMagnitudeOnBothBackEnds) {
    // A block whose largest excursion is negative: the limiter must see 20000, not 100.
    const float x[] = {100.0f, -20000.0f, 50.0f, -3.0f, 0.0f};
    for (bool optimised : {false, true}) {
        vec::SetUseSPL(optimised);
        EXPECT_EQ(vec::BlockPeak(x, 5), 20000.0f) << (optimised ? "optimised" : "portable");
    }
    std::int16_t s[] = {5, -6}, d[2] = {0, 0};
    vec::SetUseSPL(true);
    vec::CopyInt16(s, d, 2);
    EXPECT_EQ(d[1], -6);
    vec::ZeroInt16(d, 2);
    EXPECT_EQ(d[1], 0);
}
