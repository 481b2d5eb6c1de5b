#include "canvas/CanvasView.h"

std::unique_ptr<Texture2D> CanvasView::makeBufferTexture(const std::uint8_t* buffer) const
{
    return Texture2D::initWithData(buffer, Texture2D::RGBA8888, static_cast<std::uint32_t>(width),
                                   static_cast<std::uint32_t>(height), picsize);
}

void CanvasView::ReloadCanvas()
{
    pic.reset();
    pic = makeBufferTexture(workingbuff.get());
}

void CanvasView::ReloadFixTexture()
{
    originalpic.reset();
    originalpic = makeBufferTexture(originalbuff.get());
    blacksketchpic.reset();
    blacksketchpic = makeBufferTexture(blacksketchbuff.get());
    colorsketchpic.reset();
    colorsketchpic = makeBufferTexture(colorsketchbuff.get());
}
