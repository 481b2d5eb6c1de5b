#pragma once

#include <cstdint>

#include "base/Geometry.h"
#include "project/BrushDab.h"

// The arithmetic of panning and zooming the picture on screen, over plain values:
// geometry in 32-bit floats, centres in whole points, float-to-int conversion by
// truncation toward zero. All sizes are in points; "half" is half the picture's
// extent on screen along one axis (zoom x picture side x 0.5) and "view" the view's
// extent along the same axis.
namespace NavigationSteps {

// Truncation toward zero to a 32-bit int. Values beyond the int range saturate and
// NaN gives 0, so that no input, however odd, makes the conversion undefined.
int truncToInt(double value);

// Half the picture's extent on screen: zoom x side x 0.5, in floats.
float halfExtent(float zoom, float side);

// One pan step along one axis (in drawing coordinates, so the caller negates a
// downward finger move for y). The moved centre is taken only if the picture still
// overhangs the view on both sides afterwards (far edge strictly beyond the view,
// near edge strictly before 0); otherwise the centre stays where it is.
int panAxis(int centre, std::int64_t step, float half, float view);

// Zoom in: x 1.25 in floats, allowed only while zoom < 4.0.
bool canZoomIn(float zoom);
float zoomedIn(float zoom);

// Zoom out: the 64-bit product zoom x 0.8 narrowed to a float, allowed only while
// the zoom widened to 64 bits is above 0.4.
bool canZoomOut(float zoom);
float zoomedOut(float zoom);

// The centre along one axis after a zoom-out step. A picture whose half extent is
// below the whole view extent goes back to the start position; otherwise an edge
// that came inside the view is snapped to the view's edge (the near edge first);
// otherwise the centre stays.
int recentreAxis(int centre, float half, float view, int start);

// The zoom at which a new picture is first shown: 1.0 reduced by x 0.8 steps until
// the picture fits the view along either axis, at most five reductions (the fifth
// result is returned without a further test).
float fitZoom(FloatSize picture, FloatSize view);

// The centre along one axis after one zoom step from oldZoom to newZoom that keeps
// the picture point at `anchor` (drawing coordinates) where it is, as far as the
// rules of touch navigation allow: after a zoom-out step the centre is re-centred
// as above (recentreAxis); after a zoom-in step a picture that does not overhang
// the view on this axis keeps its centre (it grows about it, as with two fingers),
// and one that does has an edge that came inside the view snapped to the view's
// edge. The anchored centre is rounded to the nearest whole point.
int anchoredZoomAxis(int centre, float anchor, float oldZoom, float newZoom, float side, float view, int start);

// The largest zoom among the steps reachable from 1.0 (x 1.25 up to the first
// level at 4.0 or above, x 0.8 down to the first level at 0.4 or below) at which
// the whole picture fits the view on both axes; the smallest step when none does.
float wholeFitZoom(FloatSize picture, FloatSize view);

// The centre along one axis after the view's extent changed from oldView to
// newView: the picture point at the middle of the view stays at its middle (the
// centre moves by half the change, rounded to the nearest whole point), then the
// centre is re-centred as after a zoom-out step (recentreAxis) about the new
// start position.
int resizedAxis(int centre, float oldView, float newView, float half, int start);

// Where the picture point under `viewPoint` (view coordinates, y down) as the
// picture was placed `before` is shown as it is placed `after`: a stroke going on
// across a zoom or a pan goes on from there.
FloatPoint carriedViewPoint(FloatPoint viewPoint, const BrushDab::Placement& before,
                            const BrushDab::Placement& after);

} // namespace NavigationSteps
