#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

// The running program's answer once it has taken a message.
constexpr char kTaken = 'y';
// Room in a socket address (sun_path) for the path and its terminating zero.
constexpr qsizetype kSocketPathRoom = 100;

}  // namespace

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), mFolder(dataFolder), mServerName(serverName(dataFolder)), mLock(lockFilePath(dataFolder))
{
    // Only a lock whose process is gone is stale, however old it is.
    mLock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (mServer)
        mServer->close();  // removes the socket file while the lock is still held
}

QString SingleInstance::serverName(const QString& dataFolder)
{
    const QFileInfo folder(dataFolder);
    const QString canonical = folder.canonicalFilePath().isEmpty() ? folder.absoluteFilePath()
                                                                   : folder.canonicalFilePath();
    const QString name = QStringLiteral("charcolino-") +
                         QString::fromLatin1(
                             QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        const QString path = QDir(runtime).filePath(name);
        if (QFile::encodeName(path).size() < kSocketPathRoom)
            return path;
    }
    return name;
}

QString SingleInstance::lockFilePath(const QString& dataFolder)
{
    return dataFolder.isEmpty() ? QString() : QDir(dataFolder).filePath(QStringLiteral("charcolino.lock"));
}

SingleInstance::Outcome SingleInstance::start(const QString& message)
{
    mError.clear();
    if (mFolder.isEmpty()) {
        mError = QStringLiteral("There is no data folder to guard.");
        return Outcome::Unguarded;
    }
    if (mLock.tryLock(0)) {
        listen(true);
        return Outcome::Primary;
    }

    QString reason;
    if (mLock.error() == QLockFile::LockFailedError) {
        // Held by a process that runs (or ran on another host sharing the folder).
        if (handOver(message, kConnectTimeoutMs, &reason))
            return Outcome::HandedOver;
        // It may have been on its way out (saving at quit) and be gone now.
        if (mLock.tryLock(0)) {
            listen(true);
            return Outcome::Primary;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        const QString holder = mLock.getLockInfo(&pid, &host, &application)
                                   ? QStringLiteral(" (process %1 on %2)").arg(pid).arg(host)
                                   : QString();
        mError = QStringLiteral("Charcolino is already running on %1%2 but does not answer: %3")
                     .arg(QDir::toNativeSeparators(mFolder), holder, reason);
        return Outcome::Unreachable;
    }

    // The folder cannot hold a lock (read-only, no permission): a program that runs
    // anyway may be listening already.
    if (handOver(message, 0, &reason))
        return Outcome::HandedOver;
    mError = QStringLiteral("Cannot lock %1: running without the guard against a second program on this folder")
                 .arg(QDir::toNativeSeparators(lockFilePath(mFolder)));
    listen(false);
    return Outcome::Unguarded;
}

void SingleInstance::listen(bool replaceStale)
{
    mServer = new QLocalServer(this);
    mServer->setSocketOptions(QLocalServer::UserAccessOption);
    // With the lock held, a socket left behind belongs to a program that is gone.
    if (replaceStale)
        QLocalServer::removeServer(mServerName);
    if (!mServer->listen(mServerName)) {
        qWarning().noquote() << "Cannot listen for later starts on" << mServerName << ":" << mServer->errorString();
        delete mServer;
        mServer = nullptr;
        return;
    }
    connect(mServer, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

bool SingleInstance::handOver(const QString& message, int connectTimeoutMs, QString* error)
{
    QLocalSocket socket;
    // The running program may hold the lock an instant before it listens.
    const QDeadlineTimer connectDeadline(connectTimeoutMs);
    for (;;) {
        socket.connectToServer(mServerName);
        if (socket.waitForConnected(std::max(int(connectDeadline.remainingTime()), 100)))
            break;
        if (connectDeadline.hasExpired()) {
            *error = socket.errorString();
            return false;
        }
        socket.abort();
        QThread::msleep(50);
    }

    socket.write(message.toUtf8() + '\0');
    const QDeadlineTimer answerDeadline(kAnswerTimeoutMs);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(answerDeadline.remainingTime()))) {
            *error = socket.errorString();
            return false;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(answerDeadline.remainingTime()))) {
            *error = socket.error() == QLocalSocket::SocketTimeoutError
                         ? QStringLiteral("no answer within %1 seconds").arg(kAnswerTimeoutMs / 1000)
                         : socket.errorString();
            return false;
        }
    }
    char answer = 0;
    if (!socket.getChar(&answer) || answer != kTaken) {
        *error = QStringLiteral("an unexpected answer");
        return false;
    }
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = mServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        // A caller that never finishes its message is not kept.
        QTimer::singleShot(kAnswerTimeoutMs, socket, [socket] { socket->abort(); });
        readMessage(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket* socket)
{
    const QByteArray pending = socket->peek(kMaxMessageBytes + 1);
    const qsizetype end = pending.indexOf('\0');
    if (end < 0) {
        if (pending.size() > kMaxMessageBytes)
            socket->abort();
        return;
    }
    const QByteArray message = socket->read(end + 1).left(end);
    socket->putChar(kTaken);
    socket->flush();
    socket->disconnectFromServer();
    emit messageReceived(QString::fromUtf8(message));
}
