#include <algorithm>
#include <cmath>
#include <vector>

#include "project/BrushDab.h"
#include "canvas/CanvasView.h"
#include "canvas/PatchBatch.h"

// One dab of the brush at a touch point: the covered pixels of the source chosen
// by drawType are copied into the working buffer and drawn at once, one patch of
// the source texture per painted column, all in one draw call; then only the
// surface pixels the dab covered are presented.
// The working texture is not touched; it is rebuilt before the next full redraw.
bool CanvasView::DrawCanvas(FloatPoint point, int drawType)
{
    const bool painted = layDab(point, drawType);
    presentDabArea();
    return painted;
}

bool CanvasView::layDab(FloatPoint point, int drawType)
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

    BrushDab::Dab dab;
    dab.centre = BrushDab::centreInPicture(point, placement);
    dab.radius = BrushDab::radiusInPixels(selectedIndex(brushsize()), zoomlevel);
    dab.shape = selectedIndex(brushshape());
    dab.picsize = picsize;
    dab.bufferWidth = width;
    dab.bufferHeight = height;

    // The stroke keeps what the dab may change before it changes.
    if (history.strokeOpen()) {
        const BrushDab::Box box = BrushDab::boundingBox(dab.centre, dab.radius, picsize, width, height);
        if (!box.empty())
            history.aboutToChange(mDocument.historyPixels(), box.xs, box.ys, box.xe, box.ye);
    }

    std::vector<BrushDab::ColumnRun> runs;
    const bool painted = BrushDab::paint(dab, source, working, runs);
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
    if (painted) {
        mWorkingTextureStale = true;
        mStrokePainted = true;
        mDocument.recordDab(StrokeHistory::Dab{dab.centre, dab.radius, dab.shape, drawType});
    }
    return painted;
}

float CanvasView::dabSpacing() const
{
    // A quarter of the width is half the radius on screen (10 + 5 x index points).
    const float radius = float(selectedIndex(brushsize())) * 5.0f + 10.0f;
    return std::max(radius * 0.5f, 1.0f);
}

bool CanvasView::DrawSegment(FloatPoint from, FloatPoint to, int drawType)
{
    const bool painted = laySegment(from, to, drawType);
    presentDabArea();
    return painted;
}

bool CanvasView::laySegment(FloatPoint from, FloatPoint to, int drawType)
{
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float spacing = dabSpacing();
    // Dabs at k / n of the way for k = 1 .. n, the last exactly at `to`.
    const int n = length > spacing ? int(std::min(std::ceil(length / spacing), 16384.0f)) : 1;
    bool painted = false;
    for (int k = 1; k < n; ++k) {
        const float t = float(k) / float(n);
        painted |= layDab(FloatPoint{from.x + dx * t, from.y + dy * t}, drawType);
    }
    painted |= layDab(to, drawType);
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
