#include "controls/SlideShowMath.h"

#include <atomic>
#include <chrono>
#include <cmath>

namespace {

double NonNegativeFinite(double value)
{
    return std::isfinite(value) && value > 0.0 ? value : 0.0;
}

SlideDraw Centred(std::size_t index, const SlideSize& size, int areaWidth, int areaHeight, int shift)
{
    // Integer division truncates toward zero, so a picture larger than the area is centred
    // and cut evenly (to within a pixel) at both edges.
    return {index, (areaWidth - size.width) / 2 + shift, (areaHeight - size.height) / 2};
}

std::atomic<SlideClock> g_clock{&SlideShowSteadyClockMs};

// INT64_MIN stands for "not taken yet"; no clock returns it.
constexpr std::int64_t kNoOrigin = INT64_MIN;
std::atomic<std::int64_t> g_origin{kNoOrigin};

} // namespace

SlidePhase SlidePhaseAt(double elapsedSeconds, std::size_t count, double displaySeconds,
                        double transitionSeconds)
{
    SlidePhase phase = {false, 0, 0, 0.0f};
    if (count == 0)
        return phase;
    double t = NonNegativeFinite(elapsedSeconds);
    double display = NonNegativeFinite(displaySeconds);
    double transition = NonNegativeFinite(transitionSeconds);
    double cycle = display + transition;
    if (!(cycle > 0.0) || !std::isfinite(cycle)) {
        phase.next = count > 1 ? 1 : 0;
        return phase;
    }
    // k and i are worked out in double: an integer conversion of t / cycle could overflow
    // after a very long run, and fmod keeps i within the list.
    double k = std::floor(t / cycle);
    double inCycle = t - k * cycle;
    auto i = static_cast<std::size_t>(std::fmod(k, static_cast<double>(count)));
    if (i >= count) // rounding at the very edge of double precision
        i = 0;
    phase.current = i;
    phase.next = (i + 1) % count;
    if (inCycle > display && transition > 0.0) {
        float x = static_cast<float>((inCycle - display) / transition);
        // Rounding of t - k x cycle can land on the cycle's end; a push is never complete.
        if (!(x < 1.0f))
            x = std::nextafter(1.0f, 0.0f);
        if (x < 0.0f)
            x = 0.0f;
        phase.transition = true;
        phase.progress = x;
    }
    return phase;
}

int SlidePushOffset(int areaWidth, float progress)
{
    return static_cast<int>(static_cast<float>(areaWidth) * progress);
}

SlideFrame SlideFrameAt(double elapsedSeconds, const SlideSize* sizes, std::size_t count,
                        int areaWidth, int areaHeight, double displaySeconds,
                        double transitionSeconds)
{
    SlideFrame frame;
    if (!sizes || count == 0)
        return frame;
    SlidePhase phase = SlidePhaseAt(elapsedSeconds, count, displaySeconds, transitionSeconds);
    if (!phase.transition) {
        frame.draws[frame.count++] = Centred(phase.current, sizes[phase.current], areaWidth,
                                             areaHeight, 0);
        return frame;
    }
    // A single picture has nothing to be pushed out by: the area stays empty for the push.
    if (phase.next == phase.current)
        return frame;
    int s = SlidePushOffset(areaWidth, phase.progress);
    frame.draws[frame.count++] = Centred(phase.current, sizes[phase.current], areaWidth,
                                         areaHeight, -s);
    frame.draws[frame.count++] = Centred(phase.next, sizes[phase.next], areaWidth, areaHeight,
                                         areaWidth - s);
    return frame;
}

std::int64_t SlideShowSteadyClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

double SlideShowElapsedSeconds()
{
    std::int64_t now = g_clock.load()();
    std::int64_t origin = g_origin.load();
    if (origin == kNoOrigin) {
        // The first caller sets the origin; a racing caller adopts the winner's value.
        std::int64_t expected = kNoOrigin;
        if (g_origin.compare_exchange_strong(expected, now))
            origin = now;
        else
            origin = expected;
    }
    return static_cast<double>(now - origin) / 1000.0;
}

void SetSlideShowClockForTesting(SlideClock clock)
{
    g_clock.store(clock ? clock : &SlideShowSteadyClockMs);
}

void ResetSlideShowOriginForTesting()
{
    g_origin.store(kNoOrigin);
}
