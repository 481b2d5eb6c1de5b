#pragma once

#include <QObject>
#include <QPointer>

class QMouseEvent;
class QTabletEvent;
class QTouchEvent;
class QWidget;
class TouchResponder;
struct TouchEvent;

// Turns the input a widget receives into phone-style touches for a responder.
//
// Touch screens: TouchBegin is touchesBegan, TouchEnd touchesEnded. A TouchUpdate
// may carry several changes at once; each kind present gives one call, in the
// order began (a finger was put down), moved (a finger moved), ended (a finger was
// lifted): new fingers are known before their moves are seen, and a lift comes
// last because it ends the gesture. TouchCancel is consumed and reported to no one.
// Every call lists all points of the event, stationary and lifted ones included,
// in the event's order, with their ids; a begin says whether it starts a gesture,
// an end whether every finger is up.
//
// Mouse: a left-button drag is one finger (press began, moves with the left button
// held moved, release ended). With Alt held a second finger mirrors the pointer
// about the widget's centre: (width - x, height - y). Alt is read at every mouse
// event, so the number of touches may change during a drag. The pointer is finger
// 0, its mirror finger 1.
//
// Pen tablet: the pen's tip on the tablet is one finger, as the left button
// (press began, moves moved, release ended), each touch with the pen's pressure;
// a hovering pen is left alone. A handled tablet event is accepted, so Qt makes
// no mouse event of it.
//
// Nothing is handled twice: mouse events that Qt made from touches and touch events
// that did not come from a touch screen (made from mouse input, or a touchpad whose
// pointer already arrives as mouse events) are left alone. Handled events are
// consumed.
//
// The adapter is a child of the widget and installs itself as its event filter; the
// responder is not owned and must outlive the widget or the adapter.
class TouchAdapter : public QObject {
    Q_OBJECT

public:
    TouchAdapter(QWidget* widget, TouchResponder* responder);
    ~TouchAdapter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleTouch(QTouchEvent* event);
    bool handleMouse(QMouseEvent* event);
    bool handleTablet(QTabletEvent* event);
    TouchEvent touchesFromMouse(const QMouseEvent* event) const;

    QPointer<QWidget> mWidget;
    TouchResponder* mResponder = nullptr;
    bool mMouseDown = false; // a left-button drag is in progress
    bool mPenDown = false;   // the pen's tip is on the tablet
};
