#include "imageio/HeifModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace {

QString notInstalled(const QString& why)
{
    return QStringLiteral("HEIF support is not installed: %1").arg(why.simplified());
}

}  // namespace

QString HeifModule::path()
{
    const QByteArray named = qgetenv("CHARCOLINO_HEIF_MODULE");
    if (!named.isEmpty())
        return QFile::decodeName(named);
    // The program's own folder (no QCoreApplication needed).
    const QDir programs = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absoluteDir();
    const QString beside = programs.filePath(QLatin1String(kHeifModuleFile));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programs.filePath(QStringLiteral(CHARCOLINO_HEIF_MODULE_DIR "/") +
                                             QLatin1String(kHeifModuleFile)));
}

bool HeifModule::installed() { return QFileInfo(path()).isFile(); }

const HeifModuleInterface* HeifModule::load(const QString& path, QString* error)
{
    if (!QFileInfo(path).isFile()) {
        *error = notInstalled(QStringLiteral("%1 not found").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    // Left loaded when the QLibrary goes: decoded pictures may hold the module's memory.
    QLibrary library(path);
    const auto entry = reinterpret_cast<const HeifModuleInterface* (*)()>(library.resolve(kHeifModuleEntry));
    if (!entry) {
        *error = notInstalled(library.errorString());
        return nullptr;
    }
    const HeifModuleInterface* functions = entry();
    if (!functions || functions->version != kHeifModuleVersion) {
        *error = notInstalled(QStringLiteral("%1 is of another version").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    return functions;
}

const HeifModuleInterface* HeifModule::interface(QString* error)
{
    struct Loaded {
        const HeifModuleInterface* functions = nullptr;
        QString error;
    };
    static const Loaded loaded = [] {
        Loaded l;
        l.functions = load(path(), &l.error);
        return l;
    }();
    if (!loaded.functions)
        *error = loaded.error;
    return loaded.functions;
}
