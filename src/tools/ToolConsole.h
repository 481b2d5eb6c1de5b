#pragma once

#include <QString>
#include <mutex>

// The tool's own lines on standard error, from any thread, each written whole.
// On a terminal a progress line may stand below them: it is rewritten in place,
// cleared before a line is printed and printed again after it.
class ToolConsole {
public:
    // Lines go to descriptor `fd` (standard error, or a copy of it kept while
    // standard error itself is silenced).
    static void setDescriptor(int fd);

    // "charcolino-sketch: <text>" and a line end.
    static void line(const QString& text);

    // Shows "charcolino-sketch: <text>" as the progress line; nothing when the
    // descriptor is not a terminal.
    static void progress(const QString& text);

    // Ends the progress line with a line end, leaving it shown.
    static void endProgress();

private:
    static void writeBytes(const QByteArray& bytes);

    static std::mutex sMutex;
    static int sFd;
    static bool sTerminal;
    static QString sProgress;
};
