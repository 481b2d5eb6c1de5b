#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "project/FullResolutionRecord.h"
#include "project/ProjectCodec.h"

struct ProjectIdentity;

// The files kept beside a project file for its full-resolution drawing: the photo
// the project was made from ("projectN.photo", the photo file's bytes as
// imported) and the record of the drawing ("projectN.strokes", see
// FullResolutionRecord). The project file itself knows nothing of them: a project
// without them, or with ones that do not belong to it, is a project at its stored
// size only.
//
// A save writes a changed record and photo under second names first
// ("projectN.next.strokes", "projectN.next.photo") and renames them over the kept
// ones once the project file is in place (see SlotSave), so for a moment either
// name may hold the files that belong to the project file: readers look at both.
namespace ProjectSideFiles {

// The project file's path with its ".dat" (or any other) suffix replaced.
QString photoPath(const QString& projectPath);
QString recordPath(const QString& projectPath);
QString nextPhotoPath(const QString& projectPath);
QString nextRecordPath(const QString& projectPath);

// The largest photo file kept (in memory while the project is open) or read back;
// a project made from a larger file is drawn at its own size only.
inline constexpr qint64 kMaxPhotoBytes = qint64(64) << 20;

// Whether a drawing record lies beside the project file under either name.
bool hasRecord(const QString& projectPath);

// Whether the regular file at `path` holds exactly `bytes` (compared byte for
// byte, a block at a time).
bool holdsBytes(const QString& path, const QByteArray& bytes);

// The record in the file at `path`, when it is a regular file holding a whole,
// well-formed record (`present` tells whether anything is at `path`).
bool readRecord(const QString& path, FullResolutionRecord* record, bool* present);

// The record beside the project file, under either name, that belongs to the
// project of `identity`: its path, or an empty string when there is none.
QString ownedRecord(const QString& projectPath, const ProjectIdentity& identity, FullResolutionRecord* record);

// Whether the regular file at `path` is the photo that `record` names (its length
// and checksum); `bytes`, when given, receives it.
bool holdsPhotoOf(const QString& path, const FullResolutionRecord& record, QByteArray* bytes = nullptr);

// Removes the side files under both names (a project saved without a photo).
void remove(const QString& projectPath);

// The record and photo beside the project file, when both are there, intact, and
// belong to this project: its header and the checksums of its two images as
// stored (`imageBytes` each). Missing files answer NO quietly; damaged or foreign
// ones answer NO with a warning in the log. `photoFile`, when given, receives the
// path the photo was read from.
bool read(const QString& projectPath, const ProjectCodec::Header& header, const std::uint8_t* original,
          const std::uint8_t* working, std::size_t imageBytes, FullResolutionRecord* record, QByteArray* photo,
          QString* photoFile = nullptr);

}  // namespace ProjectSideFiles
