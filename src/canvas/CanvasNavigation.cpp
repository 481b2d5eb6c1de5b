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
    return NavigationSteps::fitZoom(pictureSize(), FloatSize{float(b.width()), float(b.height())});
}

void CanvasView::showAtStart()
{
    centerx = startX();
    centery = startY();
    zoomlevel = ZoomToFit();
    rememberFitPlacement();
}

void CanvasView::rememberFitPlacement()
{
    mFitCenterX = centerx;
    mFitCenterY = centery;
    mFitZoom = zoomlevel;
}

bool CanvasView::isAtFitPlacement() const
{
    return centerx == mFitCenterX && centery == mFitCenterY && zoomlevel == mFitZoom;
}

// --- Desktop navigation: wheel, pinch, keys and pan drags ------------------------
//
// The same zoom steps, limits and re-centring as the touches, and the same pan
// rule; only the point that stays in place differs (the pointer instead of the
// picture's centre). Every change of view is a full redraw of the working texture,
// brought up to date first when painting has left it behind.

void CanvasView::redrawView()
{
    if (mWorkingTextureStale) {
        ReloadCanvas();
        mWorkingTextureStale = false;
    }
    UpdateScreen();
    mFingers.clear();  // a stroke going on continues from here, not across the change
}

namespace {

BrushDab::Placement placementOf(float zoom, std::int32_t cx, std::int32_t cy, FloatSize picture, const QRectF& bounds)
{
    return BrushDab::Placement{zoom, cx, cy, picture, float(bounds.height())};
}

}  // namespace

// The full redraw after a zoom or pan from `before`; a stroke going on continues
// from where its fingers' picture points are now shown, so the segment across the
// change is painted too.
void CanvasView::redrawViewFrom(const BrushDab::Placement& before)
{
    const BrushDab::Placement after = placementOf(zoomlevel, centerx, centery, pictureSize(), bounds());
    std::vector<Finger> fingers = std::move(mFingers);
    for (Finger& finger : fingers)
        finger.at = NavigationSteps::carriedViewPoint(finger.at, before, after);
    redrawView();
    mFingers = std::move(fingers);
}

void CanvasView::zoomStepsAt(int steps, FloatPoint viewPoint)
{
    using namespace NavigationSteps;
    if (!isLoaded())
        return;
    const BrushDab::Placement before = placementOf(zoomlevel, centerx, centery, pictureSize(), bounds());
    const QRectF f = frame();
    // Drawing coordinates count y upwards from the bottom of the view.
    const float anchorX = viewPoint.x;
    const float anchorY = float(bounds().height()) - viewPoint.y;
    bool changed = false;
    for (; steps != 0; steps += steps > 0 ? -1 : 1) {
        const bool in = steps > 0;
        if (in ? !canZoomIn(zoomlevel) : !canZoomOut(zoomlevel))
            break;
        const float before = zoomlevel;
        zoomlevel = in ? zoomedIn(before) : zoomedOut(before);
        centerx = anchoredZoomAxis(centerx, anchorX, before, zoomlevel, pictureSize().width, float(f.width()),
                                   startX());
        centery = anchoredZoomAxis(centery, anchorY, before, zoomlevel, pictureSize().height, float(f.height()),
                                   startY());
        changed = true;
    }
    if (changed) {
        redrawViewFrom(before);
        emit zoomed(zoomlevel);
    }
}

void CanvasView::zoomIn()
{
    const QRectF b = bounds();
    zoomStepsAt(1, FloatPoint{float(b.width() / 2.0), float(b.height() / 2.0)});
}

void CanvasView::zoomOut()
{
    const QRectF b = bounds();
    zoomStepsAt(-1, FloatPoint{float(b.width() / 2.0), float(b.height() / 2.0)});
}

void CanvasView::zoomToFitWhole()
{
    if (!isLoaded())
        return;
    const QRectF b = bounds();
    const BrushDab::Placement before = placementOf(zoomlevel, centerx, centery, pictureSize(), b);
    zoomlevel = NavigationSteps::wholeFitZoom(pictureSize(), FloatSize{float(b.width()), float(b.height())});
    centerx = startX();
    centery = startY();
    rememberFitPlacement();
    redrawViewFrom(before);
    emit zoomed(zoomlevel);
}

void CanvasView::panBegan(FloatPoint viewPoint)
{
    mDesktopPanning = isLoaded();
    mPanLocation = viewPoint;
}

void CanvasView::panMoved(FloatPoint viewPoint)
{
    if (!mDesktopPanning || !isLoaded())
        return;
    const std::int32_t x = centerx;
    const std::int32_t y = centery;
    const BrushDab::Placement before = placementOf(zoomlevel, centerx, centery, pictureSize(), bounds());
    panStep(mPanLocation, viewPoint);
    // The whole points taken; fractions carry over to the next step, so that a
    // slow drag on a scaled screen still moves the picture.
    mPanLocation.x += float(NavigationSteps::truncToInt(viewPoint.x - mPanLocation.x));
    mPanLocation.y += float(NavigationSteps::truncToInt(viewPoint.y - mPanLocation.y));
    if (centerx != x || centery != y)
        redrawViewFrom(before);
}

void CanvasView::panEnded()
{
    mDesktopPanning = false;
}
