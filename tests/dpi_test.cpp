// DPI arithmetic: step factor, both scaling rules, snapping, the lazily filled
// cache and the constants computed from it.
#include "controls/DpiMath.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct DpiRow
{
    int dpi;
    double factor;
    int snapped;
    int stepped30;  // 30 x factor, truncated
    int linear14;   // dpi x 14 / 96, truncated
    int linear4;    // dpi x 4 / 96, truncated
};

// Expected values worked out by hand from the rules: factor by the ratio
// thresholds 1.25 / 1.5 / 2.0, snapping down to 120 / 144 / 192.
const DpiRow kRows[] = {
    {96, 1.0, 96, 30, 14, 4},      // 1.0 exactly
    {110, 1.0, 110, 30, 16, 4},    // 1.146: linear 16.04 while stepped stays 14
    {119, 1.0, 119, 30, 17, 4},    // 1.240 < 1.25; linear 4.96
    {120, 1.25, 120, 37, 17, 5},   // 37.5 -> 37
    {143, 1.25, 120, 37, 20, 5},   // 1.490 < 1.5; linear 20.85, 5.96
    {144, 1.5, 144, 45, 21, 6},
    {191, 1.5, 144, 45, 27, 7},    // 1.990 < 2.0; linear 27.85, 7.96
    {192, 2.0, 192, 60, 28, 8},
    {288, 2.0, 192, 60, 42, 12},   // no step above 2.0
};

TEST(DpiMath, StepFactorAndSnapping)
{
    for (const DpiRow& row : kRows) {
        SCOPED_TRACE(row.dpi);
        EXPECT_DOUBLE_EQ(row.factor, DpiStepFactor(row.dpi));
        EXPECT_EQ(row.snapped, SnapDpi(row.dpi));
    }
}

TEST(DpiMath, SteppedAndLinearRules)
{
    for (const DpiRow& row : kRows) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(row.stepped30, ScaleStepped(30, row.dpi));
        EXPECT_EQ(row.linear14, ScaleLinear(14, row.dpi));
        EXPECT_EQ(row.linear4, ScaleLinear(4, row.dpi));
    }
    // The two rules agree at 120 dpi for 14 and differ at 110.
    EXPECT_EQ(17, ScaleStepped(14, 120));
    EXPECT_EQ(ScaleLinear(14, 120), ScaleStepped(14, 120));
    EXPECT_EQ(14, ScaleStepped(14, 110));
}

TEST(DpiMath, EveryValueIsUnchangedAt96)
{
    for (int n = -50; n <= 1000; ++n) {
        ASSERT_EQ(n, ScaleStepped(n, 96)) << n;
        ASSERT_EQ(n, ScaleLinear(n, 96)) << n;
    }
}

TEST(DpiMath, NegativeLengthsTruncateTowardZero)
{
    EXPECT_EQ(-1, ScaleStepped(-1, 120));   // -1.25
    EXPECT_EQ(-1, ScaleStepped(-1, 144));   // -1.5
    EXPECT_EQ(-2, ScaleStepped(-1, 192));
    EXPECT_EQ(-1, ScaleLinear(-1, 143));    // -1.49
    EXPECT_EQ(-3, ScaleLinear(-2, 191));    // -3.98
}

TEST(DpiMath, ResultsOutsideIntRangeSaturate)
{
    EXPECT_EQ(INT_MAX, ScaleStepped(INT_MAX, 192));
    EXPECT_EQ(INT_MIN, ScaleStepped(INT_MIN, 192));
    EXPECT_EQ(INT_MAX, ScaleLinear(INT_MAX, 288));
    EXPECT_EQ(INT_MIN, ScaleLinear(INT_MIN, 288));
    EXPECT_EQ(INT_MAX, ScaleLinear(1000, INT_MAX));
}

// Reader doubles that count how often the screen is asked.
int g_readerCalls = 0;
int g_readerX = 0;
int g_readerY = 0;

bool FakeReader(int* x, int* y)
{
    ++g_readerCalls;
    *x = g_readerX;
    *y = g_readerY;
    return true;
}

bool FailingReader(int*, int*)
{
    ++g_readerCalls;
    return false;
}

class DpiCacheTest : public ::testing::Test
{
protected:
    void SetUp() override { g_readerCalls = 0; }
};

TEST_F(DpiCacheTest, StartsAt96AndReadsTheScreenOnceOnFirstUse)
{
    g_readerX = 144;
    g_readerY = 120;
    DpiCache cache(FakeReader);
    EXPECT_FALSE(cache.IsRead());
    EXPECT_EQ(0, g_readerCalls);
    EXPECT_EQ(144, cache.X());
    EXPECT_EQ(120, cache.Y());
    EXPECT_TRUE(cache.IsRead());
    g_readerX = 192;
    cache.Ensure();
    EXPECT_EQ(144, cache.X()); // a later DPI change is not seen
    EXPECT_EQ(1, g_readerCalls);
}

TEST_F(DpiCacheTest, FailedReadKeeps96AndIsNotRetried)
{
    DpiCache cache(FailingReader);
    EXPECT_EQ(96, cache.Y());
    EXPECT_EQ(96, cache.X());
    EXPECT_TRUE(cache.IsRead());
    EXPECT_EQ(1, g_readerCalls);
}

TEST_F(DpiCacheTest, NonPositiveReadingsCountAs96)
{
    g_readerX = 0;
    g_readerY = -5;
    DpiCache cache(FakeReader);
    EXPECT_EQ(96, cache.X());
    EXPECT_EQ(96, cache.Y());
    EXPECT_EQ(1, g_readerCalls);
}

TEST_F(DpiCacheTest, DifferentHorizontalAndVerticalValuesStaySeparate)
{
    g_readerX = 192;
    g_readerY = 110;
    DpiCache cache(FakeReader);
    EXPECT_EQ(60, ScaleStepped(30, cache.X()));
    EXPECT_EQ(30, ScaleStepped(30, cache.Y()));
    EXPECT_EQ(110, SnapDpi(cache.Y()));
}

TEST_F(DpiCacheTest, SetAndResetForTests)
{
    g_readerX = 120;
    g_readerY = 120;
    DpiCache cache(FakeReader);
    cache.Set(144, 192);
    EXPECT_EQ(144, cache.X());
    EXPECT_EQ(192, cache.Y());
    EXPECT_EQ(0, g_readerCalls);
    cache.Reset();
    EXPECT_FALSE(cache.IsRead());
    EXPECT_EQ(120, cache.X());
    EXPECT_EQ(1, g_readerCalls);
}

TEST(ScaledConstants, At96EveryValueIsItsBaseValue)
{
    const ScaledConstants c = ComputeScaledConstants(96, 96);
    EXPECT_EQ(660, c.panelWidth);
    EXPECT_EQ(446, c.panelHeight);
    EXPECT_FLOAT_EQ(3.0f, c.barRadiusX);
    EXPECT_FLOAT_EQ(3.0f, c.barRadiusY);
    EXPECT_EQ(4, c.buttonRadiusX);
    EXPECT_EQ(4, c.buttonRadiusY);
}

TEST(ScaledConstants, EachFollowsItsOwnRuleAndAxis)
{
    // X at 144 (factor 1.5), Y at 120 (factor 1.25).
    const ScaledConstants c = ComputeScaledConstants(144, 120);
    EXPECT_EQ(990, c.panelWidth);
    EXPECT_EQ(557, c.panelHeight);        // 557.5 truncated
    EXPECT_FLOAT_EQ(4.5f, c.barRadiusX);
    EXPECT_FLOAT_EQ(3.75f, c.barRadiusY); // not rounded
    EXPECT_EQ(6, c.buttonRadiusX);
    EXPECT_EQ(5, c.buttonRadiusY);

    // 110 dpi: the stepped panel size stays, the linear radii move.
    const ScaledConstants d = ComputeScaledConstants(110, 110);
    EXPECT_EQ(660, d.panelWidth);
    EXPECT_EQ(446, d.panelHeight);
    EXPECT_FLOAT_EQ(3.4375f, d.barRadiusX);
    EXPECT_EQ(4, d.buttonRadiusX);        // 4.58 truncated
}

TEST(ColorComponents, RedIsTheLowByte)
{
    const ColorComponents c = ColorRefComponents(0x00D8A507u);
    EXPECT_FLOAT_EQ(7.0f / 255.0f, c.r);
    EXPECT_FLOAT_EQ(165.0f / 255.0f, c.g);
    EXPECT_FLOAT_EQ(216.0f / 255.0f, c.b);
    EXPECT_FLOAT_EQ(1.0f, c.a);
    const ColorComponents white = ColorRefComponents(0x00FFFFFFu);
    EXPECT_FLOAT_EQ(1.0f, white.r);
    EXPECT_FLOAT_EQ(1.0f, white.b);
}

} // namespace
