#include "widgets/TouchAdapter.h"

#include "widgets/TouchEvent.h"
#include "widgets/TouchResponder.h"

#include <QEventPoint>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTouchEvent>
#include <QWidget>

namespace {

bool isTouchScreen(const QInputDevice* device)
{
    return device && device->type() == QInputDevice::DeviceType::TouchScreen;
}

bool isSynthesisedFromTouch(const QMouseEvent* event)
{
    return event->source() != Qt::MouseEventNotSynthesized || isTouchScreen(event->device());
}

TouchEvent touchesOf(const QTouchEvent* event)
{
    TouchEvent touches;
    touches.allTouches.reserve(event->points().size());
    touches.fingerIds.reserve(event->points().size());
    for (const QEventPoint& point : event->points()) {
        const QPointF p = point.position();
        touches.allTouches.push_back(FloatPoint{float(p.x()), float(p.y())});
        touches.fingerIds.push_back(point.id());
    }
    return touches;
}

} // namespace

TouchAdapter::TouchAdapter(QWidget* widget, TouchResponder* responder)
    : QObject(widget), mWidget(widget), mResponder(responder)
{
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_AcceptTouchEvents);
    widget->installEventFilter(this);
}

TouchAdapter::~TouchAdapter()
{
    if (mWidget)
        mWidget->removeEventFilter(this);
}

bool TouchAdapter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != mWidget || !mResponder)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return handleTouch(static_cast<QTouchEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return handleMouse(static_cast<QMouseEvent*>(event));
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return handleTablet(static_cast<QTabletEvent*>(event));
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool TouchAdapter::handleTouch(QTouchEvent* event)
{
    if (!isTouchScreen(event->device()))
        return false;
    event->accept();

    switch (event->type()) {
    case QEvent::TouchBegin: {
        TouchEvent touches = touchesOf(event);
        touches.firstFingerDown = true;
        mResponder->touchesBegan(touches);
        break;
    }
    case QEvent::TouchEnd:
        mResponder->touchesEnded(touchesOf(event));
        break;
    case QEvent::TouchUpdate: {
        bool pressed = false, moved = false, released = false, allReleased = true;
        for (const QEventPoint& point : event->points()) {
            pressed |= point.state() == QEventPoint::Pressed;
            moved |= point.state() == QEventPoint::Updated;
            released |= point.state() == QEventPoint::Released;
            allReleased &= point.state() == QEventPoint::Released;
        }
        TouchEvent touches = touchesOf(event);
        touches.lastFingerLifted = allReleased;
        // A responder may close the widget from a call; stop if that took us along.
        const QPointer<TouchAdapter> alive(this);
        if (pressed)
            mResponder->touchesBegan(touches);
        if (moved && alive)
            mResponder->touchesMoved(touches);
        if (released && alive)
            mResponder->touchesEnded(touches);
        break;
    }
    default: // TouchCancel: the gesture is dropped without a word to the responder
        break;
    }
    return true;
}

TouchEvent TouchAdapter::touchesFromMouse(const QMouseEvent* event) const
{
    const QPointF p = event->position();
    TouchEvent touches;
    touches.allTouches.push_back(FloatPoint{float(p.x()), float(p.y())});
    touches.fingerIds.push_back(0);
    if (event->modifiers() & Qt::AltModifier) {
        const float w = float(mWidget->width());
        const float h = float(mWidget->height());
        touches.allTouches.push_back(FloatPoint{w - float(p.x()), h - float(p.y())});
        touches.fingerIds.push_back(1);
    }
    return touches;
}

bool TouchAdapter::handleMouse(QMouseEvent* event)
{
    if (isSynthesisedFromTouch(event))
        return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (event->button() != Qt::LeftButton)
            return false;
        // The second press of a double click may arrive as a press, a double
        // click or both; the drag starts once.
        if (!mMouseDown) {
            mMouseDown = true;
            TouchEvent touches = touchesFromMouse(event);
            touches.firstFingerDown = true;
            mResponder->touchesBegan(touches);
        }
        break;
    case QEvent::MouseMove:
        if (!mMouseDown)
            return false;
        if (event->buttons() & Qt::LeftButton) {
            mResponder->touchesMoved(touchesFromMouse(event));
        } else {
            // The release went elsewhere; end the drag where the pointer is now.
            mMouseDown = false;
            mResponder->touchesEnded(touchesFromMouse(event));
        }
        break;
    case QEvent::MouseButtonRelease:
        if (event->button() != Qt::LeftButton || !mMouseDown)
            return false;
        mMouseDown = false;
        mResponder->touchesEnded(touchesFromMouse(event));
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

bool TouchAdapter::handleTablet(QTabletEvent* event)
{
    const QPointF p = event->position();
    TouchEvent touches;
    touches.allTouches.push_back(FloatPoint{float(p.x()), float(p.y())});
    touches.fingerIds.push_back(0);
    touches.pressures.push_back(float(event->pressure()));
    switch (event->type()) {
    case QEvent::TabletPress:
        if (event->button() != Qt::LeftButton || mPenDown || mMouseDown)
            return false;
        mPenDown = true;
        touches.firstFingerDown = true;
        mResponder->touchesBegan(touches);
        break;
    case QEvent::TabletMove:
        // A pen hovering moves without touching: that is no drag.
        if (!mPenDown)
            return false;
        mResponder->touchesMoved(touches);
        break;
    case QEvent::TabletRelease:
        if (event->button() != Qt::LeftButton || !mPenDown)
            return false;
        mPenDown = false;
        mResponder->touchesEnded(touches);
        break;
    default:
        return false;
    }
    // Accepted, so that no mouse event is made from it as well.
    event->accept();
    return true;
}
