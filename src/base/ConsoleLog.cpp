#include "base/ConsoleLog.h"

#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(consoleLog, "charcolino.console", QtInfoMsg)

namespace {

QtMessageHandler previousHandler = nullptr;

void consoleLogHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && std::strcmp(context.category, consoleLog().categoryName()) == 0) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(message));
        std::fflush(stderr);
        return;
    }
    if (previousHandler) {
        previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
    std::fflush(stderr);
}

}  // namespace

void installConsoleLogFormat()
{
    previousHandler = qInstallMessageHandler(consoleLogHandler);
}
