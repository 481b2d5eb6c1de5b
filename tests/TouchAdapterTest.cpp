#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QTouchEvent>

#include <memory>

#include "widgets/TouchAdapter.h"
#include "widgets/TouchEvent.h"
#include "widgets/TouchResponder.h"

namespace {

// Writes every call as "b(x,y)(x,y)", "m(...)" or "e(...)", separated by spaces.
struct Recorder : TouchResponder {
    std::string trace;
    void add(char kind, const TouchEvent& e)
    {
        trace += trace.empty() ? "" : " ";
        trace += kind;
        for (const FloatPoint& p : e.allTouches)
            trace += QString("(%1,%2)").arg(p.x).arg(p.y).toStdString();
    }
    void touchesBegan(const TouchEvent& e) override { add('b', e); }
    void touchesMoved(const TouchEvent& e) override { add('m', e); }
    void touchesEnded(const TouchEvent& e) override { add('e', e); }
};

// Counts the pointer input that gets past the adapter to the widget itself.
struct Surface : QWidget {
    int reached = 0;
    bool event(QEvent* e) override
    {
        if (dynamic_cast<QMouseEvent*>(e) || dynamic_cast<QTouchEvent*>(e))
            ++reached;
        return QWidget::event(e);
    }
};

struct Touches : ::testing::Test {
    Surface surface;
    Recorder recorder;
    TouchAdapter* adapter = new TouchAdapter(&surface, &recorder);
    // The caller owns the devices that QTest makes; deleting one unregisters it.
    std::unique_ptr<QPointingDevice> screenDevice{QTest::createTouchDevice()};
    QPointingDevice* screen = screenDevice.get();

    void SetUp() override
    {
        surface.resize(320, 390);
        surface.show();
    }
    void mouse(QEvent::Type type, QPointF pos, Qt::MouseButtons held, Qt::KeyboardModifiers mods = {},
               Qt::MouseEventSource source = Qt::MouseEventNotSynthesized,
               const QPointingDevice* device = QPointingDevice::primaryPointingDevice())
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, pos, pos, surface.mapToGlobal(pos), button, held, mods, source, device);
        QCoreApplication::sendEvent(&surface, &e);
    }
};

TEST_F(Touches, LeftDragIsOneFingerAndOtherMouseInputPassesBy)
{
    QTest::mouseClick(&surface, Qt::RightButton, {}, QPoint(7, 7));
    EXPECT_EQ(recorder.trace, "");
    const int passedBy = surface.reached;
    EXPECT_EQ(passedBy, 2);

    QTest::mousePress(&surface, Qt::LeftButton, {}, QPoint(10, 20));
    QTest::mouseMove(&surface, QPoint(30, 40));
    mouse(QEvent::MouseMove, {30.5, 41.25}, Qt::LeftButton);
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, QPoint(31, 42));
    EXPECT_EQ(recorder.trace, "b(10,20) m(30,40) m(30.5,41.25) e(31,42)");
    EXPECT_EQ(surface.reached, passedBy) << "handled events are consumed";
}

TEST_F(Touches, AltDragAddsAFingerMirroredAboutTheCentreReadAtEveryEvent)
{
    QTest::mousePress(&surface, Qt::LeftButton, Qt::AltModifier, QPoint(100, 50));
    mouse(QEvent::MouseMove, {110.5, 60.25}, Qt::LeftButton, Qt::AltModifier);
    mouse(QEvent::MouseMove, {120, 70}, Qt::LeftButton);
    QTest::mouseRelease(&surface, Qt::LeftButton, Qt::AltModifier, QPoint(120, 70));
    EXPECT_EQ(recorder.trace, "b(100,50)(220,340) m(110.5,60.25)(209.5,329.75) m(120,70) e(120,70)(200,320)");
}

TEST_F(Touches, TouchScreenFingersInEventOrderBeganBeforeMovedBeforeEnded)
{
    auto fingers = QTest::touchEvent(&surface, screen, false);
    fingers.press(0, {10, 10}).commit();
    fingers.move(0, {20, 20}).press(1, {100, 100}).commit();
    fingers.stationary(0).move(1, {150, 150}).commit();
    fingers.release(0, {25, 25}).move(1, {160, 160}).commit();
    fingers.release(1, {160, 160}).commit();
    EXPECT_EQ(recorder.trace, "b(10,10) b(20,20)(100,100) m(20,20)(100,100) m(20,20)(150,150) "
                              "m(25,25)(160,160) e(25,25)(160,160) e(160,160)");
    EXPECT_EQ(surface.reached, 0) << "no touch reached the widget, and no mouse was made from them";
}

TEST_F(Touches, InputMadeFromOtherInputAndCancelsAreNotHandled)
{
    // Mouse events made from a touch, whether flagged by source or by device.
    mouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, {}, Qt::MouseEventSynthesizedByQt);
    mouse(QEvent::MouseButtonRelease, {10, 10}, Qt::NoButton, {}, Qt::MouseEventSynthesizedBySystem);
    mouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, {}, Qt::MouseEventNotSynthesized, screen);
    EXPECT_EQ(surface.reached, 3);

    // A touch made from the mouse, and one from a touchpad.
    const std::unique_ptr<QPointingDevice> pad{QTest::createTouchDevice(QInputDevice::DeviceType::TouchPad)};
    for (const QPointingDevice* device : {QPointingDevice::primaryPointingDevice(), (const QPointingDevice*)pad.get()}) {
        QTouchEvent touch(QEvent::TouchBegin, device, {}, {QEventPoint(0, QEventPoint::Pressed, {5, 5}, {5, 5})});
        QCoreApplication::sendEvent(&surface, &touch);
    }
    EXPECT_EQ(recorder.trace, "");

    // A cancelled touch is swallowed without a call.
    QTest::touchEvent(&surface, screen).press(0, {10, 10});
    QTouchEvent cancel(QEvent::TouchCancel, screen);
    EXPECT_TRUE(QCoreApplication::sendEvent(&surface, &cancel));
    EXPECT_EQ(recorder.trace, "b(10,10)");
}

} // namespace
