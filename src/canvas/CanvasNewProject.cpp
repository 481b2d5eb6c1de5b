// Placeholder: replaced by the real implementation.
#include "canvas/CanvasView.h"
const char* const CanvasView::kUnsupportedImageMessage = "Unsupported image format or image file.";
void CanvasView::NewProject(const Image&) {}
void CanvasView::actionSheetClickedButtonAtIndex(ActionSheet*, int) {}
