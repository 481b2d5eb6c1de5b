#include "canvas/CanvasView.h"
#include "project/UprightImage.h"

Image CanvasView::scaleAndRotateImage(const Image& image) { return uprightImage(image); }
