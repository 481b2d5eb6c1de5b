#include "canvas/NavigationSteps.h"

#include <cmath>
#include <limits>
#include <vector>

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

int anchoredZoomAxis(int centre, float anchor, float oldZoom, float newZoom, float side, float view, int start)
{
    const float half = halfExtent(newZoom, side);
    const double anchored = double(anchor) - (double(anchor) - double(centre)) * double(newZoom) / double(oldZoom);
    const int candidate = truncToInt(std::floor(anchored + 0.5));
    if (newZoom < oldZoom)
        return recentreAxis(candidate, half, view, start);
    if (!(half + half > view))
        return centre;
    // The centre may lie between view - half (right edge on the view's right edge)
    // and half (left edge on its left edge).
    if (float(candidate) - half > 0.0f)
        return truncToInt(half);
    if (half + float(candidate) < view)
        return truncToInt(view - half);
    return candidate;
}

float wholeFitZoom(FloatSize picture, FloatSize view)
{
    // The ladder of steps, smallest first.
    std::vector<float> steps{1.0f};
    while (canZoomOut(steps.front()))
        steps.insert(steps.begin(), zoomedOut(steps.front()));
    while (canZoomIn(steps.back()))
        steps.push_back(zoomedIn(steps.back()));
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        if (*step * picture.width <= view.width && *step * picture.height <= view.height)
            return *step;
    return steps.front();
}

int resizedAxis(int centre, float oldView, float newView, float half, int start)
{
    const double moved = double(centre) + (double(newView) - double(oldView)) * 0.5;
    return recentreAxis(truncToInt(std::floor(moved + 0.5)), half, newView, start);
}

FloatPoint carriedViewPoint(FloatPoint viewPoint, const BrushDab::Placement& before,
                            const BrushDab::Placement& after)
{
    // The inverse of BrushDab::centreInPicture at `after`.
    const FloatPoint p = BrushDab::centreInPicture(viewPoint, before);
    const float z = after.zoomlevel;
    return FloatPoint{p.x * z - z * after.picsize.width * 0.5f + float(after.centerx),
                      p.y * z - z * after.picsize.height * 0.5f - float(after.centery) + after.boundsHeight};
}

} // namespace NavigationSteps
