#pragma once

#include <QProcess>

// Waits until a line of `process`'s output can be read, the process has ended or
// `ms` milliseconds have passed; answers whether a line can be read.
bool waitForLine(QProcess& process, int ms);
