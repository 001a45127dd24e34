// A frame allocates nothing once the analyser is set up: every global allocation is counted
// while frames are computed and drawn (Frequency mode with averaging, log scale, filter curve,
// notch marker and waterfall; Time mode with the trigger; Phase mode).
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <vector>

namespace {
std::atomic<long> g_allocations{0};
std::atomic<bool> g_counting{false};
} // namespace

void* operator new(std::size_t size) {
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace orvex;

TEST(DisplayFrame, NothingAllocatesPerFrame) {
    spl::Probe();
    std::vector<float> block(2048);
    for (std::size_t n = 0; n < block.size(); ++n)
        block[n] = static_cast<float>(9000.0 * std::cos(2 * M_PI * 12345.0 * n / 48000.0));
    std::vector<float> taps(2048, 0.0f);
    taps[1024] = 1.0f;
    for (bool optimised : {false, true}) {
        vec::SetUseSPL(optimised);
        Waterfall waterfall;
        clsSpectrumAnalyser a;
        a.setSurfaceSize(QSize(640, 200));
        a.setFSampling(48000);
        a.setOrder(11);
        a.setFEnd(24000);
        a.AttachWaterfall(&waterfall);
        a.init();
        a.setActive(true);
        a.setReverseSpectrum(true);
        a.setFOffset(7088000);
        a.setShowFilter(true);
        a.setShowNotch(true);
        a.LoadFilterCoeffs_T_S(taps.data());
        for (std::int32_t mode : {0, 1, 2}) {
            a.setMode(mode);
            a.setLogMode(mode == 0);
            a.setTriggerChn(1);
            a.Display_S(block.data(), block.data()); // renders the graticule of the mode
            g_allocations = 0;
            g_counting = true;
            for (int frame = 0; frame < 5; ++frame) {
                a.LoadSamples_S(block.data(), block.data());
                a.Display();
            }
            g_counting = false;
            EXPECT_EQ(g_allocations, 0) << "mode " << mode << " optimised " << optimised;
        }
        EXPECT_EQ(a.FrameCount(), 18);
    }
    vec::SetUseSPL(false);
}
