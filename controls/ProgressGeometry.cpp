#include "controls/ProgressGeometry.h"

#include <algorithm>

ProgressGeometry ComputeProgressGeometry(float clientLeft, float clientTop, float clientWidth,
                                         float clientHeight, float trackWidth, float trackHeight,
                                         float radiusX, float radiusY, int position, int maximum)
{
    ProgressGeometry g = {};
    g.left = clientLeft + (clientWidth - trackWidth) * 0.5f;
    g.top = clientTop + (clientHeight - trackHeight) * 0.5f;
    g.right = g.left + trackWidth;
    g.bottom = g.top + trackHeight;
    g.radiusX = radiusX;
    g.radiusY = std::min(radiusY, trackWidth / 2.0f);
    g.fillRight = g.left;
    if (position <= 0 || maximum <= 0 || !(trackWidth > 0.0f))
        return g;
    float fraction = static_cast<float>(position) / static_cast<float>(maximum);
    // The fill is cut to the track: a position above the maximum fills it, never more.
    g.fillRight = std::min(g.left + trackWidth * fraction, g.right);
    g.hasFill = g.fillRight > g.left;
    return g;
}
