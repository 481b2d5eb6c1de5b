#include "canvas/CanvasView.h"
#include "canvas/SketchFilter.h"

SketchBuffers CanvasView::sketchBuffers(bool greyScratch) const
{
    SketchBuffers buffers;
    buffers.original = originalbuff.get();
    buffers.working = greyScratch ? workingbuff.get() : nullptr;
    buffers.black = blacksketchbuff.get();
    buffers.color = colorsketchbuff.get();
    buffers.width = width;
    buffers.height = height;
    buffers.picsize = picsize;
    return buffers;
}

void CanvasView::BuildSketchBuff()
{
    finishLoading();
    buildSketch(sketchBuffers(true));
    ReloadFixTexture();
}
