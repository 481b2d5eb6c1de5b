#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "filter/FilterThreads.h"
#include "filter/SketchFilter.h"
#include "support/SplitMix.h"

namespace {

using Filter = void (*)(const SketchBuffers&);
struct Rgb {
    int r, g, b;
};

using Random = SplitMix;

// A project's buffers, each exactly width x height x 4 bytes, zeroed: 0 original,
// 1 working, 2 black sketch, 3 colour sketch.
struct Picture {
    int width, height;
    FloatSize picsize;
    std::array<std::vector<std::uint8_t>, 4> buf;

    Picture(int w, int h, FloatSize pic) : width(w), height(h), picsize(pic)
    {
        for (auto& b : buf)
            b.assign(std::size_t(w) * h * 4, 0);
    }
    Picture(int w, int h) : Picture(w, h, FloatSize{float(w), float(h)}) {}

    bool inPicture(std::size_t byte) const
    {
        return float(byte / 4 % width) < picsize.width && float(byte / 4 / width) < picsize.height;
    }
    void set(int x, int y, Rgb c, int alpha = 255)
    {
        std::uint8_t* p = &buf[0][(std::size_t(y) * width + x) * 4];
        p[0] = std::uint8_t(c.r), p[1] = std::uint8_t(c.g), p[2] = std::uint8_t(c.b), p[3] = std::uint8_t(alpha);
    }
    void fill(Rgb c)
    {
        for (int y = 0; float(y) < picsize.height; ++y)
            for (int x = 0; float(x) < picsize.width; ++x)
                set(x, y, c);
    }
    // Stale bytes where the filter must not look: the original outside the picture
    // and everything in the other three buffers.
    template <typename Byte>
    void soil(Byte byte)
    {
        for (std::size_t i = 0; i < buf[0].size(); ++i) {
            if (!inPicture(i))
                buf[0][i] = byte();
            buf[1][i] = byte(), buf[2][i] = byte(), buf[3][i] = byte();
        }
    }
    Picture after(Filter filter) const
    {
        Picture p = *this;
        filter(SketchBuffers{p.buf[0].data(), p.buf[1].data(), p.buf[2].data(), p.buf[3].data(), width, height,
                             picsize});
        return p;
    }
    std::array<int, 8> sketchesAt(int x, int y) const
    {
        const std::size_t p = (std::size_t(y) * width + x) * 4;
        return {buf[2][p], buf[2][p + 1], buf[2][p + 2], buf[2][p + 3],
                buf[3][p], buf[3][p + 1], buf[3][p + 2], buf[3][p + 3]};
    }
};

struct Shape {
    int width, height;
    FloatSize picsize;
};

Picture randomPicture(Random& random, Shape shape)
{
    Picture p(shape.width, shape.height, shape.picsize);
    // Every third picture takes four colours only, for many ties.
    const bool fewColours = random.below(3) == 0;
    std::array<std::uint8_t, 16> palette;
    for (auto& v : palette)
        v = random.byte();
    for (std::size_t i = 0; i < p.buf[0].size(); ++i)
        p.buf[0][i] = fewColours ? palette[random.below(4) * 4 + i % 4] : random.byte();
    p.soil([&] { return random.byte(); });
    return p;
}

// Where two buffers first differ ("x,y byte c"), or "" when they are equal.
std::string difference(const Picture& p, const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    const std::size_t i = std::size_t(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
    if (i == a.size())
        return "";
    return std::to_string(i / 4 % p.width) + "," + std::to_string(i / 4 / p.width) + " byte " + std::to_string(i % 4);
}

// `after` holds what `expected` holds where the filter writes (byte 0 of working
// picture pixels, all of black and colour picture pixels) and what `before` held
// everywhere else.
void expectWritten(const Picture& before, const Picture& after, const Picture& expected)
{
    Picture merged = before;
    for (int k = 1; k < 4; ++k)
        for (std::size_t i = 0; i < merged.buf[k].size(); ++i)
            if (before.inPicture(i) && (k > 1 || i % 4 == 0))
                merged.buf[k][i] = expected.buf[k][i];
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(difference(before, after.buf[k], merged.buf[k]), "") << "in buffer " << k;
}

// The fast filter with the row loops that processors without AVX2 run.
void buildSketchPortable(const SketchBuffers& buffers)
{
    setSketchRowLoops(SketchRowLoops::Portable);
    buildSketch(buffers);
    setSketchRowLoops(SketchRowLoops::Fastest);
}

void expectFastMatchesReference(const Picture& before)
{
    const Picture reference = before.after(buildSketchReference);
    expectWritten(before, reference, reference);
    for (Filter fast : {&buildSketch, &buildSketchPortable})
        expectWritten(before, before.after(fast), reference);
}

::testing::Message describe(const Picture& p)
{
    return ::testing::Message() << p.picsize.width << " x " << p.picsize.height << " in " << p.width << " x " << p.height;
}

// Black value k and colour values c with the original's alpha, as both sketches hold them.
std::array<int, 8> sketches(int k, Rgb c, int alpha = 255)
{
    return {k, k, k, alpha, c.r, c.g, c.b, alpha};
}

// Every example runs on both implementations.
class SketchFilterExamples : public ::testing::TestWithParam<Filter> {
protected:
    Picture run(const Picture& p) const { return p.after(GetParam()); }
};

TEST_P(SketchFilterExamples, UniformPicturesGiveTheWorkedValues)
{
    const struct {
        Rgb colour;
        int grey, k;
        Rgb dodged;
    } rows[] = {
        {{255, 255, 255}, 254, 254, {255, 255, 255}}, {{128, 128, 128}, 127, 254, {254, 254, 254}},
        {{50, 50, 50}, 49, 250, {250, 250, 250}},     {{2, 2, 2}, 1, 128, {170, 170, 170}},
        {{1, 1, 1}, 0, 0, {128, 128, 128}},           {{0, 0, 0}, 0, 0, {0, 0, 0}},
        {{255, 0, 0}, 75, 252, {255, 0, 0}},
    };
    for (const auto& row : rows) {
        Picture p(8, 8, FloatSize{6.0f, 5.0f});
        p.fill(row.colour);
        const Picture out = run(p);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(int(out.buf[1][(y * 8 + x) * 4]), row.grey) << row.colour.r << " at " << x << "," << y;
                EXPECT_EQ(out.sketchesAt(x, y), sketches(row.k, row.dodged)) << row.colour.r << " at " << x << "," << y;
            }
        }
    }
}

TEST_P(SketchFilterExamples, DarkerPixelIsDodgedByItsBrightestNeighbour)
{
    Picture p(2, 1);
    p.set(0, 0, {200, 100, 50});
    p.set(1, 0, {100, 200, 250}, 251);
    const Picture out = run(p);
    EXPECT_EQ(int(out.buf[1][0]), 123);
    EXPECT_EQ(int(out.buf[1][4]), 175);
    EXPECT_EQ(out.sketchesAt(0, 0), sketches(178, {255, 127, 50}));
    EXPECT_EQ(out.sketchesAt(1, 0), sketches(254, {253, 254, 254}, 251));
}

TEST_P(SketchFilterExamples, WhitePixelDarkensExactlyItsTwelveNeighbours)
{
    Picture p(16, 16, FloatSize{9.0f, 9.0f});
    p.fill({50, 50, 50});
    p.set(4, 4, {255, 255, 255});
    const Picture out = run(p);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            const int dx = std::abs(x - 4), dy = std::abs(y - 4);
            const bool near = (dx <= 1 && dy <= 1) || dx + dy == 2;
            const auto expected = dx + dy == 0 ? sketches(254, {255, 255, 255})
                                  : near       ? sketches(49, {50, 50, 50})
                                               : sketches(250, {250, 250, 250});
            EXPECT_EQ(out.sketchesAt(x, y), expected) << "at " << x << "," << y;
        }
    }
}

TEST_P(SketchFilterExamples, CornerPixelSeesOnlyItsSixCandidates)
{
    // A white pixel anywhere in a 4x4 field of (50,50,50) darkens (0,0) only from
    // (1,0), (0,1), (1,1), (2,0) or (0,2).
    for (int w = 0; w < 16; ++w) {
        const int wx = w % 4, wy = w / 4;
        Picture p(4, 4);
        p.fill({50, 50, 50});
        p.set(wx, wy, {255, 255, 255});
        const bool seen = (wx <= 1 && wy <= 1) || wx + wy == 2;
        EXPECT_EQ(run(p).buf[2][0], w == 0 ? 254 : seen ? 49 : 250)
            << "white at " << wx << "," << wy;
    }
}

TEST_P(SketchFilterExamples, TiesGoToTheCandidateMetFirstInScanOrder)
{
    // (150,0,0) and (0,76,0) share grey 44; the dodged centre (20,20,20) shows which
    // of the two it was divided by.
    const int order[13][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0},  {1, 0}, {-1, 1},
                              {0, 1},   {1, 1},  {0, -2}, {0, 2},  {-2, 0}, {2, 0}};
    const Rgb red{150, 0, 0}, green{0, 76, 0};
    for (int first = 0; first < 13; ++first) {
        for (int second = first + 1; second < 13; ++second) {
            for (bool redFirst : {true, false}) {
                if (first == 4 || second == 4)
                    continue;  // the centre itself
                Picture p(5, 5);
                p.set(2, 2, {20, 20, 20});
                p.set(2 + order[first][0], 2 + order[first][1], redFirst ? red : green);
                p.set(2 + order[second][0], 2 + order[second][1], redFirst ? green : red);
                EXPECT_EQ(run(p).sketchesAt(2, 2), sketches(108, redFirst ? Rgb{33, 255, 255} : Rgb{255, 66, 255}))
                    << first << " before " << second;
            }
        }
    }
}

TEST_P(SketchFilterExamples, SinglePixelPictures)
{
    Picture white(1, 1), black(1, 1);
    white.set(0, 0, {255, 255, 255});
    black.set(0, 0, {0, 0, 0}, 77);
    EXPECT_EQ(run(white).sketchesAt(0, 0), sketches(254, {255, 255, 255}));
    EXPECT_EQ(run(black).sketchesAt(0, 0), sketches(0, {0, 0, 0}, 77));
}

TEST_P(SketchFilterExamples, StaleBytesAroundThePictureChangeNothing)
{
    Random random{7};
    for (Shape shape : {Shape{8, 4, {5, 3}}, Shape{4, 4, {2.5f, 3.25f}}, Shape{512, 512, {320, 480}},
                        Shape{2, 1024, {1, 700}}}) {
        Picture clean = randomPicture(random, shape);
        SCOPED_TRACE(describe(clean));
        clean.soil([] { return std::uint8_t(0); });
        const Picture expected = run(clean);
        Picture bright = clean, noisy = clean;
        bright.soil([] { return std::uint8_t(255); });
        noisy.soil([&] { return random.byte(); });
        for (const Picture* soiled : {&clean, &bright, &noisy})
            expectWritten(*soiled, run(*soiled), expected);
    }
}

TEST_P(SketchFilterExamples, PictureSizeIsClampedToTheBuffer)
{
    Random random{11};
    const Picture whole = randomPicture(random, {4, 4, {4, 4}});
    const Picture expected = run(whole);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (FloatSize size : {FloatSize{5.0f, 1e9f}, FloatSize{inf, 4.0f}, FloatSize{0.0f, 4.0f},
                           FloatSize{4.0f, -1.0f}, FloatSize{nan, 4.0f}}) {
        Picture p = whole;
        p.picsize = size;
        expectWritten(p, run(p), expected);  // clamped to 4 x 4, or nothing at all
    }
    GetParam()(SketchBuffers{});  // no buffers: nothing to do
}

INSTANTIATE_TEST_SUITE_P(All, SketchFilterExamples,
                         ::testing::Values(&buildSketchReference, &buildSketch, &buildSketchPortable),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Reference" : info.index == 1 ? "Fast" : "Portable");
                         });

TEST(SketchFilterFast, MatchesReferenceOnAwkwardAndRandomPictures)
{
    Random random{2024};
    std::vector<Shape> shapes = {{1, 1, {1, 1}},        {1, 2, {1, 2}},       {2, 1, {2, 1}},
                                 {3, 3, {3, 3}},        {1, 1024, {1, 1024}}, {1024, 1, {1024, 1}},
                                 {4, 4, {3, 3}},        {512, 512, {320, 480}}, {4, 4, {2.5f, 3.25f}},
                                 {1, 1, {0.5f, 0.01f}}, {1024, 2, {700.3f, 1.9f}},
                                 // Rows ending 5 and 14 pixels into a vector of 16, or at its middle;
                                 // a last band of one row.
                                 {48, 130, {37, 129}},  {40, 70, {29.5f, 66}}, {32, 5, {24, 5}}};
    for (int n = 0; n < 120; ++n) {  // random power-of-two buffers, random and fractional picture sizes
        const int w = 1 << random.below(11), h = 1 << random.below(w > 256 ? 8 : 11);
        FloatSize pic{float(1 + random.below(w)), float(1 + random.below(h))};
        pic.width -= float(random.below(2) * random.below(1000)) / 1000.0f;
        pic.height -= float(random.below(2) * random.below(1000)) / 1000.0f;
        shapes.push_back({w, h, pic});
    }
    for (std::size_t i = 0; i < shapes.size() && !HasFailure(); ++i) {
        const Picture p = randomPicture(random, shapes[i]);
        SCOPED_TRACE(describe(p));
        expectFastMatchesReference(p);
    }
}

TEST(SketchFilterFast, MatchesReferenceOnEveryDivision)
{
    // Pixels four apart, each with one bright partner to its right: every pair of own
    // and brightest channel value (red) and of own and brightest grey occurs once.
    for (bool grey : {false, true}) {
        Picture p(1024, 1024);
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                p.set(4 * a, 4 * b, grey ? Rgb{a, a, a} : Rgb{a, 0, 0});
                p.set(4 * a + 1, 4 * b, grey ? Rgb{b, b, b} : Rgb{b, 255, 0});
            }
        }
        expectFastMatchesReference(p);
    }
}

TEST(SketchFilterFast, MatchesReferenceOnThePhoto)
{
    const QImage photo = QImage(QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo1024.png"))
                             .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    ASSERT_EQ(photo.size(), QSize(1024, 1024));
    for (FloatSize pic : {FloatSize{1024.0f, 1024.0f}, FloatSize{1000.0f, 999.5f}}) {
        Picture p(1024, 1024, pic);
        for (int y = 0; y < 1024; ++y)
            std::copy_n(photo.constScanLine(y), 1024 * 4, p.buf[0].begin() + std::ptrdiff_t(y) * 1024 * 4);
        expectFastMatchesReference(p);
    }
}

// Runs at the same time: one has the parked threads, the others start their own.
TEST(SketchFilterFast, RunsOnSeveralThreadsAtOnceEachMatchTheReference)
{
    Random random{57};
    std::vector<Picture> pictures, expected;
    for (int i = 0; i < 3; ++i) {
        pictures.push_back(randomPicture(random, {512, 512, {509.5f, 512}}));
        expected.push_back(pictures.back().after(buildSketchReference));
    }
    for (int round = 0; round < 4; ++round) {
        std::vector<Picture> results(pictures.size(), Picture(1, 1));
        std::vector<std::thread> callers;
        for (std::size_t i = 0; i < pictures.size(); ++i)
            callers.emplace_back([&, i] { results[i] = pictures[i].after(buildSketch); });
        for (std::thread& caller : callers)
            caller.join();
        for (std::size_t i = 0; i < pictures.size(); ++i)
            expectWritten(pictures[i], results[i], expected[i]);
    }
}

// Every run has the calling thread and `helpers` others at work at the same time
// (each waits for all to have started), the parked threads again and again.
TEST(FilterThreads, EveryRunHasItsHelpersAtWorkTogether)
{
    for (int helpers : {0, 1, 3}) {
        FilterThreads threads;
        for (int run = 0; run < 3; ++run) {
            std::atomic<int> started{0};
            std::mutex mutex;
            std::set<std::thread::id> ids;
            threads.run(helpers, [&] {
                started.fetch_add(1);
                for (int spins = 0; started.load() < helpers + 1 && spins < (1 << 22); ++spins)
                    std::this_thread::yield();  // bounded: a missing helper fails below
                const std::lock_guard lock(mutex);
                ids.insert(std::this_thread::get_id());
            });
            EXPECT_EQ(started.load(), helpers + 1) << helpers << " helpers, run " << run;
            EXPECT_EQ(ids.size(), std::size_t(helpers + 1)) << helpers << " helpers, run " << run;
            EXPECT_EQ(ids.count(std::this_thread::get_id()), 1u);
        }
    }  // each destroyed with its threads parked: ends them
}

// Without a working buffer both filters give the same sketches and keep the greys
// to themselves (the load runs the filter beside its work on the working image).
TEST(SketchFilterWithoutGreyScratch, SameSketchesForBothFilters)
{
    Random random{31};
    for (Shape shape : {Shape{1, 1, {1, 1}}, Shape{8, 4, {5, 3}}, Shape{4, 4, {2.5f, 3.25f}},
                        Shape{512, 512, {320, 480}}, Shape{1024, 2, {700.3f, 1.9f}}}) {
        const Picture before = randomPicture(random, shape);
        SCOPED_TRACE(describe(before));
        const Picture expected = before.after(buildSketchReference);
        for (Filter filter : {&buildSketchReference, &buildSketch, &buildSketchPortable}) {
            Picture p = before;
            filter(SketchBuffers{p.buf[0].data(), nullptr, p.buf[2].data(), p.buf[3].data(), p.width, p.height,
                                 p.picsize});
            EXPECT_EQ(difference(p, p.buf[0], before.buf[0]), "") << "original";
            EXPECT_EQ(difference(p, p.buf[1], before.buf[1]), "") << "working";
            EXPECT_EQ(difference(p, p.buf[2], expected.buf[2]), "") << "black";
            EXPECT_EQ(difference(p, p.buf[3], expected.buf[3]), "") << "colour";
        }
    }
}

// A reader on another thread may use the rows published as final while the
// filter goes on; every run, however it ends, publishes the whole height.
TEST(SketchFilterWithProgress, PublishedRowsAreFinalAndTheRunEndsAtTheHeight)
{
    Random random{43};
    const Picture before = randomPicture(random, {1024, 64, {1000.5f, 60.5f}});
    const Picture expected = before.after(buildSketchReference);
    Picture p = before;
    const SketchBuffers buffers{p.buf[0].data(), nullptr, p.buf[2].data(), p.buf[3].data(), p.width, p.height,
                                p.picsize};
    std::atomic<int> rowsFinal{0};
    std::thread filter([&] { buildSketchWithProgress(buffers, rowsFinal); });
    // Each row is compared as soon as it is published, to catch one published early.
    const std::size_t pictureRowBytes = 1001 * 4, rowBytes = std::size_t(p.width) * 4;
    int checked = 0;
    bool sane = true;
    while (checked < p.height && sane) {
        const int finished = rowsFinal.load(std::memory_order_acquire);
        if (finished < checked || finished > p.height) {
            sane = false;
            break;
        }
        for (; checked < std::min(finished, 61); ++checked) {  // the picture's rows
            for (int k : {2, 3})
                sane = sane && std::equal(p.buf[k].begin() + std::ptrdiff_t(checked * rowBytes),
                                          p.buf[k].begin() + std::ptrdiff_t(checked * rowBytes + pictureRowBytes),
                                          expected.buf[k].begin() + std::ptrdiff_t(checked * rowBytes));
        }
        checked = std::max(checked, finished);
        if (finished == rowsFinal.load(std::memory_order_relaxed))
            std::this_thread::yield();
    }
    filter.join();
    EXPECT_TRUE(sane) << "a row was published before it was final, or the count went wrong at " << checked;
    EXPECT_EQ(rowsFinal.load(), p.height);
    EXPECT_EQ(difference(p, p.buf[2], expected.buf[2]), "");
    EXPECT_EQ(difference(p, p.buf[3], expected.buf[3]), "");

    // Nothing to compute: still the whole height, so a waiting reader is let go.
    for (FloatSize empty : {FloatSize{0.0f, 0.0f}, FloatSize{10.0f, -1.0f}}) {
        rowsFinal = -7;
        buildSketchWithProgress(SketchBuffers{p.buf[0].data(), nullptr, p.buf[2].data(), p.buf[3].data(), 16, 8, empty},
                                rowsFinal);
        EXPECT_EQ(rowsFinal.load(), 8);
    }
    rowsFinal = -7;
    buildSketchWithProgress(SketchBuffers{nullptr, nullptr, nullptr, nullptr, 16, 8, {16, 8}}, rowsFinal);
    EXPECT_EQ(rowsFinal.load(), 8);
}

}  // namespace
