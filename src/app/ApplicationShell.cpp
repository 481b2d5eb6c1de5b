#include "app/ApplicationShell.h"

#include <QGuiApplication>
#include <QSessionManager>

ApplicationShell::ApplicationShell()
{
    mDelegate.setWindow(&mWindow);
    mDelegate.setViewController(&mController);
    connect(&mWindow, &MainWindow::imageFileDropped, &mController, &CharcolinoViewController::openImageFile);
    // exit() rather than quit(): quit() asks every window to close first, and the
    // start sheet, which waits for its answer, would refuse and keep the program
    // running without its window.
    connect(&mWindow, &MainWindow::closed, this, [] { QCoreApplication::exit(0); });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // The canvas and its GL context still exist when aboutToQuit is emitted:
        // they go with this object, after the event loop has returned.
        connect(app, &QCoreApplication::aboutToQuit, &mDelegate, &CharcolinoAppDelegate::applicationWillTerminate);
        connect(app, &QGuiApplication::commitDataRequest, &mDelegate,
                [this](QSessionManager&) { mDelegate.applicationWillTerminate(); }, Qt::DirectConnection);
    }
}

ApplicationShell::~ApplicationShell() = default;

void ApplicationShell::launch() { mDelegate.applicationDidFinishLaunching(); }
