#include "canvas/CanvasView.h"

#include "canvas/PatchBatch.h"

namespace {

// Four corners of one textured rectangle, drawn as a triangle strip: positions
// (x, y, 0) in drawing coordinates and texture coordinates (s, t).
void drawStrip(const GLfloat (&positions)[12], const GLfloat (&coordinates)[8])
{
    glVertexPointer(3, GL_FLOAT, 0, positions);
    glTexCoordPointer(2, GL_FLOAT, 0, coordinates);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

}  // namespace

// Full redraw: the surface is cleared to black (no clear colour is ever set) and
// the working texture is drawn as the picture rectangle of zoomlevel x picsize
// points centred on (centerx, centery), picture row 0 at the top; then presented.
// Without a working texture the surface is only cleared and presented. During a
// peek the peeked source's texture is drawn in its place.
void CanvasView::UpdateScreen()
{
    const Texture2D* shown = mPeekSource >= 0 ? sourceTexture(mPeekSource) : pic.get();
    const FloatSize picsize = pictureSize();
    const float hw = zoomlevel * picsize.width * 0.5f;
    const float hh = zoomlevel * picsize.height * 0.5f;
    const float cx = float(centerx);
    const float cy = float(centery);

    glClear(GL_COLOR_BUFFER_BIT);
    if (shown) {
        const GLfloat sMax = shown->maxS();
        const GLfloat tMax = shown->maxT();
        const GLfloat positions[12] = {
            cx - hw, cy - hh, 0.0f,
            cx - hw, cy + hh, 0.0f,
            cx + hw, cy - hh, 0.0f,
            cx + hw, cy + hh, 0.0f,
        };
        const GLfloat coordinates[8] = {
            0.0f, tMax,
            0.0f, 0.0f,
            sMax, tMax,
            sMax, 0.0f,
        };
        glBindTexture(GL_TEXTURE_2D, shown->name());
        // The texture's colour as it is: the same bytes as modulating by the white
        // current colour, for a tenth less of the renderer's time per pixel.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        drawStrip(positions, coordinates);
    }
    swapBuffers();
}

// Patch: picture columns x1..x2-1 and rows y1..y2-1 of the source texture of
// drawType (0 black sketch, 1 colour sketch, 2 original) drawn over the surface
// exactly where the full redraw shows those pixels. Texture coordinates are over
// the texture size, so they address texels directly. No clear, no present; the
// source texture stays bound. Without that texture nothing is drawn.
void CanvasView::UpdateScreenRect(int drawType, int x1, int y1, int x2, int y2)
{
    drawPatch(sourceTexture(drawType), x1, y1, x2, y2);
}

void CanvasView::drawPatch(const Texture2D* texture, int x1, int y1, int x2, int y2)
{
    if (!texture)
        return;
    PatchBatch batch(PatchGeometry::place(centerx, centery, zoomlevel, pictureSize(), bufferWidth(), bufferHeight()));
    batch.add(x1, y1, x2, y2);
    batch.draw(texture->name());
}

void CanvasView::setPeekSource(int drawType)
{
    const int peek = drawType >= 0 && drawType <= 2 && isLoaded() ? drawType : -1;
    if (peek == mPeekSource)
        return;
    if (peek >= 0)
        finishStroke();  // a peek comes between strokes
    mPeekSource = peek;
    redrawView();
}
