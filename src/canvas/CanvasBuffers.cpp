#include <QString>

#include "canvas/CanvasView.h"
#include "widgets/ErrorAlert.h"

const char* const CanvasView::kLowMemoryMessage =
    QT_TR_NOOP("Memory is running too low. Please turn off your iPhone by holding power button; "
               "then turn it on to free memory.");

bool CanvasView::PrepareBuff(bool withOriginal)
{
    finishLoading();  // no worker may write the buffers replaced here
    if (mDocument.allocateBuffers(withOriginal))
        return true;
    showErrorAlert(this, tr(kLowMemoryMessage));
    return false;
}

void CanvasView::FreeBuff()
{
    mSketchWorker.reset();  // joined before the buffers it writes go
    mDocument.freeBuffers();
}
