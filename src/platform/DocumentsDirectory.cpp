#include "platform/DocumentsDirectory.h"

#include <QDebug>
#include <QDir>
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

}  // namespace DocumentsDirectory
