// Placeholder: replaced by the real implementation.
#include "gl/EAGLView.h"
#include "gl/EglContext.h"
EAGLView::EAGLView(QWidget* parent) : QWidget(parent) {}
EAGLView::~EAGLView() = default;
bool EAGLView::initWithFrame(const QRectF& f) { return initWithFrame(f, GL_RGB565_OES, 0, false); }
bool EAGLView::initWithFrame(const QRectF& f, GLenum p) { return initWithFrame(f, p, 0, false); }
bool EAGLView::initWithFrame(const QRectF&, GLenum, GLenum, bool) { return false; }
void EAGLView::setAutoresizesEAGLSurface(bool) {}
void EAGLView::setCurrentContext() {}
bool EAGLView::isCurrentContext() const { return false; }
void EAGLView::clearCurrentContext() {}
void EAGLView::swapBuffers() {}
void EAGLView::setFrame(const QRectF& f) { _frame = f; }
FloatPoint EAGLView::convertPointFromViewToSurface(FloatPoint p) const { return p; }
QRectF EAGLView::convertRectFromViewToSurface(const QRectF& r) const { return r; }
bool EAGLView::_createSurface() { return false; }
void EAGLView::_destroySurface() {}
void EAGLView::layoutSubviews() {}
void EAGLView::paintEvent(QPaintEvent*) {}
void EAGLView::resizeEvent(QResizeEvent*) {}
