#include <algorithm>
#include <cmath>
#include <vector>

#include "project/BlendedDab.h"
#include "project/BrushDab.h"
#include "canvas/CanvasView.h"
#include "canvas/PatchBatch.h"

// One dab of the brush at a touch point: the covered pixels of the source chosen
// by drawType are copied into the working buffer and drawn at once, one patch of
// the source texture per painted column, all in one draw call; then only the
// surface pixels the dab covered are presented. The working texture is not
// touched; it is rebuilt before the next full redraw.
// A soft or partial brush blends instead (BlendedDab, through the stroke's mask):
// its box goes up into the working texture and is drawn from there.
bool CanvasView::DrawCanvas(FloatPoint point, int drawType)
{
    const bool painted = layDab(point, drawType);
    presentDabArea();
    return painted;
}

namespace {

// A pen's pressure as the share of the size it gives: 0..1 (a pressure that is
// not a number counts as full), or none without a pen.
bool hasPressure(float pressure)
{
    return pressure >= 0.0f;
}

float pressureShare(float pressure)
{
    return std::isfinite(pressure) ? std::clamp(pressure, 0.0f, 1.0f) : 1.0f;
}

}  // namespace

double CanvasView::brushRadiusPoints() const
{
    if (mBrushStyle.radiusPoints > 0.0)
        return mBrushStyle.radiusPoints;
    return double(selectedIndex(brushsize())) * 5.0 + 10.0;
}

bool CanvasView::layDab(FloatPoint point, int drawType, float pressure)
{
    const std::uint8_t* source = sourceBuffer(drawType);
    std::uint8_t* working = mDocument.workingBuffer();
    if (!source || !working)
        return false;
    const FloatSize picsize = pictureSize();
    const int width = bufferWidth();
    const int height = bufferHeight();
    StrokeHistory& history = mDocument.history();

    BrushDab::Placement placement;
    placement.zoomlevel = zoomlevel;
    placement.centerx = centerx;
    placement.centery = centery;
    placement.picsize = picsize;
    placement.boundsHeight = float(bounds().height());

    // The size in points, scaled by a pen's pressure, in picture pixels: for the
    // presets exactly the phone's (10 + 5 x index) / zoom.
    double points = brushRadiusPoints();
    BlendedDab::Reveal reveal{std::clamp(mBrushStyle.hardness, 0, 100),
                              BlendedDab::alphaForStrength(std::clamp(mBrushStyle.strength, 10, 100))};
    if (hasPressure(pressure)) {
        points = std::max(points * double(pressureShare(pressure)), 0.5);
        if (mBrushStyle.pressureSetsStrength)
            reveal.alpha = BlendedDab::alphaWithPressure(reveal.alpha, pressureShare(pressure));
    }

    BrushDab::Dab dab;
    dab.centre = BrushDab::centreInPicture(point, placement);
    dab.radius = static_cast<float>(points / double(zoomlevel));
    dab.shape = selectedIndex(brushshape());
    dab.picsize = picsize;
    dab.bufferWidth = width;
    dab.bufferHeight = height;

    // The stroke keeps what the dab may change before it changes.
    const BrushDab::Box box = BrushDab::boundingBox(dab.centre, dab.radius, picsize, width, height);
    if (history.strokeOpen() && !box.empty())
        history.aboutToChange(mDocument.historyPixels(), box.xs, box.ys, box.xe, box.ye);

    StrokeMask& mask = mDocument.strokeMask();
    if (!history.strokeOpen())
        mask.reset(width, height);  // a dab outside a stroke is a stroke of its own
    // The mask starts at the stroke's first soft or partial dab that reaches the
    // picture (and is recorded), where laying the record again starts it too.
    if (!reveal.plain() && !box.empty())
        mask.activate();
    bool painted = false;
    if (mask.active()) {
        // A soft or partial dab blends: the changed pixels go up into the working
        // texture and are drawn from it, so the screen shows workingbuff as a
        // full redraw would.
        painted = BlendedDab::paint(dab, reveal, source, working, mask);
        if (painted)
            drawBlendedDab(box.xs, box.ys, box.xe, box.ye);
    } else {
        std::vector<BrushDab::ColumnRun> runs;
        painted = BrushDab::paint(dab, source, working, runs);
        const Texture2D* texture = sourceTexture(drawType);
        if (texture && !runs.empty()) {
            // Below a pixel a column, many columns reach no pixel centre and are left out.
            const FloatSize surface = surfaceSize();
            const FloatSize pixelsPerPoint{surface.width / mViewSize.width, surface.height / mViewSize.height};
            PatchBatch batch(PatchGeometry::place(centerx, centery, zoomlevel, picsize, width, height), pixelsPerPoint);
            int top = runs.front().first;
            int bottom = runs.front().last;
            for (const BrushDab::ColumnRun& run : runs) {
                batch.add(run.x, run.first, run.x + 1, run.last + 1);
                top = std::min(top, run.first);
                bottom = std::max(bottom, run.last);
            }
            batch.draw(texture->name());
            // Runs come in increasing columns.
            mDabArea |= QRect(runs.front().x, top, runs.back().x - runs.front().x + 1, bottom - top + 1);
        }
    }
    if (painted) {
        mWorkingTextureStale = true;
        mStrokePainted = true;
        StrokeHistory::Dab recorded{dab.centre, dab.radius, dab.shape, drawType};
        recorded.hardness = std::uint8_t(reveal.hardness);
        recorded.alpha = std::uint8_t(reveal.alpha);
        mDocument.recordDab(recorded);
    }
    return painted;
}

void CanvasView::drawBlendedDab(int xs, int ys, int xe, int ye)
{
    if (!bufferTextureFits(pic.get()))
        return;  // the next full redraw makes it from workingbuff
    const StrokeHistory::Pixels picture = mDocument.historyPixels();
    std::vector<std::uint8_t> packed;
    uploadWorkingRect(std::max(xs - 1, 0), std::max(ys - 1, 0), std::min(xe + 2, picture.columns),
                      std::min(ye + 2, picture.rows), packed);
    drawPatch(pic.get(), xs, ys, xe + 1, ye + 1);
    mDabArea |= QRect(xs, ys, xe - xs + 1, ye - ys + 1);
}

float CanvasView::dabSpacing(float pressure) const
{
    // A quarter of the width is half the radius on screen.
    double radius = brushRadiusPoints();
    if (hasPressure(pressure))
        radius = std::max(radius * double(pressureShare(pressure)), 0.5);
    const float share = mBrushStyle.hardness < 100 ? 0.25f : 0.5f;
    return std::max(float(radius) * share, 1.0f);
}

bool CanvasView::DrawSegment(FloatPoint from, FloatPoint to, int drawType)
{
    const bool painted = laySegment(from, to, drawType);
    presentDabArea();
    return painted;
}

bool CanvasView::laySegment(FloatPoint from, FloatPoint to, int drawType, float fromPressure, float toPressure)
{
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    // A pen's pressure goes from one position's to the next along the way.
    const bool pen = hasPressure(toPressure);
    const float startPressure = hasPressure(fromPressure) ? fromPressure : toPressure;
    const float spacing = dabSpacing(pen ? std::min(pressureShare(startPressure), pressureShare(toPressure)) : -1.0f);
    // Dabs at k / n of the way for k = 1 .. n, the last exactly at `to`.
    const int n = length > spacing ? int(std::min(std::ceil(length / spacing), 16384.0f)) : 1;
    bool painted = false;
    for (int k = 1; k < n; ++k) {
        const float t = float(k) / float(n);
        const float pressure = pen ? startPressure + (toPressure - startPressure) * t : -1.0f;
        painted |= layDab(FloatPoint{from.x + dx * t, from.y + dy * t}, drawType, pressure);
    }
    painted |= layDab(to, drawType, toPressure);
    return painted;
}

void CanvasView::presentDabArea()
{
    if (mDabArea.isEmpty())
        return;
    const PatchGeometry::Placement placement =
        PatchGeometry::place(centerx, centery, zoomlevel, pictureSize(), bufferWidth(), bufferHeight());
    const QRect pixels = PatchGeometry::surfaceRect(placement, mDabArea, mViewSize, surfaceSize());
    mDabArea = QRect();
    swapBuffers(pixels);
}
