#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class CharcolinoViewController;

// Puts the main screen into the window once launching has finished, and has the
// working project saved when the application terminates.
class CharcolinoAppDelegate : public QObject {
    Q_OBJECT
public:
    explicit CharcolinoAppDelegate(QObject* parent = nullptr);

    QWidget* window() const { return mWindow; }
    void setWindow(QWidget* window) { mWindow = window; }
    CharcolinoViewController* viewController() const { return mViewController; }
    void setViewController(CharcolinoViewController* controller) { mViewController = controller; }

    // Loads the controller's view (the canvas and its first project come with it),
    // puts it into the window and shows the window.
    void applicationDidFinishLaunching();

public slots:
    // The working project into slot 0; whatever the canvas answers, nothing is shown.
    void applicationWillTerminate();

private:
    QPointer<QWidget> mWindow;
    QPointer<CharcolinoViewController> mViewController;
};
