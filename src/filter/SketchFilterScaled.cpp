// The sketch filter at a larger scale, in two passes over the rows asked for:
//  - the blocks: every pixel's block average (R, G, B) from running sums, one
//    column sum a channel slid down the rows, then their running totals along
//    each row, so a pixel costs the same whatever the block's size; and the
//    block's grey as a 16-bit key, (grey + 1) << 4, in rows padded with zero keys;
//  - the dodge: as in the plain filter, the 13 candidates' keys with their scan
//    index in the low four bits, so one maximum gives the brightest and, on a tie,
//    the one met first; zero padding never wins over the pixel's own block.
// Each pass shares its rows out between the cores.
#include "filter/SketchFilterScaled.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

namespace {

using Key = std::int16_t;  // signed: the maximum of 16-bit lanes needs no more than SSE2

// The row loops come in an AVX2 and a baseline build; the loader picks one.
#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define SCALED_DISPATCH __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef SCALED_DISPATCH
#define SCALED_DISPATCH
#endif

constexpr int kMaxThreads = 4;
constexpr int kMinRowsPerThread = 16;

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

int grey(int r, int g, int b) { return (76 * r + 150 * g + 29 * b) >> 8; }

// The dodge of value v by a brightest b, min(255, v * 256 / (b + 1)), looked up.
struct DodgeTable {
    std::uint8_t by[256][256];

    DodgeTable()
    {
        for (int b = 0; b < 256; ++b)
            for (int v = 0; v < 256; ++v)
                by[b][v] = std::uint8_t(std::min(255, v * 256 / (b + 1)));
    }
};

// Runs work(first, end) over [first, end) cut into one piece a thread. NO when a
// piece ran out of memory.
template <typename Work>
bool onThreads(int first, int end, Work work)
{
    const int rows = end - first;
    if (rows <= 0)
        return true;
    std::atomic<bool> ok{true};
    const auto guarded = [&ok, &work](int from, int to) {
        try {
            work(from, to);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    };
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::max(1, std::min({cores, kMaxThreads, rows / kMinRowsPerThread}));
    std::vector<std::thread> helpers;
    int at = first;
    for (int i = 1; i < threads; ++i) {
        const int next = first + int(std::int64_t(rows) * i / threads);
        try {
            helpers.emplace_back([=] { guarded(at, next); });
        } catch (const std::exception&) {
            break;  // no thread to be had: the rest is done here
        }
        at = next;
    }
    guarded(at, end);
    for (std::thread& helper : helpers)
        helper.join();
    return ok;
}

// The blocks of rows [first, end), picture rows 0 .. rows - 1 around them.
struct Blocks {
    int columns = 0;
    int rows = 0;
    int top = 0;      // picture row of the first row held
    int pad = 0;      // zero keys each side of a key row
    int keyStride = 0;
    std::vector<std::uint8_t> rgb;  // 4 bytes a pixel: mean R, G, B, unused
    std::vector<Key> keys;
    std::vector<Key> zeroRow;

    const std::uint8_t* rgbRow(int y) const { return rgb.data() + std::size_t(y - top) * std::size_t(columns) * 4; }
    Key* keyRow(int y) { return keys.data() + std::size_t(y - top) * std::size_t(keyStride) + std::size_t(pad); }
    const Key* keysOrZero(int y, int held) const
    {
        if (y < top || y >= top + held)
            return zeroRow.data() + pad;
        return keys.data() + std::size_t(y - top) * std::size_t(keyStride) + std::size_t(pad);
    }
};

// A block's mean, sum x scale with scale = 1 / count, rounded to nearest with
// halves up. In double the product is within 1e-13 of the quotient, and a quotient
// that is not a whole and a half lies at least 1 / (2 count) >= 4e-5 from one
// (count <= 112 x 112): adding a hair over a half rounds exactly. (In float the
// product can fall short of an exact half.)
constexpr double kHalfUp = 0.5 + 1e-7;

SCALED_DISPATCH void blockRows(const SketchBuffers& buffers, const Geometry& g, Blocks& blocks, int first, int end)
{
    const int columns = blocks.columns;
    const std::size_t n = std::size_t(columns);
    const std::size_t stride = std::size_t(buffers.width) * 4;
    // Each column's sums over the rows of the block (one plane a channel), slid
    // down; along a row their running totals, totals[x] for columns 0 .. x - 1.
    std::vector<std::uint32_t> sums(n * 3, 0), totals((n + 1) * 3, 0);
    std::uint32_t* sum[3] = {sums.data(), sums.data() + n, sums.data() + 2 * n};
    std::uint32_t* total[3] = {totals.data(), totals.data() + n + 1, totals.data() + 2 * (n + 1)};
    const auto addRow = [&](int y, std::uint32_t sign) {  // 1, or -1 modulo 2^32
        const std::uint8_t* p = buffers.original + stride * std::size_t(y);
        for (int x = 0; x < columns; ++x) {
            sum[0][x] += sign * p[x * 4];
            sum[1][x] += sign * p[x * 4 + 1];
            sum[2][x] += sign * p[x * 4 + 2];
        }
    };
    int from = std::max(0, first - g.lo);
    int to = std::min(blocks.rows, first + g.hi + 1);  // rows from .. to - 1 are in `sums`
    for (int y = from; y < to; ++y)
        addRow(y, 1u);
    const int side = g.lo + g.hi + 1;
    for (int y = first; y < end; ++y) {
        for (; from < y - g.lo; ++from)
            addRow(from, ~0u);
        for (; to < std::min(blocks.rows, y + g.hi + 1); ++to)
            addRow(to, 1u);
        for (int c = 0; c < 3; ++c)
            for (int x = 0; x < columns; ++x)
                total[c][x + 1] = total[c][x] + sum[c][x];
        const double perRow = 1.0 / double(to - from);
        std::uint8_t* out = blocks.rgb.data() + std::size_t(y - blocks.top) * n * 4;
        Key* keys = blocks.keyRow(y);
        const auto block = [&](int x, int left, int right, double scale) {
            const int mr = int(double(total[0][right] - total[0][left]) * scale + kHalfUp);
            const int mg = int(double(total[1][right] - total[1][left]) * scale + kHalfUp);
            const int mb = int(double(total[2][right] - total[2][left]) * scale + kHalfUp);
            out[x * 4] = std::uint8_t(mr);
            out[x * 4 + 1] = std::uint8_t(mg);
            out[x * 4 + 2] = std::uint8_t(mb);
            out[x * 4 + 3] = 0;
            keys[x] = Key((grey(mr, mg, mb) + 1) << 4);
        };
        // Whole blocks in the middle of the row, cut ones at its ends.
        const int wholeFrom = std::min(g.lo, columns), wholeTo = std::max(wholeFrom, columns - g.hi);
        const double whole = perRow / double(side);
        for (int x = wholeFrom; x < wholeTo; ++x)
            block(x, x - g.lo, x + g.hi + 1, whole);
        for (int x = 0; x < columns; ++x) {
            if (x == wholeFrom)
                x = wholeTo;
            if (x >= columns)
                break;
            const int left = std::max(0, x - g.lo), right = std::min(columns, x + g.hi + 1);
            block(x, left, right, perRow / double(right - left));
        }
    }
}

SCALED_DISPATCH void dodgeRows(const SketchBuffers& buffers, const Geometry& g, const Blocks& blocks, int held, int first, int end)
{
    const int columns = blocks.columns;
    const std::size_t stride = std::size_t(buffers.width) * 4;
    struct Candidate {
        int dx;
        int dy;
    };
    // Scan order: the 3 x 3 block row by row, then two up, down, left, right.
    const Candidate candidates[13] = {
        {-g.near, -g.near}, {0, -g.near}, {g.near, -g.near}, {-g.near, 0}, {0, 0}, {g.near, 0},
        {-g.near, g.near},  {0, g.near},  {g.near, g.near},  {0, -g.far},  {0, g.far}, {-g.far, 0},
        {g.far, 0},
    };
    // Byte offset of each candidate's block from the pixel's own, by scan index.
    std::ptrdiff_t reachOf[13];
    for (int i = 0; i < 13; ++i)
        reachOf[i] = (std::ptrdiff_t(candidates[i].dy) * columns + candidates[i].dx) * 4;
    static const DodgeTable dodge;
    std::vector<Key> best(static_cast<std::size_t>(columns));
    for (int y = first; y < end; ++y) {
        std::fill(best.begin(), best.end(), Key(0));
        for (int i = 0; i < 13; ++i) {
            const Key* row = blocks.keysOrZero(y + candidates[i].dy, held) + candidates[i].dx;
            const Key tag = Key(15 - i);
            Key* out = best.data();
            for (int x = 0; x < columns; ++x)
                out[x] = std::max(out[x], Key(row[x] | tag));
        }
        const std::uint8_t* own = buffers.original + stride * std::size_t(y);
        std::uint8_t* black = buffers.black + stride * std::size_t(y);
        std::uint8_t* color = buffers.color + stride * std::size_t(y);
        const std::uint8_t* blockRow = blocks.rgbRow(y);
        for (int x = 0; x < columns; ++x) {
            const std::uint8_t* bright = blockRow + x * 4 + reachOf[15 - (best[x] & 15)];
            const std::uint8_t* dodgeByBrightest = dodge.by[(best[x] >> 4) - 1];
            const std::uint8_t* p = own + std::size_t(x) * 4;
            const std::uint8_t k = dodgeByBrightest[grey(p[0], p[1], p[2])];
            for (int ch = 0; ch < 3; ++ch) {
                color[x * 4 + ch] = dodge.by[bright[ch]][p[ch]];
                black[x * 4 + ch] = k;
            }
            color[x * 4 + 3] = p[3];
            black[x * 4 + 3] = p[3];
        }
    }
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

    Blocks blocks;
    blocks.columns = columns;
    blocks.rows = rows;
    blocks.top = std::max(0, firstRow - g.far);
    const int held = std::min(rows, endRow + g.far) - blocks.top;
    blocks.pad = g.far;
    blocks.keyStride = columns + 2 * g.far;
    try {
        blocks.rgb.resize(std::size_t(held) * std::size_t(columns) * 4);
        blocks.keys.assign(std::size_t(held) * std::size_t(blocks.keyStride), Key(0));
        blocks.zeroRow.assign(std::size_t(blocks.keyStride), Key(0));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return onThreads(blocks.top, blocks.top + held,
                     [&](int first, int end) { blockRows(buffers, g, blocks, first, end); }) &&
           onThreads(firstRow, endRow, [&](int first, int end) { dodgeRows(buffers, g, blocks, held, first, end); });
}
