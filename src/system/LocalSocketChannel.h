#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <map>

class QSocketNotifier;
class QTimer;

// A local (AF_UNIX stream) socket that hears short messages, each ended by a zero
// byte, and answers each with one byte. A message counts only once its sender has
// sent that byte back: the sender tells its own user the message was taken only
// then, so one that gave up waiting (and closed its end) is never acted on. It is
// watched from the event loop of the thread that listens; the sender side is a
// plain blocking call with deadlines.
//
// A message is the whole of what a caller sends before the answer: bytes already
// waiting behind its zero when it is read refuse it, however they were split into
// reads. At most kMaxConnections callers are served at once; the others wait in
// the socket's queue, holding no descriptor of this process, until one has gone.
//
// A name that holds no slash is a file in the temporary folder; any other name is
// the socket file's own path.
class LocalSocketChannel : public QObject {
    Q_OBJECT
public:
    // Callers served at once.
    static constexpr int kMaxConnections = 4;

    // `maxMessageBytes` bounds a message without its zero; `answer` is the byte sent
    // back once a message is complete. A caller has `idleTimeoutMs` from the moment
    // it is taken from the queue to send its message and then the answer back,
    // which a live sender does at once; then its connection is closed. A byte sent
    // back before the close counts; one sent after it fails at the sender, which
    // then reports its message not taken.
    LocalSocketChannel(int maxMessageBytes, char answer, int idleTimeoutMs, QObject* parent = nullptr);
    // Stops listening and removes the socket file.
    ~LocalSocketChannel() override;

    // The socket file for a name.
    static QString socketPath(const QString& name);
    // Deletes a socket file left behind by a program that is gone.
    static void removeSocketFile(const QString& name);

    // Listens on the name, reachable by this user only; false with errorString() when
    // the socket file exists already or cannot be made.
    bool listen(const QString& name);
    void close();
    // Closes every connection and takes no more, while the socket stays: later
    // callers wait in its queue until it is closed (or the process ends), holding
    // no descriptor here. For the end of the program, whose last files must open.
    void stopAccepting();
    // Callers being served now.
    int connectionCount() const { return int(mConnections.size()); }
    QString errorString() const { return mError; }

    // Sends `message` and a zero byte to whoever listens on `name`, waits for the
    // one-byte `answer` and sends it back. Connecting is retried for up to
    // `connectTimeoutMs`; the answer must come within `answerTimeoutMs` after that.
    // False with the reason when no answer, or another one, came: the message is
    // then not acted on.
    static bool send(const QString& name, const QByteArray& message, char answer, int connectTimeoutMs,
                     int answerTimeoutMs, QString* error);

signals:
    // A complete message, without its zero byte.
    void messageReceived(const QByteArray& message);

private:
    struct Connection {
        QByteArray received;
        bool answered = false;  // the message is complete and answered
        QSocketNotifier* notifier = nullptr;
        QTimer* timer = nullptr;
    };

    void acceptConnections();
    void readFrom(int fd);
    // The caller's time is up: what it sent before this counts, then it is dropped.
    void expire(int fd);
    void drop(int fd);
    // Whether the listening socket is watched: not at the cap, nor while accepting
    // waits for descriptors to come free, nor once stopped.
    void updateAccepting();

    int mMaxMessageBytes;
    char mAnswer;
    int mIdleTimeoutMs;
    int mListenFd = -1;
    QString mPath;
    QSocketNotifier* mListenNotifier = nullptr;
    bool mStopped = false;
    bool mWaitingForDescriptors = false;
    std::map<int, Connection> mConnections;
    QString mError;
};
