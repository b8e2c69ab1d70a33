// Where the progress bar puts its track and fill.
#include "controls/ProgressGeometry.h"

#include <gtest/gtest.h>

TEST(ProgressGeometry, TrackIsCentredInTheClientArea)
{
    ProgressGeometry g = ComputeProgressGeometry(0, 0, 300, 20, 200, 8, 3.0f, 3.0f, 0, 100);
    EXPECT_FLOAT_EQ(50.0f, g.left);
    EXPECT_FLOAT_EQ(6.0f, g.top);
    EXPECT_FLOAT_EQ(250.0f, g.right);
    EXPECT_FLOAT_EQ(14.0f, g.bottom);
    // Half pixels stay: odd differences centre on a half.
    ProgressGeometry h = ComputeProgressGeometry(10, 5, 301, 9, 200, 8, 3.0f, 3.0f, 0, 100);
    EXPECT_FLOAT_EQ(60.5f, h.left);
    EXPECT_FLOAT_EQ(5.5f, h.top);
}

TEST(ProgressGeometry, VerticalRadiusIsLimitedByHalfTheWidth)
{
    ProgressGeometry wide = ComputeProgressGeometry(0, 0, 300, 8, 300, 8, 3.0f, 4.5f, 0, 100);
    EXPECT_FLOAT_EQ(3.0f, wide.radiusX);
    EXPECT_FLOAT_EQ(4.5f, wide.radiusY); // not limited by half the height (4)
    ProgressGeometry narrow = ComputeProgressGeometry(0, 0, 300, 8, 5, 8, 3.0f, 4.5f, 0, 100);
    EXPECT_FLOAT_EQ(2.5f, narrow.radiusY);
    EXPECT_FLOAT_EQ(3.0f, narrow.radiusX);
}

TEST(ProgressGeometry, FillFollowsPositionOverMaximum)
{
    ProgressGeometry g = ComputeProgressGeometry(0, 0, 300, 8, 300, 8, 3.0f, 3.0f, 370, 1000);
    EXPECT_TRUE(g.hasFill);
    EXPECT_NEAR(111.0f, g.fillRight, 1e-3f);
    ProgressGeometry full = ComputeProgressGeometry(0, 0, 300, 8, 300, 8, 3.0f, 3.0f, 1000, 1000);
    EXPECT_FLOAT_EQ(300.0f, full.fillRight);
    ProgressGeometry offset = ComputeProgressGeometry(0, 0, 300, 8, 200, 8, 3.0f, 3.0f, 1, 2);
    EXPECT_FLOAT_EQ(150.0f, offset.fillRight);
}

TEST(ProgressGeometry, PositionAboveMaximumIsCutToTheTrack)
{
    ProgressGeometry g = ComputeProgressGeometry(0, 0, 300, 8, 200, 8, 3.0f, 3.0f, 1500, 1000);
    EXPECT_TRUE(g.hasFill);
    EXPECT_FLOAT_EQ(g.right, g.fillRight);
    ProgressGeometry huge = ComputeProgressGeometry(0, 0, 300, 8, 200, 8, 3.0f, 3.0f, 2147483647, 1);
    EXPECT_FLOAT_EQ(g.right, huge.fillRight);
}

TEST(ProgressGeometry, NothingToFillWithoutAPositiveFraction)
{
    // Position 0 and negative positions: the track alone.
    for (int pos : {0, -1, -500}) {
        ProgressGeometry g = ComputeProgressGeometry(0, 0, 300, 8, 300, 8, 3.0f, 3.0f, pos, 1000);
        EXPECT_FALSE(g.hasFill) << pos;
        EXPECT_FLOAT_EQ(g.left, g.fillRight) << pos;
    }
    // A maximum of 0 or less has no fraction: no fill, and no division by zero.
    for (int max : {0, -1, -1000}) {
        ProgressGeometry g = ComputeProgressGeometry(0, 0, 300, 8, 300, 8, 3.0f, 3.0f, 50, max);
        EXPECT_FALSE(g.hasFill) << max;
        EXPECT_FLOAT_EQ(g.left, g.fillRight) << max;
    }
    // An empty track has nothing to fill either.
    EXPECT_FALSE(ComputeProgressGeometry(0, 0, 300, 8, 0, 8, 3.0f, 3.0f, 50, 100).hasFill);
}
