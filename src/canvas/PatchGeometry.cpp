#include "canvas/PatchGeometry.h"

#include <cmath>

namespace PatchGeometry {

Placement place(int centerx, int centery, float zoom, FloatSize picsize, int textureWidth, int textureHeight)
{
    Placement p;
    p.left = float(centerx) + zoom * picsize.width * -0.5f;
    p.top = float(centery) + zoom * picsize.height * 0.5f;
    p.zoom = zoom;
    p.textureWidth = textureWidth;
    p.textureHeight = textureHeight;
    return p;
}

void appendPatch(const Placement& p, int x1, int y1, int x2, int y2, std::vector<float>& positions,
                 std::vector<float>& coordinates)
{
    const float s1 = float(x1) / float(p.textureWidth);
    const float s2 = float(x2) / float(p.textureWidth);
    const float t1 = float(y1) / float(p.textureHeight);
    const float t2 = float(y2) / float(p.textureHeight);
    const float X1 = p.left + float(x1) * p.zoom;
    const float X2 = p.left + float(x2) * p.zoom;
    const float Y1 = p.top - float(y1) * p.zoom;
    const float Y2 = p.top - float(y2) * p.zoom;
    // Strip corners 0 (X1, Y2), 1 (X1, Y1), 2 (X2, Y2), 3 (X2, Y1): triangles 0 1 2
    // and 2 1 3, in the order the strip draws them.
    positions.insert(positions.end(), {X1, Y2, X1, Y1, X2, Y2, X2, Y2, X1, Y1, X2, Y1});
    coordinates.insert(coordinates.end(), {s1, t2, s1, t1, s2, t2, s2, t2, s1, t1, s2, t1});
}

namespace {

// Whether a pixel centre (k + 0.5) lies in [a - margin, b + margin).
bool centreWithin(double a, double b)
{
    constexpr double margin = 1.0 / 16.0;
    return std::ceil(a - margin - 0.5) + 0.5 < b + margin;
}

}  // namespace

bool reachesPixelCentre(const Placement& p, int x1, int y1, int x2, int y2, FloatSize pixelsPerPoint)
{
    if (!(pixelsPerPoint.width > 0) || !(pixelsPerPoint.height > 0) || !std::isfinite(pixelsPerPoint.width) ||
        !std::isfinite(pixelsPerPoint.height))
        return true;
    // The corners as appendPatch computes them.
    const float X1 = p.left + float(x1) * p.zoom;
    const float X2 = p.left + float(x2) * p.zoom;
    const float Y1 = p.top - float(y1) * p.zoom;
    const float Y2 = p.top - float(y2) * p.zoom;
    const double sx = pixelsPerPoint.width;
    const double sy = pixelsPerPoint.height;
    return centreWithin(double(X1) * sx, double(X2) * sx) && centreWithin(double(Y2) * sy, double(Y1) * sy);
}

QRect surfaceRect(const Placement& p, const QRect& picture, FloatSize view, FloatSize surface)
{
    if (picture.isEmpty() || !(view.width > 0) || !(view.height > 0))
        return QRect();
    const double sx = double(surface.width) / double(view.width);
    const double sy = double(surface.height) / double(view.height);
    // Drawing coordinates of the rectangle, then surface pixels counted from the top.
    const double x1 = double(p.left) + double(picture.x()) * double(p.zoom);
    const double x2 = double(p.left) + double(picture.x() + picture.width()) * double(p.zoom);
    const double yTop = double(p.top) - double(picture.y()) * double(p.zoom);
    const double yBottom = double(p.top) - double(picture.y() + picture.height()) * double(p.zoom);
    if (!std::isfinite(x1 * sx) || !std::isfinite(x2 * sx) || !std::isfinite(yTop * sy) || !std::isfinite(yBottom * sy))
        return QRect();
    const double left = std::floor(x1 * sx) - 1.0;
    const double right = std::ceil(x2 * sx) + 1.0;
    const double top = std::floor((double(view.height) - yTop) * sy) - 1.0;
    const double bottom = std::ceil((double(view.height) - yBottom) * sy) + 1.0;
    // Clipped in doubles first, so that a far-away picture cannot overflow an int.
    const double w = double(surface.width);
    const double h = double(surface.height);
    const auto clip = [](double v, double hi) { return v < 0.0 ? 0.0 : (v > hi ? hi : v); };
    const int l = int(clip(left, w));
    const int r = int(clip(right, w));
    const int t = int(clip(top, h));
    const int b = int(clip(bottom, h));
    if (l >= r || t >= b)
        return QRect();
    return QRect(l, t, r - l, b - t);
}

}  // namespace PatchGeometry
