#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class QFileDevice;

// Writes the file at `path` anew and atomically: `write` fills a new file under a
// temporary name in the same folder, which is renamed over `path` only when every
// byte was written and synced. A failed write answers NO, sets `reason` to the
// system's reason ("No space left on device") and leaves whatever was at `path`.
//
// A symbolic link at `path` is replaced by the new regular file: the link is not
// followed, so the file it points to stays as it was.
bool replaceFile(const QString& path, const std::function<bool(QFileDevice&)>& write, QString* reason);

// Writes all `bytes` of `data`, going on after a short write so that a failing
// device reports its reason (a short write alone leaves errorString unset).
bool writeAll(QFileDevice& file, const void* data, qint64 bytes);
