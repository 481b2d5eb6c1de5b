#include "platform/PhotoAlbum.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QLocale>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThreadPool>

namespace {

QMutex folderMutex;
QString folderOverride;

// Enough for a burst of exports within one second; past it something is wrong
// with the folder and the save fails instead of looping on.
constexpr int kMaxNameAttempts = 1000;

QString failure(const QString& folder, const QString& reason)
{
    return QStringLiteral("The picture could not be saved in the folder \"%1\": %2.")
        .arg(QDir::toNativeSeparators(folder), reason);
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

QString PhotoAlbum::writePng(const QImage& image, const QString& folder, const QDateTime& when, QString* savedPath)
{
    if (folder.isEmpty())
        return QStringLiteral("The picture could not be saved: there is no Pictures folder.");
    if (image.isNull())
        return failure(folder, QStringLiteral("there is no picture"));

    const QFileInfo where(folder);
    if (where.exists() && !where.isDir())
        return failure(folder, QStringLiteral("a file of that name is in the way"));
    if (!QDir().mkpath(folder))
        return failure(folder, QStringLiteral("the folder cannot be created"));

    // The picture is written under a hidden temporary name first, so no other
    // program ever sees a half-written file; it then takes the name that carries
    // the moment of the save, with a counter when that is taken. A rename that
    // would replace an existing file fails, so nothing is ever overwritten.
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".Charcolino-XXXXXX.png.part")));
    if (!file.open())
        return failure(folder, file.errorString());
    QImageWriter writer(&file, "png");
    QString why;
    if (!writer.write(image))
        why = writer.errorString();
    else if (!file.flush())
        why = file.errorString();
    file.close();
    if (why.isEmpty() && file.error() != QFileDevice::NoError)
        why = file.errorString();
    if (!why.isEmpty())
        return failure(folder, why);  // the temporary file goes with `file`

    const QString stem = QDir(folder).filePath(
        QStringLiteral("Charcolino ") +
        QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd HH-mm-ss")));
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const QString name = candidateName(stem, attempt);
        if (QFile::rename(file.fileName(), name)) {
            file.setAutoRemove(false);
            if (savedPath)
                *savedPath = name;
            return QString();
        }
        const QFileInfo taken(name);
        if (!taken.exists() && !taken.isSymLink())
            return failure(folder, QStringLiteral("the picture cannot be given its name"));
    }
    return failure(folder, QStringLiteral("no free file name"));
}

void PhotoAlbum::save(QImage image, QObject* target, Completion completion)
{
    const QString into = folder();
    QPointer<QObject> guard(target);
    QPointer<QCoreApplication> app(QCoreApplication::instance());
    // The completion is posted to the application object rather than to the target:
    // the target may be destroyed while the worker runs, and only the GUI thread can
    // tell that safely. QCoreApplication waits for the global pool when it goes, so
    // the application object outlives every worker.
    QThreadPool::globalInstance()->start(
        [image = std::move(image), into, guard, app, completion = std::move(completion)]() mutable {
            const QString error = writePng(image, into);
            if (!app)
                return;
            QMetaObject::invokeMethod(
                app.data(),
                [image = std::move(image), error, guard, completion = std::move(completion)]() mutable {
                    if (guard && completion)
                        completion(std::move(image), error);
                },
                Qt::QueuedConnection);
        });
}
