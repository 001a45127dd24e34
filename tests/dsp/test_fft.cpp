#include "DspTestUtil.h"
#include "core/MessageSink.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "dsp/clsFFT.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::testutil;

namespace {

// 80 dB down: the error energy of a transform may be at most 1e-8 of the block's energy.
constexpr double kMaxErrorEnergy = 1e-8;

class Transforms : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        spl::Probe();
        vec::SetUseSPL(GetParam());
        if (GetParam()) {
            ASSERT_TRUE(vec::UseSPL()) << "optimised back end unavailable";
        }
    }
    void TearDown() override { vec::SetUseSPL(false); }
};

std::string BackEndName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Optimised" : "Portable";
}

} // namespace

TEST_P(Transforms, ComplexFFTMatchesADoublePrecisionDFT) {
    for (int order = 0; order <= 14; ++order) {
        const int n = 1 << order;
        clsFFT fft;
        ASSERT_EQ(fft.FFTInit(n), Status::Ok);
        const auto re =
            RandomVector(static_cast<std::size_t>(n), 100u + static_cast<unsigned>(order));
        const auto im =
            RandomVector(static_cast<std::size_t>(n), 200u + static_cast<unsigned>(order));
        std::vector<cd> x(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            x[static_cast<std::size_t>(i)] =
                cd(re[static_cast<std::size_t>(i)], im[static_cast<std::size_t>(i)]);
        FloatVector outRe(static_cast<std::size_t>(n)), outIm(static_cast<std::size_t>(n));
        ASSERT_EQ(fft.FFT_S_2(re.data(), im.data(), outRe.data(), outIm.data()), Status::Ok);
        EXPECT_LE(RelativeErrorEnergy(outRe.data(), outIm.data(), ReferenceDft(x)), kMaxErrorEnergy)
            << n << " points";
    }
}

TEST_P(Transforms, RealFFTMatchesADoublePrecisionDFT) {
    for (int order = 1; order <= 15; ++order) {
        const int n = 1 << order;
        clsFFTReal fft;
        ASSERT_EQ(fft.FFTInit(n), Status::Ok);
        const auto x =
            RandomVector(static_cast<std::size_t>(n), 300u + static_cast<unsigned>(order));
        std::vector<cd> xc(x.begin(), x.end());
        FloatVector re(static_cast<std::size_t>(n) + 1), im(static_cast<std::size_t>(n) + 1);
        ASSERT_EQ(fft.FFT_Real_S_2(x.data(), re.data(), im.data()), Status::Ok);
        EXPECT_LE(RelativeErrorEnergy(re.data(), im.data(), ReferenceDft(xc)), kMaxErrorEnergy)
            << n << " points";
    }
}

TEST_P(Transforms, InverseRealFFTReturnsTheBlock) {
    for (int n : {4, 64, 4096, 16384}) {
        clsFFTReal fft;
        ASSERT_EQ(fft.FFTInit(n), Status::Ok);
        const auto x = RandomVector(static_cast<std::size_t>(n), 7u);
        FloatVector re(static_cast<std::size_t>(n) + 1), im(static_cast<std::size_t>(n) + 1),
            y(static_cast<std::size_t>(n) + 1);
        fft.FFT_Real_S_2(x.data(), re.data(), im.data());
        ASSERT_EQ(fft.IFFT_Real_S_2(re.data(), im.data(), y.data()), Status::Ok);
        std::vector<cd> ref(x.begin(), x.end());
        EXPECT_LE(RelativeErrorEnergy(y.data(), nullptr, ref), 1e-12) << n;
    }
}

TEST_P(Transforms, InverseComplexFFTReturnsTheBlockAndLeavesItsInputNegated) {
    clsFFT fft;
    fft.FFTInit(1024);
    const auto re = RandomVector(1024, 1), im = RandomVector(1024, 2);
    FloatVector xr(1024), xi(1024), yr(1024), yi(1024);
    fft.FFT_S_2(re.data(), im.data(), xr.data(), xi.data());
    const FloatVector xiBefore = xi;
    ASSERT_EQ(fft.IFFT_S_2(xr.data(), xi.data(), yr.data(), yi.data()), Status::Ok);
    EXPECT_EQ(xi[5], -xiBefore[5]);
    std::vector<cd> ref(1024);
    for (std::size_t i = 0; i < 1024; ++i)
        ref[i] = cd(re[i], im[i]);
    EXPECT_LE(RelativeErrorEnergy(yr.data(), yi.data(), ref), 1e-12);
}

TEST_P(Transforms, RealBlockOfOnesHasOnlyADCTerm) {
    clsFFTReal fft;
    fft.FFTInit(4096);
    FloatVector x(4096, 1.0f), re(4097), im(4097);
    fft.FFT_Real_S_2(x.data(), re.data(), im.data());
    EXPECT_NEAR(re[0], 4096.0f, 1e-3);
    double rest = 0.0;
    for (int k = 1; k < 4096; ++k)
        rest = std::max(rest, std::hypot(double(re[static_cast<std::size_t>(k)]),
                                         double(im[static_cast<std::size_t>(k)])));
    EXPECT_LT(rest, 1e-3);
}

TEST_P(Transforms, ImpulseGivesOneInEveryBin) {
    clsFFT fft;
    fft.FFTInit(256);
    FloatVector re(256, 0.0f), im(256, 0.0f), outRe(256), outIm(256);
    re[0] = 1.0f;
    fft.FFT_S_2(re.data(), im.data(), outRe.data(), outIm.data());
    for (std::size_t k = 0; k < 256; ++k) {
        EXPECT_NEAR(outRe[k], 1.0f, 1e-6);
        EXPECT_NEAR(outIm[k], 0.0f, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, Transforms, ::testing::Values(false, true), BackEndName);

TEST(InProcessForms, AgreeWithTheLibraryForms) {
    clsFFT fft;
    fft.FFTInit(2048);
    const auto re = RandomVector(2048, 5), im = RandomVector(2048, 6);
    FloatVector a(2048), b(2048), c(2048), d(2048);
    fft.FFT_S_2(re.data(), im.data(), a.data(), b.data());
    fft.FFT_S_2_VB(re.data(), im.data(), c.data(), d.data());
    std::vector<cd> lib(2048);
    for (std::size_t k = 0; k < 2048; ++k)
        lib[k] = cd(a[k], b[k]);
    EXPECT_LE(RelativeErrorEnergy(c.data(), d.data(), lib), kMaxErrorEnergy);

    clsFFTReal real;
    real.FFTInit(4096);
    const auto x = RandomVector(4096, 8);
    FloatVector r1(4097), i1(4097), r2(4097), i2(4097);
    real.FFT_Real_S_2(x.data(), r1.data(), i1.data());
    real.FFT_Real_S_2_VB(x.data(), r2.data(), i2.data());
    std::vector<cd> libReal(4096);
    for (std::size_t k = 0; k < 4096; ++k)
        libReal[k] = cd(r1[k], i1[k]);
    EXPECT_LE(RelativeErrorEnergy(r2.data(), i2.data(), libReal), kMaxErrorEnergy);
}

TEST(FFTSetUp, SizesOrdersAndTables) {
    clsFFTReal real;
    ASSERT_EQ(real.FFTInit(4096), Status::Ok);
    EXPECT_EQ(real.Points, 4096);
    EXPECT_EQ(real.Order, 12);
    EXPECT_EQ(real.ComplexFFT().Points, 2048);
    EXPECT_EQ(real.ComplexFFT().Order, 11);
    clsFFT fft;
    fft.FFTInit(8);
    EXPECT_EQ(fft.BitReversed(1), 4);
    EXPECT_EQ(fft.BitReversed(6), 3);
    EXPECT_FLOAT_EQ(fft.CosineStep(1), -1.0f); // LE2 = 1: angle pi
    EXPECT_NEAR(fft.SineStep(2), -1.0f, 1e-7); // LE2 = 2: -sin(pi/2)
    clsFFT one;
    ASSERT_EQ(one.FFTInit(1), Status::Ok);
    EXPECT_EQ(one.Order, 0);
    EXPECT_EQ(one.BitReversed(0), 0);
}

TEST(FFTSetUp, UninitialisedTransformsShowTheMessageAndLeaveOutputsAlone) {
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    clsFFT fft;
    FloatVector in(16, 1.0f), outRe(16, 7.0f), outIm(16, 7.0f);
    EXPECT_EQ(fft.FFT_S_2(in.data(), in.data(), outRe.data(), outIm.data()),
              Status::NotInitialised);
    EXPECT_EQ(fft.IFFT_S_2(in.data(), in.data(), outRe.data(), outIm.data()),
              Status::NotInitialised);
    clsFFTReal real;
    EXPECT_EQ(real.FFT_Real_S_2(in.data(), outRe.data(), outIm.data()), Status::NotInitialised);
    EXPECT_EQ(real.FFT_Real_S_2_VB(in.data(), outRe.data(), outIm.data()), Status::NotInitialised);
    EXPECT_EQ(real.IFFT_Real_S_2(in.data(), in.data(), outRe.data()), Status::NotInitialised);
    ASSERT_EQ(sink.messages().size(), 5u);
    for (const auto& m : sink.messages())
        EXPECT_EQ(m.text, "clsFFT not initialised, you must call Init first");
    for (float v : outRe)
        EXPECT_EQ(v, 7.0f);
    EXPECT_EQ(in[3], 1.0f);
}

TEST(FFTSetUp, BadSizesAreRefusedWithAClearMessage) {
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    clsFFT fft;
    ASSERT_EQ(fft.FFTInit(64), Status::Ok);
    EXPECT_EQ(fft.FFTInit(1000), Status::InvalidArgument);
    EXPECT_TRUE(sink.contains("not a power of two"));
    EXPECT_EQ(fft.FFTInit(32768), Status::Overflow);
    EXPECT_TRUE(sink.contains("Overflow"));
    EXPECT_EQ(fft.FFTInit(0), Status::InvalidArgument);
    EXPECT_EQ(fft.FFTInit(-8), Status::InvalidArgument);
    // The object keeps working at its last good size.
    EXPECT_TRUE(fft.IsInitialised);
    EXPECT_EQ(fft.Points, 64);
    clsFFTReal real;
    EXPECT_EQ(real.FFTInit(3), Status::InvalidArgument);
    EXPECT_EQ(real.FFTInit(65536), Status::Overflow); // its complex half would be 32768
    EXPECT_FALSE(real.IsInitialised);
    EXPECT_EQ(real.FFTInit(32768), Status::Ok);
}
