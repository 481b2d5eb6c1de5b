#include "support/ControlledCanvas.h"

#include "support/CanvasTestAccess.h"

bool ControlledCanvas::makeCanvas()
{
    window.setGeometry(0, 0, 320, 460);
    canvas = CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390), &window);
    if (!canvas)
        return false;
    canvas->setToolbar(&toolbar);
    canvas->setBrushsize(&size);
    canvas->setBrushshape(&shape);
    return true;
}
