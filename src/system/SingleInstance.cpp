#include "system/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "system/LocalSocketChannel.h"

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
    mShownError.clear();
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
        const bool known = mLock.getLockInfo(&pid, &host, &application);
        // In English for the console, and in the user's language for a window.
        static const char* const kHolder = QT_TRANSLATE_NOOP("SingleInstance", " (process %1 on %2)");
        static const char* const kNoAnswer =
            QT_TRANSLATE_NOOP("SingleInstance", "Charcolino is already running on %1%2 but does not answer: %3");
        const QString folder = QDir::toNativeSeparators(mFolder);
        mError = QString::fromLatin1(kNoAnswer).arg(
            folder, known ? QString::fromLatin1(kHolder).arg(pid).arg(host) : QString(), reason);
        mShownError = QCoreApplication::translate("SingleInstance", kNoAnswer)
                          .arg(folder,
                               known ? QCoreApplication::translate("SingleInstance", kHolder).arg(pid).arg(host)
                                     : QString(),
                               reason);
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

void SingleInstance::holdLaterStarts()
{
    if (mServer)
        mServer->stopAccepting();
}

void SingleInstance::listen(bool replaceStale)
{
    mServer = new LocalSocketChannel(kMaxMessageBytes, kTaken, kCallerTimeoutMs, this);
    // With the lock held, a socket left behind belongs to a program that is gone.
    if (replaceStale)
        LocalSocketChannel::removeSocketFile(mServerName);
    if (!mServer->listen(mServerName)) {
        qWarning().noquote() << "Cannot listen for later starts on" << mServerName << ":" << mServer->errorString();
        delete mServer;
        mServer = nullptr;
        return;
    }
    connect(mServer, &LocalSocketChannel::messageReceived, this,
            [this](const QByteArray& message) { emit messageReceived(QString::fromUtf8(message)); });
}

bool SingleInstance::handOver(const QString& message, int connectTimeoutMs, QString* error)
{
    return LocalSocketChannel::send(mServerName, message.toUtf8(), kTaken, connectTimeoutMs, kAnswerTimeoutMs, error);
}
