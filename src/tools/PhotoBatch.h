#pragma once

#include <QString>
#include <QStringList>

// Which sketches of a photo are made: of the imported photo, at most 1024 pixels
// a side, with the photo itself (original.png, black.png, color.png; see
// PhotoSketches), or at the photo's own size (black.png, color.png; see
// FullSizeSketches).
enum class PhotoSize { Imported, Full };

// The sketches of photos written as PNG files (see PngFiles), the lines about
// them printed through ToolConsole.
//
// One photo: into `outputDir` itself, the filter and the encodes spread over the
// cores. Several: each into its own folder `outputDir`/<name> (see
// batchFolderNames), with a progress line on a terminal; imported photos are
// shared out between the cores, full-size ones made one after the other, each on
// every core. A photo that fails has its line and the others go on. True when
// every photo was written.
bool sketchPhotos(const QStringList& photos, const QString& outputDir, PhotoSize size = PhotoSize::Imported);

// The folder name of each photo of a batch: its file name without the last
// extension ("beach.2024.jpg" gives "beach.2024"; a name that would be empty, "."
// or ".." is used whole). Empty, with the clash in *clash, when two photos would
// share a folder.
QStringList batchFolderNames(const QStringList& photos, QString* clash);
