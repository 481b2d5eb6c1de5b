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

std::uint8_t* CanvasTestAccess::buffer(CanvasView& c, int which)
{
    ProjectDocument& d = c.document();
    switch (which) {
    case 0: return d.blackSketchBuffer();
    case 1: return d.colorSketchBuffer();
    case 2: return d.originalBuffer();
    default: return d.workingBuffer();
    }
}

bool CanvasTestAccess::installProject(CanvasView& canvas, int bufferWidth, int bufferHeight, FloatSize picsize,
                                      const std::function<std::uint32_t(int, int, int)>& fill)
{
    canvas.FreeBuff();
    canvas.document().setGeometry(bufferWidth, bufferHeight, picsize);
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
    canvas.document().setLoaded(true);
    canvas.showAtStart();
    canvas.ReloadCanvas();
    return true;
}
