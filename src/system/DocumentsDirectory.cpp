#include "system/DocumentsDirectory.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace DocumentsDirectory {

QString path()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!location.isEmpty() && QDir().mkpath(location) && QFileInfo(location).isDir())
        return QDir(location).absolutePath();
    qInfo().noquote() << "Documents directory not found!";
    return QString();
}

QString filePath(const QString& fileName)
{
    const QString directory = path();
    return directory.isEmpty() ? QString() : QDir(directory).filePath(fileName);
}

namespace {

// Whether `text` starts at `at` with `prefix` followed by one or more digits;
// `at` then points past them.
bool skipNumbered(QStringView text, qsizetype& at, QLatin1StringView prefix)
{
    if (!text.sliced(at).startsWith(prefix))
        return false;
    qsizetype end = at + prefix.size();
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    if (end == at + prefix.size())
        return false;
    at = end;
    return true;
}

}  // namespace

// Plain parsing rather than a regular expression: this runs at every start, where
// compiling one cost more than the rest of the check.
bool isLeftoverTemporary(const QString& fileName)
{
    // [.]projectN.{dat,photo,strokes,next.photo,next.strokes}.XXXXXX or
    // [.]thumbnailN.jpg.XXXXXX, X a letter or digit.
    constexpr qsizetype kSuffix = 7;  // ".XXXXXX"
    const QStringView name(fileName);
    if (name.size() <= kSuffix || name[name.size() - kSuffix] != u'.')
        return false;
    for (const QChar c : name.last(kSuffix - 1))
        if (!(c.isDigit() || (c.unicode() < 128 && c.isLetter())))
            return false;
    const QStringView stem = name.first(name.size() - kSuffix);
    qsizetype at = stem.startsWith(u'.') ? 1 : 0;
    if (skipNumbered(stem, at, QLatin1StringView("thumbnail")))
        return stem.sliced(at) == QLatin1StringView(".jpg");
    if (!skipNumbered(stem, at, QLatin1StringView("project")))
        return false;
    const QStringView kind = stem.sliced(at);
    for (const char* k : {".dat", ".photo", ".strokes", ".next.photo", ".next.strokes"})
        if (kind == QLatin1StringView(k))
            return true;
    return false;
}

QStringList removeLeftoverTemporaries(const QString& directory)
{
    QStringList removed;
    if (directory.isEmpty())
        return removed;
    const QDir folder(directory);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (isLeftoverTemporary(name) && QFile::remove(folder.filePath(name)))
            removed << name;
    }
    return removed;
}

}  // namespace DocumentsDirectory
