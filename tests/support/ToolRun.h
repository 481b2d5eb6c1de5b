#pragma once

#include <QString>
#include <QStringList>

// One run of the command-line tool as a separate process: its exit status (-1
// when it did not end by itself within a minute) and what it wrote.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& arguments);
