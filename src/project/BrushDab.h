#pragma once

#include <cstdint>
#include <vector>

#include "base/Geometry.h"

// The brush dab as a plain kernel over pixel buffers: where a touch lands in the
// picture, which pixels the brush covers, and the copy of those pixels from a
// source buffer into the working buffer. No GL and no widgets: the canvas draws
// the runs this reports.
//
// Buffers are width x height pixels of 4 bytes (R, G, B, A), rows top to bottom
// without gaps; the picture is the top-left picsize area and only that area is
// ever read or written.
namespace BrushDab {

enum Shape : int { Round = 0, Square = 1 };

// Where the picture sits on screen: picsize pixels drawn at zoomlevel points a
// pixel, centred on (centerx, centery) in drawing coordinates (y upwards), inside
// a view boundsHeight points high.
struct Placement {
    float zoomlevel = 1.0f;
    std::int32_t centerx = 0;
    std::int32_t centery = 0;
    FloatSize picsize;
    float boundsHeight = 0.0f;
};

// The brush centre in picture pixels (x to the right, y down from the top row)
// for a touch in view coordinates (y downwards).
FloatPoint centreInPicture(FloatPoint touch, const Placement& placement);

// The radius in picture pixels of brush-size index sizeIndex: 10 + 5 x index
// points on screen, worked out in double precision and narrowed to float.
float radiusInPixels(int sizeIndex, float zoomlevel);

// Columns xs..xe and rows ys..ye (inclusive) that the brush may cover, clipped to
// the picture and to the buffer. Empty when xs > xe or ys > ye.
struct Box {
    int xs = 0;
    int ys = 0;
    int xe = -1;
    int ye = -1;
    bool empty() const { return xs > xe || ys > ye; }
};
Box boundingBox(FloatPoint centre, float radius, FloatSize picsize, int bufferWidth, int bufferHeight);

// One painted column: rows first..last (inclusive) of column x.
struct ColumnRun {
    int x = 0;
    int first = 0;
    int last = 0;
    friend bool operator==(const ColumnRun&, const ColumnRun&) = default;
};

// The pixels one dab paints in the buffers' geometry.
struct Dab {
    FloatPoint centre;  // picture pixels
    float radius = 0.0f;
    int shape = Round;
    FloatSize picsize;
    int bufferWidth = 0;
    int bufferHeight = 0;
};

// Rows of column x that the dab covers, or false when it covers none there.
// Round: the pixels whose squared distance from the centre is strictly less than
// the squared radius; square: the whole box; any other shape: nothing.
bool columnRun(const Dab& dab, const Box& box, int x, ColumnRun* run);

// Each row's covered columns left[row]..right[row] (row counted from box.ys) from
// the runs of columns in increasing order, for shapes whose rows are unbroken;
// a row no run reaches gets left > right.
void rowSpans(const std::vector<ColumnRun>& runs, const Box& box, std::vector<int>& left, std::vector<int>& right);

// Copies every covered pixel (4 bytes, alpha included, no blending) from source
// to working and appends one run per painted column, columns in increasing order.
// Answers whether anything was painted. `runs` is cleared first.
bool paint(const Dab& dab, const std::uint8_t* source, std::uint8_t* working, std::vector<ColumnRun>& runs);

}  // namespace BrushDab
