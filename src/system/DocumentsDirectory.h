#pragma once

#include <QString>
#include <QStringList>

// The application's Documents directory, where the project slots and their
// thumbnails live: the writable application data location, created on first use.
namespace DocumentsDirectory {

// The directory's absolute path, created when missing. An empty string, after
// "Documents directory not found!" in the log, when there is none and none can
// be made.
QString path();

// The path of `fileName` inside the Documents directory; empty as above.
QString filePath(const QString& fileName);

// Whether a file name is a save's temporary file: a slot's file (projectN.dat,
// .photo, .strokes, .next.photo, .next.strokes, thumbnailN.jpg) with a dot and
// six letters or digits after it, hidden (a leading dot) or not. A save writes
// one and renames it over the slot's file; one that is left was cut off.
bool isLeftoverTemporary(const QString& fileName);

// Deletes the save temporaries in `directory` and answers their names. Only for
// the program that holds the directory's lock: another program's save under way
// would lose its file.
QStringList removeLeftoverTemporaries(const QString& directory);

}  // namespace DocumentsDirectory
