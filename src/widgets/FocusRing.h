#pragma once

#include <QPointer>
#include <QWidget>

// A ring drawn over a widget while it has the keyboard focus from the keyboard
// (Tab, Shift+Tab, a shortcut): for widgets that draw no focus of their own, such
// as a GL surface. A click on the widget, or the focus leaving it, takes the ring
// away. It takes no input.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    // A sibling of `target`, above it.
    explicit FocusRing(QWidget* target);

    static constexpr int kWidth = 3;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    QPointer<QWidget> mTarget;
    bool mShown = false;
};
