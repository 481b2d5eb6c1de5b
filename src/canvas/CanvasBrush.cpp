// Placeholder: replaced by the real implementation.
#include "canvas/CanvasView.h"
bool CanvasView::DrawCanvas(FloatPoint, int) { return false; }
