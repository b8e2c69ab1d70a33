// The slide show's timeline and placement arithmetic.
#include "controls/SlideShowMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const SlideSize kThree[] = {{200, 100}, {180, 90}, {160, 80}};
constexpr int kAreaW = 400;
constexpr int kAreaH = 300;

SlideFrame At(double t, const SlideSize* sizes = kThree, std::size_t n = 3)
{
    return SlideFrameAt(t, sizes, n, kAreaW, kAreaH);
}

} // namespace

TEST(SlideShowTimeline, ThreePicturesStandAndPushInOrder)
{
    struct Case
    {
        double t;
        bool transition;
        std::size_t current;
        std::size_t next;
    } cases[] = {
        {0.0, false, 0, 1},  {7.5, false, 0, 1},  {7.8, true, 0, 1},  {8.1, false, 1, 2},
        {15.6, false, 1, 2}, {15.9, true, 1, 2},  {16.2, false, 2, 0}, {23.9, true, 2, 0},
        {24.3, false, 0, 1}, {32.4, false, 1, 2},
    };
    for (const Case& c : cases) {
        SlidePhase p = SlidePhaseAt(c.t, 3, kSlideDisplaySeconds, kSlideTransitionSeconds);
        EXPECT_EQ(c.transition, p.transition) << "t=" << c.t;
        EXPECT_EQ(c.current, p.current) << "t=" << c.t;
        EXPECT_EQ(c.next, p.next) << "t=" << c.t;
    }
}

TEST(SlideShowTimeline, TransitionProgressRunsFromZeroTowardsOne)
{
    SlidePhase mid = SlidePhaseAt(7.8, 3, 7.5, 0.6);
    ASSERT_TRUE(mid.transition);
    EXPECT_NEAR(0.5f, mid.progress, 1e-4f);
    SlidePhase early = SlidePhaseAt(7.5 + 0.06, 3, 7.5, 0.6);
    EXPECT_NEAR(0.1f, early.progress, 1e-4f);
    SlidePhase late = SlidePhaseAt(8.0999, 3, 7.5, 0.6);
    ASSERT_TRUE(late.transition);
    EXPECT_LT(late.progress, 1.0f);
    EXPECT_GT(late.progress, 0.99f);
    // Still pictures carry no progress.
    EXPECT_EQ(0.0f, SlidePhaseAt(3.0, 3, 7.5, 0.6).progress);
}

TEST(SlideShowTimeline, OwnTimesChangeTheCycle)
{
    // 2 s still and 1 s push: cycle 3 s.
    SlidePhase p = SlidePhaseAt(2.5, 2, 2.0, 1.0);
    EXPECT_TRUE(p.transition);
    EXPECT_NEAR(0.5f, p.progress, 1e-5f);
    EXPECT_EQ(1u, SlidePhaseAt(3.1, 2, 2.0, 1.0).current);
    EXPECT_EQ(0u, SlidePhaseAt(6.1, 2, 2.0, 1.0).current);
}

TEST(SlideShowTimeline, WrapsAroundAfterTheLastPictureForALongTime)
{
    // Cycle 8.1 s; after 1000 cycles picture 1000 mod 3 = 1 stands.
    double t = 1000 * 8.1 + 1.0;
    EXPECT_EQ(1u, SlidePhaseAt(t, 3, 7.5, 0.6).current);
    // Years of running never leave the list.
    double years = 3.0e8;
    SlidePhase p = SlidePhaseAt(years, 3, 7.5, 0.6);
    EXPECT_LT(p.current, 3u);
    EXPECT_LT(p.next, 3u);
}

TEST(SlideShowTimeline, UnusableTimesNeverIndexOutsideTheList)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // A clock that went backwards, or garbage, counts as the start.
    SlidePhase back = SlidePhaseAt(-20.0, 3, 7.5, 0.6);
    EXPECT_EQ(0u, back.current);
    EXPECT_FALSE(back.transition);
    EXPECT_EQ(0u, SlidePhaseAt(nan, 3, 7.5, 0.6).current);
    EXPECT_EQ(0u, SlidePhaseAt(inf, 3, 7.5, 0.6).current);
    // A cycle of no length would divide by zero: the first picture stands.
    SlidePhase zero = SlidePhaseAt(50.0, 3, 0.0, 0.0);
    EXPECT_FALSE(zero.transition);
    EXPECT_EQ(0u, zero.current);
    SlidePhase negative = SlidePhaseAt(50.0, 3, -1.0, -5.0);
    EXPECT_EQ(0u, negative.current);
    // No push time: pictures change without a transition.
    SlidePhase noPush = SlidePhaseAt(7.9, 3, 7.5, 0.0);
    EXPECT_FALSE(noPush.transition);
    EXPECT_EQ(1u, noPush.current);
    // No pictures: nothing to index.
    EXPECT_EQ(0u, SlideFrameAt(1.0, kThree, 0, kAreaW, kAreaH).count);
    EXPECT_EQ(0u, SlideFrameAt(1.0, nullptr, 3, kAreaW, kAreaH).count);
}

TEST(SlideShowFrame, StillPictureIsCentred)
{
    SlideFrame f = At(1.0);
    ASSERT_EQ(1u, f.count);
    EXPECT_EQ(0u, f.draws[0].index);
    EXPECT_EQ((400 - 200) / 2, f.draws[0].x);
    EXPECT_EQ((300 - 100) / 2, f.draws[0].y);
    // Odd differences use integer division.
    const SlideSize odd[] = {{201, 101}};
    SlideFrame g = SlideFrameAt(0.0, odd, 1, 400, 300);
    EXPECT_EQ(99, g.draws[0].x);
    EXPECT_EQ(99, g.draws[0].y);
}

TEST(SlideShowFrame, PictureLargerThanTheAreaIsCentredAndCut)
{
    const SlideSize big[] = {{600, 500}};
    SlideFrame f = SlideFrameAt(0.0, big, 1, kAreaW, kAreaH);
    ASSERT_EQ(1u, f.count);
    EXPECT_EQ(-100, f.draws[0].x);
    EXPECT_EQ(-100, f.draws[0].y);
    // An odd overhang truncates toward zero, as the integer division does.
    const SlideSize odd[] = {{403, 300}};
    EXPECT_EQ(-1, SlideFrameAt(0.0, odd, 1, kAreaW, kAreaH).draws[0].x);
}

TEST(SlideShowFrame, PushMovesBothPicturesLeftBySEqualsAx)
{
    // Mid-transition: x = 0.5, s = 200.
    SlideFrame f = At(7.8);
    ASSERT_EQ(2u, f.count);
    EXPECT_EQ(0u, f.draws[0].index);
    EXPECT_EQ((400 - 200) / 2 - 200, f.draws[0].x);
    EXPECT_EQ((300 - 100) / 2, f.draws[0].y);
    EXPECT_EQ(1u, f.draws[1].index);
    EXPECT_EQ(400 + (400 - 180) / 2 - 200, f.draws[1].x);
    EXPECT_EQ((300 - 90) / 2, f.draws[1].y);

    // Last push wraps to the first picture.
    SlideFrame w = At(3 * 8.1 - 0.3);
    ASSERT_EQ(2u, w.count);
    EXPECT_EQ(2u, w.draws[0].index);
    EXPECT_EQ(0u, w.draws[1].index);
}

TEST(SlideShowFrame, PushOffsetIsTruncated)
{
    EXPECT_EQ(0, SlidePushOffset(400, 0.0f));
    EXPECT_EQ(133, SlidePushOffset(400, 0.3333f));
    EXPECT_EQ(399, SlidePushOffset(400, 0.999f));
    EXPECT_EQ(66, SlidePushOffset(333, 0.2f));
    // At 10% of the push in a 400-pixel area: s = 40.
    SlideFrame f = At(7.5 + 0.06);
    ASSERT_EQ(2u, f.count);
    EXPECT_EQ(100 - 40, f.draws[0].x);
}

TEST(SlideShowFrame, SinglePictureVanishesForThePush)
{
    const SlideSize one[] = {{100, 50}};
    EXPECT_EQ(1u, SlideFrameAt(1.0, one, 1, kAreaW, kAreaH).count);
    EXPECT_EQ(1u, SlideFrameAt(7.5, one, 1, kAreaW, kAreaH).count);
    EXPECT_EQ(0u, SlideFrameAt(7.6, one, 1, kAreaW, kAreaH).count);
    EXPECT_EQ(0u, SlideFrameAt(8.09, one, 1, kAreaW, kAreaH).count);
    SlideFrame back = SlideFrameAt(8.1, one, 1, kAreaW, kAreaH);
    ASSERT_EQ(1u, back.count);
    EXPECT_EQ(150, back.draws[0].x);
}

namespace {

std::int64_t g_fakeNow = 0;
std::int64_t FakeClock()
{
    return g_fakeNow;
}

class SlideShowClockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetSlideShowClockForTesting(&FakeClock);
        ResetSlideShowOriginForTesting();
    }
    void TearDown() override
    {
        SetSlideShowClockForTesting(nullptr);
        ResetSlideShowOriginForTesting();
    }
};

} // namespace

TEST_F(SlideShowClockTest, OriginIsTakenOnceAtFirstUse)
{
    g_fakeNow = 50000;
    EXPECT_EQ(0.0, SlideShowElapsedSeconds());
    g_fakeNow = 57800;
    EXPECT_DOUBLE_EQ(7.8, SlideShowElapsedSeconds());
    g_fakeNow = 60000;
    EXPECT_DOUBLE_EQ(10.0, SlideShowElapsedSeconds());
    ResetSlideShowOriginForTesting();
    EXPECT_EQ(0.0, SlideShowElapsedSeconds());
}

TEST_F(SlideShowClockTest, DefaultClockIsRestoredAndMonotonic)
{
    SetSlideShowClockForTesting(nullptr);
    std::int64_t a = SlideShowSteadyClockMs();
    double first = SlideShowElapsedSeconds();
    double second = SlideShowElapsedSeconds();
    EXPECT_GE(second, first);
    EXPECT_GE(SlideShowSteadyClockMs(), a);
    EXPECT_LT(second, 60.0); // the origin was taken by this test, not at some old time
}
