#include <QString>

#include "canvas/CanvasView.h"
#include "platform/ErrorAlert.h"

const char* const CanvasView::kLowMemoryMessage =
    "Memory is running too low. Please turn off your iPhone by holding power button; "
    "then turn it on to free memory.";

bool CanvasView::PrepareBuff(bool withOriginal)
{
    finishLoading();  // no worker may write the buffers replaced here
    // 32-bit arithmetic as the buffers' sides are at most 1024.
    const std::int32_t n = height * width * 4;
    if (withOriginal)
        originalbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    blacksketchbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    colorsketchbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    workingbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    if (originalbuff && blacksketchbuff && colorsketchbuff && workingbuff)
        return true;

    FreeBuff();
    showErrorAlert(this, QString::fromLatin1(kLowMemoryMessage));
    return false;
}

void CanvasView::FreeBuff()
{
    mSketchWorker.reset();  // joined before the buffers it writes go
    originalbuff.reset();
    blacksketchbuff.reset();
    colorsketchbuff.reset();
    workingbuff.reset();
}
