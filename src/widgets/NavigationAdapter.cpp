#include "widgets/NavigationAdapter.h"

#include "widgets/NavigationResponder.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>

namespace {

constexpr int kNotch = 120;

FloatPoint pointOf(const QPointF& p)
{
    return FloatPoint{float(p.x()), float(p.y())};
}

} // namespace

NavigationAdapter::NavigationAdapter(QWidget* widget, NavigationResponder* responder)
    : QObject(widget), mWidget(widget), mResponder(responder)
{
    if (!widget)
        return;
    widget->setFocusPolicy(Qt::StrongFocus);
    widget->installEventFilter(this);
}

NavigationAdapter::~NavigationAdapter()
{
    if (mWidget)
        mWidget->removeEventFilter(this);
}

bool NavigationAdapter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != mWidget || !mResponder)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space)
            return false;
        if (!key->isAutoRepeat())
            mSpaceHeld = event->type() == QEvent::KeyPress;
        return true;
    }
    case QEvent::FocusOut:
        mSpaceHeld = false;
        return false;
    case QEvent::Enter:
        if (mWidget->window()->isActiveWindow() && !mWidget->hasFocus())
            mWidget->setFocus(Qt::MouseFocusReason);
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return handleMouse(static_cast<QMouseEvent*>(event));
    case QEvent::Wheel:
        return handleWheel(static_cast<QWheelEvent*>(event));
    case QEvent::NativeGesture:
        return handleGesture(static_cast<QNativeGestureEvent*>(event));
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool NavigationAdapter::handleMouse(QMouseEvent* event)
{
    // Mouse events made from touches belong to the touch adapter alone.
    if (event->source() != Qt::MouseEventNotSynthesized)
        return false;
    const FloatPoint p = pointOf(event->position());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (mPanButton != 0)
            return true;  // other buttons during a pan do nothing
        if (event->button() == Qt::LeftButton && mLeftForTouches)
            return false;
        if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && mSpaceHeld)) {
            if (!mWidget->hasFocus())
                mWidget->setFocus(Qt::MouseFocusReason);
            if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::MiddleButton)
                mResponder->zoomToFitWhole();
            mPanButton = int(event->button());
            mResponder->panBegan(p);
            event->accept();
            return true;
        }
        if (event->button() == Qt::LeftButton)
            mLeftForTouches = true;
        return false;
    case QEvent::MouseMove:
        if (mPanButton == 0) {
            if (!(event->buttons() & Qt::LeftButton))
                mLeftForTouches = false;
            return false;
        }
        if (!(event->buttons() & Qt::MouseButton(mPanButton))) {
            // The release went elsewhere.
            mPanButton = 0;
            mResponder->panEnded();
            return true;
        }
        mResponder->panMoved(p);
        return true;
    case QEvent::MouseButtonRelease:
        if (mPanButton == 0) {
            if (event->button() == Qt::LeftButton)
                mLeftForTouches = false;
            return false;
        }
        if (event->button() == Qt::MouseButton(mPanButton)) {
            mResponder->panMoved(p);
            mPanButton = 0;
            mResponder->panEnded();
        }
        return true;
    default:
        return false;
    }
}

bool NavigationAdapter::handleWheel(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    const int turned = delta.y() != 0 ? delta.y() : delta.x();
    if (turned == 0)
        return true;
    // A turn the other way starts counting afresh.
    if ((turned > 0) != (mWheelRemainder > 0))
        mWheelRemainder = 0;
    mWheelRemainder += turned;
    const int steps = mWheelRemainder / kNotch;
    mWheelRemainder -= steps * kNotch;
    if (steps != 0)
        mResponder->zoomStepsAt(steps, pointOf(event->position()));
    event->accept();
    return true;
}

bool NavigationAdapter::handleGesture(QNativeGestureEvent* event)
{
    switch (event->gestureType()) {
    case Qt::BeginNativeGesture:
    case Qt::EndNativeGesture:
        mPinchLog = 0.0;
        return true;
    case Qt::ZoomNativeGesture: {
        // value() is the change of scale since the previous event.
        const double factor = 1.0 + event->value();
        if (!(factor > 0.0))
            return true;
        mPinchLog += std::log(factor);
        const double step = std::log(1.25);
        int steps = 0;
        while (mPinchLog >= step) {
            mPinchLog -= step;
            ++steps;
        }
        while (mPinchLog <= -step) {
            mPinchLog += step;
            --steps;
        }
        if (steps != 0)
            mResponder->zoomStepsAt(steps, pointOf(event->position()));
        event->accept();
        return true;
    }
    default:
        return false;
    }
}
