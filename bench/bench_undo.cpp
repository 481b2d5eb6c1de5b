// Undo of a long stroke at the largest brush over a 1024 x 1024 project on the
// 320 x 390 canvas, beside what undo avoids: rebuilding the working texture and
// redrawing the whole picture. Redo is measured too; each iteration of one is
// followed, untimed, by the other, so every iteration takes back the same stroke.
//
// Arguments: zoom x 100000 (32768 is the whole picture in view, as after loading)
// and the stroke: 0 the view's diagonal, 1 a zig-zag over the whole view (most of
// the picture at the smaller zoom).
#include <benchmark/benchmark.h>

#include "WidgetBenchmarkMain.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchProjectCanvas.h"
#include "canvas/CanvasView.h"
#include "widgets/SegmentedControl.h"
#include "widgets/TouchEvent.h"

namespace {

constexpr int kSide = 1024;

// The benchmark project with the black tool and the largest round brush.
class BenchCanvas : public BenchProjectCanvas {
public:
    bool make()
    {
        if (!makeProject())
            return false;
        tools.setTitles({"black", "colour", "photo", "move"});
        tools.setSelectedSegmentIndex(0);
        size.setTitles({"10", "15", "20", "25"});
        size.setSelectedSegmentIndex(3);
        shape.setTitles({"round", "square"});
        shape.setSelectedSegmentIndex(0);
        setToolbar(&tools);
        setBrushsize(&size);
        setBrushshape(&shape);
        return true;
    }


    // The unpainted working image and a new history with one long stroke.
    void paintLongStroke(float zoom, bool zigzag)
    {
        zoomlevel = zoom;
        fill(document().workingBuffer(), 3);
        ReloadCanvas();
        resetHistory();
        UpdateScreen();
        const std::vector<FloatPoint> path =
            zigzag ? std::vector<FloatPoint>{{10, 10}, {310, 60}, {10, 130}, {310, 200}, {10, 270}, {310, 380}}
                   : std::vector<FloatPoint>{{10, 10}, {310, 380}};
        touchesBegan(TouchEvent{{path.front()}});
        for (const FloatPoint& p : path)
            touchesMoved(TouchEvent{{p}});
        touchesEnded(TouchEvent{{path.back()}});
    }

    SegmentedControl tools;
    SegmentedControl size;
    SegmentedControl shape;
};

BenchCanvas* canvas() { return benchCanvasOnce<BenchCanvas>(); }

void strokeCounters(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    state.counters["dabs"] = double(c->strokeHistory().dabs().size());
    state.counters["history_KiB"] = double(c->strokeHistory().byteCount()) / 1024.0;
}

void BM_UndoLargestStroke(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    c->paintLongStroke(float(state.range(0)) / 100000.0f, state.range(1) != 0);
    for (auto _ : state) {
        if (!c->undo())
            state.SkipWithError("nothing to undo");
        state.PauseTiming();
        c->redo();
        state.ResumeTiming();
    }
    strokeCounters(state);
}

void BM_RedoLargestStroke(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    c->paintLongStroke(float(state.range(0)) / 100000.0f, state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        c->undo();
        state.ResumeTiming();
        if (!c->redo())
            state.SkipWithError("nothing to redo");
    }
    strokeCounters(state);
}

void BM_ReloadAndFullRedraw(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    c->paintLongStroke(float(state.range(0)) / 100000.0f, state.range(1) != 0);
    for (auto _ : state) {
        c->ReloadCanvas();
        c->UpdateScreen();
    }
}

}  // namespace

void strokeArguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"zoom", "zigzag"});
    for (std::int64_t zoom : {32768, 100000})
        for (std::int64_t zigzag : {0, 1})
            b->Args({zoom, zigzag});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_UndoLargestStroke)->Apply(strokeArguments);
BENCHMARK(BM_RedoLargestStroke)->Apply(strokeArguments);
BENCHMARK(BM_ReloadAndFullRedraw)->Args({32768, 0})->Args({100000, 0})->ArgNames({"zoom", "zigzag"})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
