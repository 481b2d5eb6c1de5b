// Project slots: the current project saved into a slot's file and loaded back,
// and the thumbnail that a save to a user slot leaves beside the file.
//
// Writes go through replaceFile: the new file is written under a temporary name and
// renamed over the old one only after every byte was written, so a failed save
// answers NO and leaves the slot's earlier file as it was. A symbolic link planted
// in a slot's place is replaced, never written through. The project file and the
// files of its full-size drawing are written in the order SlotSave keeps, so that
// a save stopped anywhere leaves the slot as it was or as saved, drawing included.
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QStandardPaths>
#include <algorithm>

#include "canvas/CanvasView.h"
#include "canvas/FullResolutionRecord.h"
#include "canvas/PictureImage.h"
#include "canvas/ProjectCodec.h"
#include "canvas/ProjectIdentity.h"
#include "canvas/ProjectSideFiles.h"
#include "canvas/ProjectSlotFiles.h"
#include "canvas/SketchFilter.h"
#include "canvas/SketchWorker.h"
#include "canvas/SlotSave.h"
#include "canvas/ThumbnailJpeg.h"
#include "platform/DocumentsDirectory.h"
#include "platform/ErrorAlert.h"
#include "platform/RegularFile.h"
#include "platform/ReplaceFile.h"

namespace {

ProjectCodec::SaveTime currentSaveTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return ProjectCodec::formatSaveTime(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                                        time.second());
}

// The reader's bands: 256 KiB of a 1024-pixel-wide image, well inside a core's cache.
constexpr int kUploadBandRows = 64;

bool readAll(QFile& file, void* data, qint64 bytes)
{
    return file.read(static_cast<char*>(data), bytes) == bytes;
}

}  // namespace

bool CanvasView::sLeaveStartSketches = false;

bool CanvasView::SaveProject(int slot, SaveFailure* failure)
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
    // Each buffer in one write, straight from the canvas's own memory.
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
    const QByteArray thumbnail = CreateThumbNail();
    if (thumbnail.isEmpty())
        return sideFilesSaved;  // nothing to show: an older thumbnail of the slot stays
    const QString thumbnailPath = QDir(directory).filePath(ProjectSlotFiles::thumbnailFileName(slot));
    if (!replaceFile(thumbnailPath, [&](QFileDevice& file) { return writeAll(file, thumbnail.constData(), thumbnail.size()); },
                     &reason))
        qWarning().noquote() << "Cannot write the thumbnail" << thumbnailPath << ":" << reason;
    return sideFilesSaved;  // the project is saved; the slot list shows it without a picture
}

FullResolutionRecord CanvasView::fullResolutionRecord(const ProjectImages& project) const
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

bool CanvasView::LoadProject(int slot)
{
    return loadProject(slot, false);
}

bool CanvasView::loadProject(int slot, bool leaveSketches)
{
    finishLoading();  // the worker of an earlier load reads the buffers replaced here
    const QString directory = DocumentsDirectory::path();
    if (directory.isEmpty())
        return false;
    const QString path = QDir(directory).filePath(ProjectSlotFiles::projectFileName(slot));
    QFile file(path);
    // Only a regular file is opened, and without blocking: a FIFO in the slot's
    // place fails at once. Most often the slot was simply never saved.
    if (!openRegularFileForReading(file, nullptr))
        return false;

    // The whole file is checked before anything of the current project is touched
    // or anything is allocated: the header, then the file's size against it. A
    // hostile, damaged or short file fails with the current project left whole.
    std::array<std::uint8_t, ProjectCodec::kHeaderSize> headerBytes;
    ProjectCodec::Header header;
    if (!readAll(file, headerBytes.data(), qint64(headerBytes.size())) ||
        ProjectCodec::decodeHeader(headerBytes.data(), headerBytes.size(), &header) != ProjectCodec::Error::None)
        return false;
    const qint64 n = qint64(ProjectCodec::imageBytes(header));
    if (file.size() < qint64(ProjectCodec::kHeaderSize) + 2 * n)
        return false;

    // Buffers of the same size are taken over as they are: every byte of them that
    // counts is written below. Fresh ones would cost a page fault per 4 KiB. Other
    // sizes get four new buffers, all had before the old ones are let go, so a
    // shortage of memory leaves the current project whole too.
    const bool sameBuffers = header.width == width && header.height == height && originalbuff &&
                             blacksketchbuff && colorsketchbuff && workingbuff;
    PixelBlock fresh[4];
    if (!sameBuffers) {
        for (PixelBlock& block : fresh)
            if (!(block = PixelMemory::allocate(std::size_t(n)))) {
                showErrorAlert(this, QString::fromLatin1(kLowMemoryMessage));
                return false;
            }
    }

    // From here on the file replaces the current project. Only a read error (the
    // file changed or the disk failed since the checks) can still stop it; the
    // buffers then hold part of the file and no project is loaded.
    loaded = false;
    choosing = false;
    replacedProject.reset();
    mPhoto = QByteArray();
    mPendingPhoto = QByteArray();
    mStartSource = FullResolutionRecord::Photo;
    if (!sameBuffers) {
        FreeBuff();
        originalbuff = std::move(fresh[0]);
        blacksketchbuff = std::move(fresh[1]);
        colorsketchbuff = std::move(fresh[2]);
        workingbuff = std::move(fresh[3]);
    }
    height = header.height;
    width = header.width;
    picsize = header.picsize;

    // A reader thread reads the file band by band (this thread reads the next band
    // itself rather than wait for one), and this thread uploads each band while
    // its bytes are still in the cache. The sketches are computed from the first
    // rows of the original on, by the reader once it has read the file and by the
    // cores beyond these two. The filter keeps its grey scratch to itself here, so
    // the threads share nothing they write: the readers write originalbuff and
    // workingbuff, the filter reads originalbuff once its rows are in and writes
    // the two sketch buffers. GL is used on this thread only. Sketch
    // bands the filter has published go up between the working image's bands;
    // finishLoading() uploads the rest, lending this thread to the filter while it
    // waits, and joins the worker: before this returns, or, when asked to leave
    // them, before anything uses them. Then the original's texture is left to
    // finishLoading() too, and the filter runs on the reader's core only, so the
    // rest of the start keeps the other one.
    const ProjectBandReader::Source source{file.handle(), std::int64_t(ProjectCodec::kHeaderSize), originalbuff.get(),
                                           workingbuff.get(), width, height};
    mSketchWorker = std::make_unique<SketchWorker>(sketchBuffers(false), leaveSketches, source);
    const bool uploadAll = !leaveSketches;
    if (uploadAll) {
        for (std::unique_ptr<Texture2D>* texture : {&originalpic, &blacksketchpic, &colorsketchpic})
            makeFittingTexture(*texture);
        mSketchWorker->setOriginalUploaded();
    }
    makeFittingTexture(pic);
    for (int row = 0; row < height; row += kUploadBandRows) {
        const int rows = std::min(kUploadBandRows, height - row);
        if (!mSketchWorker->awaitRowsRead(row + rows)) {
            mSketchWorker.reset();  // stopped before the buffers are let go
            return false;
        }
        if (uploadAll)
            originalpic->replaceRows(originalbuff.get(), std::uint32_t(row), std::uint32_t(rows));
    }
    for (int row = 0; row < height; row += kUploadBandRows) {
        const int rows = std::min(kUploadBandRows, height - row);
        if (!mSketchWorker->awaitRowsRead(height + row + rows)) {
            finishLoading();  // the textures of the new original, as a load failing here always left them
            return false;
        }
        pic->replaceRows(workingbuff.get(), std::uint32_t(row), std::uint32_t(rows));
        if (uploadAll)
            mSketchWorker->uploadFinished(*blacksketchpic, *colorsketchpic, blacksketchbuff.get(),
                                          colorsketchbuff.get(), height);
    }
    file.close();

    const FloatPoint c = center();
    centerx = std::int32_t(c.x);
    centery = std::int32_t(c.y - 70.0f);
    zoomlevel = ZoomToFit();
    loaded = true;
    UpdateScreen();  // the picture is shown before the textures it does not need
    if (!leaveSketches)
        finishLoading();
    resetHistory();

    // The full-resolution drawing's files, when they belong to this save: the
    // photo, and the record that continues with the strokes painted from now on.
    // A save of this slot stopped part way is settled first, as the files now
    // belong to the project file just read.
    if (SlotSave::unsettled(path))
        SlotSave::settle(path, ProjectIdentity::of(header, originalbuff.get(), workingbuff.get(), std::size_t(n)));
    FullResolutionRecord record;
    QByteArray photo;
    if (ProjectSideFiles::read(path, header, originalbuff.get(), workingbuff.get(), std::size_t(n),
                               &record, &photo)) {
        mHistory.restoreRecord(historyPixels(), std::move(record.dabs));
        mPhoto = std::move(photo);
        mStartSource = record.startSource;
    }

    if (mToolbar)
        mToolbar->setSelectedSegmentIndex(3);
    return true;
}

void CanvasView::finishLoading()
{
    if (!mSketchWorker)
        return;
    const std::unique_ptr<SketchWorker> worker = std::move(mSketchWorker);
    if (context() && !isCurrentContext())
        setCurrentContext();
    if (!worker->originalUploaded())
        refillBufferTexture(originalpic, originalbuff.get());
    makeFittingTexture(blacksketchpic);
    makeFittingTexture(colorsketchpic);
    worker->uploadAsFinished(*blacksketchpic, *colorsketchpic, blacksketchbuff.get(), colorsketchbuff.get(), height);
}

QByteArray CanvasView::CreateThumbNail() const
{
    const ProjectImages project = projectToSave();
    if (!project.working)
        return QByteArray();
    // The picture image and whatever shares its packed copy are gone before the
    // JPEG is handed back, so releaseData frees the copy here.
    return thumbnailJpeg(makePictureImage(project.working, project.width, project.picsize), project.picsize);
}
