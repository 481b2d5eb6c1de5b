// Placeholder: replaced by the real implementation.
#include "canvas/CanvasView.h"
void CanvasView::UpdateScreen() {}
void CanvasView::UpdateScreenRect(int, int, int, int, int) {}
