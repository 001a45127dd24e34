#include "core/Colours.h"
#include "core/Numeric.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace orvex;

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(63.5), 64); // Hilbert centre of 128 taps
    EXPECT_EQ(RoundHalfEven(64.0), 64);
}

TEST(RoundHalfEven, OtherValuesGoToTheNearest) {
    EXPECT_EQ(RoundHalfEven(2.4999999), 2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(-7.6), -8);
    EXPECT_EQ(RoundHalfEven(1e15 + 0.5), 1000000000000000); // even
}

TEST(RoundHalfEven, NonFiniteAndHugeValuesAreSafe) {
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(RoundHalfEven(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(RoundHalfEven32(3e9), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundHalfEven32(-3e9), std::numeric_limits<std::int32_t>::min());
}

TEST(Log10Abs, ZeroGivesZeroAndSignIsIgnored) {
    EXPECT_EQ(Log10Abs(0.0), 0.0);
    EXPECT_DOUBLE_EQ(Log10Abs(1000.0), 3.0);
    EXPECT_DOUBLE_EQ(Log10Abs(-0.01), -2.0);
    EXPECT_EQ(Log10Abs(std::nan("")), 0.0);
}

TEST(PowerOfTwo, RecognisesTransformSizes) {
    EXPECT_TRUE(IsPowerOfTwo(1));
    EXPECT_TRUE(IsPowerOfTwo(4096));
    EXPECT_FALSE(IsPowerOfTwo(0));
    EXPECT_FALSE(IsPowerOfTwo(-4));
    EXPECT_FALSE(IsPowerOfTwo(3000));
}

TEST(Colours, RedIsInTheLowByte) {
    static_assert(kColourRed == 255 && kColourGreen == 65280 && kColourDarkRed == 192);
    EXPECT_EQ(RedOf(kColourSelected), 0x00);
    EXPECT_EQ(GreenOf(kColourSelected), 0xFF);
    EXPECT_EQ(BlueOf(kColourSelected), 0xFF);
    EXPECT_EQ(ToRgb(kColourResting), 0x00C0C0u); // cyan-ish caption colour as RGB
    EXPECT_EQ(ToRgb(kColourRed), 0xFF0000u);
}
