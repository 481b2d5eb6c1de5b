#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "canvas/FullResolutionRecord.h"
#include "canvas/ProjectCodec.h"

// The files kept beside a project file for its full-resolution drawing: the photo
// the project was made from ("projectN.photo", the photo file's bytes as
// imported) and the record of the drawing ("projectN.strokes", see
// FullResolutionRecord). The project file itself knows nothing of them: a project
// without them, or with ones that do not belong to it, is a project at its stored
// size only.
namespace ProjectSideFiles {

// The project file's path with its ".dat" (or any other) suffix replaced.
QString photoPath(const QString& projectPath);
QString recordPath(const QString& projectPath);

// The largest photo file kept (in memory while the project is open) or read back;
// a project made from a larger file is drawn at its own size only.
inline constexpr qint64 kMaxPhotoBytes = qint64(64) << 20;

// Writes the photo (left as it is when the file there already holds exactly these
// bytes) and then the record, each atomically. NO with the file and the system's
// reason when one could not be written.
bool write(const QString& projectPath, const QByteArray& photo, const FullResolutionRecord& record,
           QString* file, QString* reason);

// Removes both files (a project saved without a photo).
void remove(const QString& projectPath);

// The record and photo beside the project file, when both are there, intact, and
// belong to this project: its header and the checksums of its two images as
// stored (`imageBytes` each). Missing files answer NO quietly; damaged or foreign
// ones answer NO with a warning in the log.
bool read(const QString& projectPath, const ProjectCodec::Header& header, const std::uint8_t* original,
          const std::uint8_t* working, std::size_t imageBytes, FullResolutionRecord* record, QByteArray* photo);

}  // namespace ProjectSideFiles
