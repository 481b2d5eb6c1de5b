#include "app/ApplicationShell.h"

#include "app/ControlSettings.h"
#include "app/FocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QImageReader>
#include <QPixmap>
#include <QSessionManager>
#include <utility>

ApplicationShell::ApplicationShell()
{
    mWindow.setWindowIcon(QApplication::windowIcon().isNull() ? programIcon() : QApplication::windowIcon());
    mDelegate.setWindow(&mWindow);
    mDelegate.setViewController(&mController);
    new FocusReturn(&mWindow);
    connect(&mWindow, &MainWindow::imageFileDropped, &mController, &CharcolinoViewController::openImageFile);
    // exit() rather than quit(): quit() asks every window to close first, and the
    // start sheet, which waits for its answer, would refuse and keep the program
    // running without its window.
    connect(&mWindow, &MainWindow::closed, this, [] { QCoreApplication::exit(0); });
    // The hidden menu's pictures are read once the first frame is out.
    connect(&mWindow, &MainWindow::firstFramePainted, &mController, &CharcolinoViewController::styleMenu,
            Qt::QueuedConnection);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // The canvas and its GL context still exist when aboutToQuit is emitted:
        // they go with this object, after the event loop has returned.
        connect(app, &QCoreApplication::aboutToQuit, &mDelegate, &CharcolinoAppDelegate::applicationWillTerminate);
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (ControlSettings::isEnabled())
                mWindow.storeGeometry();
        });
        connect(app, &QGuiApplication::commitDataRequest, &mDelegate,
                [this](QSessionManager&) { mDelegate.applicationWillTerminate(); }, Qt::DirectConnection);
    }
}

ApplicationShell::~ApplicationShell() = default;

QIcon ApplicationShell::programIcon()
{
    QImageReader reader(QStringLiteral(":/charcolino.png"), "png");
    reader.setAutoDetectImageFormat(false);  // else every plugin is asked whether it reads "png"
    return QIcon(QPixmap::fromImage(reader.read()));
}

void ApplicationShell::launch()
{
    // The window comes back as it was left, when the program remembers anything.
    if (ControlSettings::isEnabled())
        mWindow.restoreSavedGeometry();
    // The window system's window is made now, while the GL driver still loads,
    // rather than when the window is first shown, after the canvas.
    mWindow.winId();
    mDelegate.applicationDidFinishLaunching();
}

void ApplicationShell::openPhoto(const QString& path)
{
    mPendingPhoto = path;
    // Posted: a sheet raised while launching is shown by an event posted before
    // this one, so it is up when this looks for one.
    QMetaObject::invokeMethod(this, &ApplicationShell::openPendingPhoto, Qt::QueuedConnection);
}

void ApplicationShell::bringToFront(const QString& photoPath)
{
    mWindow.setWindowState(mWindow.windowState() & ~Qt::WindowMinimized);
    mWindow.show();
    mWindow.raise();
    mWindow.activateWindow();
    if (!photoPath.isEmpty())
        openPhoto(photoPath);
}

void ApplicationShell::openPendingPhoto()
{
    if (mPendingPhoto.isEmpty())
        return;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // Try again when it has gone (hidden or deleted).
        if (modal != mAwaitedModal) {
            if (mAwaitedModal)
                mAwaitedModal->removeEventFilter(this);
            mAwaitedModal = modal;
            modal->installEventFilter(this);
            connect(modal, &QObject::destroyed, this, &ApplicationShell::openPendingPhoto, Qt::QueuedConnection);
        }
        return;
    }
    if (mAwaitedModal) {
        mAwaitedModal->removeEventFilter(this);
        mAwaitedModal = nullptr;
    }
    mController.openImageFile(std::exchange(mPendingPhoto, QString()));
}

bool ApplicationShell::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mAwaitedModal && event->type() == QEvent::Hide)
        QMetaObject::invokeMethod(this, &ApplicationShell::openPendingPhoto, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}
