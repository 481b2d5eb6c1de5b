#include "canvas/CanvasView.h"

void CanvasView::BuildSketchBuff()
{
    finishLoading();
    mDocument.buildSketches();
    ReloadFixTexture();
}
