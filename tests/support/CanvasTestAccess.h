#pragma once

#include <QRectF>
#include <cstdint>
#include <functional>

#include "canvas/CanvasView.h"

// Reaches the view's own fields (the surface, the position and zoom, the touch
// state) the way its operations do, so that tests can set up a project without
// importing a photo. The project itself is reached through the document.
class CanvasTestAccess {
public:
    // A canvas with its GL surface and fixed drawing state but no project: what
    // creation gives before it opens the first project. Null without GL.
    static CanvasView* makeBare(const QRectF& frame = QRectF(0, 70, 320, 390), QWidget* parent = nullptr);

    // Installs a project of a bufferWidth x bufferHeight buffer holding a picture
    // of picsize; each source buffer is filled by `fill(buffer, x, y)` returning
    // the pixel (0xAABBGGRR, byte order R, G, B, A) — buffer 0 black sketch,
    // 1 colour sketch, 2 original, 3 working — over the whole buffer. Textures are
    // made, the view is centred at the start position with the fitted zoom, and
    // loaded is set. Returns false when allocation fails.
    static bool installProject(CanvasView& canvas, int bufferWidth, int bufferHeight, FloatSize picsize,
                               const std::function<std::uint32_t(int buffer, int x, int y)>& fill);

    static void setView(CanvasView& c, int centerx, int centery, float zoom)
    {
        c.centerx = centerx;
        c.centery = centery;
        c.zoomlevel = zoom;
    }
    static void setTouchState(CanvasView& c, FloatPoint location, float spacing)
    {
        c.mLastTouchLocation = location;
        c.mLastTouchSpacing = spacing;
    }
    // Buffer `which` of the project, numbered as in installProject.
    static std::uint8_t* buffer(CanvasView& c, int which);
};
