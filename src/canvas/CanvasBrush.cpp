#include <vector>

#include "canvas/BrushDab.h"
#include "canvas/CanvasView.h"

// One dab of the brush at a touch point: the covered pixels of the source chosen
// by drawType are copied into the working buffer and drawn at once, one patch of
// the source texture per painted column, then the surface is presented once.
// The working texture is not touched; it is rebuilt before the next full redraw.
bool CanvasView::DrawCanvas(FloatPoint point, int drawType)
{
    const std::uint8_t* source = sourceBuffer(drawType);
    std::uint8_t* working = workingbuff.get();
    if (!source || !working)
        return false;

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

    std::vector<BrushDab::ColumnRun> runs;
    const bool painted = BrushDab::paint(dab, source, working, runs);
    for (const BrushDab::ColumnRun& run : runs)
        UpdateScreenRect(drawType, run.x, run.first, run.x + 1, run.last + 1);
    if (painted)
        swapBuffers();
    return painted;
}
