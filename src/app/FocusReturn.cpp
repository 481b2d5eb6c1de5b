#include "app/FocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

FocusReturn::FocusReturn(QWidget* mainWindow) : QObject(mainWindow), mMain(mainWindow)
{
    qApp->installEventFilter(this);
}

bool FocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Hide || type == QEvent::Show) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const bool mainShown = type == QEvent::Show && widget == mMain && !event->spontaneous();
        // A dialog that had the keyboard, as far as Qt knows, or may have had it
        // without Qt hearing of it (the window system told it nothing).
        const Qt::WindowType kind = widget->windowType();
        const bool activeGone = type == QEvent::Hide && widget != mMain &&
                                (kind == Qt::Dialog || kind == Qt::Sheet || kind == Qt::Window) &&
                                (QApplication::activeWindow() == widget || !QApplication::activeWindow());
        // After the window system has taken the show or hide in.
        if (mainShown || activeGone)
            QTimer::singleShot(0, this, &FocusReturn::giveBack);
    }
    return QObject::eventFilter(watched, event);
}

void FocusReturn::giveBack()
{
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* target = modal && modal->isVisible() ? modal : mMain.data();
    QWidget* active = QApplication::activeWindow();
    if (active && active != target && active->isVisible())
        return;  // another window of the program has it
    // Also when Qt already counts the target active: it may have moved its own
    // focus there without the window system's.
    if (target && target->isVisible())
        target->activateWindow();
}
