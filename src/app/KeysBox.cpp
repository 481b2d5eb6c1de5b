#include "app/KeysBox.h"

#include <QAbstractButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

namespace {

constexpr int kGap = 8;  // between the window's frame and the box's

}  // namespace

KeysBox::KeysBox(const QString& text, QWidget* parent)
    : QMessageBox(QMessageBox::NoIcon, tr("Keys"), text, QMessageBox::Close, parent)
{
    // Named here too, for systems without Qt's own translations.
    button(QMessageBox::Close)->setText(tr("Close"));
}

QPoint KeysBox::placeBeside(const QRect& window, const QSize& box, const QRect& available)
{
    const int roomRight = available.right() - window.right();
    const int roomLeft = window.left() - available.left();
    int x;
    if (roomRight >= box.width() + kGap)
        x = window.right() + 1 + kGap;
    else if (roomLeft >= box.width() + kGap)
        x = window.left() - kGap - box.width();
    else
        x = roomRight >= roomLeft ? available.right() + 1 - box.width() : available.left();
    const auto onScreen = [](int at, int extent, int first, int last) {
        return std::clamp(at, first, std::max(first, last + 1 - extent));
    };
    return {onScreen(x, box.width(), available.left(), available.right()),
            onScreen(window.top(), box.height(), available.top(), available.bottom())};
}

void KeysBox::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);  // gives the box its size (and centres it over the parent)
    const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (event->spontaneous() || !main || !main->screen())
        return;
    // The box's frame is not known before the window manager has it; it is taken
    // to be as thick as the main window's. move() places the inside of the box.
    const QRect frame = main->frameGeometry();
    const QRect inside = main->geometry();
    const QPoint at = placeBeside(frame, size() + frame.size() - inside.size(), main->screen()->availableGeometry());
    move(at + inside.topLeft() - frame.topLeft());
}
