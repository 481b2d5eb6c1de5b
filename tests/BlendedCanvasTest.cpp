// The soft and partial brush on the canvas: strokes through the mouse, their undo,
// the screen against a full redraw, a pen's pressure, and the peek at the source.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTabletEvent>
#include <QTest>

#include <cmath>
#include <vector>

#include "project/BlendedDab.h"
#include "project/BrushDab.h"
#include "support/MouseDrag.h"
#include "support/CanvasTestAccess.h"
#include "support/ControlledCanvas.h"
#include "support/GlContextTest.h"
#include "support/PaintTestCanvas.h"

namespace {

constexpr int kSide = 256;

class BlendedCanvas : public ::testing::Test, protected ControlledCanvas {
protected:
    void SetUp() override
    {
        if (!makeCanvas()) {
            NO_GL_CONTEXT();
        }
        toolbar.setSelectedSegmentIndex(2);
        size.setSelectedSegmentIndex(1);
        shape.setSelectedSegmentIndex(0);
        window.show();
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, kSide, kSide, {250, 240}, PaintTestCanvas::patternPixel));
        CanvasTestAccess::setView(*canvas, 160, 195, 1.0f);
        PaintTestCanvas::sampleNearest(*canvas);
        canvas->UpdateScreen();
        canvas->resetHistory();
    }

    std::vector<std::uint8_t> working() const
    {
        const std::uint8_t* w = canvas->workingBuffer();
        return std::vector<std::uint8_t>(w, w + std::size_t(kSide) * kSide * 4);
    }

    QImage fullRedraw()
    {
        canvas->ReloadCanvas();
        PaintTestCanvas::sampleNearest(*canvas);
        canvas->UpdateScreen();
        return canvas->presentedImage().copy();
    }

    void drag(const std::vector<QPoint>& path) { mouseDrag(canvas, path); }

    void pen(QEvent::Type type, QPoint at, qreal pressure)
    {
        static const QPointingDevice stylus(QStringLiteral("test pen"), 77, QInputDevice::DeviceType::Stylus,
                                            QPointingDevice::PointerType::Pen,
                                            QInputDevice::Capability::Position | QInputDevice::Capability::Pressure,
                                            1, 3);
        const Qt::MouseButton button = type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons = type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton;
        QTabletEvent event(type, &stylus, QPointF(at), canvas->mapToGlobal(QPointF(at)), pressure, 0, 0, 0, 0, 0, {},
                           button, buttons);
        QCoreApplication::sendEvent(canvas, &event);
    }
};

}  // namespace

TEST_F(BlendedCanvas, SoftPartialStrokesBlendAndUndoExactlyAndTheScreenIsAFullRedraw)
{
    const std::vector<std::uint8_t> start = working();
    BrushStyle style;
    style.hardness = 50;
    style.strength = 50;
    canvas->setBrushStyle(style);
    drag({{40, 100}, {120, 110}, {200, 100}, {120, 120}});  // over itself: still at most half
    const std::vector<std::uint8_t> one = working();
    EXPECT_EQ(PaintTestCanvas::differingPixels(canvas->presentedImage().copy(), fullRedraw()), 0);

    // Along the stroke every byte lies half way between start and photo (the
    // centre of each dab is hard: hardness 50 %).
    const BrushDab::Placement placement{1.0f, 160, 195, {250, 240}, 390.0f};
    for (int x : {60, 100, 160}) {
        const FloatPoint p = BrushDab::centreInPicture(FloatPoint{float(x), 105.0f}, placement);
        const std::size_t i = (std::size_t(p.y) * kSide + std::size_t(p.x)) * 4;
        const std::uint32_t photo = PaintTestCanvas::patternPixel(2, int(p.x), int(p.y));
        for (int c = 0; c < 4; ++c) {
            const int s = start[i + std::size_t(c)], o = int((photo >> (8 * c)) & 0xff);
            EXPECT_EQ(one[i + std::size_t(c)], (s * 127 + o * 128 + 127) / 255) << x << " byte " << c;
        }
    }

    style.hardness = 0;
    style.strength = 30;
    style.radiusPoints = 33.3;
    canvas->setBrushStyle(style);
    shape.setSelectedSegmentIndex(1);
    toolbar.setSelectedSegmentIndex(0);
    drag({{300, 20}, {30, 360}});
    const std::vector<std::uint8_t> two = working();
    EXPECT_EQ(PaintTestCanvas::differingPixels(canvas->presentedImage().copy(), fullRedraw()), 0);
    ASSERT_NE(one, two);

    for (const auto& [undo, want] : {std::pair{true, &one}, std::pair{true, &start}, std::pair{false, &one},
                                     std::pair{false, &two}}) {
        ASSERT_TRUE(undo ? canvas->undo() : canvas->redo());
        EXPECT_EQ(working(), *want);
        const QImage shown = canvas->presentedImage().copy();
        EXPECT_EQ(PaintTestCanvas::differingPixels(shown, fullRedraw()), 0);
    }
}

TEST_F(BlendedCanvas, APensPressureSetsTheRadiusAndOnRequestTheStrength)
{
    QSignalSpy finished(canvas, &CanvasView::strokeFinished);
    pen(QEvent::TabletPress, {100, 100}, 0.5);
    pen(QEvent::TabletMove, {103, 100}, 0.5);
    pen(QEvent::TabletMove, {180, 100}, 1.0);
    pen(QEvent::TabletRelease, {180, 100}, 1.0);
    EXPECT_EQ(finished.count(), 1);  // one stroke: no mouse stroke made from the pen besides
    std::vector<StrokeHistory::Dab> dabs = canvas->strokeHistory().dabs();
    ASSERT_GE(dabs.size(), 4u);
    // Size M is 15 points: half of it at half pressure, all of it at full.
    EXPECT_EQ(dabs.front().radius, 7.5f);
    EXPECT_EQ(dabs.back().radius, 15.0f);
    for (std::size_t i = 1; i < dabs.size(); ++i)
        EXPECT_GE(dabs[i].radius, dabs[i - 1].radius);  // the pressure rises along the way
    for (const auto& d : dabs)
        EXPECT_TRUE(d.plain());

    BrushStyle style;
    style.strength = 80;
    style.pressureSetsStrength = true;
    canvas->setBrushStyle(style);
    pen(QEvent::TabletPress, {100, 200}, 0.25);
    pen(QEvent::TabletRelease, {100, 200}, 0.25);
    dabs = canvas->strokeHistory().dabs();
    EXPECT_EQ(dabs.back().alpha, BlendedDab::alphaWithPressure(204, 0.25f));
    EXPECT_EQ(dabs.back().radius, 3.75f);

    // A hovering pen paints nothing.
    const std::vector<std::uint8_t> before = working();
    pen(QEvent::TabletMove, {60, 300}, 0.0);
    EXPECT_EQ(working(), before);
}

TEST_F(BlendedCanvas, APeekShowsTheToolsSourceChangesNothingAndEndsOnTheWorkingImage)
{
    drag({{50, 50}, {250, 250}});
    const QImage painted = canvas->presentedImage().copy();
    const std::vector<std::uint8_t> before = working();
    // View point (160, 195) shows picture pixel (125, 120).
    const auto shownAtCentre = [&] { return PaintTestCanvas::surfaceRgb(canvas->presentedImage(), 160, 195); };
    for (int tool : {0, 1, 2}) {
        SCOPED_TRACE(tool);
        canvas->setPeekSource(tool);
        EXPECT_EQ(canvas->peekSource(), tool);
        const QImage shown = canvas->presentedImage().copy();
        EXPECT_NE(PaintTestCanvas::differingPixels(shown, painted), 0);
        EXPECT_EQ(shownAtCentre(), PaintTestCanvas::patternPixel(tool, 125, 120) & 0xffffffu);
        drag({{100, 100}, {200, 300}});  // paints nothing during a peek
        EXPECT_EQ(working(), before);
    }
    canvas->endPeek();
    EXPECT_EQ(canvas->peekSource(), -1);
    EXPECT_EQ(PaintTestCanvas::differingPixels(canvas->presentedImage().copy(), painted), 0);
    EXPECT_EQ(canvas->strokeHistory().undoCount(), 1u);
}
