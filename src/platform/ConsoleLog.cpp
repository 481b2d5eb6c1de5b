#include "platform/ConsoleLog.h"

Q_LOGGING_CATEGORY(consoleLog, "charcolino.console", QtInfoMsg)
