#pragma once

#include <QObject>

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
// ends the event loop.
class ApplicationShell : public QObject {
    Q_OBJECT
public:
    ApplicationShell();
    ~ApplicationShell() override;

    // The controller's view into the window, the window shown.
    void launch();

    MainWindow& window() { return mWindow; }
    CharcolinoViewController& controller() { return mController; }
    CharcolinoAppDelegate& delegate() { return mDelegate; }

private:
    // Members are destroyed in reverse: the delegate, then the controller with its
    // view and canvas, then the window.
    MainWindow mWindow;
    CharcolinoViewController mController;
    CharcolinoAppDelegate mDelegate;
};
