#pragma once

#include "filter/SketchFilter.h"

// The two ways the sketch filter works through a band of rows [first, end) of the
// picture's `columns` x `rows` pixels; the filter shares the bands out between its
// threads and picks one of them (SketchFilter.cpp). Both give the bytes of
// buildSketchReference. A band reads the greys of two rows beyond its edges again,
// so bands never write the same bytes and their bytes do not depend on the split.

// Row loops in plain C++ that the compiler vectorises for any processor.
void sketchBandPortable(const SketchBuffers& buffers, int columns, int rows, int first, int end);

// The whole pixel pipeline in AVX2 instructions, 16 pixels at a time; only
// where sketchBandAvx2Available() says the processor has them.
bool sketchBandAvx2Available();
void sketchBandAvx2(const SketchBuffers& buffers, int columns, int rows, int first, int end);

// Which row loops setSketchRowLoops last asked for.
SketchRowLoops sketchRowLoops();
