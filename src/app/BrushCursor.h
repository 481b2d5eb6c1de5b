#pragma once

#include <QCursor>
#include <QImage>

// The pointer over the canvas while painting: the outline of the brush at its real
// size on screen, a circle for the round brush and a square for the square one,
// drawn dark over a light rim so it shows on any picture. The hot spot is the
// brush's centre. A soft brush adds a thin inner outline where its falloff starts.
namespace BrushCursor {

// Premultiplied ARGB, transparent outside the outline; side 2 x ceil(radius x
// ratio) + 4 device pixels, the brush centred. `radius` is in points.
// `innerRadius`, in points, draws the inner outline when positive.
QImage outline(double radius, int shape, qreal devicePixelRatio, double innerRadius = -1.0);

QCursor cursor(double radius, int shape, qreal devicePixelRatio, double innerRadius = -1.0);

}  // namespace BrushCursor
