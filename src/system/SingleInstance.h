#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class LocalSocketChannel;

// One program per data folder. The first start takes a lock file in the folder and
// listens on a local socket whose name is derived from the folder's canonical path
// (in the user's runtime directory), so programs on different folders never meet.
// A later start on the same folder finds the lock held by a live process, touches
// nothing in the folder, and hands its message (a photo path, or nothing) to the
// running program through the socket. A lock left by a process that no longer runs
// is taken over.
//
// The lock is held and the socket served until the object is destroyed: keep it
// alive until the working project has been saved at quit.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        // This process holds the folder: run, and hear later starts.
        Primary,
        // Another process holds the folder and has taken the message: exit.
        HandedOver,
        // Another process holds the folder but did not answer: errorString() says why.
        Unreachable,
        // The folder cannot be locked (no folder, or it is not writable) and no
        // running program answered: run without the guard; errorString() says why.
        Unguarded,
    };

    // How long a later start waits for the running program: to reach its socket
    // (the lock is taken just before it listens), and then for its answer (it
    // answers from its event loop, which may still be loading the project).
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kAnswerTimeoutMs = 15000;
    // How long the running program serves one later start, from when it takes the
    // connection: a live one has sent its message and confirmed the answer within
    // milliseconds. Idle or silent connections cannot hold the few places longer.
    static constexpr int kCallerTimeoutMs = 2000;
    // The longest message accepted, in bytes.
    static constexpr int kMaxMessageBytes = 64 * 1024;

    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    // Stops listening and releases the lock.
    ~SingleInstance() override;

    // Decides this process's role; a message given is handed over only when another
    // process holds the folder.
    Outcome start(const QString& message);
    QString errorString() const { return mError; }
    // The same in the user's language, for a window, where it differs (Unreachable);
    // else the same text.
    QString shownErrorString() const { return mShownError.isEmpty() ? mError : mShownError; }

    // Closes the connections of later starts and takes no more until the object
    // goes (they wait in the socket's queue, then find the lock free): for the quit
    // save, which needs descriptors for its files whatever callers are doing.
    void holdLaterStarts();

    // The local socket name for a data folder: a full path in the runtime directory
    // when it fits a socket address, else a bare name (Qt's temporary folder).
    static QString serverName(const QString& dataFolder);
    // The lock file in the data folder.
    static QString lockFilePath(const QString& dataFolder);

signals:
    // A later start's message (an absolute photo path, or empty: come to the front).
    void messageReceived(const QString& message);

private:
    void listen(bool replaceStale);
    // Gives the message to the program listening on the folder's socket, trying to
    // reach it for up to `connectTimeoutMs`; false with the reason when it cannot.
    bool handOver(const QString& message, int connectTimeoutMs, QString* error);

    QString mFolder;
    QString mServerName;
    QLockFile mLock;
    LocalSocketChannel* mServer = nullptr;
    QString mError;
    QString mShownError;
};
