#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "app/ApplicationShell.h"
#include "platform/QuitSignals.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The Documents directory is <data home>/Charcolino/Charcolino.
    QApplication::setApplicationName(QStringLiteral("Charcolino"));
    QApplication::setOrganizationName(QStringLiteral("Charcolino"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Charcolino"));
    QGuiApplication::setDesktopFileName(QStringLiteral("charcolino"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/charcolino.png")));

    // SIGTERM and SIGINT end the event loop like a normal quit, so aboutToQuit
    // saves the working project. exit() rather than quit(): a window that refuses
    // to close (the start sheet waits for its answer) must not stop it.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, [] { QCoreApplication::exit(0); });

    ApplicationShell shell;
    if (qEnvironmentVariableIsSet("CHARCOLINO_READY_LINE")) {
        // For scripts and tests that start the program: one line on standard
        // output once the first frame is on screen.
        QObject::connect(&shell.window(), &MainWindow::firstFramePainted, &app, [] {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        });
    }
    shell.launch();
    return app.exec();
}
