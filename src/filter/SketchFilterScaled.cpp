// The sketch filter at a larger scale, streamed down the rows asked for in a few
// pieces shared out between the cores. Each piece keeps the column sums of the
// rows one block covers, slid down a row at a time, and a ring of the block rows
// its pixels look at (far above to far below): a block row is made from the sums
// (its blocks' mean colours and grey keys), then the row `far` above it is
// dodged. Its memory is a few rows, whatever the picture's size; the row loops
// (SketchFilterScaledRows.h) are the AVX2 ones where the processor has them.
#include "filter/SketchFilterScaled.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <thread>
#include <vector>

#include "filter/FilterThreads.h"
#include "filter/SketchFilterRows.h"
#include "filter/SketchFilterScaledRows.h"

namespace {

using scaled_sketch::Key;

constexpr int kMaxThreads = 4;
constexpr int kPiecesPerThread = 4;

struct Geometry {
    int near = 1;  // offset of the 3 x 3 block's outer candidates
    int far = 2;   // offset of the four outermost candidates
    int lo = 0;    // a pixel's block: columns (rows) x - lo .. x + hi
    int hi = 0;

    bool plain() const { return near == 1 && far == 2 && lo == 0 && hi == 0; }
};

Geometry geometryFor(double scale)
{
    Geometry g;
    if (!(scale > 1.0) || !std::isfinite(scale))
        return g;
    const double s = std::min(scale, 64.0);
    g.near = std::max(1, int(std::lround(s)));
    g.far = std::max(2, int(std::lround(2.0 * s)));
    // Blocks a little wider than the scale: the brightest of 13 block averages is
    // then about as bright as the brightest of 13 pixels of the shrunk picture
    // (smaller blocks vary more and give a darker sketch); measured on photos.
    const int side = std::max(1, int(std::lround(1.75 * s)));
    g.lo = side / 2;
    g.hi = side - 1 - g.lo;
    return g;
}

struct RowLoops {
    void (*addRow)(std::uint16_t*, const std::uint8_t*, int);
    void (*subtractRow)(std::uint16_t*, const std::uint8_t*, int);
    void (*blockRow)(const std::uint16_t*, int, int, int, int, std::uint32_t*, std::uint32_t*, Key*);
    void (*dodgeRow)(const scaled_sketch::DodgeRow&, int);
};

void dodgeRowPortableWhole(const scaled_sketch::DodgeRow& row, int n)
{
    scaled_sketch::dodgeRowPortable(row, 0, n);
}

RowLoops rowLoops()
{
    using namespace scaled_sketch;
    if (sketchRowLoops() == SketchRowLoops::Fastest && avx2Available())
        return {addRowAvx2, subtractRowAvx2, blockRowAvx2, dodgeRowAvx2};
    return {addRowPortable, subtractRowPortable, blockRowPortable, dodgeRowPortableWhole};
}

// The picture's `columns` x `rows` pixels in the buffers, and the filter's reach.
struct Picture {
    const SketchBuffers& buffers;
    int columns;
    int rows;
    Geometry g;
    RowLoops loops;

    std::size_t stride() const { return std::size_t(buffers.width) * 4; }
    const std::uint8_t* row(int y) const { return buffers.original + stride() * std::size_t(y); }
};

// One piece's memory: the column sums, their running totals, and the ring of
// block rows (colour words and keys, padded with zero keys either side) with one
// more row of zero keys standing for the rows outside the picture.
struct Ring {
    int rows = 0;
    int pad = 0;
    int stride = 0;
    std::vector<std::uint16_t> sums;
    std::vector<std::uint32_t> totals;
    std::vector<std::uint32_t> colours;
    std::vector<Key> keys;
    std::vector<Key> best;

    Ring(int columns, int far)
        : rows(2 * far + 1), pad(far + 16), stride(columns + 2 * (far + 16)), sums(std::size_t(columns) * 4, 0),
          totals((std::size_t(columns) + 1) * 4), colours(std::size_t(stride) * std::size_t(rows + 1), 0),
          keys(std::size_t(stride) * std::size_t(rows + 1), Key(0)), best(std::size_t(columns))
    {
    }

    std::size_t at(int slot) const { return std::size_t(slot) * std::size_t(stride) + std::size_t(pad); }
    std::uint32_t* colourRow(int y) { return colours.data() + at(y % rows); }
    Key* keyRow(int y) { return keys.data() + at(y % rows); }
};

// Rows [first, end) of both sketches.
void sketchPiece(const Picture& picture, int first, int end)
{
    const Geometry& g = picture.g;
    const RowLoops& loops = picture.loops;
    const int columns = picture.columns, rows = picture.rows;
    Ring ring(columns, g.far);
    const std::uint32_t* outsideColours = ring.colours.data() + ring.at(ring.rows);
    const Key* outsideKeys = ring.keys.data() + ring.at(ring.rows);

    // The sums cover picture rows [top, bottom) of block row `next`, the next to make.
    int next = std::max(0, first - g.far);
    int top = std::max(0, next - g.lo);
    int bottom = std::min(rows, next + g.hi + 1);
    for (int y = top; y < bottom; ++y)
        loops.addRow(ring.sums.data(), picture.row(y), columns);
    const auto makeBlockRow = [&] {
        for (; top < next - g.lo; ++top)
            loops.subtractRow(ring.sums.data(), picture.row(top), columns);
        for (; bottom < std::min(rows, next + g.hi + 1); ++bottom)
            loops.addRow(ring.sums.data(), picture.row(bottom), columns);
        loops.blockRow(ring.sums.data(), bottom - top, columns, g.lo, g.hi, ring.totals.data(),
                       ring.colourRow(next), ring.keyRow(next));
        ++next;
    };
    const auto inside = [&](int y) { return y >= 0 && y < rows; };
    for (int y = first; y < end; ++y) {
        while (next < std::min(rows, y + g.far + 1))
            makeBlockRow();
        scaled_sketch::DodgeRow row{};
        const int at[5] = {y - g.far, y - g.near, y, y + g.near, y + g.far};
        for (int i = 0; i < 5; ++i) {
            row.keys[i] = inside(at[i]) ? ring.keyRow(at[i]) : outsideKeys;
            row.colours[i] = inside(at[i]) ? ring.colourRow(at[i]) : outsideColours;
        }
        row.near = g.near;
        row.far = g.far;
        row.original = picture.row(y);
        row.black = picture.buffers.black + picture.stride() * std::size_t(y);
        row.color = picture.buffers.color + picture.stride() * std::size_t(y);
        row.best = ring.best.data();
        loops.dodgeRow(row, columns);
    }
}

// Rows [first, end) cut into pieces that the calling thread and up to three more
// take in turn. NO when a piece ran out of memory.
bool sketchPieces(const Picture& picture, int first, int end)
{
    const int asked = end - first;
    // A piece makes 2 far block rows beyond its own: pieces of at least 16 far rows.
    const int minRows = std::max(16, 16 * picture.g.far);
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::max(1, std::min({cores, kMaxThreads, asked / minRows}));
    const int pieces = std::max(threads, std::min(threads * kPiecesPerThread, asked / minRows));
    std::atomic<int> taken{0};
    std::atomic<bool> ok{true};
    const auto work = [&] {
        for (int piece = taken.fetch_add(1); piece < pieces; piece = taken.fetch_add(1)) {
            const int from = first + int(std::int64_t(asked) * piece / pieces);
            const int to = first + int(std::int64_t(asked) * (piece + 1) / pieces);
            try {
                sketchPiece(picture, from, to);
            } catch (const std::bad_alloc&) {
                ok = false;
            }
        }
    };
    FilterThreads::shared().run(threads - 1, work);
    return ok;
}

}  // namespace

int scaledSketchReach(double scale)
{
    const Geometry g = geometryFor(scale);
    return g.far + std::max(g.lo, g.hi);
}

bool buildSketchScaled(const SketchBuffers& buffers, double scale, int firstRow, int endRow)
{
    const Geometry g = geometryFor(scale);
    if (g.plain()) {
        buildSketch(buffers);
        return true;
    }
    if (!buffers.original || !buffers.black || !buffers.color || buffers.width <= 0 || buffers.height <= 0)
        return true;
    const int columns = pictureExtent(buffers.picsize.width, buffers.width);
    const int rows = pictureExtent(buffers.picsize.height, buffers.height);
    firstRow = std::max(firstRow, 0);
    endRow = std::min(endRow, rows);
    if (columns == 0 || firstRow >= endRow)
        return true;
    return sketchPieces(Picture{buffers, columns, rows, g, rowLoops()}, firstRow, endRow);
}
