#include "canvas/NavigationSteps.h"

#include <cmath>
#include <limits>

namespace NavigationSteps {

int truncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int>::min();
    return int(value);
}

float halfExtent(float zoom, float side)
{
    return zoom * side * 0.5f;
}

int panAxis(int centre, std::int64_t step, float half, float view)
{
    const float moved = float(std::int64_t(centre) + step);
    if (moved - half < 0.0f && moved + half > view)
        return truncToInt(moved);
    return centre;
}

bool canZoomIn(float zoom)
{
    return zoom < 4.0f;
}

float zoomedIn(float zoom)
{
    return zoom * 1.25f;
}

bool canZoomOut(float zoom)
{
    return double(zoom) > 0.4;
}

float zoomedOut(float zoom)
{
    return float(double(zoom) * 0.8);
}

int recentreAxis(int centre, float half, float view, int start)
{
    if (half < view)
        return start;
    if (float(centre) - half > 0.0f)
        return truncToInt(half);
    if (half + float(centre) < view)
        return truncToInt(view - half);
    return centre;
}

float fitZoom(FloatSize picture, FloatSize view)
{
    float zoom = 1.0f;
    int tries = 5;
    do {
        if (zoom * picture.width <= view.width)
            return zoom;
        if (zoom * picture.height <= view.height)
            return zoom;
        zoom = zoomedOut(zoom);
        --tries;
    } while (tries != 0);
    return zoom;
}

} // namespace NavigationSteps
