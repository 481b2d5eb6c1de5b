#include "canvas/CanvasView.h"
#include "canvas/UprightImage.h"

Image CanvasView::scaleAndRotateImage(const Image& image) { return uprightImage(image); }
