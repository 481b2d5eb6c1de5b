#pragma once

#include <QLoggingCategory>

// The developer messages of the program ("Save finished", "releaseData",
// "Image is Null"): on by default at info level, turned off with
// QT_LOGGING_RULES="charcolino.console=false".
Q_DECLARE_LOGGING_CATEGORY(consoleLog)

// Prints the category's messages as they stand, without the "category: " prefix
// of Qt's default format; every other message goes to the handler installed
// before. For the program's entry point.
void installConsoleLogFormat();
