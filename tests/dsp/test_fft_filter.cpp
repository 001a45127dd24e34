#include "DspTestUtil.h"
#include "core/MessageSink.h"
#include "dsp/OrvexVector.h"
#include "dsp/SignalMeasure.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "dsp/clsFFTFilter.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::testutil;

namespace {

constexpr int kP = 2048;
constexpr double kFs = 48000.0;
// One transition width of a 2048-tap Blackman design: its main lobe, 6 fs / P.
constexpr double kTransition = 6.0 * kFs / kP;

void Configure(clsFFTFilter& f, int lo, int hi, bool bandStop, int window, bool qPhase = false,
               bool normalise = true) {
    f.SegmentSize = 2 * kP;
    f.FSampling = static_cast<int>(kFs);
    f.WindowType = window;
    f.QPhase = qPhase;
    f.NormaliseGain = normalise;
    f.BandReject = bandStop;
    f.FLow = lo;
    f.FHigh = hi;
    ASSERT_EQ(f.init(kP), Status::Ok);
    ASSERT_EQ(f.MakeFilter(), Status::Ok);
}

// Runs `blocks` blocks of a tone through the filter and returns the output.
std::vector<float> RunBlocks(clsFFTFilter& f, const std::vector<float>& in) {
    std::vector<float> out(in.size());
    FloatVector block(2 * kP + 1);
    for (std::size_t pos = 0; pos + kP <= in.size(); pos += kP) {
        std::copy(in.begin() + static_cast<long>(pos), in.begin() + static_cast<long>(pos + kP),
                  block.begin());
        f.Filter_FFT_S_1(block.data());
        std::copy(block.begin(), block.begin() + kP, out.begin() + static_cast<long>(pos));
    }
    return out;
}

// Steady-state gain in dB and phase in radians of the filter at f Hz.
measure::Tone Response(clsFFTFilter& filter, double f) {
    const std::size_t blocks = 6;
    const auto in = measure::MakeTone(blocks * kP, f, kFs, 10000.0);
    const auto out = RunBlocks(filter, in);
    auto t = measure::MeasureTone(out.data() + 2 * kP, 4 * kP, f, kFs);
    const auto ref = measure::MeasureTone(in.data() + 2 * kP, 4 * kP, f, kFs);
    t.amplitude /= ref.amplitude;
    t.phase -= ref.phase;
    return t;
}

double ResponseDb(clsFFTFilter& filter, double f) {
    return measure::Db(Response(filter, f).amplitude, 1.0);
}

std::vector<double> Sweep(double from, double to, double step) {
    std::vector<double> f;
    for (double x = from; x <= to + 1e-9; x += step)
        f.push_back(x);
    return f;
}

class FilterBackEnds : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        spl::Probe();
        vec::SetUseSPL(GetParam());
    }
    void TearDown() override { vec::SetUseSPL(false); }
};

std::string BackEndName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Optimised" : "Portable";
}

} // namespace

TEST(FilterDesign, EdgesAndBinsFromTheMembers) {
    clsFFTFilter f;
    Configure(f, 300, 2300, false, 2);
    EXPECT_FLOAT_EQ(f.HzPerBin, 11.71875f);
    EXPECT_EQ(f.BinFLow, 25);
    EXPECT_EQ(f.BinFHigh, 196);
    EXPECT_EQ(f.BinFCount, 171);
    EXPECT_EQ(f.Order, 11);
    f.FHigh = 30000;
    f.FLow = -5;
    f.MakeFilter();
    EXPECT_EQ(f.FHigh, 24000);
    EXPECT_EQ(f.FLow, 0);
    EXPECT_DOUBLE_EQ(f.FHRadians, 24000 * 6.28318530717958 / 48000);
}

TEST(FilterDesign, BandPassKernelSpansAllButTheLastTap) {
    clsFFTFilter f;
    Configure(f, 300, 2300, false, 2);
    FloatVector taps(kP);
    f.GetFilterTCoeffs_S(taps.data());
    EXPECT_EQ(taps[2047], 0.0f);
    EXPECT_NE(taps[2046], 0.0f);
    EXPECT_EQ(std::max_element(taps.begin(), taps.end()) - taps.begin(), 1023);
    // The sinc is centred on tap 1023 and the window on 1023.5, so the halves match closely
    // but not exactly.
    for (int k = 1; k < 1023; ++k) {
        const float a = taps[static_cast<std::size_t>(1023 - k)],
                    b = taps[static_cast<std::size_t>(1023 + k)];
        ASSERT_NEAR(a, b, 1e-3 * taps[1023]) << k;
    }
}

// Band-pass and band-stop designs measured with sine sweeps: flat pass band, stop band at
// least 60 dB down one transition width beyond the edges.
TEST_P(FilterBackEnds, BandPassSweep) {
    clsFFTFilter f;
    Configure(f, 1000, 4000, false, 2);
    for (double fr : Sweep(1000 + kTransition, 4000 - kTransition, 97.0))
        EXPECT_NEAR(ResponseDb(f, fr), 0.0, 0.5) << fr << " Hz";
    for (double fr : Sweep(40, 1000 - kTransition, 103.0))
        EXPECT_LT(ResponseDb(f, fr), -60.0) << fr << " Hz";
    for (double fr : Sweep(4000 + kTransition, 23900, 487.0))
        EXPECT_LT(ResponseDb(f, fr), -60.0) << fr << " Hz";
}

TEST_P(FilterBackEnds, BandStopSweep) {
    clsFFTFilter f;
    Configure(f, 2000, 3000, true, 2);
    for (double fr : Sweep(2000 + kTransition, 3000 - kTransition, 61.0))
        EXPECT_LT(ResponseDb(f, fr), -60.0) << fr << " Hz";
    for (double fr : Sweep(60, 2000 - kTransition, 173.0))
        EXPECT_NEAR(ResponseDb(f, fr), 0.0, 0.5) << fr << " Hz";
    for (double fr : Sweep(3000 + kTransition, 23800, 571.0))
        EXPECT_NEAR(ResponseDb(f, fr), 0.0, 0.5) << fr << " Hz";
}

// Block-by-block filtering is one long convolution with the kernel, tail included.
TEST_P(FilterBackEnds, BlocksEqualOneDirectConvolution) {
    for (bool bandStop : {false, true}) {
        clsFFTFilter f;
        Configure(f, 700, 2900, bandStop, bandStop ? 1 : 2);
        FloatVector taps(kP);
        f.GetFilterTCoeffs_S(taps.data());
        const std::size_t blocks = 6;
        auto x = RandomVector(blocks * kP, 21u);
        std::fill(x.end() - 2 * kP, x.end(), 0.0f); // a loud stretch, then two blocks of zeros
        const auto y = RunBlocks(f, std::vector<float>(x.begin(), x.end()));
        double err = 0.0, energy = 0.0, tailEnergy = 0.0;
        for (std::size_t n = 0; n < x.size(); ++n) {
            double acc = 0.0;
            for (std::size_t k = 0; k < kP && k <= n; ++k)
                acc += double(taps[k]) * x[n - k];
            err += (y[n] - acc) * (y[n] - acc);
            energy += acc * acc;
            if (n >= x.size() - 2 * kP) tailEnergy += acc * acc;
        }
        EXPECT_GT(tailEnergy, 0.0); // the zero block carries the tail
        EXPECT_LE(std::sqrt(err / energy), 1e-4) << (bandStop ? "band-stop" : "band-pass");
    }
}

// The QPhase companion: equal amplitude and a 90 degree lead across the pass band.
TEST_P(FilterBackEnds, QuadraturePair) {
    clsFFTFilter i, q;
    Configure(i, 300, 3000, false, 2, false);
    Configure(q, 300, 3000, false, 2, true);
    for (double fr : Sweep(300 + kTransition, 3000 - kTransition, 83.0)) {
        const auto ri = Response(i, fr);
        const auto rq = Response(q, fr);
        EXPECT_NEAR(measure::Db(rq.amplitude, ri.amplitude), 0.0, 0.1) << fr << " Hz";
        EXPECT_NEAR(WrapDegrees((rq.phase - ri.phase) * 180.0 / M_PI), 90.0, 0.5) << fr << " Hz";
    }
}

// The sideband modes: mixing by a quarter of the rate, then the pair, gives the upper
// sideband as I - Q and the lower as I + Q, each rejecting the other.
TEST_P(FilterBackEnds, MixerAndPairSeparateTheSidebands) {
    for (double offset : {+1000.0, -1000.0}) {
        clsFFTFilter fi, fq;
        Configure(fi, 300, 2300, false, 2, false);
        Configure(fq, 300, 2300, false, 2, true);
        const auto rf = measure::MakeTone(8 * kP, 12000.0 + offset, kFs, 8000.0);
        std::vector<float> iS(rf.size()), qS(rf.size());
        dll::MixerIQ_S_S_1(rf.data(), iS.data(), qS.data(), static_cast<std::int32_t>(rf.size()));
        const auto iF = RunBlocks(fi, iS);
        const auto qF = RunBlocks(fq, qS);
        std::vector<float> usb(rf.size()), lsb(rf.size());
        for (std::size_t k = 0; k < rf.size(); ++k) {
            usb[k] = iF[k] - qF[k];
            lsb[k] = iF[k] + qF[k];
        }
        const double u = measure::MeasureTone(usb.data() + 2 * kP, 6 * kP, 1000.0, kFs).amplitude;
        const double l = measure::MeasureTone(lsb.data() + 2 * kP, 6 * kP, 1000.0, kFs).amplitude;
        if (offset > 0) {
            EXPECT_NEAR(u, 8000.0, 8000.0 * 0.06) << "upper sideband tone";
            EXPECT_LT(measure::Db(l, u), -40.0);
        } else {
            EXPECT_NEAR(l, 8000.0, 8000.0 * 0.06) << "lower sideband tone";
            EXPECT_LT(measure::Db(u, l), -40.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, FilterBackEnds, ::testing::Values(false, true), BackEndName);

TEST(FilterDesign, InProcessAndAlternativeFormsAgreeWithTheLibraryForms) {
    clsFFTFilter f;
    Configure(f, 500, 3500, false, 2);
    FloatVector lib(kP), other(kP);
    for (bool q : {false, true}) {
        f.QPhase = q;
        f.CalcBandPass();
        f.GetFilterTCoeffs_S(lib.data());
        const float peak = *std::max_element(
            lib.begin(), lib.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
        f.CalcBandPass_VB();
        f.GetFilterTCoeffs_S(other.data());
        for (std::size_t k = 0; k < kP; ++k)
            ASSERT_NEAR(other[k], lib[k], 1e-6 * std::fabs(peak)) << k;
        f.CalcBandPass_Smith();
        f.GetFilterTCoeffs_S(other.data());
        for (std::size_t k = 0; k < kP; ++k)
            ASSERT_NEAR(other[k], lib[k], 2e-3 * std::fabs(peak)) << k;
        f.BandReject = true;
        f.CalcBandStop_PAS();
        f.GetFilterTCoeffs_S(lib.data());
        const float stopPeak = std::fabs(*std::max_element(
            lib.begin(), lib.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }));
        f.CalcBandStop();
        f.GetFilterTCoeffs_S(other.data());
        for (std::size_t k = 0; k < kP; ++k)
            ASSERT_NEAR(other[k], lib[k], 1e-6 * stopPeak) << k;
        f.CalcBandStop_Smith();
        f.GetFilterTCoeffs_S(other.data());
        for (std::size_t k = 0; k < kP; ++k)
            ASSERT_NEAR(other[k], lib[k], 1e-6 * stopPeak) << k;
        f.BandReject = false;
    }
    DoubleVector w1(kP + 1), w2(kP + 1);
    for (int type : {0, 1, 2}) {
        dll::CalcWindowCoeffs_D(kP, w1.data(), type);
        clsFFTFilter::CalcWindowCoeffs_VB(w2.data(), kP, type);
        for (std::size_t k = 0; k < kP; ++k)
            ASSERT_DOUBLE_EQ(w1[k], w2[k]);
    }
    EXPECT_DOUBLE_EQ(w1[0], 0.42 - 0.5 + 0.08); // Blackman ends
}

TEST(FilterDesign, SpectrumMethodsAgree) {
    clsFFTFilter f;
    Configure(f, 400, 2400, false, 1);
    const auto re = RandomVector(2 * kP, 3), im = RandomVector(2 * kP, 4);
    FloatVector a(2 * kP), b(2 * kP), c(2 * kP), d(2 * kP);
    f.Filter_S_Cart_2(re.data(), im.data(), a.data(), b.data());
    f.Filter_S_Cart_2_VB(re.data(), im.data(), c.data(), d.data());
    EXPECT_EQ(a, c);
    EXPECT_EQ(b, d);
    FloatVector x = re, y = im;
    f.Filter_S_Cart_1(x.data(), y.data());
    EXPECT_EQ(x, a);
    // Polar form: |X||H| and arg X + arg H describe the same product.
    FloatVector mag(2 * kP), ph(2 * kP), back(2 * kP), backIm(2 * kP);
    dll::CartToPolar_S_2(re.data(), im.data(), mag.data(), ph.data(), 2 * kP);
    f.Filter_S_Polar_1(mag.data(), ph.data());
    dll::PolarToCart_S_2(mag.data(), ph.data(), back.data(), backIm.data(), 2 * kP);
    for (std::size_t k = 0; k < 2 * kP; ++k) {
        ASSERT_NEAR(back[k], a[k], 1e-3 * (1.0 + std::fabs(a[k])));
        ASSERT_NEAR(backIm[k], b[k], 1e-3 * (1.0 + std::fabs(b[k])));
    }
}

TEST(FilterDesign, LoadedCoefficientsGiveTheSameFilter) {
    clsFFTFilter source, copyT, copyF, copyP;
    Configure(source, 600, 1800, false, 2);
    Configure(copyT, 5000, 9000, false, 2);
    Configure(copyF, 5000, 9000, false, 2);
    Configure(copyP, 5000, 9000, false, 2);
    FloatVector taps(kP), re(2 * kP), im(2 * kP), mag(kP), ph(kP);
    source.GetFilterTCoeffs_S(taps.data());
    source.GetFilterFCoeffs_S(re.data(), im.data());
    source.GetFilterPCoeffs_S(mag.data(), ph.data());
    copyT.PutFilterTCoeffs_S(taps.data());
    copyF.PutFilterFCoeffs_S(re.data(), im.data());
    copyP.PutFilterPCoeffs_S(mag.data(), ph.data());
    for (double fr : {1000.0, 7000.0}) {
        const double want = ResponseDb(source, fr);
        EXPECT_NEAR(ResponseDb(copyT, fr), want, 0.01) << fr;
        EXPECT_NEAR(ResponseDb(copyF, fr), want, 0.01) << fr;
        EXPECT_NEAR(std::max(ResponseDb(copyP, fr), -80.0), std::max(want, -80.0), 0.05) << fr;
    }
    DoubleVector d(kP);
    source.GetFilterTCoeffs_D(d.data());
    copyT.PutFilterTCoeffs_D(d.data());
    FloatVector again(kP);
    copyT.GetFilterCoeffs_T_S(again.data());
    EXPECT_EQ(again, taps);
}

TEST(FilterDesign, EdgeChangesKeepTheOutputContinuous) {
    // A redesign between blocks keeps the overlap tail: a steady tone in the pass band of
    // both designs comes through without a step at the block boundary.
    clsFFTFilter f;
    Configure(f, 300, 3000, false, 2);
    const auto in = measure::MakeTone(4 * kP, 1000.0, kFs, 10000.0);
    FloatVector block(2 * kP + 1);
    std::vector<float> out;
    for (int b = 0; b < 4; ++b) {
        if (b == 2) {
            f.FLow = 400;
            f.FHigh = 2500;
            f.MakeFilter();
        }
        std::copy(in.begin() + b * kP, in.begin() + (b + 1) * kP, block.begin());
        f.Filter_FFT_S_1(block.data());
        out.insert(out.end(), block.begin(), block.begin() + kP);
    }
    double worst = 0.0;
    for (std::size_t n = 2 * kP - 64; n < 2 * kP + 64; ++n)
        worst = std::max(worst, double(std::fabs(out[n] - in[n - 1023])));
    EXPECT_LT(worst, 10000.0 * 0.02);
}

TEST(FilterDesign, BadSetUpIsRefusedSafely) {
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    clsFFTFilter f;
    f.SegmentSize = 2000;
    EXPECT_EQ(f.init(1000), Status::InvalidArgument);
    EXPECT_TRUE(sink.contains("not a power of two"));
    f.SegmentSize = 1000;
    EXPECT_EQ(f.init(1024), Status::InvalidArgument);
    EXPECT_TRUE(sink.contains("twice Points"));
    f.SegmentSize = 2048;
    f.FSampling = 0;
    EXPECT_EQ(f.init(1024), Status::InvalidArgument);
    FloatVector block(4096, 1.0f);
    EXPECT_EQ(f.MakeFilter(), Status::NotInitialised);
    EXPECT_EQ(f.Filter_FFT_S_1(block.data()), Status::NotInitialised);
    EXPECT_EQ(block[0], 1.0f);
    EXPECT_TRUE(sink.contains("clsFFT not initialised"));
}
