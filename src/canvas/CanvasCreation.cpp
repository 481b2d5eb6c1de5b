#include "canvas/CanvasView.h"
#include "canvas/ImportFile.h"

CanvasView* CanvasView::create(const QRectF& frame, QWidget* parent)
{
    auto* canvas = new CanvasView(parent);
    if (!canvas->initWithFrame(frame)) {
        delete canvas;
        return nullptr;
    }
    return canvas;
}

bool CanvasView::initWithFrame(const QRectF& frame)
{
    if (!EAGLView::initWithFrame(frame, GL_RGB565_OES, 0, true))
        return false;
    setCurrentContext();
    setFixedGLState(frame);

    originalbuff.reset();
    blacksketchbuff.reset();
    colorsketchbuff.reset();
    workingbuff.reset();
    loaded = false;

    if (!LoadProject(0))
        NewProject(readImportFile(QStringLiteral(":/butterfly.png")).image);
    return true;
}

void CanvasView::setFixedGLState(const QRectF& frame)
{
    glDisable(GL_DITHER);
    glMatrixMode(GL_PROJECTION);
    glOrthof(0.0f, float(frame.width()), 0.0f, float(frame.height()), -1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}
