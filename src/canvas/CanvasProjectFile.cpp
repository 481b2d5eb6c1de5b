// Placeholder: replaced by the real implementation.
#include <QByteArray>
#include "canvas/CanvasView.h"
bool CanvasView::SaveProject(int) { return false; }
QByteArray CanvasView::CreateThumbNail() const { return {}; }
