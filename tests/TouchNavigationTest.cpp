// The canvas's touch handling driven the way a user drives it: touch-screen events
// and mouse drags (Alt adds a second finger mirrored about the canvas centre) sent
// to a canvas that sits 70 points below the top of a 320 x 460 window.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPointingDevice>
#include <QTest>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "canvas/CanvasView.h"
#include "widgets/SegmentedControl.h"
#include "widgets/TouchEvent.h"
#include "support/CanvasTestAccess.h"

namespace {

QPointingDevice* touchScreen()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

// One flat colour per buffer: black sketch, colour sketch, original, working.
constexpr std::uint32_t kColour[4] = {0xFF202020u, 0xFFF0A000u, 0xFF0000C0u, 0xFFFFFFFFu};

class TouchNavigation : public ::testing::Test {
protected:
    QWidget window;
    CanvasView* canvas = nullptr;
    // Five segments, so that a position beyond navigation can be selected.
    SegmentedControl toolbar{QStringList{"Black", "Colour", "Photo", "Move", "Spare"}};
    qint64 lastPresent = 0;

    void SetUp() override
    {
        window.setGeometry(0, 0, 320, 460);
        canvas = CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390), &window);
        ASSERT_NE(canvas, nullptr) << "no OpenGL ES 1.1 surface";
        toolbar.setSelectedSegmentIndex(3);
        canvas->setToolbar(&toolbar);
        window.show();
    }

    // A picture of w x h pixels in a buffer of the next power-of-two sizes, shown
    // at (centerx, centery) and zoom.
    void install(int w, int h, int centerx = 160, int centery = 195, float zoom = 1.0f)
    {
        auto pow2 = [](int n) {
            int p = 1;
            while (p < n)
                p *= 2;
            return p;
        };
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, pow2(w), pow2(h), FloatSize{float(w), float(h)},
                                                     [](int which, int, int) { return kColour[which]; }));
        CanvasTestAccess::setView(*canvas, centerx, centery, zoom);
        presented();
    }

    // Whether the surface was presented since the last call.
    bool presented()
    {
        const qint64 key = canvas->presentedImage().cacheKey();
        const bool changed = key != lastPresent;
        lastPresent = key;
        return changed;
    }

    std::uint32_t pixel(int which, int x, int y)
    {
        const std::uint8_t* p = CanvasTestAccess::buffer(*canvas, which) + (y * canvas->bufferWidth() + x) * 4;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    void setPixel(int which, int x, int y, std::uint32_t v)
    {
        std::uint8_t* p = CanvasTestAccess::buffer(*canvas, which) + (y * canvas->bufferWidth() + x) * 4;
        for (int i = 0; i < 4; ++i)
            p[i] = std::uint8_t(v >> (8 * i));
    }
    // The working pixel under a touch, for a 512 x 512 picture at zoom 1.0 centred
    // at (160, 195) in a 390-point-high view.
    std::uint32_t workingUnder(QPoint touch) { return pixel(3, touch.x() + 96, touch.y() + 61); }

    std::vector<int> centre() const { return {canvas->centerX(), canvas->centerY()}; }

    // A mouse event with a fractional position and the left button held.
    void mouseMoveTo(QPointF pos, Qt::KeyboardModifiers mods = {})
    {
        QMouseEvent e(QEvent::MouseMove, pos, pos, canvas->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, mods,
                      QPointingDevice::primaryPointingDevice());
        QCoreApplication::sendEvent(canvas, &e);
    }
    void altMoveTo(QPoint pos) { QTest::mouseEvent(QTest::MouseMove, canvas, Qt::NoButton, Qt::AltModifier, pos); }
};

// --- Panning ---------------------------------------------------------------------

TEST_F(TouchNavigation, OneFingerPansTheOverhangingPictureAndRedrawsAtEveryStep)
{
    install(512, 512); // 512 points on screen: overhangs the 320 x 390 view on all sides
    auto finger = QTest::touchEvent(canvas, touchScreen(), false);
    finger.press(0, {100, 100}).commit();
    EXPECT_TRUE(canvas->isPanning());
    EXPECT_FALSE(presented()) << "touch-down redraws nothing";

    finger.move(0, {110, 110}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{170, 185})) << "y is inverted: a finger moving down moves the picture down";
    EXPECT_TRUE(presented());
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{110, 110}));

    finger.move(0, {110, 110}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{170, 185}));
    EXPECT_TRUE(presented()) << "redrawn even when nothing moved";

    finger.release(0, {110, 110}).commit();
    EXPECT_FALSE(canvas->isPanning());
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
    EXPECT_FALSE(presented());
}

TEST_F(TouchNavigation, MouseDragPansByWholePointsDroppingFractionsAtEveryStep)
{
    install(512, 512);
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(canvas, QPoint(110, 110));
    EXPECT_EQ(centre(), (std::vector<int>{170, 185}));

    // Three moves of 0.75 points each: every step truncates to 0 and nothing carries.
    mouseMoveTo({110.75, 110.75});
    mouseMoveTo({111.5, 111.5});
    mouseMoveTo({112.25, 112.25});
    EXPECT_EQ(centre(), (std::vector<int>{170, 185}));
    EXPECT_TRUE(presented());

    // -1.75 truncates toward zero to -1, not to -2.
    mouseMoveTo({110.5, 110.5});
    EXPECT_EQ(centre(), (std::vector<int>{169, 186}));

    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(110, 110));
    EXPECT_FALSE(canvas->isPanning());
}

TEST_F(TouchNavigation, PanStepThatWouldUncoverAnEdgeIsRefusedWholeAlongThatAxis)
{
    install(512, 512); // half extent 256: the left edge is at -96, the right edge at 416
    auto finger = QTest::touchEvent(canvas, touchScreen(), false);
    finger.press(0, {10, 100}).commit();

    // +96 would put the left edge exactly at 0: refused whole, not clamped to +95;
    // the vertical part of the same step is taken.
    finger.move(0, {106, 90}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{160, 205}));
    EXPECT_TRUE(presented());

    // The next, smaller step toward the same edge is taken.
    finger.move(0, {201, 90}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{255, 205}));
    finger.release(0, {201, 90}).commit();

    // The right edge: -191 would bring it to exactly 320, -190 leaves it at 321.
    finger.press(0, {300, 90}).commit();
    finger.move(0, {109, 90}).commit();
    EXPECT_EQ(canvas->centerX(), 255);
    finger.release(0, {109, 90}).commit();
    finger.press(0, {300, 90}).commit();
    finger.move(0, {110, 90}).commit();
    EXPECT_EQ(canvas->centerX(), 65);
    finger.release(0, {110, 90}).commit();

    // Vertically likewise: the top edge at 205 + 256 = 461 may come down to 391.
    finger.press(0, {160, 100}).commit();
    finger.move(0, {160, 171}).commit(); // 461 - 71 = 390: refused
    EXPECT_EQ(canvas->centerY(), 205);
    finger.move(0, {160, 241}).commit(); // 70 more from where the finger is now: 391
    EXPECT_EQ(canvas->centerY(), 135);
}

TEST_F(TouchNavigation, PictureSmallerThanTheViewAlongAnAxisIsNotPannedAlongItButRedrawn)
{
    install(256, 512); // 256 points wide in a 320-point view, 512 high in 390
    auto finger = QTest::touchEvent(canvas, touchScreen(), false);
    finger.press(0, {100, 100}).commit();
    finger.move(0, {110, 110}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{160, 185}));
    EXPECT_TRUE(presented());
}

TEST_F(TouchNavigation, FingerAtXZeroOrLessEndsThePanForTheRestOfTheGesture)
{
    install(512, 512);
    auto finger = QTest::touchEvent(canvas, touchScreen(), false);

    // A pan that starts at x = 0 never pans.
    finger.press(0, {0, 200}).commit();
    EXPECT_FALSE(canvas->isPanning());
    finger.move(0, {20, 210}).commit();
    finger.move(0, {40, 220}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{160, 195}));
    EXPECT_FALSE(presented());
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{-1, -1}));
    finger.release(0, {40, 220}).commit();

    // A pan that reaches x = 0 takes that step, then stops for good.
    finger.press(0, {50, 200}).commit();
    finger.move(0, {0, 200}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{110, 195}));
    EXPECT_TRUE(presented());
    finger.move(0, {30, 200}).commit();
    finger.move(0, {60, 200}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{110, 195}));
    EXPECT_FALSE(presented());
    finger.release(0, {60, 200}).commit();

    // A new touch pans again.
    finger.press(0, {60, 200}).commit();
    finger.move(0, {70, 200}).commit();
    EXPECT_EQ(centre(), (std::vector<int>{120, 195}));
}

// --- Zooming ---------------------------------------------------------------------

TEST_F(TouchNavigation, ZoomStepsNeedADoublingOrHalvingOfTheDistanceAtTheLastStep)
{
    install(512, 512);
    auto fingers = QTest::touchEvent(canvas, touchScreen(), false);
    fingers.press(0, {160, 40}).press(1, {160, 90}).commit();
    EXPECT_TRUE(canvas->isZooming());
    EXPECT_EQ(canvas->lastTouchSpacing(), 50.0f);
    EXPECT_FALSE(presented());

    fingers.stationary(0).move(1, {160, 139}).commit(); // 99: ratio 1.98
    EXPECT_EQ(canvas->zoomLevel(), 1.0f);
    EXPECT_EQ(canvas->lastTouchSpacing(), 50.0f);
    EXPECT_FALSE(presented());

    fingers.stationary(0).move(1, {160, 140}).commit(); // 100: one step in
    EXPECT_EQ(canvas->zoomLevel(), 1.25f);
    EXPECT_EQ(canvas->lastTouchSpacing(), 100.0f);
    EXPECT_EQ(centre(), (std::vector<int>{160, 195})) << "zooming in keeps the centre";
    EXPECT_TRUE(presented());

    fingers.stationary(0).move(1, {160, 239}).commit(); // 199 against the new reference 100
    EXPECT_EQ(canvas->zoomLevel(), 1.25f);
    EXPECT_FALSE(presented());
    fingers.stationary(0).move(1, {160, 240}).commit(); // 200
    EXPECT_EQ(canvas->zoomLevel(), 1.5625f);
    EXPECT_EQ(canvas->lastTouchSpacing(), 200.0f);
    EXPECT_TRUE(presented());

    fingers.stationary(0).move(1, {160, 141}).commit(); // 101: ratio 0.505
    EXPECT_EQ(canvas->zoomLevel(), 1.5625f);
    EXPECT_FALSE(presented());
    fingers.stationary(0).move(1, {160, 140}).commit(); // 100: ratio 0.5, one step out
    EXPECT_EQ(canvas->zoomLevel(), 1.25f);
    EXPECT_EQ(canvas->lastTouchSpacing(), 100.0f);
    EXPECT_TRUE(presented());
}

TEST_F(TouchNavigation, ZoomingInStopsOnceAtFourOrMoreButTheReferenceFollowsTheFingers)
{
    install(512, 512);
    auto fingers = QTest::touchEvent(canvas, touchScreen(), false);
    fingers.press(0, {160, 5}).press(1, {160, 6}).commit();
    const float levels[] = {1.25f, 1.5625f, 1.953125f, 2.44140625f, 3.0517578125f, 3.814697265625f,
                            4.76837158203125f};
    int distance = 1;
    for (float level : levels) {
        distance *= 2;
        fingers.stationary(0).move(1, {160, 5 + distance}).commit();
        EXPECT_EQ(canvas->zoomLevel(), level) << "distance " << distance;
        EXPECT_TRUE(presented());
    }
    fingers.stationary(0).move(1, {160, 5 + 256}).commit();
    EXPECT_EQ(canvas->zoomLevel(), 4.76837158203125f);
    EXPECT_FALSE(presented());
    EXPECT_EQ(canvas->lastTouchSpacing(), 256.0f);
    EXPECT_EQ(centre(), (std::vector<int>{160, 195}));

    // The reference moved on: halving from 256 now zooms out, from 128 would not.
    fingers.stationary(0).move(1, {160, 5 + 128}).commit();
    EXPECT_EQ(canvas->zoomLevel(), 3.814697265625f);
}

TEST_F(TouchNavigation, AltDragZoomsOutInNarrowedStepsDownToTheLimitAndReCentres)
{
    install(512, 512, 200, 150); // away from the start position (160, 195)
    // The pointer and its mirror about (160, 195) are 256 points apart.
    QTest::mousePress(canvas, Qt::LeftButton, Qt::AltModifier, QPoint(160, 67));
    EXPECT_EQ(canvas->lastTouchSpacing(), 256.0f);

    // Each step is the 64-bit product with 0.8 narrowed to a float, so the levels
    // drift a little below the decimal figures 0.512, 0.4096 and 0.32768.
    const float levels[] = {0.8f, 0.64f, 0.511999965f, 0.40959996f, 0.327679962f};
    int y = 67;
    for (float level : levels) {
        y = 195 - (195 - y) / 2; // half the distance
        altMoveTo(QPoint(160, y));
        EXPECT_EQ(canvas->zoomLevel(), level) << "pointer at y " << y;
        EXPECT_TRUE(presented());
        // Less than twice the view's size on screen: back at the start position.
        EXPECT_EQ(centre(), (std::vector<int>{160, 195}));
    }
    altMoveTo(QPoint(160, 193)); // 4 points apart: a further halving
    EXPECT_EQ(canvas->zoomLevel(), 0.327679962f);
    EXPECT_EQ(canvas->lastTouchSpacing(), 4.0f);
    EXPECT_FALSE(presented());

    // Without Alt the drag has one finger: not panning, so the gesture is over.
    QTest::mouseMove(canvas, QPoint(150, 150));
    EXPECT_FALSE(canvas->isZooming());
    EXPECT_FALSE(canvas->isPanning());
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(150, 150));
}

TEST_F(TouchNavigation, ZoomLimitsAreStrictAndTheLowerOneIsTestedIn64Bits)
{
    install(512, 512);
    auto fingers = QTest::touchEvent(canvas, touchScreen(), false);
    auto stepFrom = [&](float zoom, int to) {
        CanvasTestAccess::setView(*canvas, 160, 195, zoom);
        fingers.press(0, {160, 100}).press(1, {160, 200}).commit();
        fingers.stationary(0).move(1, {160, to}).commit();
        fingers.release(0, {160, 100}).release(1, {160, to}).commit();
        return canvas->zoomLevel();
    };
    EXPECT_EQ(stepFrom(4.0f, 300), 4.0f);
    EXPECT_EQ(stepFrom(3.99999976f, 300), 4.99999952f);
    // 0.4f lies a little above 0.4, so it still zooms out; 0.32 as a float is 0.32f.
    EXPECT_EQ(stepFrom(0.4f, 150), 0.32f);
    EXPECT_EQ(stepFrom(0.39999998f, 150), 0.39999998f);
}

TEST_F(TouchNavigation, ZoomingOutABigPictureSnapsAnEdgeThatCameInsideTheView)
{
    // 1024 x 1024 at zoom 1.0 goes to 0.8: half extent 409.6, more than the view's
    // whole width and height, so the start position does not apply.
    struct Case {
        int x, y, wantX, wantY;
    };
    const Case cases[] = {
        {500, 450, 409, 409}, // left and bottom edges inside: moved out to the view's edges
        {-100, -50, -89, -19}, // right and top edges inside: int(320 - 409.6), int(390 - 409.6)
        {100, 100, 100, 100},  // overhanging on all sides: stays
    };
    install(1024, 1024);
    auto fingers = QTest::touchEvent(canvas, touchScreen(), false);
    for (const Case& c : cases) {
        CanvasTestAccess::setView(*canvas, c.x, c.y, 1.0f);
        fingers.press(0, {160, 100}).press(1, {160, 200}).commit();
        fingers.stationary(0).move(1, {160, 150}).commit();
        EXPECT_EQ(canvas->zoomLevel(), 0.8f);
        EXPECT_EQ(centre(), (std::vector<int>{c.wantX, c.wantY})) << "from " << c.x << ", " << c.y;
        fingers.release(0, {160, 100}).release(1, {160, 150}).commit();
    }
}

TEST_F(TouchNavigation, GestureModesFollowTheFingerCount)
{
    install(512, 512);
    auto fingers = QTest::touchEvent(canvas, touchScreen(), false);

    // A second finger while panning starts zooming from the two fingers' distance.
    fingers.press(0, {100, 100}).commit();
    fingers.move(0, {110, 100}).commit();
    EXPECT_EQ(canvas->centerX(), 170);
    fingers.stationary(0).press(1, {110, 300}).commit();
    EXPECT_FALSE(canvas->isPanning());
    EXPECT_EQ(canvas->lastTouchSpacing(), 200.0f);
    fingers.stationary(0).move(1, {110, 200}).commit();
    EXPECT_EQ(canvas->zoomLevel(), 0.8f);
    presented();

    // Lifting one of the two ends the gesture: the other finger neither pans nor zooms.
    fingers.release(0, {110, 100}).stationary(1).commit();
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{-1, -1}));
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
    const std::vector<int> before = centre();
    fingers.move(1, {150, 250}).commit();
    fingers.move(1, {200, 300}).commit();
    EXPECT_EQ(centre(), before);
    EXPECT_EQ(canvas->zoomLevel(), 0.8f);
    EXPECT_FALSE(presented());
    fingers.release(1, {200, 300}).commit();

    // Three fingers: idle, and nothing moves however they move.
    fingers.press(0, {100, 100}).commit();
    fingers.stationary(0).press(1, {200, 100}).press(2, {150, 300}).commit();
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{-1, -1}));
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
    fingers.move(0, {140, 150}).move(1, {300, 50}).move(2, {150, 380}).commit();
    fingers.move(0, {10, 10}).stationary(1).stationary(2).commit();
    EXPECT_EQ(centre(), before);
    EXPECT_EQ(canvas->zoomLevel(), 0.8f);
    EXPECT_FALSE(presented());
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
    fingers.release(0, {10, 10}).release(1, {300, 50}).release(2, {150, 380}).commit();

    // Two fingers put down on one spot have no distance to compare with: moving
    // them apart neither zooms nor divides by zero.
    fingers.press(0, {100, 100}).press(1, {100, 100}).commit();
    EXPECT_FALSE(canvas->isZooming());
    fingers.stationary(0).move(1, {100, 300}).commit();
    EXPECT_EQ(canvas->zoomLevel(), 0.8f);
    EXPECT_FALSE(presented());
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
    fingers.release(0, {100, 100}).release(1, {100, 300}).commit();

    // Any other number of fingers in a move ends zooming and panning alike (touch
    // screens always announce new fingers first, so this comes straight in).
    CanvasTestAccess::setTouchState(*canvas, FloatPoint{-1, -1}, 100.0f);
    canvas->touchesMoved(TouchEvent{{{10, 10}, {20, 20}, {30, 30}}});
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
    CanvasTestAccess::setTouchState(*canvas, FloatPoint{50, 50}, -1.0f);
    canvas->touchesMoved(TouchEvent{});
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{-1, -1}));
    EXPECT_EQ(centre(), before);
    EXPECT_FALSE(presented());
}

TEST_F(TouchNavigation, ZoomToFitFitsAlongEitherAxisInAtMostFiveSteps)
{
    const float zoom = 0.5f;
    install(1024, 768, 100, 100, zoom);
    // 419.4 points still wider than 320, 314.6 fitting into 390.
    EXPECT_EQ(canvas->ZoomToFit(), 0.40959996f);
    EXPECT_EQ(canvas->zoomLevel(), zoom) << "ZoomToFit changes nothing";
    EXPECT_EQ(centre(), (std::vector<int>{100, 100}));

    install(320, 1024);
    EXPECT_EQ(canvas->ZoomToFit(), 1.0f);
    install(1024, 391); // fits the height only, at 312.8 points: the width may overhang
    EXPECT_EQ(canvas->ZoomToFit(), 0.8f);
    install(1024, 1024); // 419.4 points square at 0.4096: the fifth step is not tested
    EXPECT_EQ(canvas->ZoomToFit(), 0.327679962f);
}

// --- Painting positions and ignored touches --------------------------------------

TEST_F(TouchNavigation, PaintingPositionsPaintEveryFingerAtEveryEventFromTheSelectedSource)
{
    install(512, 512);
    toolbar.setSelectedSegmentIndex(0);
    CanvasTestAccess::setTouchState(*canvas, FloatPoint{5, 5}, -1.0f);

    const QPoint a(50, 100), b(250, 300);
    auto fingers = QTest::touchEvent(canvas, touchScreen(), false);
    fingers.press(0, a).press(1, b).commit();
    EXPECT_EQ(workingUnder(a), kColour[0]);
    EXPECT_EQ(workingUnder(b), kColour[0]);
    EXPECT_TRUE(presented());

    // The resting finger b is painted again when only a moves.
    setPixel(3, b.x() + 96, b.y() + 61, 0x12345678u);
    const QPoint a2(60, 140);
    fingers.move(0, a2).stationary(1).commit();
    EXPECT_EQ(workingUnder(a2), kColour[0]);
    EXPECT_EQ(workingUnder(b), kColour[0]);
    EXPECT_EQ(centre(), (std::vector<int>{160, 195}));
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{5, 5})) << "painting leaves the mode alone";

    fingers.release(0, a2).release(1, b).commit();
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{-1, -1})) << "a touch-up always ends the mode";

    // The toolbar index is the source: 1 the colour sketch, 2 the photo; a mouse drag
    // with Alt paints under the pointer and under its mirror.
    toolbar.setSelectedSegmentIndex(1);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::AltModifier, QPoint(30, 40));
    EXPECT_EQ(workingUnder(QPoint(30, 40)), kColour[1]);
    EXPECT_EQ(workingUnder(QPoint(290, 350)), kColour[1]);
    toolbar.setSelectedSegmentIndex(2);
    QTest::mouseMove(canvas, QPoint(200, 40));
    EXPECT_EQ(workingUnder(QPoint(200, 40)), kColour[2]);
    EXPECT_EQ(workingUnder(QPoint(120, 350)), kColour[3]) << "no mirror without Alt";
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(200, 40));
}

TEST_F(TouchNavigation, TouchesAreIgnoredWithoutAProjectOrOutsideTheFourPositions)
{
    install(512, 512);
    struct Case {
        bool loaded;
        int index;
    };
    for (const Case c : {Case{true, -1}, Case{true, 4}, Case{false, 3}, Case{false, 0}}) {
        SCOPED_TRACE(testing::Message() << "loaded " << c.loaded << ", toolbar " << c.index);
        canvas->document().setLoaded(c.loaded);
        toolbar.setSelectedSegmentIndex(c.index);
        ASSERT_EQ(toolbar.selectedSegmentIndex(), c.index);
        CanvasTestAccess::setTouchState(*canvas, FloatPoint{50, 50}, -1.0f);

        auto fingers = QTest::touchEvent(canvas, touchScreen(), false);
        fingers.press(0, {60, 100}).commit();
        fingers.move(0, {80, 130}).commit();
        fingers.stationary(0).press(1, {200, 200}).commit();
        fingers.move(0, {20, 20}).move(1, {300, 380}).commit();
        QTest::mousePress(canvas, Qt::LeftButton, Qt::AltModifier, QPoint(100, 100));
        altMoveTo(QPoint(10, 10));
        EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{50, 50}));
        EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
        EXPECT_EQ(centre(), (std::vector<int>{160, 195}));
        EXPECT_EQ(canvas->zoomLevel(), 1.0f);
        for (QPoint p : {QPoint(60, 100), QPoint(300, 380), QPoint(10, 10), QPoint(310, 380)})
            EXPECT_EQ(workingUnder(p), kColour[3]) << p.x() << ", " << p.y();
        EXPECT_FALSE(presented());

        // A touch-up ends the mode whatever the toolbar says, but only with a project.
        fingers.release(0, {20, 20}).release(1, {300, 380}).commit();
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(10, 10));
        EXPECT_EQ(canvas->lastTouchLocation(), (c.loaded ? FloatPoint{-1, -1} : FloatPoint{50, 50}));
    }
    // The cancel that nothing sends resets even without a project.
    canvas->touchesCanceled();
    EXPECT_EQ(canvas->lastTouchLocation(), (FloatPoint{-1, -1}));
    EXPECT_EQ(canvas->lastTouchSpacing(), -1.0f);
}

} // namespace
