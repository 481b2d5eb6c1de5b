#include "canvas/PatchBatch.h"

void PatchBatch::add(int x1, int y1, int x2, int y2)
{
    if (!PatchGeometry::reachesPixelCentre(mPlacement, x1, y1, x2, y2, mPixelsPerPoint))
        return;
    PatchGeometry::appendPatch(mPlacement, x1, y1, x2, y2, mPositions, mCoordinates);
}

void PatchBatch::draw(GLuint texture) const
{
    if (mPositions.empty())
        return;
    glBindTexture(GL_TEXTURE_2D, texture);
    glVertexPointer(2, GL_FLOAT, 0, mPositions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, mCoordinates.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(mPositions.size() / 2));
}
