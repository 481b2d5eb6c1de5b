#pragma once

#include <QCursor>
#include <QImage>

// The pointer over the canvas while painting: the outline of the brush at its real
// size on screen, a circle for the round brush and a square for the square one,
// drawn dark over a light rim so it shows on any picture. The hot spot is the
// brush's centre.
namespace BrushCursor {

// Premultiplied ARGB, transparent outside the outline; side 2 x ceil(radius x
// ratio) + 4 device pixels, the brush centred. `radius` is in points.
QImage outline(double radius, int shape, qreal devicePixelRatio);

QCursor cursor(double radius, int shape, qreal devicePixelRatio);

}  // namespace BrushCursor
