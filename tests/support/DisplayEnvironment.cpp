#include "support/DisplayEnvironment.h"

#include <QDir>
#include <QFile>

QProcessEnvironment displayEnvironment(const QString& display, const QTemporaryDir& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_PICTURES_DIR", "XDG_DOCUMENTS_DIR", "WAYLAND_DISPLAY", "XAUTHORITY"})
        env.remove(QString::fromLatin1(name));
    env.insert("DISPLAY", display);
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath(".local/share"));
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    env.insert("XDG_CACHE_HOME", home.filePath(".cache"));
    env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
    QDir().mkpath(home.filePath("runtime"));
    QFile::setPermissions(home.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return env;
}
