#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "project/StrokeHistory.h"
#include "base/Geometry.h"

// The drawing painted again from its record over a picture of any size: the
// pencil sketches of `pixels` (on a larger picture made at its scale, so that
// their lines are as wide in proportion as on the project: buildSketchScaled),
// the start image chosen, then every dab, its centre and radius scaled from the
// project's picture to this one and clipped to it as the brush is on screen.
//
// `pixels` is bufferWidth x bufferHeight pixels of 4 bytes R, G, B, A
// (premultiplied), rows top to bottom without gaps, the picture the top-left
// picsize area. It holds the photo upright on entry and the drawing on return;
// pixels outside the picture are not touched. The work goes in bands of rows
// (a few megabytes beside `pixels`, whatever its size), the sketch filter of
// each band on every core.
//
// At the project's own size (picsize == projectPicsize, over the project's
// original) this gives the project's working image byte for byte.
struct FullResolutionJob {
    std::uint8_t* pixels = nullptr;
    int bufferWidth = 0;
    int bufferHeight = 0;
    FloatSize picsize;
    FloatSize projectPicsize;
    int startSource = 2;  // 0 black sketch, 1 colour sketch, 2 the photo
    const std::vector<StrokeHistory::Dab>* dabs = nullptr;
    int bandRows = 256;   // rows of the picture painted per band
};

// Told of each band's rows [first, end) of the job's `pixels` once they hold the
// drawing, top to bottom, while the drawing goes on below them (a PNG writer takes
// them then); NO stops the drawing.
using BandDrawn = std::function<bool(int first, int end)>;

// NO, with `pixels` untouched, when the job is not one (no buffer, empty or
// oversized picture, an unknown start) or the band memory cannot be had; NO too
// when the filter's scratch runs short part way or `bandDrawn` (when given) says
// NO, `pixels` then partly drawn.
bool renderFullResolution(const FullResolutionJob& job, const BandDrawn& bandDrawn = {});

// The same drawing with the photo read a few rows at a time and the picture never
// held whole: `photoRows` gives the next `count` rows of the upright photo, top to
// bottom, bufferWidth pixels each, packed (the picture the top-left picsize area,
// as for renderFullResolution); `bandDrawn` is handed each band's rows [first,
// end) of the drawing, packed from `rows`, top to bottom, valid until it returns.
// job.pixels is not used. Memory: the band buffers alone. NO when the job is not
// one, memory runs short, or `photoRows` or `bandDrawn` says NO.
using PhotoRows = std::function<bool(std::uint8_t* rows, int count)>;
using BandRowsDrawn = std::function<bool(const std::uint8_t* rows, int first, int end)>;
bool renderFullResolutionStreamed(const FullResolutionJob& job, const PhotoRows& photoRows,
                                  const BandRowsDrawn& bandDrawn);

// A dab of the project's picture placed on a picture `scale` times as large in
// each direction: pixel centres stay pixel centres, the radius scales alike.
// A scale of exactly 1 gives the dab unchanged.
StrokeHistory::Dab scaledDab(const StrokeHistory::Dab& dab, double scaleX, double scaleY);

// Whether the record, replayed over the project's original at the project's own
// size, gives exactly the picture area of `working` (the check that the record is
// whole before the drawing is made at another size). Buffers as the project's:
// width x height pixels, the picture the top-left picsize area.
bool replayGivesWorking(const std::uint8_t* original, const std::uint8_t* working, int width, int height,
                        FloatSize picsize, int startSource, const std::vector<StrokeHistory::Dab>& dabs);
