#include "app/CharcolinoAppDelegate.h"

#include "app/CharcolinoViewController.h"

CharcolinoAppDelegate::CharcolinoAppDelegate(QObject* parent) : QObject(parent) {}

void CharcolinoAppDelegate::applicationDidFinishLaunching()
{
    if (!mWindow || !mViewController)
        return;
    QWidget* view = mViewController->view();
    view->setParent(mWindow);
    view->move(0, 0);
    view->show();
    mWindow->show();
    mWindow->activateWindow();
}

void CharcolinoAppDelegate::applicationWillTerminate()
{
    mSaveFailed = mViewController && !mViewController->SaveWorkingProject();
}
