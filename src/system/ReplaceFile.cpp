#include "system/ReplaceFile.h"

#include <QFileDevice>

#include "system/PendingFile.h"

bool replaceFile(const QString& path, const std::function<bool(QFileDevice&)>& write, QString* reason)
{
    PendingFile file(path);
    QString why;
    if (file.open(&why)) {
        if (!write(file.device()))
            why = file.device().errorString();
        else if (file.commit(&why))
            return true;
    }
    if (reason)
        *reason = why;
    return false;
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
