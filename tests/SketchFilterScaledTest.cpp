// The sketch filter at a larger scale against a straightforward version written
// here from what the filter promises: the 13 neighbours at offsets round(scale)
// and round(2 x scale), each the mean of a block of round(1.75 x scale) pixels a
// side (columns x - side / 2 .. x - side / 2 + side - 1, likewise rows) cut to
// the picture, means rounded to nearest with halves up; the brightest block grey
// wins, the one met first in scan order on a tie; the pixel's own grey is dodged
// by that grey and its colour by that block's mean colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filter/SketchFilter.h"
#include "filter/SketchFilterScaled.h"
#include "support/SplitMix.h"

namespace {

using Random = SplitMix;

enum class Kind { Noise, EqualGreyTiles, Gradient };

// Two colours of grey 99 and two of grey 150, so that blocks inside one tile tie
// on grey while their colours differ.
constexpr std::uint8_t kTiles[4][3] = {{100, 100, 100}, {0, 150, 99}, {151, 151, 151}, {255, 103, 60}};

struct Buffers {
    int width, height;
    FloatSize picsize;
    std::vector<std::uint8_t> original, black, color;

    Buffers(int w, int h, FloatSize pic, Kind kind, std::uint64_t seed)
        : width(w), height(h), picsize(pic), original(std::size_t(w) * h * 4)
    {
        Random random{seed};
        const int tile = 3 + random.below(5);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = &original[(std::size_t(y) * w + x) * 4];
                for (int c = 0; c < 4; ++c)
                    p[c] = std::uint8_t(random.next());  // outside the picture: stale bytes
                if (float(x) >= pic.width || float(y) >= pic.height)
                    continue;
                if (kind == Kind::EqualGreyTiles) {
                    const std::uint8_t* t = kTiles[(x / tile + 3 * (y / (tile + 1))) % 4];
                    std::memcpy(p, t, 3);
                } else if (kind == Kind::Gradient) {
                    p[0] = std::uint8_t(x * 255 / w);
                    p[1] = std::uint8_t(y * 255 / h);
                    p[2] = std::uint8_t((x + y) % 7 == 0 ? 255 : 128);
                }
            }
        black = color = std::vector<std::uint8_t>(original.size(), 0xc3);
    }
    SketchBuffers view() { return {original.data(), nullptr, black.data(), color.data(), width, height, picsize}; }
};

int roundHalfUp(double v) { return int(std::floor(v + 0.5)); }

int greyOf(int r, int g, int b) { return (76 * r + 150 * g + 29 * b) / 256; }

struct Mean {
    int rgb[3];
    int grey;
};

// The filter at `scale` (> 1) written out pixel by pixel, over rows [first, end)
// of `out` (black, colour), which hold the same bytes as the buffers beforehand.
void referenceScaled(const Buffers& in, double scale, int first, int end, std::vector<std::uint8_t>& black,
                     std::vector<std::uint8_t>& color)
{
    int columns = 0, rows = 0;
    while (columns < in.width && float(columns) < in.picsize.width)
        ++columns;
    while (rows < in.height && float(rows) < in.picsize.height)
        ++rows;
    const int near = std::max(1, roundHalfUp(scale));
    const int far = std::max(2, roundHalfUp(2 * scale));
    const int side = std::max(1, roundHalfUp(1.75 * scale));
    const auto at = [&](int x, int y) { return &in.original[(std::size_t(y) * in.width + x) * 4]; };

    std::vector<Mean> means(std::size_t(columns) * rows);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            long sum[3] = {0, 0, 0};
            long count = 0;
            for (int j = y - side / 2; j < y - side / 2 + side; ++j)
                for (int i = x - side / 2; i < x - side / 2 + side; ++i) {
                    if (i < 0 || j < 0 || i >= columns || j >= rows)
                        continue;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += at(i, j)[c];
                    ++count;
                }
            Mean& m = means[std::size_t(y) * columns + x];
            for (int c = 0; c < 3; ++c)
                m.rgb[c] = int((2 * sum[c] + count) / (2 * count));
            m.grey = greyOf(m.rgb[0], m.rgb[1], m.rgb[2]);
        }

    const int offsets[13][2] = {{-near, -near}, {0, -near}, {near, -near}, {-near, 0}, {0, 0},
                                {near, 0},      {-near, near}, {0, near},  {near, near}, {0, -far},
                                {0, far},       {-far, 0},   {far, 0}};
    for (int y = std::max(first, 0); y < std::min(end, rows); ++y)
        for (int x = 0; x < columns; ++x) {
            const Mean* best = nullptr;
            for (const auto& o : offsets) {
                const int i = x + o[0], j = y + o[1];
                if (i < 0 || j < 0 || i >= columns || j >= rows)
                    continue;
                const Mean& m = means[std::size_t(j) * columns + i];
                if (!best || m.grey > best->grey)
                    best = &m;
            }
            const std::uint8_t* p = at(x, y);
            const std::size_t o = (std::size_t(y) * in.width + x) * 4;
            const int k = std::min(255, greyOf(p[0], p[1], p[2]) * 256 / (best->grey + 1));
            for (int c = 0; c < 3; ++c) {
                black[o + c] = std::uint8_t(k);
                color[o + c] = std::uint8_t(std::min(255, p[c] * 256 / (best->rgb[c] + 1)));
            }
            black[o + 3] = color[o + 3] = p[3];
        }
}

// The row loops a test runs, the fastest ones again once it is done.
class RowLoopsChosen {
public:
    explicit RowLoopsChosen(SketchRowLoops loops) { setSketchRowLoops(loops); }
    ~RowLoopsChosen() { setSketchRowLoops(SketchRowLoops::Fastest); }
    RowLoopsChosen(const RowLoopsChosen&) = delete;
    RowLoopsChosen& operator=(const RowLoopsChosen&) = delete;
};

constexpr SketchRowLoops kRowLoops[] = {SketchRowLoops::Fastest, SketchRowLoops::Portable};

struct Case {
    int width, height;
    FloatSize picsize;
    double scale;
    Kind kind;
};

}  // namespace

TEST(SketchFilterScaled, MatchesTheStraightforwardVersionByteForByte)
{
    const Case cases[] = {
        {37, 23, {37, 23}, 1.3, Kind::Noise},           // near 1, far 3, side 2
        {37, 23, {37, 23}, 1.5, Kind::EqualGreyTiles},  // near 2, far 3, side 3
        {40, 31, {40, 31}, 2.0, Kind::Noise},           // side 3.5 rounds up to 4
        {40, 31, {40, 31}, 2.0, Kind::EqualGreyTiles},
        {41, 29, {38.5f, 26.25f}, 2.5, Kind::Noise},    // a fractional picture in a larger buffer
        {41, 29, {38.5f, 26.25f}, 2.5, Kind::EqualGreyTiles},
        {53, 47, {53, 47}, 3.7, Kind::Gradient},
        {53, 47, {51, 45}, 3.7, Kind::EqualGreyTiles},
        {33, 35, {33, 35}, 4.0, Kind::Noise},           // side 7, far 8
        {30, 19, {29.5f, 19}, 5.2, Kind::Noise},        // blocks cut at both edges
        {7, 5, {7, 5}, 4.0, Kind::Noise},               // a picture smaller than a block
        {1, 9, {1, 9}, 2.0, Kind::Noise},               // one column
        {64, 3, {64, 3}, 8.3, Kind::EqualGreyTiles},
        {45, 45, {45, 45}, 12.6, Kind::Gradient},       // side 22: an even side
        // Wide enough for the vector loops, with every kind of end.
        {22, 12, {22, 12}, 3.9, Kind::Noise},           // side 7: exactly 16 whole blocks a row
        {23, 12, {23, 12}, 3.9, Kind::EqualGreyTiles},  // 16 whole blocks and one more
        {300, 37, {300, 37}, 3.9, Kind::Noise},         // far 8, as a 4000-pixel photo of a 1024 project
        {333, 41, {330.5f, 40.2f}, 2.0, Kind::EqualGreyTiles},
        {97, 60, {97, 60}, 9.4, Kind::Noise},           // side 16: block sums up to 65280
        {150, 30, {150, 30}, 11.0, Kind::Gradient},     // side 19: block sums past 16 bits
        {130, 40, {130, 40}, 64.0, Kind::Noise},        // the largest scale: blocks of 112 x 112
        {129, 300, {129, 300}, 1.3, Kind::Noise},       // rows enough for several pieces and threads
        {200, 400, {199.5f, 400}, 3.0, Kind::EqualGreyTiles},
    };
    for (const SketchRowLoops loops : kRowLoops) {
        const RowLoopsChosen chosen(loops);
        std::uint64_t seed = 1;
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " picture " << c.picsize.width << "x"
                                            << c.picsize.height << " scale " << c.scale << " kind " << int(c.kind)
                                            << (loops == SketchRowLoops::Portable ? " portable" : " fastest"));
            Buffers buffers(c.width, c.height, c.picsize, c.kind, seed++);
            std::vector<std::uint8_t> black = buffers.black, color = buffers.color;
            referenceScaled(buffers, c.scale, 0, c.height, black, color);
            ASSERT_TRUE(buildSketchScaled(buffers.view(), c.scale, 0, c.height));
            // Also outside the picture: nothing is written there.
            for (std::size_t i = 0; i < black.size(); ++i) {
                ASSERT_EQ(buffers.black[i], black[i]) << "black: pixel " << i / 4 % c.width << "," << i / 4 / c.width
                                                      << " byte " << i % 4;
                ASSERT_EQ(buffers.color[i], color[i]) << "colour: pixel " << i / 4 % c.width << ","
                                                      << i / 4 / c.width << " byte " << i % 4;
            }
        }
    }
}

TEST(SketchFilterScaled, RowsAskedForAreThoseOfTheWholeRunAndNoOthersAreWritten)
{
    struct Range {
        int first, end;
    };
    for (const SketchRowLoops loops : kRowLoops) {
        const RowLoopsChosen chosen(loops);
        for (const Range r : {Range{0, 1}, Range{5, 6}, Range{10, 31}, Range{30, 99}, Range{-4, 3}, Range{20, 20}}) {
            SCOPED_TRACE(testing::Message() << "rows " << r.first << ".." << r.end
                                            << (loops == SketchRowLoops::Portable ? " portable" : " fastest"));
            Buffers buffers(43, 31, {43, 31}, Kind::Noise, 77);
            std::vector<std::uint8_t> black = buffers.black, color = buffers.color;
            referenceScaled(buffers, 3.3, r.first, r.end, black, color);
            ASSERT_TRUE(buildSketchScaled(buffers.view(), 3.3, r.first, r.end));
            EXPECT_TRUE(buffers.black == black);
            EXPECT_TRUE(buffers.color == color);
        }
    }
}

TEST(SketchFilterScaled, AtScaleOneOrLessItIsThePlainFilter)
{
    for (const double scale : {1.0, 0.5, 0.0, -2.0, std::nan("")}) {
        SCOPED_TRACE(scale);
        Buffers scaled(29, 17, {28.5f, 17}, Kind::Noise, 5);
        Buffers plain = scaled;
        ASSERT_TRUE(buildSketchScaled(scaled.view(), scale, 3, 4));  // every row, whatever the range
        buildSketchReference(plain.view());
        EXPECT_TRUE(scaled.black == plain.black);
        EXPECT_TRUE(scaled.color == plain.color);
    }
}

TEST(SketchFilterScaled, ReachCoversTheFarthestRowRead)
{
    // The farthest candidate block row: far offset plus the block's upper or lower part.
    struct Reach {
        double scale;
        int rows;
    };
    for (const Reach r : {Reach{1.0, 2}, Reach{1.3, 4}, Reach{2.0, 6}, Reach{2.5, 7}, Reach{4.0, 11}, Reach{12.6, 36}})
        EXPECT_EQ(scaledSketchReach(r.scale), r.rows) << r.scale;
}
