#include "support/ProcessLine.h"

#include <QElapsedTimer>

#include <algorithm>

bool waitForLine(QProcess& process, int ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!process.canReadLine() && process.state() == QProcess::Running && waited.elapsed() < ms)
        process.waitForReadyRead(int(std::max<qint64>(1, std::min<qint64>(1000, ms - waited.elapsed()))));
    return process.canReadLine();
}
