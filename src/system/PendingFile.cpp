#include "system/PendingFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "system/ReplaceFile.h"

namespace {

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The mode a newly created file gets under the process's umask. The umask is read
// from the kernel's status of this process: setting it to read it back would, for
// an instant, give files that other threads create (album pictures) the wrong mode.
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (!line.startsWith("Umask:"))
                continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok)
                return mode_t(0666) & ~mode_t(mask);
        }
    }
    return mode_t(0644);  // the usual umask 022, for a kernel that does not tell
}

}  // namespace

PendingFile::PendingFile(const QString& path) : mPath(path) {}

PendingFile::~PendingFile() = default;  // QSaveFile and QTemporaryFile remove theirs

bool PendingFile::open(QString* reason)
{
    const QFileInfo info(mPath);
    mLink = info.isSymLink();
    if (mLink) {
        // A temporary file, created exclusively (so it never writes through a link
        // itself), then renamed over the link, which rename() replaces as it is.
        auto file = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                                     QStringLiteral(".XXXXXX"));
        if (!file->open()) {
            *reason = file->errorString();
            return false;
        }
        mFile = std::move(file);
        return true;
    }
    auto file = std::make_unique<QSaveFile>(mPath);
    if (!file->open(QIODevice::WriteOnly)) {
        // Qt refuses a file it may not write in its own words ("Existing file ...
        // is not writable"); the system's reason (a read-only file system, no
        // permission) is the one to give.
        const QByteArray encoded = QFile::encodeName(mPath);
        if (info.isDir())
            *reason = systemReason(EISDIR);
        else if (::access(encoded.constData(), F_OK) == 0 && ::access(encoded.constData(), W_OK) != 0)
            *reason = systemReason(errno);
        else
            *reason = file->errorString();
        return false;
    }
    mFile = std::move(file);
    return true;
}

QFileDevice& PendingFile::device() { return *mFile; }

bool PendingFile::write(const char* data, qint64 bytes)
{
    if (mFailed || !mFile)
        return false;
    if (!writeAll(*mFile, data, bytes)) {
        mFailed = true;
        mReason = mFile->errorString();
    }
    return !mFailed;
}

QString PendingFile::reason() const { return mReason; }

bool PendingFile::commit(QString* reason)
{
    const auto fail = [&](const QString& why) {
        *reason = why;
        return false;
    };
    if (!mFile)
        return fail(QStringLiteral("not open"));
    if (mFailed)
        return fail(mReason);
    if (!mLink) {
        // An uncommitted QSaveFile removes its temporary file when it goes.
        auto* file = static_cast<QSaveFile*>(mFile.get());
        return file->commit() || fail(file->errorString());
    }
    auto* file = static_cast<QTemporaryFile*>(mFile.get());
    if (!file->flush())
        return fail(file->errorString());
    if (::fchmod(file->handle(), newFileMode()) != 0 || ::fsync(file->handle()) != 0)
        return fail(systemReason(errno));
    if (std::rename(QFile::encodeName(file->fileName()).constData(), QFile::encodeName(mPath).constData()) != 0)
        return fail(systemReason(errno));
    file->setAutoRemove(false);  // it is the file at the name now
    return true;
}
