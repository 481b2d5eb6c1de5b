#include "canvas/CanvasView.h"

std::unique_ptr<Texture2D> CanvasView::makeBufferTexture(const std::uint8_t* buffer) const
{
    return Texture2D::initWithData(buffer, Texture2D::RGBA8888, static_cast<std::uint32_t>(bufferWidth()),
                                   static_cast<std::uint32_t>(bufferHeight()), pictureSize());
}

bool CanvasView::bufferTextureFits(const Texture2D* texture) const
{
    return texture && texture->pixelFormat() == Texture2D::RGBA8888 &&
           texture->pixelsWide() == static_cast<std::uint32_t>(bufferWidth()) &&
           texture->pixelsHigh() == static_cast<std::uint32_t>(bufferHeight()) &&
           texture->contentSize() == pictureSize();
}

void CanvasView::makeFittingTexture(std::unique_ptr<Texture2D>& texture) const
{
    if (!bufferTextureFits(texture.get())) {
        texture.reset();
        texture = makeBufferTexture(nullptr);
    }
}

// A texture that fits is refilled rather than remade: the renderer then keeps its
// storage instead of allocating and clearing a new one. What it holds afterwards,
// and every property, is what a new texture would have.
void CanvasView::refillBufferTexture(std::unique_ptr<Texture2D>& texture, const std::uint8_t* buffer)
{
    if (buffer && bufferTextureFits(texture.get())) {
        texture->replaceContents(buffer);
        return;
    }
    texture.reset();
    texture = makeBufferTexture(buffer);
}

void CanvasView::ReloadCanvas()
{
    refillBufferTexture(pic, mDocument.workingBuffer());
}

void CanvasView::ReloadFixTexture()
{
    finishLoading();
    refillBufferTexture(originalpic, mDocument.originalBuffer());
    refillBufferTexture(blacksketchpic, mDocument.blackSketchBuffer());
    refillBufferTexture(colorsketchpic, mDocument.colorSketchBuffer());
}
