// Touch handling of the canvas. The toolbar decides what touches do: positions 0,
// 1 and 2 paint every finger from the black sketch, the colour sketch or the photo;
// position 3 navigates (one finger pans, two fingers zoom in steps); no selection
// or any other position ignores touches. Nothing happens without a project.
//
// Painting is continuous: a finger lays dabs along its way from its previous
// position in the stroke (DrawSegment), so a fast drag draws a line; a finger new
// to the stroke lays one dab; the dabs of all fingers are presented together,
// once an event. A stroke lasts until the last finger is lifted.
#include "canvas/CanvasView.h"

#include <cstdint>
#include <utility>

#include "canvas/NavigationSteps.h"
#include "widgets/TouchEvent.h"

namespace {

constexpr int kNavigation = 3;

bool isPaintingPosition(int index)
{
    return index >= 0 && index < kNavigation;
}

} // namespace

bool CanvasView::navigates(const TouchEvent& event)
{
    if (!isLoaded())
        return false;
    const int tool = selectedIndex(toolbar());
    if (isPaintingPosition(tool))
        paintTouches(event);
    return tool == kNavigation;
}

void CanvasView::paintTouches(const TouchEvent& event)
{
    if (mPeekSource >= 0)
        return;  // a peek shows the source; it changes nothing
    if (!mDocument.history().strokeOpen()) {
        mDocument.beginStroke();
        mStrokePainted = false;
        mFingers.clear();
    }

    // Every finger paints, the ones that rested included. The toolbar is read
    // again for every finger; should it have left the painting positions
    // meanwhile, the remaining fingers paint nothing. Fingers no longer in the
    // event are forgotten.
    std::vector<Finger> fingers;
    fingers.reserve(event.allTouches.size());
    for (std::size_t i = 0; i < event.allTouches.size(); ++i) {
        const int drawType = selectedIndex(toolbar());
        if (!isPaintingPosition(drawType))
            break;
        const FloatPoint touch = event.allTouches[i];
        const int id = event.fingerIds.size() == event.allTouches.size() ? event.fingerIds[i] : int(i);
        const float pressure = event.pressures.size() == event.allTouches.size() ? event.pressures[i] : -1.0f;
        const Finger* previous = nullptr;
        for (const Finger& known : mFingers)
            if (known.id == id)
                previous = &known;
        if (previous)
            laySegment(previous->at, touch, drawType, previous->pressure, pressure);
        else
            layDab(touch, drawType, pressure);
        fingers.push_back(Finger{id, touch, pressure});
    }
    mFingers = std::move(fingers);
    // One present for the whole event, every finger's dabs in it.
    presentDabArea();
}

void CanvasView::touchesBegan(const TouchEvent& event)
{
    // A new gesture is a new stroke, also after a cancelled one that never ended.
    if (event.firstFingerDown)
        finishStroke();
    if (!navigates(event))
        return;

    const std::vector<FloatPoint>& touches = event.allTouches;
    if (touches.size() == 1)
        setPanningModeWithLocation(touches[0]);
    else if (touches.size() == 2)
        setZoomingModeWithSpacing(eucledianDistanceFromPoint(touches[0], touches[1]));
    else
        resetTouches();
}

void CanvasView::touchesMoved(const TouchEvent& event)
{
    using namespace NavigationSteps;

    if (!navigates(event))
        return;

    const std::vector<FloatPoint>& touches = event.allTouches;
    const QRectF f = frame();
    const float frameWidth = float(f.width());
    const float frameHeight = float(f.height());

    if (touches.size() == 1) {
        // Pan: each axis moves by the whole points of the finger's step, but only
        // while the picture still overhangs the view on both sides of that axis;
        // a step that would uncover an edge is refused, not clamped. Fractions of a
        // point are dropped and do not carry over to the next step.
        if (!isPanning()) {
            resetTouches();
            return;
        }
        const FloatPoint from = mLastTouchLocation;
        const FloatPoint p = touches[0];
        setPanningModeWithLocation(p);
        panStep(from, p);
        UpdateScreen();
        return;
    }

    if (touches.size() == 2) {
        // Zoom: every doubling of the finger distance since the last step zooms in
        // once, every halving zooms out once. The new reference distance is kept
        // even when the zoom is already at its limit.
        if (!isZooming()) {
            resetTouches();
            return;
        }
        const float spacing = eucledianDistanceFromPoint(touches[0], touches[1]);
        const float ratio = spacing / mLastTouchSpacing;
        if (ratio >= 2.0f) {
            setZoomingModeWithSpacing(spacing);
            if (!canZoomIn(zoomlevel))
                return;
            // The picture grows about its own centre.
            zoomlevel = zoomedIn(zoomlevel);
            UpdateScreen();
        } else if (ratio <= 0.5f) {
            setZoomingModeWithSpacing(spacing);
            if (!canZoomOut(zoomlevel))
                return;
            zoomlevel = zoomedOut(zoomlevel);
            const FloatSize picsize = pictureSize();
            centerx = recentreAxis(centerx, halfExtent(zoomlevel, picsize.width), frameWidth, startX());
            centery = recentreAxis(centery, halfExtent(zoomlevel, picsize.height), frameHeight, startY());
            UpdateScreen();
        }
        return;
    }

    resetTouches();
}

void CanvasView::touchesEnded(const TouchEvent& event)
{
    if (isLoaded())
        resetTouches();
    if (event.lastFingerLifted)
        finishStroke();
}

void CanvasView::touchesCanceled()
{
    resetTouches();
    finishStroke();
}

void CanvasView::panStep(FloatPoint from, FloatPoint to)
{
    using namespace NavigationSteps;
    // Each axis moves by the whole points of the step, but only while the picture
    // still overhangs the view on both sides of that axis; a step that would
    // uncover an edge is refused, not clamped. Fractions of a point are dropped and
    // do not carry over to the next step.
    const QRectF f = frame();
    const FloatSize picsize = pictureSize();
    const int dx = truncToInt(to.x - from.x);
    const int dy = truncToInt(to.y - from.y);
    // Touches count y downwards, drawing coordinates upwards.
    centerx = panAxis(centerx, dx, halfExtent(zoomlevel, picsize.width), float(f.width()));
    centery = panAxis(centery, -std::int64_t(dy), halfExtent(zoomlevel, picsize.height), float(f.height()));
}

std::int32_t CanvasView::startX() const
{
    return NavigationSteps::truncToInt(center().x);
}

std::int32_t CanvasView::startY() const
{
    return NavigationSteps::truncToInt(double(center().y) - double(mBandHeight));
}
