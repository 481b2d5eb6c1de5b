#include "canvas/ProjectSideFiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>

#include "platform/RegularFile.h"
#include "platform/ReplaceFile.h"

namespace ProjectSideFiles {

namespace {

QString withSuffix(const QString& projectPath, const char* suffix)
{
    const QFileInfo info(projectPath);
    const QString base = info.completeBaseName().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(base + QLatin1String(suffix));
}

// The whole regular file at `path` when it is at most `limit` bytes; a null array
// when it is missing, larger or unreadable (`present` tells whether it exists).
QByteArray readSmallFile(const QString& path, qint64 limit, bool* present)
{
    QFile file(path);
    *present = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    if (!*present || !openRegularFileForReading(file, nullptr) || file.size() > limit)
        return QByteArray();
    // As many bytes as the file holds now; one that grew meanwhile is refused.
    QByteArray bytes = file.read(file.size());
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size() || !file.atEnd())
        return QByteArray();
    if (bytes.isNull())
        bytes = QByteArray("");  // empty, but read
    return bytes;
}

bool holdsBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!openRegularFileForReading(file, nullptr) || file.size() != bytes.size())
        return false;
    return file.read(bytes.size() + 1) == bytes;
}

}  // namespace

QString photoPath(const QString& projectPath) { return withSuffix(projectPath, ".photo"); }

QString recordPath(const QString& projectPath) { return withSuffix(projectPath, ".strokes"); }

bool write(const QString& projectPath, const QByteArray& photo, const FullResolutionRecord& record,
           QString* file, QString* reason)
{
    const QString photoFile = photoPath(projectPath);
    // The same photo saved again (every save of a project) costs a read, not a write.
    if (!holdsBytes(photoFile, photo) &&
        !replaceFile(photoFile,
                     [&](QFileDevice& out) { return writeAll(out, photo.constData(), photo.size()); }, reason)) {
        *file = photoFile;
        return false;
    }
    const QByteArray bytes = record.encode();
    const QString recordFile = recordPath(projectPath);
    if (!replaceFile(recordFile, [&](QFileDevice& out) { return writeAll(out, bytes.constData(), bytes.size()); },
                     reason)) {
        *file = recordFile;
        return false;
    }
    return true;
}

void remove(const QString& projectPath)
{
    QFile::remove(recordPath(projectPath));
    QFile::remove(photoPath(projectPath));
}

bool read(const QString& projectPath, const ProjectCodec::Header& header, const std::uint8_t* original,
          const std::uint8_t* working, std::size_t imageBytes, FullResolutionRecord* record, QByteArray* photo)
{
    bool present = false;
    const QString recordFile = recordPath(projectPath);
    const QByteArray recordBytes = readSmallFile(
        recordFile, qint64(FullResolutionRecord::kHeaderSize + FullResolutionRecord::kDabSize * (1u << 24)), &present);
    if (!present)
        return false;  // a project saved without a photo, or by an older build
    FullResolutionRecord r;
    if (!FullResolutionRecord::decode(recordBytes, &r)) {
        qWarning().noquote() << "Ignoring the damaged drawing record" << recordFile;
        return false;
    }
    if (r.width != header.width || r.height != header.height || !(r.picsize == header.picsize) ||
        r.originalChecksum != contentChecksum(original, imageBytes) ||
        r.workingChecksum != contentChecksum(working, imageBytes)) {
        qWarning().noquote() << "Ignoring the drawing record" << recordFile << "of another save of the project";
        return false;
    }
    const QString photoFile = photoPath(projectPath);
    QByteArray photoBytes = readSmallFile(photoFile, kMaxPhotoBytes, &present);
    if (photoBytes.isNull() || std::uint64_t(photoBytes.size()) != r.photoBytes ||
        contentChecksum(photoBytes.constData(), std::size_t(photoBytes.size())) != r.photoChecksum) {
        qWarning().noquote() << "Ignoring the drawing record" << recordFile << ": its photo" << photoFile
                             << "is missing or damaged";
        return false;
    }
    *record = std::move(r);
    *photo = std::move(photoBytes);
    return true;
}

}  // namespace ProjectSideFiles
