#include "tools/ToolConsole.h"

#include <cerrno>
#include <unistd.h>

std::mutex ToolConsole::sMutex;
int ToolConsole::sFd = STDERR_FILENO;
bool ToolConsole::sTerminal = ::isatty(STDERR_FILENO) == 1;
QString ToolConsole::sProgress;

namespace {
const QString kPrefix = QStringLiteral("charcolino-sketch: ");
const QByteArray kClearLine = QByteArrayLiteral("\r\033[K");
}  // namespace

void ToolConsole::setDescriptor(int fd)
{
    const std::lock_guard lock(sMutex);
    sFd = fd;
    sTerminal = ::isatty(fd) == 1;
}

void ToolConsole::line(const QString& text)
{
    const std::lock_guard lock(sMutex);
    QByteArray bytes;
    if (!sProgress.isEmpty())
        bytes += kClearLine;
    bytes += (kPrefix + text + QLatin1Char('\n')).toLocal8Bit();
    if (!sProgress.isEmpty())
        bytes += (kPrefix + sProgress).toLocal8Bit();
    writeBytes(bytes);
}

void ToolConsole::progress(const QString& text)
{
    const std::lock_guard lock(sMutex);
    if (!sTerminal)
        return;
    sProgress = text;
    writeBytes(kClearLine + (kPrefix + text).toLocal8Bit());
}

void ToolConsole::endProgress()
{
    const std::lock_guard lock(sMutex);
    if (sProgress.isEmpty())
        return;
    sProgress.clear();
    writeBytes(QByteArrayLiteral("\n"));
}

void ToolConsole::writeBytes(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(sFd, data, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;  // nowhere left to tell it
        data += written;
        left -= written;
    }
}
