#include "canvas/CanvasView.h"

#include <QResizeEvent>

#include "project/ImportFile.h"
#include "canvas/NavigationSteps.h"

CanvasView* CanvasView::create(const QRectF& frame, QWidget* parent, float bandHeight)
{
    auto* canvas = new CanvasView(parent);
    canvas->setBandHeight(bandHeight);
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
    // The surface follows the view's size (at its device pixel ratio).
    setAutoresizesEAGLSurface(true);
    mViewportSize = surfaceSize();  // the first surface sets the viewport to its size
    setCurrentContext();
    setFixedGLState(frame);

    mDocument.freeBuffers();
    mDocument.setLoaded(false);

    if (!loadProject(0, sLeaveStartSketches) && !sSkipStartPicture)
        startWithStartPicture();
    return true;
}

void CanvasView::startWithStartPicture()
{
    NewProject(readImportFile(QStringLiteral(":/butterfly.png")).image);
}

void CanvasView::setFixedGLState(const QRectF& frame)
{
    glDisable(GL_DITHER);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0.0f, float(frame.width()), 0.0f, float(frame.height()), -1.0f, 1.0f);
    mViewSize = FloatSize{float(frame.width()), float(frame.height())};
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void CanvasView::resizeEvent(QResizeEvent* event)
{
    EAGLView::resizeEvent(event);  // the surface at the new size
    const QRectF f = frame();
    const FloatSize before = mViewSize;
    const FloatSize pixels = surfaceSize();
    const bool sameSize = float(f.width()) == before.width && float(f.height()) == before.height;
    if (!context() || (sameSize && pixels.width == mViewportSize.width && pixels.height == mViewportSize.height))
        return;
    setCurrentContext();
    // A new surface keeps the old viewport: drawing is to cover the new one.
    glViewport(0, 0, GLsizei(pixels.width), GLsizei(pixels.height));
    glScissor(0, 0, GLsizei(pixels.width), GLsizei(pixels.height));
    mViewportSize = pixels;
    setFixedGLState(f);
    if (isLoaded() && !sameSize && isAtFitPlacement()) {
        // Not moved by the user yet: the whole picture fits the new size, as the fit
        // key does.
        zoomlevel = NavigationSteps::wholeFitZoom(pictureSize(), mViewSize);
        centerx = startX();
        centery = startY();
        rememberFitPlacement();
    } else if (isLoaded() && !sameSize) {
        using namespace NavigationSteps;
        const FloatSize picsize = pictureSize();
        centerx = resizedAxis(centerx, before.width, mViewSize.width, halfExtent(zoomlevel, picsize.width), startX());
        centery = resizedAxis(centery, before.height, mViewSize.height, halfExtent(zoomlevel, picsize.height),
                              startY());
    }
    redrawView();
}
bool CanvasView::sSkipStartPicture = false;
