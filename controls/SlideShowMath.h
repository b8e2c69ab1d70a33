// What the slide show draws at a given moment (standard C++): which picture or pictures, and
// where. Each picture stands still for the display time and is then pushed out to the left by
// the next one during the transition time, endlessly, in list order.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr double kSlideDisplaySeconds = 7.5;
constexpr double kSlideTransitionSeconds = 0.6;

struct SlideSize
{
    int width;
    int height;
};

// One picture to draw: its index in the slide list and its top-left corner, measured from the
// client origin. Pictures are drawn at their natural size and may reach outside the area.
struct SlideDraw
{
    std::size_t index;
    int x;
    int y;
};

// The moment in the cycle: a still picture, or a push from one picture to the next.
struct SlidePhase
{
    bool transition;      // false: picture `current` stands still
    std::size_t current;  // i = k mod n
    std::size_t next;     // (i + 1) mod n; equal to current for a single picture
    float progress;       // 0 <= x < 1 during a transition, else 0
};

// The phase after elapsedSeconds for count > 0 pictures: cycle = display + transition,
// k = integer part of t / cycle, phase = t - k x cycle, i = k mod count; phase > display is a
// transition with progress (phase - display) / transition.
// Unlike a bare formula this never indexes outside the list: a negative or non-finite elapsed
// time counts as 0, negative or non-finite times count as 0, and a cycle of length 0 shows
// picture 0 for ever instead of dividing by zero.
SlidePhase SlidePhaseAt(double elapsedSeconds, std::size_t count, double displaySeconds,
                        double transitionSeconds);

// What to draw in a picture area of areaWidth x areaHeight: at most two pictures.
// Still picture i at ((A - w) / 2, (B - h) / 2), integer division. During a transition with
// progress x, s = A x x truncated; picture i at ((A - w) / 2 - s, (B - h) / 2) and the next
// one at (A + (A - w') / 2 - s, (B - h') / 2). A single picture has no partner: nothing is
// drawn for the transition time. count 0 draws nothing.
struct SlideFrame
{
    std::size_t count = 0; // 0, 1 or 2 entries of draws
    SlideDraw draws[2] = {};
};
SlideFrame SlideFrameAt(double elapsedSeconds, const SlideSize* sizes, std::size_t count,
                        int areaWidth, int areaHeight, double displaySeconds = kSlideDisplaySeconds,
                        double transitionSeconds = kSlideTransitionSeconds);

// The push distance s = A x x, truncated toward zero.
int SlidePushOffset(int areaWidth, float progress);

// The process-wide time origin of all slide shows, in milliseconds of a replaceable clock.
// The origin is taken once, at the first paint of any slide show that has slides, so a slide
// show shown again continues its sequence instead of restarting it.
using SlideClock = std::int64_t (*)();

// Milliseconds of a monotonic clock (the default).
std::int64_t SlideShowSteadyClockMs();

// Seconds since the origin, taking the origin now if it has not been taken yet (thread-safe).
double SlideShowElapsedSeconds();

// Tests: replace the clock (null restores the default) and forget the origin so that the next
// SlideShowElapsedSeconds takes it again from the new clock.
void SetSlideShowClockForTesting(SlideClock clock);
void ResetSlideShowOriginForTesting();
