#pragma once

#include <GLES/gl.h>
#include <GLES/glext.h>

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Geometry.h"

class EglContext;
class EAGLView;

class EAGLViewDelegate {
public:
    virtual ~EAGLViewDelegate() = default;
    virtual void didResizeEAGLSurfaceForView(EAGLView* view) = 0;
};

// A widget whose content is an OpenGL ES 1.1 drawable: it owns a GL ES 1.x context
// and a framebuffer object whose colour renderbuffer (RGBA, 8 bits a channel) is
// the surface. swapBuffers presents the surface: it is read back into the widget's
// image and repainted, whole or only a changed rectangle of it; the renderbuffer
// keeps its content between presents.
//
// Two-phase creation: construct, then call one of the initWithFrame overloads;
// when it answers false the view is unusable and the caller discards it.
class EAGLView : public QWidget {
    Q_OBJECT
public:
    explicit EAGLView(QWidget* parent = nullptr);
    ~EAGLView() override;

    bool initWithFrame(const QRectF& frame);
    bool initWithFrame(const QRectF& frame, GLenum pixelFormat);
    bool initWithFrame(const QRectF& frame, GLenum pixelFormat, GLenum depthFormat, bool preserveBackbuffer);

    void setAutoresizesEAGLSurface(bool autoresizes);
    void setAutoresizesSurface(bool autoresizes) { _autoresize = autoresizes; }
    bool autoresizesSurface() const { return _autoresize; }

    // Failures are written to standard output ("Failed to ... in %s\n").
    // swapBuffers presents with the view's context and gives the caller's back.
    void setCurrentContext();
    bool isCurrentContext() const;
    void clearCurrentContext();
    void swapBuffers();
    // Presents only `changed` (surface pixels, top row 0), clipped to the surface,
    // and repaints only the widget's points over it; the rest of the presented
    // image stays as the last present left it. A whole present when the presented
    // image does not have the surface's size yet.
    void swapBuffers(const QRect& changed);

    EglContext* context() const { return _context.get(); }
    GLenum pixelFormat() const { return _format; }
    GLenum depthFormat() const { return _depthFormat; }
    GLuint framebuffer() const { return _framebuffer; }
    FloatSize surfaceSize() const { return _size; }
    EAGLViewDelegate* delegate() const { return _delegate; }
    void setDelegate(EAGLViewDelegate* delegate) { _delegate = delegate; }

    // The view's frame in its parent, in points, kept as floats; the widget's
    // geometry is its rounding. When the widget is moved or resized by other means
    // (a layout, the window) its geometry is the frame. The bounds are
    // (0, 0, frame size). Setting the frame lays the surface out.
    QRectF frame() const;
    void setFrame(const QRectF& frame);
    QRectF bounds() const { return QRectF(QPointF(0, 0), frame().size()); }

    FloatPoint convertPointFromViewToSurface(FloatPoint point) const;
    QRectF convertRectFromViewToSurface(const QRectF& rect) const;

    // What the last present showed: surface pixels, rows top to bottom, opaque,
    // in Format_RGB32 (the window's backing store takes it as a plain copy), with
    // the widget's device pixel ratio.
    const QImage& presentedImage() const { return _presented; }

    // The widget's rectangle, in points, that covers surface pixels `pixels` at
    // device pixel ratio `ratio`: each edge rounded outward.
    static QRect widgetRectOfSurfacePixels(const QRect& pixels, qreal ratio);

    // The surface size for a bounds size in points: each side scaled by the device
    // pixel ratio and rounded to the nearest whole number of pixels.
    static FloatSize roundedSurfaceSize(FloatSize boundsSize, qreal devicePixelRatio);

protected:
    bool _createSurface();
    void _destroySurface();
    void layoutSubviews();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A move to a screen of another device pixel ratio is handled as a resize to
    // the same size, so the surface is made anew at the new ratio.
    bool event(QEvent* event) override;

private:
    FloatSize boundsSurfaceSize() const;
    void present(const QRect& changed);
    bool presentRenderbuffer(QRect area);

    GLenum _format = 0;
    GLenum _depthFormat = 0;
    bool _autoresize = false;
    std::unique_ptr<EglContext> _context;
    GLuint _framebuffer = 0;
    GLuint _renderbuffer = 0;
    GLuint _depthBuffer = 0;
    FloatSize _size;
    bool _hasBeenCurrent = false;
    EAGLViewDelegate* _delegate = nullptr;

    QRectF _frame;
    QImage _presented;
    std::vector<std::uint8_t> _readback;
    int _readFormat = -1;  // GL_BGRA_EXT when the context reads it, else GL_RGBA; -1 not asked yet
};
