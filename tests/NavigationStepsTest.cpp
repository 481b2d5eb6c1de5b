// The pan and zoom arithmetic on its own, for the cases that touches on a
// 320 x 390 canvas cannot reach.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "canvas/NavigationSteps.h"

using namespace NavigationSteps;

TEST(NavigationSteps, IntConversionTruncatesTowardZeroAndNeverLeavesTheIntRange)
{
    EXPECT_EQ(truncToInt(-89.6), -89);
    EXPECT_EQ(truncToInt(409.99), 409);
    EXPECT_EQ(truncToInt(-0.75), 0);
    EXPECT_EQ(truncToInt(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(truncToInt(-1e12), std::numeric_limits<int>::min());
    EXPECT_EQ(truncToInt(std::numeric_limits<double>::infinity()), std::numeric_limits<int>::max());
    EXPECT_EQ(truncToInt(std::nan("")), 0);
}

TEST(NavigationSteps, AHugePanStepIsRefusedWithoutOverflow)
{
    const int most = std::numeric_limits<int>::max();
    EXPECT_EQ(panAxis(2000, most, 2441.0f, 320.0f), 2000);
    EXPECT_EQ(panAxis(-2000, -std::int64_t(most) - 1, 2441.0f, 320.0f), -2000);
    EXPECT_EQ(panAxis(-2000, 10, 2441.0f, 320.0f), -1990);
}

TEST(NavigationSteps, FitStopsAfterTheFifthReductionWithoutTestingIt)
{
    // Nothing fits a 100-point view before the fifth step; the result is that step.
    EXPECT_EQ(fitZoom(FloatSize{1024, 1024}, FloatSize{100, 100}), 0.327679962f);
    EXPECT_EQ(fitZoom(FloatSize{1024, 1024}, FloatSize{1, 1}), 0.327679962f);
    // Either side fitting is enough, and a side exactly as long as the view fits.
    EXPECT_EQ(fitZoom(FloatSize{1024, 80}, FloatSize{100, 100}), 1.0f);
    EXPECT_EQ(fitZoom(FloatSize{100, 1024}, FloatSize{100, 100}), 1.0f);
    EXPECT_EQ(fitZoom(FloatSize{1024, 125}, FloatSize{100, 100}), 0.8f); // 0.8 x 125 rounds to 100
}
