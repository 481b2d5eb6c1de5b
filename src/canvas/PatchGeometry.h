#pragma once

#include <QRect>
#include <vector>

#include "base/Geometry.h"

// Where patches of the picture land on the surface: the vertex arrays that draw
// them and the surface pixels they may touch. Plain arithmetic, no GL calls.
namespace PatchGeometry {

// The picture on screen: its top-left corner in drawing coordinates (points, y
// upwards), the zoom (points a picture pixel) and the texture size that texture
// coordinates are taken over.
struct Placement {
    float left = 0.0f;
    float top = 0.0f;
    float zoom = 1.0f;
    int textureWidth = 1;
    int textureHeight = 1;
};

// The placement of a picture of picsize pixels at `zoom` centred on
// (centerx, centery).
Placement place(int centerx, int centery, float zoom, FloatSize picsize, int textureWidth, int textureHeight);

// Appends the patch of picture columns x1..x2-1 and rows y1..y2-1 as two
// triangles (6 vertices, GL_TRIANGLES): positions (x, y) to `positions` and texture
// coordinates (s, t) to `coordinates`. The triangles are those of the rectangle's
// triangle strip, so a batch draws the same pixels as one strip a patch.
void appendPatch(const Placement& placement, int x1, int y1, int x2, int y2, std::vector<float>& positions,
                 std::vector<float>& coordinates);

// Whether the patch of picture columns x1..x2-1 and rows y1..y2-1 can make a
// fragment on a surface of `pixelsPerPoint` pixels a point along each axis: some
// pixel centre lies within its extent, widened by a sixteenth of a pixel on every
// side for the rasteriser's snapping of vertices (GL positions them to at least
// a sixteenth of a pixel). A patch that reaches none draws nothing. Always true
// when a scale is not positive.
bool reachesPixelCentre(const Placement& placement, int x1, int y1, int x2, int y2, FloatSize pixelsPerPoint);

// The surface pixels (top row 0) that patches of the picture pixels `picture` can
// touch, on a view of `view` points whose projection covers it and a surface of
// `surface` pixels: rounded outward with a pixel to spare, clipped to the surface.
QRect surfaceRect(const Placement& placement, const QRect& picture, FloatSize view, FloatSize surface);

}  // namespace PatchGeometry
