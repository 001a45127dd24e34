// The block calls of the building blocks allocate nothing once set up: every global
// allocation is counted while a block runs.
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "dsp/clHilbert.h"
#include "dsp/clsFFT.h"
#include "dsp/clsFFTFilter.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

using namespace orvex;

TEST(BlockPath, NothingAllocatesPerBlock) {
    spl::Probe();
    for (bool optimised : {false, true}) {
        vec::SetUseSPL(optimised);
        clsFFTFilter f;
        f.SegmentSize = 4096;
        f.FSampling = 48000;
        f.FLow = 300;
        f.FHigh = 2700;
        ASSERT_EQ(f.init(2048), Status::Ok);
        f.MakeFilter();
        clsFFTReal real;
        real.FFTInit(4096);
        clHilbert h;
        h.Load(128, 2048);
        FloatVector block(4097, 1.0f), re(4097), im(4097), out(4097);
        test::AllocationCounter counter;
        for (int i = 0; i < 4; ++i) {
            f.Filter_FFT_S_1(block.data());
            real.FFT_Real_S_2(block.data(), re.data(), im.data());
            real.IFFT_Real_S_2(re.data(), im.data(), out.data());
            h.sTransform(block.data(), out.data(), 2048);
            h.sDelaySamples(block.data(), out.data(), 2048);
            vec::CartToPolar(re.data(), im.data(), out.data(), block.data() + 2048, 2048);
        }
        EXPECT_EQ(counter.count(), 0) << (optimised ? "optimised" : "portable");
    }
    vec::SetUseSPL(false);
}
