#pragma once

#include <QString>

// The application's Documents directory, where the project slots and their
// thumbnails live: the writable application data location, created on first use.
namespace DocumentsDirectory {

// The directory's absolute path, created when missing. An empty string, after
// "Documents directory not found!" in the log, when there is none and none can
// be made.
QString path();

// The path of `fileName` inside the Documents directory; empty as above.
QString filePath(const QString& fileName);

}  // namespace DocumentsDirectory
