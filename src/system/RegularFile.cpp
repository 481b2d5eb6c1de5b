#include "system/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

QString errnoReason(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return QStringLiteral("file not found");
    case EACCES:
    case EPERM:   return QStringLiteral("permission denied");
    case ENXIO:   return QStringLiteral("not a regular file");
    default:      return QString::fromLocal8Bit(std::strerror(error)).toLower();
    }
}

}  // namespace

bool openRegularFileForReading(QFile& file, QString* reason)
{
    if (file.isOpen())
        file.close();
    const QString path = file.fileName();
    if (path.isEmpty())
        return fail(reason, QStringLiteral("file not found"));

    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        // Non-blocking, so that opening a FIFO without a writer returns at once.
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(reason, errnoReason(errno));

    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(reason, errnoReason(error));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(reason, S_ISDIR(status.st_mode) ? QStringLiteral("is a directory") : QStringLiteral("not a regular file"));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(reason, errnoReason(error));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(reason, file.errorString().toLower());
    }
    return true;
}
