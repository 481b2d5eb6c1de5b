// Placeholder: replaced by the real implementation.
#include "canvas/CanvasView.h"
#include "platform/TouchEvent.h"
void CanvasView::touchesBegan(const TouchEvent&) {}
void CanvasView::touchesMoved(const TouchEvent&) {}
void CanvasView::touchesEnded(const TouchEvent&) {}
void CanvasView::touchesCanceled() {}
void CanvasView::resetTouches() {}
void CanvasView::setPanningModeWithLocation(FloatPoint) {}
void CanvasView::setZoomingModeWithSpacing(float) {}
bool CanvasView::isPanning() const { return false; }
bool CanvasView::isZooming() const { return false; }
float CanvasView::eucledianDistanceFromPoint(FloatPoint, FloatPoint) { return 0; }
float CanvasView::ZoomToFit() const { return 1.0f; }
