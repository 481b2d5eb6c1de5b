#pragma once

#include "base/Geometry.h"

// Receives zooming and panning from a NavigationAdapter. Positions are in the
// widget's coordinates (points, origin top-left, y downwards).
class NavigationResponder {
public:
    virtual ~NavigationResponder() = default;
    // Zoom steps about a point; positive steps zoom in.
    virtual void zoomStepsAt(int steps, FloatPoint viewPoint) = 0;
    // A drag that moves the picture, never paints.
    virtual void panBegan(FloatPoint viewPoint) = 0;
    virtual void panMoved(FloatPoint viewPoint) = 0;
    virtual void panEnded() = 0;
    // The whole picture in view (a double-click with the middle button).
    virtual void zoomToFitWhole() {}
};
