#include <QApplication>

#include "app/CharcolinoAppDelegate.h"
#include "app/CharcolinoViewController.h"
#include "app/MainWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Charcolino"));
    QApplication::setOrganizationName(QStringLiteral("Charcolino"));

    MainWindow window;
    CharcolinoViewController controller;
    CharcolinoAppDelegate delegate;
    delegate.setWindow(&window);
    delegate.setViewController(&controller);
    delegate.applicationDidFinishLaunching();
    return app.exec();
}
