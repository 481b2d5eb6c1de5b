#include "canvas/CanvasView.h"

CanvasView::CanvasView(QWidget* parent) : EAGLView(parent) {}

CanvasView::~CanvasView()
{
    if (context())
        setCurrentContext();
    pic.reset();
    originalpic.reset();
    blacksketchpic.reset();
    colorsketchpic.reset();
    FreeBuff();
}
