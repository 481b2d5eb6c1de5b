#include "project/ProjectSideFiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <cstring>

#include "project/ProjectIdentity.h"
#include "system/RegularFile.h"

namespace ProjectSideFiles {

namespace {

QString withSuffix(const QString& projectPath, const char* suffix)
{
    const QFileInfo info(projectPath);
    const QString base = info.completeBaseName().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(base + QLatin1String(suffix));
}

bool present(const QString& path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// The whole regular file at `path` when it is at most `limit` bytes; a null array
// when it is missing, larger or unreadable (`present` tells whether it exists).
QByteArray readSmallFile(const QString& path, qint64 limit, bool* isPresent)
{
    QFile file(path);
    *isPresent = present(path);
    if (!*isPresent || !openRegularFileForReading(file, nullptr) || file.size() > limit)
        return QByteArray();
    // As many bytes as the file holds now; one that grew meanwhile is refused.
    QByteArray bytes = file.read(file.size());
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size() || !file.atEnd())
        return QByteArray();
    if (bytes.isNull())
        bytes = QByteArray("");  // empty, but read
    return bytes;
}

}  // namespace

QString photoPath(const QString& projectPath) { return withSuffix(projectPath, ".photo"); }

QString recordPath(const QString& projectPath) { return withSuffix(projectPath, ".strokes"); }

QString nextPhotoPath(const QString& projectPath) { return withSuffix(projectPath, ".next.photo"); }

QString nextRecordPath(const QString& projectPath) { return withSuffix(projectPath, ".next.strokes"); }

bool hasRecord(const QString& projectPath)
{
    return present(recordPath(projectPath)) || present(nextRecordPath(projectPath));
}

bool holdsBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!openRegularFileForReading(file, nullptr) || file.size() != bytes.size())
        return false;
    constexpr qint64 kBlock = qint64(1) << 20;
    QByteArray block(qsizetype(std::min<qint64>(kBlock, bytes.size())), Qt::Uninitialized);
    for (qint64 at = 0; at < bytes.size();) {
        const qint64 n = std::min<qint64>(kBlock, bytes.size() - at);
        if (file.read(block.data(), n) != n || std::memcmp(block.constData(), bytes.constData() + at, std::size_t(n)) != 0)
            return false;
        at += n;
    }
    char more;
    return file.read(&more, 1) == 0;  // nothing beyond: the file did not grow meanwhile
}

bool readRecord(const QString& path, FullResolutionRecord* record, bool* isPresent)
{
    // Checked as it is read, in one pass over the file: no copy of it is held.
    QFile file(path);
    *isPresent = present(path);
    return *isPresent && openRegularFileForReading(file, nullptr) && FullResolutionRecord::read(file, record);
}

QString ownedRecord(const QString& projectPath, const ProjectIdentity& identity, FullResolutionRecord* record)
{
    for (const QString& path : {recordPath(projectPath), nextRecordPath(projectPath)}) {
        bool isPresent = false;
        FullResolutionRecord candidate;
        if (readRecord(path, &candidate, &isPresent) && identity.owns(candidate)) {
            *record = std::move(candidate);
            return path;
        }
    }
    return QString();
}

bool holdsPhotoOf(const QString& path, const FullResolutionRecord& record, QByteArray* bytes)
{
    bool isPresent = false;
    QByteArray photo = readSmallFile(path, kMaxPhotoBytes, &isPresent);
    if (photo.isNull() || std::uint64_t(photo.size()) != record.photoBytes ||
        contentChecksum(photo.constData(), std::size_t(photo.size())) != record.photoChecksum)
        return false;
    if (bytes)
        *bytes = std::move(photo);
    return true;
}

void remove(const QString& projectPath)
{
    for (const QString& path : {nextRecordPath(projectPath), recordPath(projectPath), nextPhotoPath(projectPath),
                                photoPath(projectPath)})
        QFile::remove(path);
}

bool read(const QString& projectPath, const ProjectCodec::Header& header, const std::uint8_t* original,
          const std::uint8_t* working, std::size_t imageBytes, FullResolutionRecord* record, QByteArray* photo,
          QString* photoFile)
{
    if (!hasRecord(projectPath))
        return false;  // a project saved without a photo, or by an older build
    const ProjectIdentity identity = ProjectIdentity::of(header, original, working, imageBytes);
    // The kept name first; the second one holds the record of a save stopped
    // after its project file was written, until the next load or save settles it.
    FullResolutionRecord r;
    QString recordFile;
    QString refused;  // the first file present that was not taken, and why
    bool refusedDamaged = false;
    for (const QString& path : {recordPath(projectPath), nextRecordPath(projectPath)}) {
        bool isPresent = false;
        FullResolutionRecord candidate;
        const bool wellFormed = readRecord(path, &candidate, &isPresent);
        if (wellFormed && identity.owns(candidate)) {
            r = std::move(candidate);
            recordFile = path;
            break;
        }
        if (isPresent && refused.isEmpty()) {
            refused = path;
            refusedDamaged = !wellFormed;
        }
    }
    if (recordFile.isEmpty()) {
        if (refusedDamaged)
            qWarning().noquote() << "Ignoring the damaged drawing record" << refused;
        else
            qWarning().noquote() << "Ignoring the drawing record" << refused << "of another save of the project";
        return false;
    }

    for (const QString& path : {photoPath(projectPath), nextPhotoPath(projectPath)}) {
        if (holdsPhotoOf(path, r, photo)) {
            if (photoFile)
                *photoFile = path;
            *record = std::move(r);
            return true;
        }
    }
    qWarning().noquote() << "Ignoring the drawing record" << recordFile << ": its photo" << photoPath(projectPath)
                         << "is missing or damaged";
    return false;
}

}  // namespace ProjectSideFiles
