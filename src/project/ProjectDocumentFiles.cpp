// Project slots: the project saved into a slot's file and loaded back, and the
// thumbnail that a save to a user slot leaves beside the file.
//
// Writes go through replaceFile: the new file is written under a temporary name and
// renamed over the old one only after every byte was written, so a failed save
// answers NO and leaves the slot's earlier file as it was. A symbolic link planted
// in a slot's place is replaced, never written through. The project file and the
// files of its full-size drawing are written in the order SlotSave keeps, so that
// a save stopped anywhere leaves the slot as it was or as saved, drawing included.
#include "project/ProjectDocument.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDevice>
#include <QStandardPaths>
#include <array>

#include "project/FullResolutionRecord.h"
#include "project/PictureImage.h"
#include "project/ProjectIdentity.h"
#include "project/ProjectSideFiles.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "project/SlotSave.h"
#include "project/ThumbnailJpeg.h"
#include "system/DocumentsDirectory.h"
#include "system/RegularFile.h"
#include "system/ReplaceFile.h"

namespace {

ProjectCodec::SaveTime currentSaveTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return ProjectCodec::formatSaveTime(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                                        time.second());
}

bool readAll(QFile& file, void* data, qint64 bytes)
{
    return file.read(static_cast<char*>(data), bytes) == bytes;
}

void setReason(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
}

// Why a read of the file came short: the system's reason, or the codec's phrase.
QString shortReadReason(const QFile& file, ProjectCodec::Error error)
{
    return file.error() != QFileDevice::NoError ? file.errorString()
                                                : QString::fromLatin1(ProjectCodec::errorText(error));
}

}  // namespace

bool ProjectDocument::saveSlot(int slot, SaveFailure* failure) const
{
    const ProjectImages project = projectToSave();
    if (!project.original || !project.working)
        return false;  // no complete project: nothing is written
    const QString directory = DocumentsDirectory::path();
    if (directory.isEmpty()) {
        if (failure)
            *failure = {QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                            .filePath(ProjectSlotFiles::projectFileName(slot)),
                        QStringLiteral("the data folder cannot be created")};
        return false;
    }

    const QString path = QDir(directory).filePath(ProjectSlotFiles::projectFileName(slot));
    ProjectCodec::Header header;
    header.saveTime = currentSaveTime();
    header.height = project.height;
    header.width = project.width;
    header.picsize = project.picsize;
    const auto headerBytes = ProjectCodec::encodeHeader(header);
    const qint64 n = qint64(project.width) * qint64(project.height) * 4;
    SlotSave::Contents contents;
    // Each buffer in one write, straight from the document's own memory.
    contents.writeProject = [&](QFileDevice& file) {
        return writeAll(file, headerBytes.data(), qint64(headerBytes.size())) &&
               writeAll(file, project.original, n) && writeAll(file, project.working, n);
    };
    // A record given up while painting (past its bounds) no longer gives the
    // picture: the project is saved without its full-size drawing.
    if (!mPhoto.isEmpty() && mHistory.recordKept()) {
        contents.photo = mPhoto;
        contents.record = fullResolutionRecord(project).encode();
    }
    // A save that fails before the project file is in place leaves the slot's
    // earlier save whole, side files included. One whose side files fail after it
    // leaves a project that opens at its own size; that is still told, as a failed
    // save naming the side file, so the user can save again.
    QString failedFile;
    QString reason;
    const SlotSave::Outcome outcome = SlotSave::write(path, contents, &failedFile, &reason);
    if (outcome != SlotSave::Outcome::Saved && failure)
        *failure = {failedFile, reason.isEmpty() ? QStringLiteral("unknown error") : reason};
    if (outcome == SlotSave::Outcome::Failed)
        return false;
    const bool sideFilesSaved = outcome == SlotSave::Outcome::Saved;

    if (slot <= 0)
        return sideFilesSaved;  // the working project has no thumbnail
    const QByteArray jpeg = thumbnail();
    if (jpeg.isEmpty())
        return sideFilesSaved;  // nothing to show: an older thumbnail of the slot stays
    const QString thumbnailPath = QDir(directory).filePath(ProjectSlotFiles::thumbnailFileName(slot));
    if (!replaceFile(thumbnailPath, [&](QFileDevice& file) { return writeAll(file, jpeg.constData(), jpeg.size()); },
                     &reason))
        qWarning().noquote() << "Cannot write the thumbnail" << thumbnailPath << ":" << reason;
    return sideFilesSaved;  // the project is saved; the slot list shows it without a picture
}

QByteArray ProjectDocument::thumbnail() const
{
    const ProjectImages project = projectToSave();
    if (!project.working)
        return QByteArray();
    // The picture image and whatever shares its packed copy are gone before the
    // JPEG is handed back, so releaseData frees the copy here.
    return thumbnailJpeg(makePictureImage(project.working, project.width, project.picsize), project.picsize);
}

FullResolutionRecord ProjectDocument::fullResolutionRecord(const ProjectImages& project) const
{
    const std::size_t n = std::size_t(project.width) * std::size_t(project.height) * 4;
    FullResolutionRecord record;
    record.width = project.width;
    record.height = project.height;
    record.picsize = project.picsize;
    record.startSource = mStartSource;
    record.originalChecksum = contentChecksum(project.original, n);
    record.workingChecksum = contentChecksum(project.working, n);
    record.photoBytes = std::uint64_t(mPhoto.size());
    record.photoChecksum = contentChecksum(mPhoto.constData(), std::size_t(mPhoto.size()));
    record.dabs = mHistory.recordedDabs();
    return record;
}

QString ProjectDocument::slotPath(int slot)
{
    const QString directory = DocumentsDirectory::path();
    if (directory.isEmpty())
        return QString();
    return QDir(directory).filePath(ProjectSlotFiles::projectFileName(slot));
}

ProjectDocument::LoadCheck ProjectDocument::checkLoad(const QString& path, PendingLoad& load, QString* reason) const
{
    load.path = path;
    load.file.setFileName(path);
    // Only a regular file is opened, and without blocking: a FIFO in the slot's
    // place fails at once. Most often the slot was simply never saved.
    if (!openRegularFileForReading(load.file, reason))
        return LoadCheck::Refused;

    // The whole file is checked before anything of the current project is touched
    // or anything is allocated: the header, then the file's size against it. A
    // hostile, damaged or short file fails with the current project left whole.
    std::array<std::uint8_t, ProjectCodec::kHeaderSize> headerBytes;
    if (!readAll(load.file, headerBytes.data(), qint64(headerBytes.size()))) {
        setReason(reason, shortReadReason(load.file, ProjectCodec::Error::ShortHeader));
        return LoadCheck::Refused;
    }
    const ProjectCodec::Error error = ProjectCodec::decodeHeader(headerBytes.data(), headerBytes.size(), &load.header);
    if (error != ProjectCodec::Error::None) {
        setReason(reason, QString::fromLatin1(ProjectCodec::errorText(error)));
        return LoadCheck::Refused;
    }
    load.imageBytes = ProjectCodec::imageBytes(load.header);
    if (load.file.size() < qint64(ProjectCodec::kHeaderSize) + 2 * qint64(load.imageBytes)) {
        setReason(reason, QString::fromLatin1(ProjectCodec::errorText(ProjectCodec::Error::ShortPixelData)));
        return LoadCheck::Refused;
    }

    // Buffers of the same size are taken over as they are: every byte of them that
    // counts is written by the load. Fresh ones would cost a page fault per 4 KiB.
    // Other sizes get four new buffers, all had before the old ones are let go, so
    // a shortage of memory leaves the current project whole too.
    load.sameBuffers = load.header.width == width && load.header.height == height && originalbuff &&
                       blacksketchbuff && colorsketchbuff && workingbuff;
    if (!load.sameBuffers) {
        for (PixelBlock& block : load.fresh)
            if (!(block = PixelMemory::allocate(load.imageBytes))) {
                setReason(reason, QStringLiteral("not enough memory"));
                return LoadCheck::LowMemory;
            }
    }
    return LoadCheck::Ready;
}

void ProjectDocument::adoptLoad(PendingLoad& load)
{
    // From here on the file replaces the current project. Only a read error (the
    // file changed or the disk failed since the checks) can still stop it; the
    // buffers then hold part of the file and no project is loaded.
    loaded = false;
    mChoosing = false;
    mReplacedProject.reset();
    mPhoto = QByteArray();
    mPendingPhoto = QByteArray();
    mStartSource = FullResolutionRecord::Photo;
    if (!load.sameBuffers) {
        freeBuffers();
        originalbuff = std::move(load.fresh[0]);
        blacksketchbuff = std::move(load.fresh[1]);
        colorsketchbuff = std::move(load.fresh[2]);
        workingbuff = std::move(load.fresh[3]);
    }
    setGeometry(load.header.width, load.header.height, load.header.picsize);
}

void ProjectDocument::readSideFiles(PendingLoad& load)
{
    // The full-resolution drawing's files, when they belong to this save: the
    // photo, and the record that continues with the strokes painted from now on.
    // A save of this slot stopped part way is settled first, as the files now
    // belong to the project file just read.
    if (SlotSave::unsettled(load.path))
        SlotSave::settle(load.path, ProjectIdentity::of(load.header, originalbuff.get(), workingbuff.get(),
                                                        load.imageBytes));
    FullResolutionRecord record;
    QByteArray photo;
    if (ProjectSideFiles::read(load.path, load.header, originalbuff.get(), workingbuff.get(), load.imageBytes,
                               &record, &photo, &load.photoFile)) {
        mHistory.restoreRecord(historyPixels(), std::move(record.dabs));
        mPhoto = std::move(photo);
        mStartSource = record.startSource;
    } else {
        load.photoFile.clear();
    }
}

bool ProjectDocument::loadFile(const QString& path, QString* reason, QString* photoFile)
{
    PendingLoad load;
    if (checkLoad(path, load, reason) != LoadCheck::Ready)
        return false;
    adoptLoad(load);
    const qint64 n = qint64(load.imageBytes);
    if (!readAll(load.file, originalbuff.get(), n) || !readAll(load.file, workingbuff.get(), n)) {
        setReason(reason, shortReadReason(load.file, ProjectCodec::Error::ShortPixelData));
        return false;
    }
    load.file.close();
    buildSketch(sketchBuffers(false));
    loaded = true;
    mHistory.reset();
    readSideFiles(load);
    if (photoFile)
        *photoFile = load.photoFile;
    return true;
}
