#include "support/CanvasTestAccess.h"

#include <cstring>

CanvasView* CanvasTestAccess::makeBare(const QRectF& frame, QWidget* parent)
{
    auto* canvas = new CanvasView(parent);
    if (!canvas->EAGLView::initWithFrame(frame, GL_RGB565_OES, 0, true)) {
        delete canvas;
        return nullptr;
    }
    canvas->setCurrentContext();
    canvas->setFixedGLState(frame);
    return canvas;
}

void CanvasTestAccess::setGeometry(CanvasView& c, int bufferWidth, int bufferHeight, FloatSize picsize)
{
    c.width = bufferWidth;
    c.height = bufferHeight;
    c.picsize = picsize;
}

void CanvasTestAccess::giveOriginal(CanvasView& c)
{
    c.originalbuff = PixelMemory::allocate(std::size_t(c.width) * std::size_t(c.height) * 4);
}

std::uint8_t* CanvasTestAccess::buffer(CanvasView& c, int which)
{
    switch (which) {
    case 0: return c.blacksketchbuff.get();
    case 1: return c.colorsketchbuff.get();
    case 2: return c.originalbuff.get();
    default: return c.workingbuff.get();
    }
}

bool CanvasTestAccess::installProject(CanvasView& canvas, int bufferWidth, int bufferHeight, FloatSize picsize,
                                      const std::function<std::uint32_t(int, int, int)>& fill)
{
    canvas.FreeBuff();
    setGeometry(canvas, bufferWidth, bufferHeight, picsize);
    if (!canvas.PrepareBuff(true))
        return false;
    for (int which = 0; which < 4; ++which) {
        std::uint8_t* b = buffer(canvas, which);
        for (int y = 0; y < bufferHeight; ++y)
            for (int x = 0; x < bufferWidth; ++x) {
                const std::uint32_t p = fill(which, x, y);
                std::uint8_t* px = b + (std::size_t(y) * bufferWidth + x) * 4;
                px[0] = std::uint8_t(p);
                px[1] = std::uint8_t(p >> 8);
                px[2] = std::uint8_t(p >> 16);
                px[3] = std::uint8_t(p >> 24);
            }
    }
    canvas.ReloadFixTexture();
    canvas.loaded = true;
    const FloatPoint c = canvas.center();
    canvas.centerx = int(c.x);
    canvas.centery = int(c.y - 70.0f);
    canvas.zoomlevel = canvas.ZoomToFit();
    canvas.ReloadCanvas();
    return true;
}
