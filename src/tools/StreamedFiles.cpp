#include "tools/StreamedFiles.h"

#include <QDir>
#include <QFileInfo>

#include "system/PendingFile.h"

StreamedFiles::StreamedFiles(const QString& directory, std::vector<const char*> names)
    : mDirectory(directory), mNames(std::move(names))
{
}

StreamedFiles::~StreamedFiles() = default;

bool StreamedFiles::fail(const QString& subject, const QString& reason)
{
    mSubject = subject;
    mReason = reason.isEmpty() ? QStringLiteral("cannot be written") : reason;
    return false;
}

bool StreamedFiles::start(std::vector<PngStripEncoder::Out>* outs)
{
    mFiles.clear();
    outs->clear();
    if (!QDir().mkpath(mDirectory) || !QFileInfo(mDirectory).isDir())
        return fail(mDirectory, QStringLiteral("cannot create the output directory"));
    const QDir dir(mDirectory);
    for (const char* name : mNames) {
        auto file = std::make_unique<PendingFile>(dir.filePath(QString::fromLatin1(name)));
        QString why;
        if (!file->open(&why))
            return fail(file->path(), why);
        PendingFile* into = file.get();
        outs->push_back([into](const char* bytes, qint64 size) { return into->write(bytes, size); });
        mFiles.push_back(std::move(file));
    }
    return true;
}

bool StreamedFiles::failed()
{
    for (const auto& file : mFiles)
        if (mSubject.isEmpty() && !file->reason().isEmpty())
            fail(file->path(), file->reason());
    return !mSubject.isEmpty();
}

bool StreamedFiles::commit()
{
    if (failed())
        return false;
    for (const auto& file : mFiles) {
        QString why;
        if (!file->commit(&why))
            return fail(file->path(), why);
    }
    return true;
}
