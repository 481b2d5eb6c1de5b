// Painting and moving around with a desktop's mouse, wheel and keyboard: strokes
// that lay a line, their undo, wheel zoom about the pointer and pan drags.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>
#include <functional>
#include <vector>

#include "project/BrushDab.h"
#include "canvas/NavigationSteps.h"
#include "widgets/SegmentedControl.h"
#include "support/MouseDrag.h"
#include "support/ControlledCanvas.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/PaintTestCanvas.h"

namespace {

class DesktopInput : public ::testing::Test, protected ControlledCanvas {
protected:

    void SetUp() override
    {
        if (!makeCanvas()) {
            NO_GL_CONTEXT();
        }
        toolbar.setSelectedSegmentIndex(0);
        size.setSelectedSegmentIndex(0);
        shape.setSelectedSegmentIndex(0);
        window.show();
    }

    void install(int side, FloatSize picture, int centerx, int centery, float zoom)
    {
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, side, side, picture, PaintTestCanvas::patternPixel));
        CanvasTestAccess::setView(*canvas, centerx, centery, zoom);
        PaintTestCanvas::sampleNearest(*canvas);
        canvas->UpdateScreen();
        canvas->resetHistory();
    }

    std::vector<std::uint8_t> working() const
    {
        const std::uint8_t* w = canvas->workingBuffer();
        return std::vector<std::uint8_t>(w, w + std::size_t(canvas->bufferWidth()) * canvas->bufferHeight() * 4);
    }

    void drag(const std::vector<QPoint>& path, Qt::MouseButton button = Qt::LeftButton)
    {
        mouseDrag(canvas, path, button);
    }

    void wheel(QPoint at, int delta)
    {
        QWheelEvent e(QPointF(at), canvas->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(canvas, &e);
    }

    // What a full redraw of the current working image shows.
    QImage fullRedraw()
    {
        canvas->ReloadCanvas();
        PaintTestCanvas::sampleNearest(*canvas);
        canvas->UpdateScreen();
        return canvas->presentedImage().copy();
    }

    FloatPoint pictureUnder(QPoint p) const
    {
        const BrushDab::Placement placement{canvas->zoomLevel(), canvas->centerX(), canvas->centerY(),
                                            canvas->pictureSize(), 390.0f};
        return BrushDab::centreInPicture(FloatPoint{float(p.x()), float(p.y())}, placement);
    }
};

}  // namespace

TEST_F(DesktopInput, FastDragLaysTheDabsOfTouchesAtTheSpacingAlongItsWaySlowDragAndClickAsBefore)
{
    struct Case {
        const char* name;
        int size, shape;
        float zoom;
        std::vector<QPoint> path;
    };
    const Case cases[] = {
        {"fast, small round at 1.0", 0, 0, 1.0f, {{40, 50}, {260, 120}, {90, 330}}},
        {"fast, XL square zoomed out", 3, 1, 0.512f, {{20, 20}, {300, 370}}},
        {"slow: moves within the spacing", 1, 0, 1.0f, {{100, 100}, {105, 103}, {109, 106}, {113, 110}}},
        {"click", 2, 0, 1.0f, {{150, 200}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install(512, {512, 512}, 160, 195, c.zoom);
        size.setSelectedSegmentIndex(c.size);
        shape.setSelectedSegmentIndex(c.shape);
        drag(c.path);
        const std::vector<std::uint8_t> dragged = working();
        const std::size_t recorded = canvas->strokeHistory().dabs().size();

        // The same on a fresh project, one touch at a time: the first position,
        // then n evenly spaced positions on every segment, n the fewest that keep
        // them within a quarter of the brush's width.
        install(512, {512, 512}, 160, 195, c.zoom);
        const float quarterWidth = (10.0f + 5.0f * float(c.size)) * 0.5f;
        // The record holds the dabs that painted.
        int dabs = canvas->DrawCanvas(FloatPoint{float(c.path[0].x()), float(c.path[0].y())}, 0);
        for (std::size_t i = 1; i < c.path.size(); ++i) {
            const FloatPoint a{float(c.path[i - 1].x()), float(c.path[i - 1].y())};
            const FloatPoint b{float(c.path[i].x()), float(c.path[i].y())};
            const float length = std::hypot(b.x - a.x, b.y - a.y);
            const int n = std::max(1, int(std::ceil(length / quarterWidth)));
            for (int k = 1; k <= n; ++k) {
                const float t = float(k) / float(n);
                dabs += canvas->DrawCanvas(k == n ? b : FloatPoint{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}, 0);
            }
        }
        EXPECT_EQ(dragged, working());
        EXPECT_EQ(recorded, std::size_t(dabs));
    }
}

TEST_F(DesktopInput, AGestureAfterACancelledOneStartsAFreshStrokeWithoutALineFromTheOldFinger)
{
    install(512, {512, 512}, 160, 195, 1.0f);
    static QPointingDevice* screen = QTest::createTouchDevice();
    QTest::touchEvent(canvas, screen).press(0, {20, 20});
    QTest::touchEvent(canvas, screen).move(0, {30, 20});
    QTouchEvent cancel(QEvent::TouchCancel, screen);
    QCoreApplication::sendEvent(canvas, &cancel);
    QTest::touchEvent(canvas, screen).press(0, {300, 370});
    QTest::touchEvent(canvas, screen).release(0, {300, 370});
    // Two strokes: the cancelled one and the new one, each undone alone; nothing
    // was painted between them.
    EXPECT_EQ(canvas->strokeHistory().undoCount(), 2u);
    const FloatPoint middle = pictureUnder({160, 195});
    const std::uint8_t* w = canvas->workingBuffer() + (int(middle.y) * 512 + int(middle.x)) * 4;
    EXPECT_EQ(PaintTestCanvas::bufferPixel(w, 1, 0, 0), PaintTestCanvas::patternPixel(3, int(middle.x), int(middle.y)));
}

TEST_F(DesktopInput, UndoTakesStrokesBackByteForByteAndTheScreenMatchesAFullRedraw)
{
    install(512, {500, 470}, 160, 195, 1.0f);
    QSignalSpy finished(canvas, &CanvasView::strokeFinished);
    QSignalSpy changed(canvas, &CanvasView::historyChanged);
    const std::vector<std::uint8_t> start = working();

    size.setSelectedSegmentIndex(3);
    drag({{10, 10}, {300, 380}});
    const std::vector<std::uint8_t> one = working();
    toolbar.setSelectedSegmentIndex(2);
    shape.setSelectedSegmentIndex(1);
    drag({{310, 20}, {20, 370}, {200, 300}});
    const std::vector<std::uint8_t> two = working();
    EXPECT_EQ(finished.count(), 2);
    EXPECT_EQ(changed.count(), 2);

    struct Step {
        bool undo;
        const std::vector<std::uint8_t>* want;
    };
    for (const Step s : {Step{true, &one}, Step{true, &start}, Step{false, &one}, Step{false, &two}}) {
        SCOPED_TRACE(s.undo ? "undo" : "redo");
        ASSERT_TRUE(s.undo ? canvas->undo() : canvas->redo());
        EXPECT_EQ(working(), *s.want);
        const QImage shown = canvas->presentedImage().copy();
        EXPECT_EQ(PaintTestCanvas::differingPixels(shown, fullRedraw()), 0);
    }
    EXPECT_FALSE(canvas->redo());
    EXPECT_EQ(changed.count(), 6);

    // A new stroke after an undo drops what could be redone.
    ASSERT_TRUE(canvas->undo());
    drag({{100, 100}});
    EXPECT_FALSE(canvas->canRedo());
    EXPECT_TRUE(canvas->canUndo());
}

TEST_F(DesktopInput, WheelZoomsOneStepPerNotchKeepingThePointUnderThePointerWhereTheLimitsAllow)
{
    struct Case {
        const char* name;
        float side, zoom;
        std::vector<int> deltas;
        float wantZoom;
        bool keepsPoint;  // else the centre stays at (160, 195)
    };
    const QPoint pointer(70, 120);
    const Case cases[] = {
        {"one notch in", 1024, 1.0f, {120}, 1.25f, true},
        {"finer wheel: three thirds of a notch", 1024, 1.0f, {40, 40, 40}, 1.25f, true},
        {"two notches out", 1024, 2.0f, {-120, -120}, float(double(float(double(2.0f) * 0.8)) * 0.8), true},
        {"at the upper limit", 1024, 4.76837158203125f, {120}, 4.76837158203125f, true},
        {"out to less than twice the view: re-centred", 1024, 0.64f, {-120}, float(double(0.64f) * 0.8), false},
        {"a picture inside the view grows about its centre", 200, 1.0f, {120}, 1.25f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install(1024, {c.side, c.side}, 160, 195, c.zoom);
        const FloatPoint before = pictureUnder(pointer);
        for (int d : c.deltas)
            wheel(pointer, d);
        EXPECT_FLOAT_EQ(canvas->zoomLevel(), c.wantZoom);
        if (c.keepsPoint) {
            const FloatPoint after = pictureUnder(pointer);
            EXPECT_NEAR(after.x, before.x, 0.5f / c.wantZoom);
            EXPECT_NEAR(after.y, before.y, 0.5f / c.wantZoom);
        } else {
            EXPECT_EQ(canvas->centerX(), 160);
            EXPECT_EQ(canvas->centerY(), 195);
        }
    }
}

TEST_F(DesktopInput, TrackpadPinchZoomsAStepEachTimeItsScaleGrowsBy125OrShrinksBy08)
{
    install(1024, {1024, 1024}, 160, 195, 1.0f);
    const QPoint at(200, 100);
    const FloatPoint before = pictureUnder(at);
    const auto pinch = [&](Qt::NativeGestureType type, double value) {
        QNativeGestureEvent e(type, QPointingDevice::primaryPointingDevice(), 2, QPointF(at), QPointF(at),
                              canvas->mapToGlobal(QPointF(at)), value, QPointF());
        QCoreApplication::sendEvent(canvas, &e);
    };
    struct Step {
        double value;
        float zoom;
    };
    // Scales 1.1, 1.21, then 1.331: a step in, 1.0648 left over; x 0.8 gives 0.85,
    // x 0.9 then 0.77: a step out.
    pinch(Qt::BeginNativeGesture, 0);
    for (const Step s : {Step{0.1, 1.0f}, Step{0.1, 1.0f}, Step{0.1, 1.25f}, Step{-0.2, 1.25f}, Step{-0.1, 1.0f}}) {
        pinch(Qt::ZoomNativeGesture, s.value);
        EXPECT_FLOAT_EQ(canvas->zoomLevel(), s.zoom) << s.value;
    }
    pinch(Qt::EndNativeGesture, 0);
    const FloatPoint after = pictureUnder(at);
    EXPECT_NEAR(after.x, before.x, 1.0f);
    EXPECT_NEAR(after.y, before.y, 1.0f);
}

TEST_F(DesktopInput, MiddleAndSpaceDragsPanInAPaintingToolWithoutPainting)
{
    install(1024, {1024, 1024}, 160, 195, 1.0f);
    const std::vector<std::uint8_t> start = working();
    drag({{100, 100}, {130, 80}}, Qt::MiddleButton);
    EXPECT_EQ(canvas->centerX(), 190);
    EXPECT_EQ(canvas->centerY(), 215);

    QTest::keyPress(canvas, Qt::Key_Space);
    drag({{100, 100}, {90, 100}});
    QTest::keyRelease(canvas, Qt::Key_Space);
    EXPECT_EQ(canvas->centerX(), 180);
    EXPECT_EQ(working(), start);

    drag({{100, 100}});
    EXPECT_NE(working(), start) << "without Space the left button paints again";
}

TEST(WholeFitZoom, LargestStepAtWhichBothSidesFit)
{
    struct Case {
        FloatSize picture, view;
        float want;
    };
    const Case cases[] = {
        {{320, 390}, {320, 390}, 1.0f},
        {{1024, 768}, {640, 600}, 0.512f},
        {{100, 50}, {320, 390}, 3.0517578125f},
        {{64, 64}, {320, 390}, 4.76837158203125f},
        {{1024, 1024}, {320, 390}, float(0.32768)},  // none fits: the smallest step
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(NavigationSteps::wholeFitZoom(c.picture, c.view), c.want)
            << c.picture.width << " x " << c.picture.height;
}

// A wheel notch or a fit in the middle of a drag: the stroke goes on across it,
// from the picture point it had reached to the next position, as one stroke.
TEST_F(DesktopInput, AZoomDuringADragPaintsTheSegmentAcrossIt)
{
    const QPoint p0(60, 120), p1(150, 180), p2(250, 300);
    struct Case {
        const char* name;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"wheel notch in", [&] { wheel(p1, 120); }},
        {"wheel notch out", [&] { wheel(p1, -120); }},
        {"zoom to fit", [&] { canvas->zoomToFitWhole(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install(512, {512, 512}, 160, 195, 1.0f);
        QTest::mousePress(canvas, Qt::LeftButton, {}, p0);
        QMouseEvent move(QEvent::MouseMove, p1, p1, canvas->mapToGlobal(QPointF(p1)), Qt::NoButton, Qt::LeftButton,
                         {}, QPointingDevice::primaryPointingDevice());
        QCoreApplication::sendEvent(canvas, &move);
        const FloatPoint reached = pictureUnder(p1);
        c.change();
        const int cx = canvas->centerX(), cy = canvas->centerY();
        const float zoom = canvas->zoomLevel();
        ASSERT_NE(zoom, 1.0f) << "the view changed";
        QMouseEvent move2(QEvent::MouseMove, p2, p2, canvas->mapToGlobal(QPointF(p2)), Qt::NoButton, Qt::LeftButton,
                          {}, QPointingDevice::primaryPointingDevice());
        QCoreApplication::sendEvent(canvas, &move2);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, p2);
        const std::vector<std::uint8_t> dragged = working();
        EXPECT_EQ(canvas->strokeHistory().undoCount(), 1u);

        // The same laid by hand: the segment before the change, then, at the new
        // view, from where the reached picture point is shown to the last position.
        install(512, {512, 512}, 160, 195, 1.0f);
        const auto f = [](QPoint p) { return FloatPoint{float(p.x()), float(p.y())}; };
        canvas->DrawCanvas(f(p0), 0);
        canvas->DrawSegment(f(p0), f(p1), 0);
        CanvasTestAccess::setView(*canvas, cx, cy, zoom);
        const FloatPoint from{reached.x * zoom - zoom * 256.0f + float(cx),
                              reached.y * zoom - zoom * 256.0f - float(cy) + 390.0f};
        canvas->DrawSegment(from, f(p2), 0);
        EXPECT_EQ(dragged, working());
    }
}
