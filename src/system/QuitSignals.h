#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so that the program
// can leave its event loop the ordinary way (and save what it must) instead of
// being cut off. The handler only writes the signal number into a pipe; a socket
// notifier reads it in the event loop. A SIGHUP ignored at start (the program was
// started with nohup) stays ignored. One object at a time: a second install fails.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    // Puts the previous handlers back.
    ~QuitSignals() override;

    // False when the pipe or the handlers could not be set up (or another object
    // holds them); the signals then keep their default action.
    bool isInstalled() const { return mInstalled; }

signals:
    // The signal number (SIGTERM, SIGINT or SIGHUP) that arrived.
    void quitRequested(int signalNumber);

private:
    void readSignal();

    bool mInstalled = false;
    QSocketNotifier* mNotifier = nullptr;
};
