#include "system/ReplaceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

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

// The link case: a temporary file, created exclusively (so it never writes through
// a link itself), then renamed over the link, which rename() replaces as it is.
bool replaceLink(const QString& path, const std::function<bool(QFileDevice&)>& write, QString* reason)
{
    const QFileInfo info(path);
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return fail(reason, file.errorString());
    if (!write(file) || !file.flush())
        return fail(reason, file.errorString());
    if (::fchmod(file.handle(), newFileMode()) != 0 || ::fsync(file.handle()) != 0)
        return fail(reason, systemReason(errno));
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(reason, systemReason(errno));
    file.setAutoRemove(false);  // it is the file at `path` now
    return true;
}

}  // namespace

bool replaceFile(const QString& path, const std::function<bool(QFileDevice&)>& write, QString* reason)
{
    if (QFileInfo(path).isSymLink())
        return replaceLink(path, write, reason);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // Qt refuses a file it may not write in its own words ("Existing file ...
        // is not writable"); the system's reason (a read-only file system, no
        // permission) is the one to give.
        const QByteArray encoded = QFile::encodeName(path);
        if (QFileInfo(path).isDir())
            return fail(reason, systemReason(EISDIR));
        if (::access(encoded.constData(), F_OK) == 0 && ::access(encoded.constData(), W_OK) != 0)
            return fail(reason, systemReason(errno));
        return fail(reason, file.errorString());
    }
    // An uncommitted QSaveFile removes its temporary file when it goes.
    if (!write(file) || !file.commit())
        return fail(reason, file.errorString());
    return true;
}

bool writeAll(QFileDevice& file, const void* data, qint64 bytes)
{
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const qint64 written = file.write(next, bytes);
        if (written <= 0)
            return false;
        next += written;
        bytes -= written;
    }
    return true;
}
