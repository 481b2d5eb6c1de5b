// Presenting at the window's size: one brush dab laid and presented (DrawCanvas)
// and one full redraw (UpdateScreen) on a canvas of 320 x 390 points and of
// 1600 x 1000 points, over a 1024 x 1024 project at zoom 1. A full redraw reads
// the whole surface back, so its cost follows the view's area; a dab reads back
// only the rectangle it covered, so its cost should not. The counter per_kpixel
// gives the CPU time per thousand surface pixels. CPU time is the whole
// process's, the GL driver's threads included.
//
// Arguments: view width and height in points.
#include <benchmark/benchmark.h>

#include "BenchmarkRunner.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "BenchProjectCanvas.h"
#include "canvas/CanvasView.h"
#include "platform/SegmentedControl.h"

namespace {

constexpr int kSide = 1024;

// The benchmark project at a given view size, with a brush of size M.
class BenchCanvas : public BenchProjectCanvas {
public:
    bool make(int w, int h)
    {
        if (!makeProject(w, h))
            return false;
        size.setTitles({"10", "15", "20", "25"});
        size.setSelectedSegmentIndex(1);
        setBrushsize(&size);
        UpdateScreen();
        return true;
    }

    SegmentedControl size;
};

BenchCanvas* canvas(int w, int h)
{
    static std::map<std::pair<int, int>, std::unique_ptr<BenchCanvas>> made;
    auto& c = made[{w, h}];
    if (!c) {
        c = std::make_unique<BenchCanvas>();
        if (!c->make(w, h)) {
            std::fprintf(stderr, "no GL ES surface\n");
            std::exit(1);
        }
    }
    c->setCurrentContext();
    return c.get();
}

void perPixel(benchmark::State& state)
{
    const double pixels = double(state.range(0)) * double(state.range(1));
    state.counters["per_kpixel"] =
        benchmark::Counter(pixels / 1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_PresentDab(benchmark::State& state)
{
    BenchCanvas* c = canvas(int(state.range(0)), int(state.range(1)));
    std::int64_t i = 0;
    for (auto _ : state) {
        // Around the middle of the view, so that successive dabs land on new pixels.
        const FloatPoint touch{float(state.range(0) / 2 - 20 + i % 5 * 10), float(state.range(1) / 2 - 20 + i % 7 * 6)};
        benchmark::DoNotOptimize(c->DrawCanvas(touch, int(i % 3)));
        ++i;
    }
    perPixel(state);
}
BENCHMARK(BM_PresentDab)->Args({320, 390})->Args({1600, 1000})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_FullRedraw(benchmark::State& state)
{
    BenchCanvas* c = canvas(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        c->UpdateScreen();
    perPixel(state);
}
BENCHMARK(BM_FullRedraw)->Args({320, 390})->Args({1600, 1000})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
