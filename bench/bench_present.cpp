// Presenting at the window's size: one brush dab laid and presented (DrawCanvas)
// and one full redraw (UpdateScreen) on a canvas of 320 x 390 points and of
// 1600 x 1000 points, over a 1024 x 1024 project at zoom 1. A full redraw reads
// the whole surface back, so its cost follows the view's area; a dab reads back
// only the rectangle it covered, so its cost should not. The counter per_kpixel
// gives the CPU time per thousand surface pixels. CPU time is the whole
// process's, the GL driver's threads included. Beside them, the conversion of
// read-back rows into the widget's image alone.
//
// Arguments: view width and height in points.
#include <benchmark/benchmark.h>

#include "WidgetBenchmarkMain.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "BenchProjectCanvas.h"
#include "canvas/CanvasView.h"
#include "gl/ReadbackRows.h"
#include "widgets/SegmentedControl.h"

namespace {

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

// Turning read-back rows upright into Format_RGB32 for a 1600 x 1000 surface:
// copyReadbackRows from either byte order beside a straightforward byte-by-byte
// loop. Argument: 0 reads RGBA, 1 BGRA (the plain loop takes RGBA).
constexpr int kRowsWidth = 1600;
constexpr int kRowsHeight = 1000;

void BM_ReadbackRows(benchmark::State& state)
{
    std::vector<std::uint8_t> bottomUp(std::size_t(kRowsWidth) * kRowsHeight * 4, 0x5A);
    std::vector<std::uint8_t> topDown(bottomUp.size());
    const ReadbackOrder order = state.range(0) ? ReadbackOrder::Bgra : ReadbackOrder::Rgba;
    for (auto _ : state) {
        copyReadbackRows(bottomUp.data(), order, kRowsWidth, kRowsHeight, topDown.data(), kRowsWidth * 4);
        benchmark::DoNotOptimize(topDown.data());
    }
}
BENCHMARK(BM_ReadbackRows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ReadbackRowsPlain(benchmark::State& state)
{
    std::vector<std::uint8_t> bottomUp(std::size_t(kRowsWidth) * kRowsHeight * 4, 0x5A);
    std::vector<std::uint8_t> topDown(bottomUp.size());
    for (auto _ : state) {
        for (int y = 0; y < kRowsHeight; ++y) {
            const std::uint8_t* src = bottomUp.data() + std::size_t(kRowsHeight - 1 - y) * kRowsWidth * 4;
            std::uint8_t* dst = topDown.data() + std::size_t(y) * kRowsWidth * 4;
            for (int x = 0; x < kRowsWidth; ++x) {
                const QRgb rgb = qRgb(src[4 * x], src[4 * x + 1], src[4 * x + 2]);
                std::memcpy(dst + 4 * x, &rgb, 4);
            }
        }
        benchmark::DoNotOptimize(topDown.data());
    }
}
BENCHMARK(BM_ReadbackRowsPlain)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
