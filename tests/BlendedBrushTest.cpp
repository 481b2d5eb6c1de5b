// The soft and partial brush as plain functions over buffers: a straightforward
// model (whole-buffer copies of each stroke's start, one pass over every pixel of
// the box) against the tiled mask the canvas uses, against the record laid again
// in bands, and against the hard brush where they must agree; the record's second
// format.
#include <gtest/gtest.h>

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filter/SketchFilter.h"
#include "project/BlendedDab.h"
#include "project/BrushDab.h"
#include "project/FullResolutionRecord.h"
#include "project/FullResolutionRender.h"
#include "project/ShareLookup.h"
#include "project/StrokeHistory.h"
#include "project/StrokeMask.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes photo(int w, int h)
{
    Bytes pixels(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &pixels[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            p[0] = std::uint8_t((x * 7 + y * 3) & 255);
            p[1] = std::uint8_t(40 + ((x * x + y * 5) & 127));
            p[2] = std::uint8_t((x * 13) ^ (y * 11));
            p[3] = 255;
        }
    return pixels;
}

// The project's three sources: black sketch, colour sketch, photo.
struct Sources {
    Bytes black, color, original;
    const std::uint8_t* of(int drawType) const
    {
        return drawType == 0 ? black.data() : drawType == 1 ? color.data() : original.data();
    }
};

Sources sources(int w, int h, FloatSize picsize)
{
    Sources s{Bytes(std::size_t(w) * std::size_t(h) * 4), Bytes(std::size_t(w) * std::size_t(h) * 4), photo(w, h)};
    buildSketch(SketchBuffers{s.original.data(), nullptr, s.black.data(), s.color.data(), w, h, picsize});
    return s;
}

// Coverage written out per pixel from its definition: inside the dab, the
// falloff at the step of d2 / r^2, worked out here in double.
int modelCoverage(const StrokeHistory::Dab& d, int x, int y)
{
    const float dx = float(x) - d.centre.x;
    const float dy = float(y) - d.centre.y;
    const float r2 = d.radius * d.radius;
    float d2;
    if (d.shape == BrushDab::Square) {
        if (d.hardness >= 100)
            return 255;
        const float distance = std::max(std::fabs(dx), std::fabs(dy));
        if (!(distance < d.radius))
            return 0;
        d2 = distance * distance;
    } else {
        d2 = dy * dy + dx * dx;
        if (!(d2 < r2))
            return 0;
        if (d.hardness >= 100)
            return 255;
    }
    const int q = std::min(int(d2 * (1024.0f / r2)), 1023);
    const double u = std::sqrt((q + 0.5) / 1024.0), inner = d.hardness / 100.0;
    if (u <= inner)
        return 255;
    const double s = 1.0 - (u - inner) / (1.0 - inner);
    return int(std::floor(255.0 * (s * s * (3.0 - 2.0 * s)) + 0.5));
}

// The model: a stroke's full hard dabs copy the source until its first soft or
// partial dab that reaches the picture; from there each pixel is blended from
// the picture as it was then by the largest share any later dab of the stroke
// gave it, a full share copying the source whatever came before.
void modelStroke(const std::vector<StrokeHistory::Dab>& dabs, const Sources& src, Bytes& working, int w, int h,
                 FloatSize picsize)
{
    bool started = false;
    Bytes start;
    Bytes share(std::size_t(w) * std::size_t(h), 0);
    for (const StrokeHistory::Dab& d : dabs) {
        const BrushDab::Box box = BrushDab::boundingBox(d.centre, d.radius, picsize, w, h);
        if (!started && !d.plain() && !box.empty()) {
            started = true;
            start = working;
        }
        for (int y = box.ys; y <= box.ye; ++y)
            for (int x = box.xs; x <= box.xe; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
                const int a = (modelCoverage(d, x, y) * d.alpha + 127) / 255;
                if (!started) {
                    if (a == 255)
                        std::memcpy(&working[i * 4], &src.of(d.drawType)[i * 4], 4);
                    continue;
                }
                if (a <= share[i] && a != 255)
                    continue;
                share[i] = std::uint8_t(a);
                for (int c = 0; c < 4; ++c) {
                    const double v = (double(start[i * 4 + std::size_t(c)]) * (255 - a) +
                                      double(src.of(d.drawType)[i * 4 + std::size_t(c)]) * a) / 255.0;
                    working[i * 4 + std::size_t(c)] = std::uint8_t(std::floor(v + 0.5));
                }
            }
    }
}

// The strokes as the canvas lays them: hard full-strength dabs copy until the
// stroke's first soft or partial dab, then everything goes through the mask.
void canvasStroke(const std::vector<StrokeHistory::Dab>& dabs, const Sources& src, Bytes& working, int w, int h,
                  FloatSize picsize, StrokeMask& mask)
{
    mask.reset(w, h);
    for (const StrokeHistory::Dab& d : dabs) {
        const BrushDab::Dab dab{d.centre, d.radius, d.shape, picsize, w, h};
        if (!d.plain() && !BrushDab::boundingBox(d.centre, d.radius, picsize, w, h).empty())
            mask.activate();
        if (mask.active()) {
            BlendedDab::paint(dab, BlendedDab::Reveal{d.hardness, d.alpha}, src.of(d.drawType), working.data(), mask);
        } else {
            std::vector<BrushDab::ColumnRun> runs;
            BrushDab::paint(dab, src.of(d.drawType), working.data(), runs);
        }
    }
}

StrokeHistory::Dab dab(float x, float y, float r, int shape, int source, int hardness, int alpha)
{
    StrokeHistory::Dab d{{x, y}, r, shape, source};
    d.hardness = std::uint8_t(hardness);
    d.alpha = std::uint8_t(alpha);
    return d;
}

struct StrokesCase {
    const char* what;
    int w, h;
    FloatSize picsize;
    int start;  // the start image
    std::vector<std::vector<StrokeHistory::Dab>> strokes;
};

std::vector<StrokesCase> strokeCases()
{
    using B = BrushDab::Shape;
    return {
        {"one soft round dab", 64, 64, {64, 64}, 2, {{dab(30.3f, 31.7f, 12.5f, B::Round, 1, 50, 255)}}},
        {"fully soft square, partial", 64, 48, {60, 45}, 0, {{dab(20, 20, 9.25f, B::Square, 2, 0, 128)}}},
        {"overlapping dabs of one stroke reveal no more than its strength",
         70, 70, {70, 70}, 1,
         {{dab(20, 30, 10, B::Round, 2, 100, 128), dab(24, 30, 10, B::Round, 2, 100, 128),
           dab(28, 31, 10, B::Round, 2, 100, 128), dab(28, 31, 10, B::Round, 2, 100, 128)}}},
        {"a second stroke reveals a share of what is left", 70, 70, {70, 70}, 1,
         {{dab(30, 30, 14, B::Round, 2, 75, 102)}, {dab(36, 33, 14, B::Round, 2, 75, 102)},
          {dab(33, 30, 20, B::Square, 0, 25, 230)}}},
        {"hard full dabs before and after a partial one in one stroke", 80, 64, {77, 61}, 2,
         {{dab(20, 20, 8, B::Round, 0, 100, 255), dab(26, 22, 8, B::Round, 1, 50, 51),
           dab(30, 22, 8, B::Square, 0, 100, 255), dab(33, 25, 8, B::Round, 1, 0, 26)}}},
        {"a full share copies over what the stroke gave before; a partial dab off the picture starts nothing",
         64, 64, {64, 64}, 2,
         {{dab(-30, 10, 5, B::Round, 1, 50, 128), dab(20, 20, 9, B::Round, 0, 100, 255),
           dab(24, 20, 9, B::Round, 1, 100, 128), dab(28, 20, 9, B::Square, 0, 100, 255),
           dab(22, 22, 9, B::Round, 1, 0, 255)},
          {dab(24, 24, 12, B::Round, 0, 100, 255)}}},
        {"plain strokes between soft ones, across tile edges and the picture's edge", 100, 90, {97, 83}, 0,
         {{dab(31.5f, 31.5f, 6, B::Round, 1, 100, 255)},
          {dab(60, 64, 30, B::Round, 2, 50, 179), dab(90, 80, 25, B::Square, 1, 0, 204)},
          {dab(64, 64, 12, B::Round, 2, 100, 255), dab(2, 3, 5, B::Square, 2, 100, 255)},
          {dab(-3, 40, 9, B::Round, 1, 75, 153), dab(50, 88, 9, B::Round, 2, 25, 77)}}},
        {"a long stroke of wide dabs, partly over pixels that already have all the stroke gives", 200, 120,
         {200, 120}, 1,
         {{dab(40, 50, 40, B::Round, 2, 50, 128), dab(52.5f, 55, 40, B::Round, 2, 50, 128),
           dab(65, 60.25f, 40, B::Round, 0, 50, 128), dab(77.5f, 66, 40, B::Round, 2, 50, 128),
           dab(90, 70, 40, B::Square, 2, 50, 128), dab(150, 70, 45, B::Round, 2, 100, 200),
           dab(160, 70, 45, B::Round, 1, 100, 200)}}},
        {"strokes across the pieces a wide picture is laid again in, hard ones between soft ones", 1100, 70,
         {1100, 70}, 1,
         {{dab(500, 30, 30, B::Round, 2, 50, 128), dab(530, 34, 30, B::Round, 2, 50, 128)},
          {dab(512, 40, 20, B::Square, 0, 100, 255), dab(1020, 40, 25, B::Round, 0, 100, 255)},
          {dab(1000, 30, 40, B::Round, 2, 0, 200), dab(1040, 35, 40, B::Square, 2, 25, 200),
           dab(515, 35, 28, B::Round, 1, 100, 128)}}},
    };
}

}  // namespace

TEST(BlendedBrush, TheCanvasStrokesEqualTheStraightforwardModelByteForByte)
{
    for (const StrokesCase& c : strokeCases()) {
        SCOPED_TRACE(c.what);
        const Sources src = sources(c.w, c.h, c.picsize);
        Bytes model(src.of(c.start), src.of(c.start) + src.original.size());
        Bytes canvas = model;
        StrokeMask mask;
        for (const auto& stroke : c.strokes) {
            modelStroke(stroke, src, model, c.w, c.h, c.picsize);
            canvasStroke(stroke, src, canvas, c.w, c.h, c.picsize, mask);
            ASSERT_EQ(model, canvas);
        }
        ASSERT_NE(model, Bytes(src.of(c.start), src.of(c.start) + src.original.size())) << "painted nothing";
    }
}

TEST(BlendedBrush, TheRecordLaidAgainInBandsGivesTheCanvasPicture)
{
    for (const StrokesCase& c : strokeCases()) {
        SCOPED_TRACE(c.what);
        const Sources src = sources(c.w, c.h, c.picsize);
        Bytes working(src.of(c.start), src.of(c.start) + src.original.size());
        StrokeMask mask;
        StrokeHistory history;
        StrokeHistory::Pixels pixels{working.data(), c.w, c.h, int(std::ceil(c.picsize.width)),
                                     int(std::ceil(c.picsize.height))};
        for (const auto& stroke : c.strokes) {
            history.beginStroke(pixels);
            for (const StrokeHistory::Dab& d : stroke)
                history.addDab(d);
            canvasStroke(stroke, src, working, c.w, c.h, c.picsize, mask);
            history.endStroke(pixels);
        }
        const std::vector<StrokeHistory::Dab> record = history.dabs();
        // Through the record's file as well: what is saved is what is laid again.
        FullResolutionRecord file;
        file.width = c.w;
        file.height = c.h;
        file.picsize = c.picsize;
        file.photoBytes = 1;
        file.dabs = record;
        FullResolutionRecord read;
        ASSERT_TRUE(FullResolutionRecord::decode(file.encode(), &read));
        ASSERT_EQ(read.dabs, record);
        // Every band height, with the processor's widest loops and with the plain ones.
        for (int bandRows : {1, 7, 32, 256, -1, -256}) {
            SCOPED_TRACE(bandRows);
            ShareLookup::setLoops(bandRows < 0 ? ShareLookup::Loops::Plain : ShareLookup::Loops::Fastest);
            bandRows = std::abs(bandRows);
            Bytes replay = src.original;
            FullResolutionJob job;
            job.pixels = replay.data();
            job.bufferWidth = c.w;
            job.bufferHeight = c.h;
            job.picsize = c.picsize;
            job.projectPicsize = c.picsize;
            job.startSource = c.start;
            job.dabs = &read.dabs;
            job.bandRows = bandRows;
            ASSERT_TRUE(renderFullResolution(job));
            const int columns = int(std::ceil(c.picsize.width)), rows = int(std::ceil(c.picsize.height));
            for (int y = 0; y < rows; ++y)
                ASSERT_EQ(std::memcmp(&replay[std::size_t(y) * std::size_t(c.w) * 4],
                                      &working[std::size_t(y) * std::size_t(c.w) * 4], std::size_t(columns) * 4),
                          0)
                    << "row " << y;
        }
        ShareLookup::setLoops(ShareLookup::Loops::Fastest);
        EXPECT_TRUE(replayGivesWorking(src.original.data(), working.data(), c.w, c.h, c.picsize, c.start, record));
    }
}

// Shares are made a stretch of a row at a time: every stretch of up to a tile's
// width, wherever it starts, against the model's coverage of each pixel.
TEST(BlendedBrush, EveryStretchOfARowGetsTheModelsShares)
{
    const FloatSize picsize{160, 160};
    const struct {
        int shape;
        float x, y, r;
        int hardness, alpha;
    } dabs[] = {{BrushDab::Round, 60.3f, 70.6f, 45.0f, 50, 128}, {BrushDab::Round, 80, 80, 70.5f, 0, 255},
                {BrushDab::Round, 70.5f, 65.25f, 38.0f, 75, 77},  {BrushDab::Square, 66.6f, 60, 40.0f, 25, 200},
                {BrushDab::Square, 80, 80, 52.0f, 50, 255},       {BrushDab::Round, 50, 50, 3.3f, 0, 26}};
    for (const auto& c : dabs) {
        SCOPED_TRACE(testing::Message() << c.shape << " r " << c.r << " hardness " << c.hardness);
        const StrokeHistory::Dab model = dab(c.x, c.y, c.r, c.shape, 0, c.hardness, c.alpha);
        const BrushDab::Dab d{{c.x, c.y}, c.r, c.shape, picsize, 160, 160};
        const BrushDab::Box box = BrushDab::boundingBox(d.centre, d.radius, picsize, 160, 160);
        std::uint8_t shares[32];
        for (int y = box.ys; y <= box.ye; y += 3)
            for (int length : {1, 5, 16, 27, 32})
                for (int x = box.xs; x + length - 1 <= box.xe; ++x) {
                    BlendedDab::rowShares(d, BlendedDab::Reveal{c.hardness, c.alpha},
                                          BrushDab::Box{x, y, x + length - 1, y}, y, shares);
                    for (int i = 0; i < length; ++i)
                        ASSERT_EQ(shares[i], (modelCoverage(model, x + i, y) * c.alpha + 127) / 255)
                            << "pixel " << x + i << ", " << y << " of a stretch of " << length;
                }
    }
}

TEST(BlendedBrush, AtFullHardnessAndStrengthTheBlendCopiesTheHardDabsPixels)
{
    const int w = 72, h = 60;
    const FloatSize picsize{70, 57};
    const Sources src = sources(w, h, picsize);
    for (int shape : {int(BrushDab::Round), int(BrushDab::Square)})
        for (float r : {0.7f, 3.5f, 10.0f, 17.25f})
            for (float cx : {0.0f, 20.4f, 69.5f}) {
                const BrushDab::Dab d{{cx, 28.6f}, r, shape, picsize, w, h};
                Bytes hard = src.black, blended = src.black;
                std::vector<BrushDab::ColumnRun> runs;
                const bool hardPainted = BrushDab::paint(d, src.original.data(), hard.data(), runs);
                StrokeMask mask;
                mask.reset(w, h);
                mask.activate();
                EXPECT_EQ(BlendedDab::paint(d, BlendedDab::Reveal{}, src.original.data(), blended.data(), mask),
                          hardPainted);
                ASSERT_EQ(hard, blended) << shape << " " << r << " " << cx;
            }
}

TEST(BlendedBrush, StrengthAndPressureGiveTheseAlphas)
{
    const int strength[][2] = {{10, 26}, {20, 51}, {30, 77}, {50, 128}, {70, 179}, {90, 230}, {100, 255}};
    for (const auto& [percent, alpha] : strength)
        EXPECT_EQ(BlendedDab::alphaForStrength(percent), alpha) << percent;
    // alpha x round(p x 255) / 255, rounded; never 0.
    const struct {
        int alpha;
        float pressure;
        int want;
    } pressure[] = {{255, 1.0f, 255}, {255, 0.5f, 128}, {128, 0.5f, 64}, {26, 0.01f, 1}, {255, 0.0f, 1},
                    {200, 2.0f, 200}, {200, -1.0f, 1}, {200, NAN, 200}};
    for (const auto& p : pressure)
        EXPECT_EQ(BlendedDab::alphaWithPressure(p.alpha, p.pressure), p.want) << p.alpha << " " << p.pressure;
}

TEST(BlendedBrush, OnlyStrokesWithASoftOrPartialDabMarkTheirStart)
{
    Bytes pixels(32 * 32 * 4);
    const StrokeHistory::Pixels p{pixels.data(), 32, 32, 32, 32};
    StrokeHistory history;
    const auto stroke = [&](std::vector<StrokeHistory::Dab> dabs) {
        history.beginStroke(p);
        for (const auto& d : dabs) {
            pixels[0] ^= 1;  // something changed, so the stroke is kept
            history.addDab(d);
        }
        history.endStroke(p);
    };
    StrokeHistory::Dab marked = dab(5, 5, 3, 0, 2, 100, 255);
    marked.startsStroke = true;  // a caller's mark is not taken over
    stroke({marked, dab(6, 5, 3, 0, 2, 100, 255)});
    stroke({dab(5, 5, 3, 0, 2, 100, 255), dab(6, 5, 3, 0, 2, 50, 255), dab(7, 5, 3, 0, 2, 100, 255)});
    stroke({dab(5, 5, 3, 0, 2, 100, 128)});
    std::vector<bool> starts;
    for (const auto& d : history.dabs())
        starts.push_back(d.startsStroke);
    EXPECT_EQ(starts, (std::vector<bool>{false, false, true, false, false, true}));
}

TEST(BlendedBrush, RecordsOfHardDabsKeepTheFirstFormatAndBlendedOnesCheckTheirFields)
{
    FullResolutionRecord record;
    record.width = 64;
    record.height = 64;
    record.picsize = {64, 64};
    record.photoBytes = 10;
    record.dabs = {dab(10, 10, 5, 0, 2, 100, 255), dab(12, 10, 5, 1, 0, 100, 255)};
    const QByteArray hard = record.encode();
    EXPECT_TRUE(hard.startsWith("CHRSTRK1"));
    EXPECT_EQ(std::size_t(hard.size()), FullResolutionRecord::kHeaderSize + 2 * FullResolutionRecord::kDabSize);

    record.dabs[1].hardness = 25;
    record.dabs[1].alpha = 77;
    record.dabs[1].startsStroke = true;
    const QByteArray blended = record.encode();
    ASSERT_TRUE(blended.startsWith("CHRSTRK2"));
    ASSERT_EQ(std::size_t(blended.size()), FullResolutionRecord::kHeaderSize + 2 * FullResolutionRecord::kBlendedDabSize);
    FullResolutionRecord read;
    ASSERT_TRUE(FullResolutionRecord::decode(blended, &read));
    EXPECT_EQ(read.dabs, record.dabs);

    // The last dab's four added bytes: hardness, alpha, flags, zero.
    const qsizetype look = blended.size() - 4;
    EXPECT_EQ(blended.mid(look), QByteArray("\x19\x4d\x01\x00", 4));
    const struct {
        const char* what;
        int offset;
        char value;
    } damaged[] = {{"hardness over 100", 0, char(101)}, {"alpha 0", 1, 0}, {"unknown flag", 2, 2},
                   {"byte not zero", 3, 1}};
    for (const auto& d : damaged) {
        QByteArray bytes = blended;
        bytes[look + d.offset] = d.value;
        EXPECT_FALSE(FullResolutionRecord::decode(bytes, &read)) << d.what;
    }
    // The first format read as the second (or the other way) does not fit its length;
    // a second-format record of hard dabs only is not one the program writes.
    QByteArray renamed = hard;
    renamed[7] = '2';
    EXPECT_FALSE(FullResolutionRecord::decode(renamed, &read));
    QByteArray allHard = blended;
    allHard[qsizetype(look)] = 100;
    allHard[qsizetype(look) + 1] = char(255);
    allHard[qsizetype(look) + 2] = 0;
    EXPECT_FALSE(FullResolutionRecord::decode(allHard, &read));
    allHard[qsizetype(look) + 2] = 1;
    EXPECT_TRUE(FullResolutionRecord::decode(allHard, &read));
    EXPECT_EQ(read.encode(), allHard);
}
