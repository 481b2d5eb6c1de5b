#pragma once

#include <QLabel>
#include <QTimer>

// A short message over the bottom of the canvas ("Saved to slot 3"): shown at
// once, without taking the focus or blocking anything, and hidden again after a
// few seconds. A new message replaces the one shown and starts the time anew.
// Assistive technology is told of each message as an alert.
class FeedbackLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShownMs = 4000;

    // Placed along the bottom of `area` (in the parent's coordinates).
    FeedbackLabel(QWidget* parent, const QRect& area);

    void showMessage(const QString& text);
    // A new area, for the next message.
    void setArea(const QRect& area) { mArea = area; }
    const QTimer& hideTimer() const { return mHideTimer; }

private:
    QRect mArea;
    QTimer mHideTimer;
};
