#include "canvas/CanvasView.h"
#include "canvas/SketchFilter.h"

void CanvasView::BuildSketchBuff()
{
    SketchBuffers buffers;
    buffers.original = originalbuff.get();
    buffers.working = workingbuff.get();
    buffers.black = blacksketchbuff.get();
    buffers.color = colorsketchbuff.get();
    buffers.width = width;
    buffers.height = height;
    buffers.picsize = picsize;
    buildSketch(buffers);
    ReloadFixTexture();
}
