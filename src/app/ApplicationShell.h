#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include "app/CharcolinoAppDelegate.h"
#include "app/CharcolinoViewController.h"
#include "app/MainWindow.h"

// What the program is made of at launch: the window, the main screen controller
// and the application delegate, connected the way the program runs them. main()
// makes one; tests make their own to drive the same objects.
//
// On construction the delegate hears the application's end (aboutToQuit) and the
// desktop session's request to save (commitDataRequest): both save the working
// project. A file dropped on the window starts a new project; closing the window
// ends the event loop. A photo handed over by a later start of the program (or
// named on the command line) starts a new project too, once no question or dialog
// is waiting for an answer.
class ApplicationShell : public QObject {
    Q_OBJECT
public:
    ApplicationShell();
    ~ApplicationShell() override;

    // The controller's view into the window, the window shown at its size and
    // place of the last run when settings are on (they are saved at the end).
    void launch();

    // Starts a new project with the photo at `path`, as a drop does, from the event
    // loop, and only once no modal sheet, dialog or alert is up (the start sheet
    // of a first launch is answered first). A later photo replaces one still waiting.
    void openPhoto(const QString& path);
    // The window to the front (restored when minimised); a non-empty `photoPath`
    // is then opened as by openPhoto().
    void bringToFront(const QString& photoPath = QString());

    // The program's icon, read as the PNG it is with Qt's own reader: a QIcon made
    // from the file name would first load every image format plugin.
    static QIcon programIcon();

    MainWindow& window() { return mWindow; }
    CharcolinoViewController& controller() { return mController; }
    CharcolinoAppDelegate& delegate() { return mDelegate; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openPendingPhoto();

    // Members are destroyed in reverse: the delegate, then the controller with its
    // view and canvas, then the window.
    MainWindow mWindow;
    CharcolinoViewController mController;
    CharcolinoAppDelegate mDelegate;
    QString mPendingPhoto;
    // The modal widget a pending photo waits for.
    QPointer<QWidget> mAwaitedModal;
};
