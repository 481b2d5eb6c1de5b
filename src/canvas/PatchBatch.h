#pragma once

#include <GLES/gl.h>

#include <vector>

#include "canvas/PatchGeometry.h"

// Patches of one texture gathered for a single draw call: two triangles a patch,
// positions and texture coordinates in two arrays, drawn with one glDrawArrays.
// Uses the fixed drawing state (vertex and texture-coordinate arrays on).
class PatchBatch {
public:
    // With the surface's pixels a point, patches that reach no pixel centre are
    // left out (they would draw nothing); without, every patch is drawn.
    explicit PatchBatch(const PatchGeometry::Placement& placement, FloatSize pixelsPerPoint = FloatSize{})
        : mPlacement(placement), mPixelsPerPoint(pixelsPerPoint)
    {
    }

    // Picture columns x1..x2-1 and rows y1..y2-1.
    void add(int x1, int y1, int x2, int y2);
    bool empty() const { return mPositions.empty(); }
    // Binds `texture` and draws every patch added; nothing when there is none.
    void draw(GLuint texture) const;

private:
    PatchGeometry::Placement mPlacement;
    FloatSize mPixelsPerPoint;
    std::vector<float> mPositions;
    std::vector<float> mCoordinates;
};
