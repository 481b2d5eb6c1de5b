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

    // Whether the last save of the working project failed (its line was printed):
    // a program whose quit save failed exits non-zero.
    bool workingProjectSaveFailed() const { return mSaveFailed; }

public slots:
    // The working project into slot 0; whatever the canvas answers, nothing is shown.
    void applicationWillTerminate();

private:
    bool mSaveFailed = false;
    QPointer<QWidget> mWindow;
    QPointer<CharcolinoViewController> mViewController;
};
