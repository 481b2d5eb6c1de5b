#pragma once

#include "filter/SketchFilter.h"

// The pencil sketch filter for a picture `scale` times as large in each direction
// as the one it was designed for, so that the sketch of a large photo, shrunk to
// the project's size, looks like the sketch made at that size: its lines are as
// wide in proportion to the picture.
//
// Each pixel is dodged by the brightest of the same 13 neighbours, but at offsets
// `scale` times as far (rounded to whole pixels), each neighbour the average of a
// block of about 1.75 scale x 1.75 scale pixels around it (its grey for the choice,
// its colour for the colour sketch; each channel's mean rounded to nearest, halves
// up); the pixel's own grey and colour are its own.
// A scale of 1 (or less) is the plain filter, buildSketch, byte for byte.
//
// Writes all four bytes of every picture pixel of rows [firstRow, endRow) of
// `black` and `color` (of every picture row, for the plain filter), never
// `working`; neighbours outside the picture take no part. Runs on the calling
// thread and one more per further core (up to four in all). NO when its scratch
// memory (a few rows of the picture's width a thread) cannot be had.
bool buildSketchScaled(const SketchBuffers& buffers, double scale, int firstRow, int endRow);

// How many rows above and below a pixel buildSketchScaled reads at `scale`.
int scaledSketchReach(double scale);
