#include "imageio/PhotoAlbum.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThreadPool>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imageio/FastPng.h"

namespace {

QMutex folderMutex;
QString folderOverride;

// Enough for a burst of exports within one second; past it something is wrong
// with the folder and the save fails instead of looping on.
constexpr int kMaxNameAttempts = 1000;
// Temporary names are random: a clash is already unlikely, a hundred in a row
// mean the folder cannot take new files.
constexpr int kMaxPartAttempts = 100;

QString failure(const QString& folder, const QString& reason)
{
    return QStringLiteral("The picture could not be saved in the folder \"%1\": %2.")
        .arg(QDir::toNativeSeparators(folder), reason);
}

// The system's text for an errno value ("No space left on device").
QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Gives the file `from` the name `to` unless something already has that name (a
// file, a directory, a link, even one pointing nowhere): nothing is replaced and
// nothing is written through a link. Answers 0, or the errno value (EEXIST when
// the name is taken).
int renameWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the exclusive rename: a hard link is made only under
    // a free name; without hard links either, the name is checked just before.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat existing {};
    if (::lstat(to.constData(), &existing) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

QString candidateName(const QString& stem, int attempt)
{
    return attempt == 1 ? stem + QStringLiteral(".png") : QStringLiteral("%1 %2.png").arg(stem).arg(attempt);
}

}  // namespace

QString PhotoAlbum::folder()
{
    {
        QMutexLocker lock(&folderMutex);
        if (!folderOverride.isEmpty())
            return folderOverride;
    }
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

void PhotoAlbum::setFolderForTesting(const QString& folder)
{
    QMutexLocker lock(&folderMutex);
    folderOverride = folder;
}

QString PhotoAlbum::writePng(const QImage& image, const QString& folder, QString* savedPath)
{
    return writePng(image, folder, QDateTime::currentDateTime(), savedPath);
}

namespace {

// Makes `folder` if it is missing; the failure's message, else empty.
QString prepareFolder(const QString& folder)
{
    if (folder.isEmpty())
        return QStringLiteral("The picture could not be saved: there is no Pictures folder.");
    const QFileInfo where(folder);
    if (where.exists() && !where.isDir())
        return failure(folder, QStringLiteral("a file of that name is in the way"));
    if (!QDir().mkpath(folder))
        return failure(folder, QStringLiteral("the folder cannot be created"));
    return QString();
}

// The file is written under a hidden temporary name by `fill` (the empty text, or
// the reason it failed), so no other program ever sees a half-written file; it
// then takes the name that carries the moment of the save, with a counter when
// that is taken. A rename that would replace an existing file fails, so nothing
// is ever overwritten. The temporary file is made as any new file is (read and
// write for all, less the user's umask); the rename keeps that mode.
QString writeNew(const QString& folder, const QDateTime& when, QString* savedPath,
                 const std::function<QString(int fd)>& fill)
{
    QString part;
    int fd = -1;
    for (int attempt = 1; fd < 0; ++attempt) {
        part = QDir(folder).filePath(QStringLiteral(".Charcolino-%1.png.part")
                                         .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        fd = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= kMaxPartAttempts))
            return failure(folder, systemReason(errno));
    }
    QString why = fill(fd);
    if (::close(fd) != 0 && why.isEmpty())
        why = systemReason(errno);
    if (!why.isEmpty()) {
        QFile::remove(part);
        return failure(folder, why);
    }

    const QString stem = QDir(folder).filePath(
        QStringLiteral("Charcolino ") +
        QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd HH-mm-ss")));
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const QString name = candidateName(stem, attempt);
        const int error = renameWithoutReplacing(QFile::encodeName(part), QFile::encodeName(name));
        if (error == 0) {
            if (savedPath)
                *savedPath = name;
            return QString();
        }
        if (error != EEXIST) {
            QFile::remove(part);
            return failure(folder, systemReason(error));
        }
    }
    QFile::remove(part);
    return failure(folder, QStringLiteral("no free file name"));
}

}  // namespace

QString PhotoAlbum::writePng(const QImage& image, const QString& folder, const QDateTime& when, QString* savedPath)
{
    if (folder.isEmpty())
        return prepareFolder(folder);
    if (image.isNull())
        return failure(folder, QStringLiteral("there is no picture"));
    if (const QString why = prepareFolder(folder); !why.isEmpty())
        return why;
    // The picture is encoded before any file is made.
    const QByteArray png = fastPngBytes(image);
    if (png.isEmpty())
        return failure(folder, QStringLiteral("the picture cannot be encoded as PNG"));
    return writeNew(folder, when, savedPath, [&png](int fd) { return writeWhole(fd, png); });
}

QString PhotoAlbum::writeStreamedPng(const PngWrite& write, const QString& folder, const QDateTime& when,
                                     QString* savedPath)
{
    if (const QString why = prepareFolder(folder); !why.isEmpty())
        return why;
    return writeNew(folder, when, savedPath, [&write](int fd) {
        QString why;  // of the last write that failed
        const PngFileStart start = [fd, &why]() -> PngStripEncoder::Out {
            why.clear();
            if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
                why = systemReason(errno);
                return {};
            }
            return [fd, &why](const char* bytes, qint64 size) {
                why = writeWhole(fd, QByteArray::fromRawData(bytes, qsizetype(size)), false);
                return why.isEmpty();
            };
        };
        if (!write(start))
            return why.isEmpty() ? QStringLiteral("the picture could not be made") : why;
        return writeWhole(fd, QByteArray());  // on the disk
    });
}

QString PhotoAlbum::writeWhole(int fd, const QByteArray& bytes, bool sync)
{
    // Written in a loop: a write may take part of the bytes, and only the one
    // after it says why it took no more.
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, std::size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return systemReason(errno);
        }
        if (written == 0)
            return QStringLiteral("the file takes no more bytes");
        at += written;
        left -= written;
    }
    // On the disk before the file takes its name, so a name never stands for a
    // picture that a crash could still empty. EINVAL: a file that cannot be
    // synchronised (not a plain file) is as far as it goes.
    if (sync && ::fsync(fd) != 0 && errno != EINVAL)
        return systemReason(errno);
    return QString();
}

void PhotoAlbum::save(QImage image, QObject* target, Completion completion)
{
    save([image = std::move(image)]() mutable { return std::move(image); }, target, std::move(completion));
}

void PhotoAlbum::saveStreamed(PngWrite write, QObject* target, Completion completion)
{
    const QString into = folder();
    QPointer<QObject> guard(target);
    QPointer<QCoreApplication> app(QCoreApplication::instance());
    QThreadPool::globalInstance()->start(
        [write = std::move(write), into, guard, app, completion = std::move(completion)]() mutable {
            QString path;
            const QString error = writeStreamedPng(write, into, QDateTime::currentDateTime(), &path);
            write = nullptr;  // whatever it held goes now, on this thread
            if (!app)
                return;
            QMetaObject::invokeMethod(
                app.data(),
                [error, path, guard, completion = std::move(completion)]() mutable {
                    if (guard && completion)
                        completion(QImage(), error, path);
                },
                Qt::QueuedConnection);
        });
}

void PhotoAlbum::save(std::function<QImage()> make, QObject* target, Completion completion)
{
    const QString into = folder();
    QPointer<QObject> guard(target);
    QPointer<QCoreApplication> app(QCoreApplication::instance());
    // The completion is posted to the application object rather than to the target:
    // the target may be destroyed while the worker runs, and only the GUI thread can
    // tell that safely. QCoreApplication waits for the global pool when it goes, so
    // the application object outlives every worker.
    QThreadPool::globalInstance()->start(
        [make = std::move(make), into, guard, app, completion = std::move(completion)]() mutable {
            QImage image = make();
            make = nullptr;  // whatever it held goes now, on this thread
            QString path;
            const QString error = writePng(image, into, &path);
            if (!app)
                return;
            QMetaObject::invokeMethod(
                app.data(),
                [image = std::move(image), error, path, guard, completion = std::move(completion)]() mutable {
                    if (guard && completion)
                        completion(std::move(image), error, path);
                },
                Qt::QueuedConnection);
        });
}
