#pragma once

#include <QLabel>
#include <QTimer>

// The zoom as a percentage ("125 %") at the top right of the canvas for a moment
// after each zoom; it takes no input and no focus.
class ZoomIndicator : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShownMs = 1200;

    explicit ZoomIndicator(QWidget* parent);

    // Shown for `zoom` over the top right corner of `canvas` (parent coordinates).
    void showZoom(float zoom, const QRect& canvas);
    static QString percentage(float zoom);
    const QTimer& hideTimer() const { return mHideTimer; }

private:
    QTimer mHideTimer;
};
