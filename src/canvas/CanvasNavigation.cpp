// The navigation mode of the canvas and the zoom that fits a new picture.
//
// The mode lives in two fields with -1 as "not active": panning keeps the finger
// position of the previous event in mLastTouchLocation, zooming keeps the finger
// distance of the last zoom step in mLastTouchSpacing. Both tests are strict, so a
// finger at x <= 0 reads as not panning and a spacing of 0 as not zooming.
#include "canvas/CanvasView.h"

#include <cmath>

#include "canvas/NavigationSteps.h"

void CanvasView::resetTouches()
{
    mLastTouchLocation = FloatPoint{-1.0f, -1.0f};
    mLastTouchSpacing = -1.0f;
}

void CanvasView::setPanningModeWithLocation(FloatPoint location)
{
    mLastTouchLocation = location;
    mLastTouchSpacing = -1.0f;
}

void CanvasView::setZoomingModeWithSpacing(float spacing)
{
    mLastTouchLocation = FloatPoint{-1.0f, -1.0f};
    mLastTouchSpacing = spacing;
}

bool CanvasView::isPanning() const
{
    return mLastTouchLocation.x > 0.0f;
}

bool CanvasView::isZooming() const
{
    return mLastTouchSpacing > 0.0f;
}

float CanvasView::eucledianDistanceFromPoint(FloatPoint a, FloatPoint b)
{
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    return std::sqrt(dx * dx + dy * dy);
}

float CanvasView::ZoomToFit() const
{
    const QRectF b = bounds();
    return NavigationSteps::fitZoom(picsize, FloatSize{float(b.width()), float(b.height())});
}
