#include "system/DocumentsDirectory.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

bool isLeftoverTemporary(const QString& fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\.?(project[0-9]+\.(dat|photo|strokes|next\.photo|next\.strokes)|thumbnail[0-9]+\.jpg)\.[A-Za-z0-9]{6}$)"));
    return pattern.match(fileName).hasMatch();
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
