#pragma once

#include <QMessageBox>
#include <QPoint>
#include <QRect>
#include <QSize>

// The list of keys: a box that opens beside the main window rather than over the
// picture. It is shown without taking the keyboard (the caller sets
// Qt::WA_ShowWithoutActivating), and the caller adds the program's shortcut
// actions to it, so its keys keep working while the box has the focus.
class KeysBox : public QMessageBox {
    Q_OBJECT
public:
    KeysBox(const QString& text, QWidget* parent);

    // Where the top-left corner of a box whose frame is `box` goes beside a window
    // whose frame is `window`, on a screen whose free area is `available`: to the
    // window's right when the screen has room there, else to its left, else on the
    // screen against the side with more room; its top level with the window's,
    // moved up or down as far as it takes to stay on the screen.
    static QPoint placeBeside(const QRect& window, const QSize& box, const QRect& available);

protected:
    void showEvent(QShowEvent* event) override;
};
