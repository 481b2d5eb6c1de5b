#include "gl/EAGLView.h"

#include <QCoreApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QSysInfo>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gl/EglContext.h"
#include "gl/GlesFramebufferFunctions.h"
#include "gl/ReadbackRows.h"

namespace {

// The widget's integer geometry for a frame kept in floats: each value rounded.
QRect widgetGeometry(const QRectF& frame)
{
    return QRect(int(std::lround(frame.x())), int(std::lround(frame.y())), int(std::lround(frame.width())),
                 int(std::lround(frame.height())));
}

// Forgets GL errors left by earlier calls, so that the next query answers for
// the call in between. Bounded: a context that keeps reporting is not waited on.
void clearGlErrors()
{
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

}  // namespace

EAGLView::EAGLView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

EAGLView::~EAGLView()
{
    if (_context) {
        _destroySurface();
        _context.reset();
    }
}

bool EAGLView::initWithFrame(const QRectF& frame)
{
    return initWithFrame(frame, GL_RGB565_OES, 0, false);
}

bool EAGLView::initWithFrame(const QRectF& frame, GLenum pixelFormat)
{
    return initWithFrame(frame, pixelFormat, 0, false);
}

// The colour buffer is always RGBA with 8 bits a channel and always keeps its
// content between presents, whatever pixelFormat and preserveBackbuffer say.
bool EAGLView::initWithFrame(const QRectF& frame, GLenum pixelFormat, GLenum depthFormat, bool /*preserveBackbuffer*/)
{
    setFrame(frame);
    _format = pixelFormat;
    _depthFormat = depthFormat;
    _context = EglContext::create();
    if (_context && !GlesFramebufferFunctions::get().available())
        _context.reset();
    if (!_context)
        return false;
    return _createSurface();
}

FloatSize EAGLView::roundedSurfaceSize(FloatSize boundsSize, qreal devicePixelRatio)
{
    return FloatSize{std::roundf(float(boundsSize.width * devicePixelRatio)),
                     std::roundf(float(boundsSize.height * devicePixelRatio))};
}

FloatSize EAGLView::boundsSurfaceSize() const
{
    const QRectF b = bounds();
    return roundedSurfaceSize(FloatSize{float(b.width()), float(b.height())}, devicePixelRatioF());
}

bool EAGLView::_createSurface()
{
    const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
    if (!_context || !_context->makeCurrent())
        return false;

    const FloatSize newSize = boundsSurfaceSize();
    const GLsizei width = GLsizei(newSize.width);
    const GLsizei height = GLsizei(newSize.height);

    GLint oldRenderbuffer = 0;
    GLint oldFramebuffer = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &oldRenderbuffer);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &oldFramebuffer);

    gl.genRenderbuffers(1, &_renderbuffer);
    gl.bindRenderbuffer(GL_RENDERBUFFER_OES, _renderbuffer);
    // The colour storage stands in for the window's drawable.
    clearGlErrors();
    gl.renderbufferStorage(GL_RENDERBUFFER_OES, GL_RGBA8_OES, width, height);
    if (glGetError() != GL_NO_ERROR) {
        gl.deleteRenderbuffers(1, &_renderbuffer);
        _renderbuffer = 0;
        gl.bindRenderbuffer(GL_RENDERBUFFER_OES, GLuint(oldRenderbuffer));
        return false;
    }

    gl.genFramebuffers(1, &_framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER_OES, _framebuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, _renderbuffer);

    if (_depthFormat != 0) {
        gl.genRenderbuffers(1, &_depthBuffer);
        gl.bindRenderbuffer(GL_RENDERBUFFER_OES, _depthBuffer);
        gl.renderbufferStorage(GL_RENDERBUFFER_OES, _depthFormat, width, height);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES, GL_RENDERBUFFER_OES, _depthBuffer);
    }

    _size = newSize;

    if (!_hasBeenCurrent) {
        glViewport(0, 0, width, height);
        glScissor(0, 0, width, height);
        _hasBeenCurrent = true;
    } else {
        gl.bindFramebuffer(GL_FRAMEBUFFER_OES, GLuint(oldFramebuffer));
    }

    gl.bindRenderbuffer(GL_RENDERBUFFER_OES, GLuint(oldRenderbuffer));

    if (_delegate)
        _delegate->didResizeEAGLSurfaceForView(this);
    return true;
}

void EAGLView::_destroySurface()
{
    const EglContext::Binding caller = EglContext::currentBinding();
    const bool wasOurs = _context && caller.context == _context->handle();
    // GL names belong to our context: without it current they cannot be deleted
    // (they go with the context when it is released).
    const bool ours = wasOurs || (_context && _context->makeCurrent());

    if (ours) {
        const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
        if (_depthFormat != 0)
            gl.deleteRenderbuffers(1, &_depthBuffer);
        gl.deleteRenderbuffers(1, &_renderbuffer);
        gl.deleteFramebuffers(1, &_framebuffer);
    }
    _depthBuffer = 0;
    _renderbuffer = 0;
    _framebuffer = 0;

    if (!wasOurs)
        EglContext::restoreBinding(caller);
}

void EAGLView::layoutSubviews()
{
    if (!_autoresize)
        return;
    const FloatSize newSize = boundsSurfaceSize();
    if (newSize.width == _size.width && newSize.height == _size.height)
        return;

    // Deleting our framebuffer while it is bound leaves no framebuffer bound; when
    // ours was the bound one, its replacement takes its place so drawing goes on
    // reaching the surface.
    bool ownFramebufferBound = false;
    if (_context && _framebuffer != 0 && _context->makeCurrent()) {
        GLint bound = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
        ownFramebufferBound = GLuint(bound) == _framebuffer;
    }

    _destroySurface();
    _createSurface();

    if (ownFramebufferBound && _framebuffer != 0)
        GlesFramebufferFunctions::get().bindFramebuffer(GL_FRAMEBUFFER_OES, _framebuffer);
}

void EAGLView::setAutoresizesEAGLSurface(bool autoresizes)
{
    _autoresize = autoresizes;
    if (_autoresize)
        layoutSubviews();
}

void EAGLView::setCurrentContext()
{
    const bool ok = _context ? _context->makeCurrent() : EglContext::clearCurrent();
    if (!ok) {
        std::printf("Failed to set current context %p in %s\n", static_cast<void*>(_context.get()),
                    "-[EAGLView setCurrentContext]");
        std::fflush(stdout);
    }
}

bool EAGLView::isCurrentContext() const
{
    if (_context)
        return _context->isCurrent();
    return EglContext::currentBinding().context == EGL_NO_CONTEXT;
}

void EAGLView::clearCurrentContext()
{
    if (!EglContext::clearCurrent()) {
        std::printf("Failed to clear current context in %s\n", "-[EAGLView clearCurrentContext]");
        std::fflush(stdout);
    }
}

void EAGLView::swapBuffers()
{
    present(QRect());
}

void EAGLView::swapBuffers(const QRect& changed)
{
    // An empty rectangle would mean the whole surface to present().
    if (!changed.isEmpty())
        present(changed);
}

QRect EAGLView::widgetRectOfSurfacePixels(const QRect& pixels, qreal ratio)
{
    if (pixels.isEmpty() || !(ratio > 0))
        return QRect();
    const int left = int(std::floor(pixels.x() / ratio));
    const int top = int(std::floor(pixels.y() / ratio));
    const int right = int(std::ceil((pixels.x() + pixels.width()) / ratio));
    const int bottom = int(std::ceil((pixels.y() + pixels.height()) / ratio));
    return QRect(left, top, right - left, bottom - top);
}

// `changed` empty: the whole surface.
void EAGLView::present(const QRect& changed)
{
    const EglContext::Binding caller = EglContext::currentBinding();
    const bool wasOurs = _context && caller.context == _context->handle();
    const bool ours = wasOurs || (_context && _context->makeCurrent());

    bool presented = false;
    if (ours) {
        GlesFramebufferFunctions::get().bindRenderbuffer(GL_RENDERBUFFER_OES, _renderbuffer);
        presented = presentRenderbuffer(changed);
    }
    if (!presented) {
        std::printf("Failed to swap renderbuffer in %s\n", "-[EAGLView swapBuffers]");
        std::fflush(stdout);
    }

    if (!wasOurs)
        EglContext::restoreBinding(caller);
}

// Shows the colour renderbuffer: the pixels of `area` (all of them when empty, or
// when the presented image is not yet the surface's size) are read back into the
// widget's image and the widget repaints them. Reading leaves the renderbuffer as
// it was. An area wholly outside the surface presents nothing and succeeds.
bool EAGLView::presentRenderbuffer(QRect area)
{
    if (_framebuffer == 0 || _renderbuffer == 0)
        return false;
    const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();

    const int width = int(_size.width);
    const int height = int(_size.height);
    const QRect surface(0, 0, width, height);
    const bool whole = area.isEmpty() || _presented.size() != surface.size();
    area = whole ? surface : area & surface;
    if (area.isEmpty())
        return true;

    if (_readFormat < 0) {
        // Reading in the order Format_RGB32 keeps in memory spares a swap of red
        // and blue, where the context offers it.
        const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        const bool bgra = extensions && std::strstr(extensions, "GL_EXT_read_format_bgra") &&
                          QSysInfo::ByteOrder == QSysInfo::LittleEndian;
        _readFormat = bgra ? GL_BGRA_EXT : GL_RGBA;
    }

    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
    const bool rebind = GLuint(bound) != _framebuffer;
    if (rebind)
        gl.bindFramebuffer(GL_FRAMEBUFFER_OES, _framebuffer);

    bool ok = gl.checkFramebufferStatus(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES;
    if (ok) {
        GLint packAlignment = 4;
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        if (packAlignment != 4)
            glPixelStorei(GL_PACK_ALIGNMENT, 4);
        _readback.resize(std::size_t(area.width()) * std::size_t(area.height()) * 4);
        clearGlErrors();
        // GL counts rows from the bottom.
        glReadPixels(area.x(), height - area.y() - area.height(), area.width(), area.height(), GLenum(_readFormat),
                     GL_UNSIGNED_BYTE, _readback.data());
        ok = glGetError() == GL_NO_ERROR;
        if (packAlignment != 4)
            glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    }

    if (rebind)
        gl.bindFramebuffer(GL_FRAMEBUFFER_OES, GLuint(bound));
    if (!ok)
        return false;

    if (_presented.size() != surface.size() || _presented.format() != QImage::Format_RGB32)
        _presented = QImage(width, height, QImage::Format_RGB32);
    if (_presented.isNull())
        return false;
    const std::size_t stride = std::size_t(_presented.bytesPerLine());
    std::uint8_t* origin = _presented.bits() + std::size_t(area.y()) * stride + std::size_t(area.x()) * 4;
    copyReadbackRows(_readback.data(), _readFormat == GL_BGRA_EXT ? ReadbackOrder::Bgra : ReadbackOrder::Rgba,
                     area.width(), area.height(), origin, stride);
    _presented.setDevicePixelRatio(devicePixelRatioF());
    if (whole)
        update();
    else
        update(widgetRectOfSurfacePixels(area, devicePixelRatioF()));
    return true;
}

QRectF EAGLView::frame() const
{
    const QRect g = geometry();
    return widgetGeometry(_frame) == g ? _frame : QRectF(g);
}

void EAGLView::setFrame(const QRectF& frame)
{
    _frame = frame;
    const QRect g = widgetGeometry(frame);
    if (geometry() != g)
        setGeometry(g);
    layoutSubviews();
}

FloatPoint EAGLView::convertPointFromViewToSurface(FloatPoint point) const
{
    const QRectF b = bounds();
    const float bx = float(b.x());
    const float by = float(b.y());
    const float bw = float(b.width());
    const float bh = float(b.height());
    return FloatPoint{(point.x - bx) / bw * _size.width, (point.y - by) / bh * _size.height};
}

QRectF EAGLView::convertRectFromViewToSurface(const QRectF& rect) const
{
    const QRectF b = bounds();
    const FloatPoint origin = convertPointFromViewToSurface(FloatPoint{float(rect.x()), float(rect.y())});
    const float w = float(rect.width()) / float(b.width()) * _size.width;
    const float h = float(rect.height()) / float(b.height()) * _size.height;
    return QRectF(origin.x, origin.y, w, h);
}

void EAGLView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF shown(QPointF(0, 0), _presented.isNull() ? QSizeF() : _presented.deviceIndependentSize());
    if (!shown.contains(QRectF(rect())))
        painter.fillRect(rect(), Qt::black);
    if (!_presented.isNull())
        painter.drawImage(QPointF(0, 0), _presented);
}

void EAGLView::resizeEvent(QResizeEvent*)
{
    layoutSubviews();
}

bool EAGLView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ScreenChangeInternal && _autoresize && _context) {
        const FloatSize pixels = boundsSurfaceSize();
        if (pixels.width != _size.width || pixels.height != _size.height) {
            QResizeEvent sameSize(size(), size());
            QCoreApplication::sendEvent(this, &sameSize);
        }
    }
    return handled;
}
