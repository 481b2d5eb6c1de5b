#pragma once

#include <QFile>
#include <QString>

// Opens the path already set on `file` for reading, but only when it names a
// regular file: a FIFO, device, socket or directory is refused without ever
// blocking (the descriptor is opened non-blocking and checked with fstat before
// anything is read). On failure `file` stays closed and `reason`, when given,
// receives a short lower-case text ("file not found", "permission denied",
// "not a regular file").
bool openRegularFileForReading(QFile& file, QString* reason);
