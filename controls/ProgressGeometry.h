// Where the progress bar draws its track and fill (standard C++), in floating point device
// pixels. The track of width W and height H is centred in the client area; its vertical corner
// radius is min(radius y, W / 2) -- half the track's width, not its height, which is what the
// bar has always looked like.
#pragma once

struct ProgressGeometry
{
    float left, top, right, bottom; // the track
    float radiusX, radiusY;
    bool hasFill;                   // false: the track alone
    float fillRight;                // right edge of the fill, within [left, right]
};

// position / maximum is computed in float. A position of 0 or less, or a maximum of 0 or less,
// fills nothing (there is no sensible fraction, and no division by zero); a position above the
// maximum fills the whole track, because the fill is cut to the track.
ProgressGeometry ComputeProgressGeometry(float clientLeft, float clientTop, float clientWidth,
                                         float clientHeight, float trackWidth, float trackHeight,
                                         float radiusX, float radiusY, int position, int maximum);
