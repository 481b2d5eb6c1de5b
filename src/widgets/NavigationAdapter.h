#pragma once

#include <QObject>
#include <QPointer>

class QMouseEvent;
class QNativeGestureEvent;
class QWheelEvent;
class QWidget;
class NavigationResponder;

// Turns the desktop's ways of moving around a picture into zoom steps and pan
// drags for a responder:
//
// - the mouse wheel, with or without Ctrl: one zoom step per notch (120 eighths of
//   a degree, finer wheels and trackpads add up to that), about the pointer; away
//   from the user zooms in;
// - a trackpad pinch (zoom gesture): one step each time the fingers' scale has
//   grown by 1.25 or shrunk by 0.8 since the last step, about the gesture's point;
// - a drag with the middle button, or with the left button while Space is held:
//   panning, in any tool; such drags never reach the touch adapter, so they never
//   paint. Space is followed while the widget has the keyboard focus; the widget
//   takes the focus when clicked, and when the pointer enters it while its window
//   is active;
// - a double-click with the middle button: the whole picture in view (the second
//   press then pans like the first).
//
// The adapter is a child of the widget and installs itself as its event filter.
// Install it after the TouchAdapter: filters installed later see events first.
// The responder is not owned and must outlive the widget or the adapter.
class NavigationAdapter : public QObject {
    Q_OBJECT

public:
    NavigationAdapter(QWidget* widget, NavigationResponder* responder);
    ~NavigationAdapter() override;

    bool spaceHeld() const { return mSpaceHeld; }
    bool panning() const { return mPanButton != 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleMouse(QMouseEvent* event);
    bool handleWheel(QWheelEvent* event);
    bool handleGesture(QNativeGestureEvent* event);

    QPointer<QWidget> mWidget;
    NavigationResponder* mResponder = nullptr;
    bool mSpaceHeld = false;
    int mPanButton = 0;          // the Qt::MouseButton that drags the pan, 0 when none
    bool mLeftForTouches = false;  // a left-button drag that the touch adapter has
    int mWheelRemainder = 0;     // eighths of a degree not yet turned into a step
    double mPinchLog = 0.0;      // log of the pinch scale since the last step
};
