// One painted mouse event, whole: a left-button move through the canvas's input
// adapter lays the dabs of one segment (about 6 points of pointer travel, as a
// brisk drag gives at 120 events a second), draws their patches, presents, and
// the widget paints what changed into the window's backing store. The canvas is
// the 320 x 390 view of the benchmark project in a shown window; brush S and XL
// at zoom 1 and at the smallest zoom step. CPU time is the whole process's, the
// GL driver's threads included. Strokes are 120 events long; the press and the
// release between them are not timed.
//
// At a device pixel ratio of 2: QT_SCALE_FACTOR=2 build/bench_paint_event
// (the label names the ratio).
//
// Arguments: brush-size index (0 = S, 3 = XL), zoom x 100000 (0 = the smallest
// step) and the brush: 0 hard at full strength, 1 soft (hardness 50 %) at 50 %
// strength, whose dabs blend through the stroke's mask and go up into the
// working texture.
#include <benchmark/benchmark.h>

#include "WidgetBenchmarkMain.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWidget>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchProjectCanvas.h"
#include "canvas/NavigationSteps.h"
#include "canvas/CanvasView.h"
#include "widgets/SegmentedControl.h"
#include "widgets/TouchAdapter.h"

namespace {

constexpr int kEventsPerStroke = 120;

// The benchmark project in a shown window, driven through the input adapter.
class BenchCanvas : public BenchProjectCanvas {
public:
    // The window must not delete its child, this canvas, as a member of it.
    ~BenchCanvas() override { setParent(nullptr); }

    bool make()
    {
        window.resize(320, 460);
        setParent(&window);
        if (!makeProject(320, 390))
            return false;
        size.setTitles({"10", "15", "20", "25"});
        setBrushsize(&size);
        new TouchAdapter(this, this);
        window.show();
        QApplication::processEvents();
        return true;
    }

    void setZoom(float zoom)
    {
        zoomlevel = zoom;
        UpdateScreen();
        paintNow();
    }

    // Runs the widget's pending paint into the backing store, as the event loop
    // does after the input event.
    static void paintNow() { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }

    void mouse(QEvent::Type type, QPointF at)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &event);
    }

    QWidget window;
    SegmentedControl size;
    std::int64_t paints = 0;
    std::int64_t paintedPixels = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        paintedPixels += std::int64_t(event->rect().width()) * event->rect().height();
        BenchProjectCanvas::paintEvent(event);
    }
};

BenchCanvas* canvas() { return benchCanvasOnce<BenchCanvas>(); }

// The pointer's way: round and round a circle of 100 points about the view's
// middle, about 6 points an event.
QPointF pointer(std::int64_t i)
{
    const double a = double(i) * 0.06;
    return QPointF(160.0 + 100.0 * std::cos(a), 195.0 + 100.0 * std::sin(a));
}

float smallestZoom()
{
    float zoom = 1.0f;
    while (NavigationSteps::canZoomOut(zoom))
        zoom = NavigationSteps::zoomedOut(zoom);
    return zoom;
}

void BM_PaintEvent(benchmark::State& state)
{
    BenchCanvas* c = canvas();
    c->size.setSelectedSegmentIndex(int(state.range(0)));
    BrushStyle style;
    if (state.range(2) == 1) {
        style.hardness = 50;
        style.strength = 50;
    }
    c->setBrushStyle(style);
    c->setZoom(state.range(1) == 0 ? smallestZoom() : float(state.range(1)) / 100000.0f);
    std::int64_t i = 0;
    const std::int64_t paintsBefore = c->paints;
    const std::int64_t pixelsBefore = c->paintedPixels;
    for (auto _ : state) {
        if (i % kEventsPerStroke == 0) {
            state.PauseTiming();
            if (i > 0)
                c->mouse(QEvent::MouseButtonRelease, pointer(i - 1));
            c->mouse(QEvent::MouseButtonPress, pointer(i));
            BenchCanvas::paintNow();
            ++i;
            state.ResumeTiming();
        }
        c->mouse(QEvent::MouseMove, pointer(i));
        BenchCanvas::paintNow();
        ++i;
    }
    c->mouse(QEvent::MouseButtonRelease, pointer(i - 1));
    // Paints and painted points per event: the paint did run, over how much.
    const double events = double(state.iterations());
    state.counters["paints"] = double(c->paints - paintsBefore) / events;
    state.counters["points"] = double(c->paintedPixels - pixelsBefore) / events;
    state.SetLabel("ratio " + std::to_string(c->devicePixelRatioF()).substr(0, 4));
}
BENCHMARK(BM_PaintEvent)
    ->ArgNames({"size", "zoom", "soft"})
    ->Args({0, 100000, 0})
    ->Args({3, 100000, 0})
    ->Args({0, 0, 0})
    ->Args({3, 0, 0})
    ->Args({0, 100000, 1})
    ->Args({3, 100000, 1})
    ->Args({0, 0, 1})
    ->Args({3, 0, 1})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
