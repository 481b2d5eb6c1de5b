// Placeholder: replaced by the real implementation.
#include "canvas/CanvasView.h"
void CanvasView::ExportToPhotoAlbum() {}
