// One brush dab on the 320 x 390 canvas over a 1024 x 1024 project (copy into the
// working buffer, the patches of the painted columns in one draw call, one
// present), beside what painting avoids: rebuilding the working texture and
// redrawing the whole picture. The parts of a dab are measured on their own too,
// and the runs of a round dab beside the scan of every pixel of its box, and each
// row's span found from the runs' outline beside widening it by every pixel.
//
// Arguments: brush-size index (0 = 10 points, 3 = 25 points) and zoom x 100000.
#include <benchmark/benchmark.h>

#include "WidgetBenchmarkMain.h"

#include <QApplication>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "project/BrushDab.h"
#include "project/ShareLookup.h"
#include "BenchProjectCanvas.h"
#include "canvas/CanvasView.h"
#include "widgets/SegmentedControl.h"

namespace {

constexpr int kSide = 1024;

// The benchmark project, with a brush of the four sizes, square.
class BenchCanvas : public BenchProjectCanvas {
public:
    bool make()
    {
        if (!makeProject())
            return false;
        size.setTitles({"10", "15", "20", "25"});
        shape.setTitles({"round", "square"});
        shape.setSelectedSegmentIndex(1);
        setBrushsize(&size);
        setBrushshape(&shape);
        return true;
    }

    void setZoom(float zoom)
    {
        zoomlevel = zoom;
        UpdateScreen();
    }

    // The kernel's part of DrawCanvas for a touch: copy and runs, no GL.
    bool copyOnly(FloatPoint touch, int drawType, std::vector<BrushDab::ColumnRun>& runs)
    {
        BrushDab::Dab dab;
        const FloatSize picsize = pictureSize();
        dab.centre = BrushDab::centreInPicture(touch, {zoomlevel, centerx, centery, picsize, 390.0f});
        dab.radius = BrushDab::radiusInPixels(size.selectedSegmentIndex(), zoomlevel);
        dab.shape = BrushDab::Square;
        dab.picsize = picsize;
        dab.bufferWidth = bufferWidth();
        dab.bufferHeight = bufferHeight();
        return BrushDab::paint(dab, sourceBuffer(drawType), document().workingBuffer(), runs);
    }

    SegmentedControl size;
    SegmentedControl shape;
};

BenchCanvas* canvas() { return benchCanvasOnce<BenchCanvas>(); }

// Touches around the middle of the view, so that successive dabs land on
// different pixels as a stroke would.
FloatPoint touch(std::int64_t i)
{
    return FloatPoint{140.0f + float(i % 5) * 10.0f, 175.0f + float(i % 7) * 6.0f};
}

void prepare(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    c->size.setSelectedSegmentIndex(int(state.range(0)));
    c->setZoom(float(state.range(1)) / 100000.0f);
}

void BM_Dab(benchmark::State& state)
{
    prepare(state);
    BenchCanvas* c = canvas();
    std::int64_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c->DrawCanvas(touch(i), int(i % 3)));
        ++i;
    }
    std::vector<BrushDab::ColumnRun> runs;
    c->copyOnly(touch(0), 0, runs);
    state.counters["columns"] = double(runs.size());
}

void BM_DabCopyOnly(benchmark::State& state)
{
    prepare(state);
    BenchCanvas* c = canvas();
    std::vector<BrushDab::ColumnRun> runs;
    std::int64_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c->copyOnly(touch(i), int(i % 3), runs));
        ++i;
    }
}

// The patches of one dab, drawn to completion (glFinish) but not presented.
void BM_DabPatchesOnly(benchmark::State& state)
{
    prepare(state);
    BenchCanvas* c = canvas();
    std::vector<BrushDab::ColumnRun> runs;
    c->copyOnly(touch(0), 0, runs);
    for (auto _ : state) {
        for (const BrushDab::ColumnRun& run : runs)
            c->UpdateScreenRect(0, run.x, run.first, run.x + 1, run.last + 1);
        glFinish();
    }
}

void BM_Present(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    for (auto _ : state)
        c->swapBuffers();
}

void BM_ReloadAndFullRedraw(benchmark::State& state)
{
    prepare(state);
    BenchCanvas* c = canvas();
    for (auto _ : state) {
        c->ReloadCanvas();
        c->UpdateScreen();
    }
}

// The runs of one round dab, column by column (no GL, no copy): columnRun beside
// the straightforward scan of every row of the box with the same float test.
BrushDab::Dab roundDab(const benchmark::State& state)
{
    const float zoom = float(state.range(1)) / 100000.0f;
    return BrushDab::Dab{{512.3f, 511.7f}, BrushDab::radiusInPixels(int(state.range(0)), zoom), BrushDab::Round,
                         {float(kSide), float(kSide)}, kSide, kSide};
}

bool scanRun(const BrushDab::Dab& dab, const BrushDab::Box& box, int x, BrushDab::ColumnRun* run)
{
    const float dx = float(x) - dab.centre.x;
    int first = -1, last = -1;
    for (int y = box.ys; y <= box.ye; ++y) {
        const float dy = float(y) - dab.centre.y;
        if (dy * dy + dx * dx < dab.radius * dab.radius) {
            first = first == -1 ? y : first;
            last = y;
        }
    }
    *run = BrushDab::ColumnRun{x, first, last};
    return first != -1;
}

template <bool (*Run)(const BrushDab::Dab&, const BrushDab::Box&, int, BrushDab::ColumnRun*)>
void columnRuns(benchmark::State& state)
{
    const BrushDab::Dab dab = roundDab(state);
    const BrushDab::Box box = BrushDab::boundingBox(dab.centre, dab.radius, dab.picsize, kSide, kSide);
    BrushDab::ColumnRun run;
    for (auto _ : state)
        for (int x = box.xs; x <= box.xe; ++x)
            benchmark::DoNotOptimize(Run(dab, box, x, &run));
}

void BM_ColumnRuns(benchmark::State& state) { columnRuns<BrushDab::columnRun>(state); }
void BM_ColumnRunsScan(benchmark::State& state) { columnRuns<scanRun>(state); }

// Each row's span of a round dab from its runs, beside the straightforward widening
// of every row's span by every pixel of every run.
void rowSpansArea(const std::vector<BrushDab::ColumnRun>& runs, const BrushDab::Box& box, std::vector<int>& left,
                  std::vector<int>& right)
{
    left.assign(std::size_t(box.ye - box.ys + 1), INT_MAX);
    right.assign(left.size(), INT_MIN);
    for (const BrushDab::ColumnRun& run : runs)
        for (int y = run.first; y <= run.last; ++y) {
            left[std::size_t(y - box.ys)] = std::min(left[std::size_t(y - box.ys)], run.x);
            right[std::size_t(y - box.ys)] = std::max(right[std::size_t(y - box.ys)], run.x);
        }
}

template <void (*Spans)(const std::vector<BrushDab::ColumnRun>&, const BrushDab::Box&, std::vector<int>&,
                        std::vector<int>&)>
void rowSpans(benchmark::State& state)
{
    const BrushDab::Dab dab = roundDab(state);
    const BrushDab::Box box = BrushDab::boundingBox(dab.centre, dab.radius, dab.picsize, kSide, kSide);
    std::vector<BrushDab::ColumnRun> runs;
    for (int x = box.xs; x <= box.xe; ++x)
        if (BrushDab::ColumnRun run; BrushDab::columnRun(dab, box, x, &run))
            runs.push_back(run);
    std::vector<int> left, right;
    for (auto _ : state) {
        Spans(runs, box, left, right);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
    }
}

void BM_RowSpans(benchmark::State& state) { rowSpans<BrushDab::rowSpans>(state); }
void BM_RowSpansArea(benchmark::State& state) { rowSpans<rowSpansArea>(state); }

void dabArguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"size", "zoom"});
    for (std::int64_t zoom : {100000, 32768})
        for (std::int64_t size : {0, 3})
            b->Args({size, zoom});
    b->Unit(benchmark::kMicrosecond);
}

// A soft dab's shares looked up from its falloff steps, a tile's stretch (32) at
// a time: the fastest loops this processor has (arg 0) beside one by one (arg 1).
void BM_ShareLookup(benchmark::State& state)
{
    std::vector<std::uint8_t> table(1025), out(32);
    for (int q = 0; q < 1025; ++q)
        table[std::size_t(q)] = std::uint8_t(128 - q / 8);
    std::vector<int> steps(32 * 1024);
    for (std::size_t i = 0; i < steps.size(); ++i)
        steps[i] = int((i * 37) % 1025);
    ShareLookup::setLoops(state.range(0) == 1 ? ShareLookup::Loops::Plain : ShareLookup::Loops::Fastest);
    for (auto _ : state)
        for (std::size_t r = 0; r < steps.size(); r += 32) {
            ShareLookup::lookUp(table.data(), steps.data() + r, 32, out.data());
            benchmark::DoNotOptimize(out.data());
        }
    ShareLookup::setLoops(ShareLookup::Loops::Fastest);
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(steps.size()));
}

}  // namespace

BENCHMARK(BM_Dab)->Apply(dabArguments);
BENCHMARK(BM_DabCopyOnly)->Apply(dabArguments);
BENCHMARK(BM_DabPatchesOnly)->Apply(dabArguments);
BENCHMARK(BM_ColumnRuns)->Apply(dabArguments);
BENCHMARK(BM_ColumnRunsScan)->Apply(dabArguments);
BENCHMARK(BM_RowSpans)->Apply(dabArguments);
BENCHMARK(BM_RowSpansArea)->Apply(dabArguments);
BENCHMARK(BM_ShareLookup)->Arg(0)->Arg(1);
BENCHMARK(BM_Present)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReloadAndFullRedraw)
    ->Args({0, 100000})
    ->Args({0, 32768})
    ->ArgNames({"size", "zoom"})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
