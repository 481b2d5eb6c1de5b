// The pencil sketch filter written step by step, one pixel and one candidate at a
// time. It is kept as the yardstick for buildSketch (SketchFilter.cpp): the tests
// compare the two byte for byte and the benchmark measures one against the other.
#include <cstdint>
#include <vector>

#include "filter/SketchFilter.h"

namespace {

struct Offset {
    int dx;
    int dy;
};

// The 13 candidates of a pixel's neighbourhood in scan order: the 3x3 block row by
// row (the pixel itself is the fifth), then two up, two down, two left, two right.
constexpr Offset kNeighbourhood[13] = {
    {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1},
    {0, -2},  {0, 2},  {-2, 0}, {2, 0},
};

}  // namespace

void buildSketchReference(const SketchBuffers& buffers)
{
    const std::uint8_t* original = buffers.original;
    std::uint8_t* black = buffers.black;
    std::uint8_t* color = buffers.color;
    const int width = buffers.width;
    const int height = buffers.height;
    if (!original || !black || !color || width <= 0 || height <= 0)
        return;
    // Without a working buffer the greys go into scratch of our own, laid out alike.
    std::vector<std::uint8_t> ownScratch;
    if (!buffers.working)
        ownScratch.resize(std::size_t(width) * std::size_t(height) * 4);
    std::uint8_t* working = buffers.working ? buffers.working : ownScratch.data();

    // A column x (row y) belongs to the picture while float(x) < picsize.width
    // (float(y) < picsize.height), so a fractional size takes in the partly covered
    // last column (row). The picture never reaches past the buffer.
    auto inPicture = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height && float(x) < buffers.picsize.width &&
               float(y) < buffers.picsize.height;
    };

    // Pass 1: the grey of every picture pixel into byte 0 of its working pixel.
    for (int y = 0; y < height && float(y) < buffers.picsize.height; ++y) {
        for (int x = 0; x < width && float(x) < buffers.picsize.width; ++x) {
            const int p = (y * width + x) * 4;
            const int r = original[p];
            const int g = original[p + 1];
            const int b = original[p + 2];
            const int grey = (76 * r + 150 * g + 29 * b) / 256;
            working[p] = std::uint8_t(grey);
        }
    }

    // Pass 2: dodge every picture pixel by the brightest of its neighbours.
    for (int y = 0; y < height && float(y) < buffers.picsize.height; ++y) {
        for (int x = 0; x < width && float(x) < buffers.picsize.width; ++x) {
            const int p = (y * width + x) * 4;
            const int r = original[p];
            const int g = original[p + 1];
            const int b = original[p + 2];
            const int gs = working[p];

            int best = -1;
            int brightest = -1;
            for (const Offset& o : kNeighbourhood) {
                const int i = x + o.dx;
                const int j = y + o.dy;
                // Outside the buffer a candidate takes no part. Inside the buffer but
                // outside the picture it counts as grey 0, and since a picture
                // candidate (above-left, above, left or the pixel itself) always comes
                // first and only a greater value replaces the best, it can never win:
                // it is left out, and the stale bytes there are never read.
                if (!inPicture(i, j))
                    continue;
                const int q = (j * width + i) * 4;
                const int candidate = working[q];
                if (candidate > best) {  // on a tie the one met first stays
                    best = candidate;
                    brightest = q;
                }
            }

            const int rb = original[brightest];
            const int gb = original[brightest + 1];
            const int bb = original[brightest + 2];

            const int k = (gs * 256) / (best + 1);
            int cr = (r * 256) / (rb + 1);
            int cg = (g * 256) / (gb + 1);
            int cb = (b * 256) / (bb + 1);
            if (cr > 255)
                cr = 255;
            if (cg > 255)
                cg = 255;
            if (cb > 255)
                cb = 255;

            color[p] = std::uint8_t(cr);
            color[p + 1] = std::uint8_t(cg);
            color[p + 2] = std::uint8_t(cb);
            black[p] = std::uint8_t(k);
            black[p + 1] = std::uint8_t(k);
            black[p + 2] = std::uint8_t(k);
            color[p + 3] = original[p + 3];
            black[p + 3] = original[p + 3];
        }
    }
}
