#pragma once

#include <atomic>
#include <cstdint>

#include "base/Geometry.h"

// The four buffers of a project as the pencil sketch filter sees them: width x
// height pixels each, 4 bytes R, G, B, A (premultiplied), rows top to bottom
// without gaps; the picture is the top-left picsize area.
struct SketchBuffers {
    const std::uint8_t* original = nullptr;  // read only
    std::uint8_t* working = nullptr;         // grey scratch: byte 0 of each picture pixel; may be null
    std::uint8_t* black = nullptr;           // black pencil sketch
    std::uint8_t* color = nullptr;           // colour pencil sketch
    int width = 0;
    int height = 0;
    FloatSize picsize;
};

// Dodges every picture pixel by the brightest of its 13 neighbours (3x3 block plus
// one pixel at distance 2 straight up, down, left, right): grey values for the
// black sketch, each channel for the colour sketch. Writes byte 0 of every picture
// pixel of `working` (its grey) and all four bytes of every picture pixel of
// `black` and `color`; nothing outside the picture area is read as image or
// written. Without `working` the greys stay the filter's own and the sketches are
// the same: then it touches no memory but `original` (read) and the two sketches,
// so it can run beside other work on the working image.
//
// The picture area is the columns x with float(x) < picsize.width and the rows y
// with float(y) < picsize.height, so a fractional size takes in the partly covered
// last column and row; it never reaches past the buffer, whatever picsize says.
// Neighbours outside the picture take no part, whatever bytes the buffers hold
// there. On equal greys the neighbour met first in scan order wins (the 3x3 block
// row by row, then two up, two down, two left, two right).
//
// It runs on the calling thread and, for a large picture, on one more thread per
// further core (up to four in all), each taking bands of rows; it returns when all
// are done.
void buildSketch(const SketchBuffers& buffers);

// Number of columns (rows) n with float(n) < size, never more than the buffer has.
int pictureExtent(float size, int limit);

// The same on at most `threads` threads, the calling one included (1: on the
// calling thread only), for callers that keep the other cores busy themselves.
void buildSketchOnThreads(const SketchBuffers& buffers, int threads);

// The same, telling a reader on another thread how far it got: as bands of rows
// finish it stores (release) in `rowsFinal` how many rows from the top of `black`
// and `color` hold their final bytes, only ever growing, and at the end, however
// the run ends, the buffers' height (rows below the picture are never written).
// Waiters on `rowsFinal` are woken at each store.
void buildSketchWithProgress(const SketchBuffers& buffers, std::atomic<int>& rowsFinal);

// The same, written step by step for clarity: the reference that buildSketch must
// match byte for byte, and the baseline of the benchmark.
void buildSketchReference(const SketchBuffers& buffers);

// Which row loops the filter runs: the fastest the processor allows, or the
// portable ones that run everywhere (for tests and benchmarks of the latter; both
// give the same bytes). Applies to runs started afterwards.
enum class SketchRowLoops { Fastest, Portable };
void setSketchRowLoops(SketchRowLoops loops);
