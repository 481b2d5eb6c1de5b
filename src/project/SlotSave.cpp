#include "project/SlotSave.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "project/FullResolutionRecord.h"
#include "project/ProjectCodec.h"
#include "project/ProjectIdentity.h"
#include "project/ProjectSideFiles.h"
#include "system/RegularFile.h"
#include "system/ReplaceFile.h"

namespace SlotSave {

namespace {

int gStopAfter = 0;
int gSteps = 0;

// One step done; NO when a test stops the save right after it.
bool stepDone()
{
    ++gSteps;
    return gStopAfter == 0 || gSteps < gStopAfter;
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// rename(2): `to`, whatever it is (a symbolic link included), is replaced at once.
bool renameOver(const QString& from, const QString& to, QString* reason)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (reason)
        *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool writeBytes(const QString& path, const QByteArray& bytes, QString* reason)
{
    return replaceFile(path, [&](QFileDevice& out) { return writeAll(out, bytes.constData(), bytes.size()); },
                       reason);
}

// The identity of the project file at `projectPath`; NO when it cannot be read whole.
bool identityOnDisk(const QString& projectPath, ProjectIdentity* identity)
{
    QFile file(projectPath);
    if (!openRegularFileForReading(file, nullptr))
        return false;
    std::array<std::uint8_t, ProjectCodec::kHeaderSize> headerBytes;
    ProjectCodec::Header header;
    if (file.read(reinterpret_cast<char*>(headerBytes.data()), qint64(headerBytes.size())) !=
            qint64(headerBytes.size()) ||
        ProjectCodec::decodeHeader(headerBytes.data(), headerBytes.size(), &header) != ProjectCodec::Error::None)
        return false;
    const qint64 n = qint64(ProjectCodec::imageBytes(header));
    const QByteArray images = file.read(2 * n);
    if (images.size() != 2 * n)
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(images.constData());
    *identity = ProjectIdentity::of(header, bytes, bytes + n, std::size_t(n));
    return true;
}

}  // namespace

bool unsettled(const QString& projectPath)
{
    return exists(ProjectSideFiles::nextRecordPath(projectPath)) ||
           exists(ProjectSideFiles::nextPhotoPath(projectPath));
}

bool settle(const QString& projectPath, const ProjectIdentity& identity)
{
    const QString nextRecord = ProjectSideFiles::nextRecordPath(projectPath);
    if (exists(nextRecord)) {
        bool present = false;
        FullResolutionRecord record;
        if (ProjectSideFiles::readRecord(nextRecord, &record, &present) && identity.owns(record))
            renameOver(nextRecord, ProjectSideFiles::recordPath(projectPath), nullptr);
        else
            QFile::remove(nextRecord);
        if (!stepDone())
            return false;
    }
    const QString nextPhoto = ProjectSideFiles::nextPhotoPath(projectPath);
    if (exists(nextPhoto)) {
        const QString photo = ProjectSideFiles::photoPath(projectPath);
        FullResolutionRecord record;
        if (!ProjectSideFiles::ownedRecord(projectPath, identity, &record).isEmpty() &&
            !ProjectSideFiles::holdsPhotoOf(photo, record) && ProjectSideFiles::holdsPhotoOf(nextPhoto, record))
            renameOver(nextPhoto, photo, nullptr);
        else
            QFile::remove(nextPhoto);
        if (!stepDone())
            return false;
    }
    return true;
}

Outcome write(const QString& projectPath, const Contents& contents, QString* file, QString* reason)
{
    gSteps = 0;
    const QString record = ProjectSideFiles::recordPath(projectPath);
    const QString photo = ProjectSideFiles::photoPath(projectPath);
    const QString nextRecord = ProjectSideFiles::nextRecordPath(projectPath);
    const QString nextPhoto = ProjectSideFiles::nextPhotoPath(projectPath);

    if (contents.photo.isEmpty()) {
        // No full-size drawing: the side files of the earlier save go once the
        // project file that replaces it is in place.
        if (!replaceFile(projectPath, contents.writeProject, reason)) {
            *file = projectPath;
            return Outcome::Failed;
        }
        if (!stepDone())
            return Outcome::Failed;
        for (const QString& path : {nextRecord, record, nextPhoto, photo}) {
            if (!exists(path))
                continue;
            QFile::remove(path);
            if (!stepDone())
                return Outcome::Failed;
        }
        return Outcome::Saved;
    }

    // A save stopped earlier is settled first, so that the files written under the
    // second names below replace nothing the project file still needs.
    if (unsettled(projectPath)) {
        ProjectIdentity identity;
        if (identityOnDisk(projectPath, &identity) && !settle(projectPath, identity))
            return Outcome::Failed;
    }

    QString sideFile;
    QString sideReason;
    bool photoWritten = false;
    bool recordWritten = false;
    if (!ProjectSideFiles::holdsBytes(photo, contents.photo)) {
        if (!writeBytes(nextPhoto, contents.photo, &sideReason)) {
            sideFile = nextPhoto;
        } else {
            photoWritten = true;
            if (!stepDone())
                return Outcome::Failed;
        }
    }
    if (sideFile.isEmpty() && !ProjectSideFiles::holdsBytes(record, contents.record)) {
        if (!writeBytes(nextRecord, contents.record, &sideReason)) {
            sideFile = nextRecord;
        } else {
            recordWritten = true;
            if (!stepDone())
                return Outcome::Failed;
        }
    }
    if (!sideFile.isEmpty()) {
        // The project file is saved all the same, without its full-size drawing.
        QFile::remove(nextPhoto);
        QFile::remove(nextRecord);
        photoWritten = recordWritten = false;
    }

    if (!replaceFile(projectPath, contents.writeProject, reason)) {
        *file = projectPath;
        QFile::remove(nextPhoto);  // of no project file
        QFile::remove(nextRecord);
        return Outcome::Failed;
    }
    if (!stepDone())
        return Outcome::Failed;

    // The new record belongs to the project file now; it takes the kept name, and
    // so does the photo it names. Should a rename fail, the loads find the files
    // under the second names.
    if (recordWritten) {
        if (!renameOver(nextRecord, record, &sideReason))
            sideFile = record;
        else if (!stepDone())
            return Outcome::Failed;
    }
    if (photoWritten) {
        if (!renameOver(nextPhoto, photo, sideFile.isEmpty() ? &sideReason : nullptr)) {
            if (sideFile.isEmpty())
                sideFile = photo;
        } else if (!stepDone()) {
            return Outcome::Failed;
        }
    }
    if (sideFile.isEmpty())
        return Outcome::Saved;
    *file = sideFile;
    *reason = sideReason;
    return Outcome::SideFileFailed;
}

void stopAfterStep(int step)
{
    gStopAfter = step;
}

int stepsTaken()
{
    return gSteps;
}

}  // namespace SlotSave
