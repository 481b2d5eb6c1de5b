#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Gives the keyboard back when a window of the program that had it goes (a sheet,
// a question, the slot browser, the key list): to the modal window still up, else
// to the main window. A window manager would do it; without one nothing does, and
// keys would do nothing until the main window is clicked. It also activates the
// main window once it is first shown, for the same reason.
class FocusReturn : public QObject {
public:
    // Watches every window of the application; lives as long as `mainWindow`.
    explicit FocusReturn(QWidget* mainWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void giveBack();

    QPointer<QWidget> mMain;
};
