// Placeholder: replaced by the real implementation.
#include "canvas/CanvasView.h"
Image CanvasView::scaleAndRotateImage(const Image& image) { return image; }
