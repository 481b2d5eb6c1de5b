#pragma once

#include <QString>
#include <QStringList>

// The sketches of photos written as PNG files (see PhotoSketches, PngFiles), the
// lines about them printed through ToolConsole.
//
// One photo: into `outputDir` itself, the filter and the three encodes spread over
// the cores. Several: each into its own folder `outputDir`/<name> (see
// batchFolderNames), the photos shared out between the cores, with a progress
// line on a terminal; a photo that fails has its line and the others go on.
// True when every photo was written.
bool sketchPhotos(const QStringList& photos, const QString& outputDir);

// The folder name of each photo of a batch: its file name without the last
// extension ("beach.2024.jpg" gives "beach.2024"; a name that would be empty, "."
// or ".." is used whole). Empty, with the clash in *clash, when two photos would
// share a folder.
QStringList batchFolderNames(const QStringList& photos, QString* clash);
