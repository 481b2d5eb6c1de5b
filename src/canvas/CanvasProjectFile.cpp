// Project slots: the current project saved into a slot's file and loaded back,
// and the thumbnail that a save to a user slot leaves beside the file.
//
// Writes go through QSaveFile: the new file is written under a temporary name and
// renamed over the old one only after every byte was written, so a failed save
// answers NO and leaves the slot's earlier file as it was.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "canvas/CanvasView.h"
#include "canvas/PictureImage.h"
#include "canvas/ProjectCodec.h"
#include "canvas/ProjectSlotFiles.h"
#include "canvas/SketchFilter.h"
#include "canvas/ThumbnailJpeg.h"
#include "platform/DocumentsDirectory.h"

namespace {

ProjectCodec::SaveTime currentSaveTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return ProjectCodec::formatSaveTime(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                                        time.second());
}

bool writeAll(QSaveFile& file, const void* data, qint64 bytes)
{
    return file.write(static_cast<const char*>(data), bytes) == bytes;
}

bool readAll(QFile& file, void* data, qint64 bytes)
{
    return file.read(static_cast<char*>(data), bytes) == bytes;
}

// The sketch filter on a thread of its own. When no thread can be had it runs
// here, before this returns, and the thread handed back is empty.
std::jthread startSketchFilter(const SketchBuffers& buffers, std::atomic<int>& rowsFinal)
{
    try {
        return std::jthread([buffers, &rowsFinal] { buildSketchWithProgress(buffers, rowsFinal); });
    } catch (const std::system_error&) {
        buildSketchWithProgress(buffers, rowsFinal);
        return std::jthread();
    }
}

// Uploads rows of the two sketch buffers into their textures as the filter
// publishes them as final, until all `height` rows are in.
void uploadRowsAsFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                          const std::uint8_t* colorRows, int height, const std::atomic<int>& rowsFinal)
{
    int uploaded = 0;
    while (uploaded < height) {
        const int finished = rowsFinal.load(std::memory_order_acquire);
        if (finished > uploaded) {
            const auto first = std::uint32_t(uploaded);
            const auto count = std::uint32_t(std::min(finished, height) - uploaded);
            black.replaceRows(blackRows, first, count);
            color.replaceRows(colorRows, first, count);
            uploaded += int(count);
        } else {
            rowsFinal.wait(finished, std::memory_order_acquire);
        }
    }
}

bool writeFileAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && writeAll(file, data.constData(), data.size()) && file.commit();
}

}  // namespace

bool CanvasView::SaveProject(int slot)
{
    if (!loaded || !originalbuff || !workingbuff)
        return false;
    const QString directory = DocumentsDirectory::path();
    if (directory.isEmpty())
        return false;

    QSaveFile file(QDir(directory).filePath(ProjectSlotFiles::projectFileName(slot)));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    ProjectCodec::Header header;
    header.saveTime = currentSaveTime();
    header.height = height;
    header.width = width;
    header.picsize = picsize;
    const auto headerBytes = ProjectCodec::encodeHeader(header);
    const qint64 n = qint64(width) * qint64(height) * 4;
    // Each buffer in one write, straight from the canvas's own memory.
    if (!writeAll(file, headerBytes.data(), qint64(headerBytes.size())) || !writeAll(file, originalbuff.get(), n) ||
        !writeAll(file, workingbuff.get(), n) || !file.commit())
        return false;  // an uncommitted QSaveFile removes its temporary file

    if (slot <= 0)
        return true;  // the working project has no thumbnail
    const QByteArray thumbnail = CreateThumbNail();
    if (thumbnail.isEmpty())
        return true;  // nothing to show: an older thumbnail of the slot stays
    return writeFileAtomically(QDir(directory).filePath(ProjectSlotFiles::thumbnailFileName(slot)), thumbnail);
}

bool CanvasView::LoadProject(int slot)
{
    const QString directory = DocumentsDirectory::path();
    if (directory.isEmpty())
        return false;
    QFile file(QDir(directory).filePath(ProjectSlotFiles::projectFileName(slot)));
    if (!file.open(QIODevice::ReadOnly))
        return false;  // most often a slot never saved: the current project stays

    // From here on the current project is given up, whatever the file holds.
    loaded = false;

    // The header is checked before anything is allocated: a hostile one fails like
    // a short file, with no buffer held.
    std::array<std::uint8_t, ProjectCodec::kHeaderSize> headerBytes;
    ProjectCodec::Header header;
    if (!readAll(file, headerBytes.data(), qint64(headerBytes.size())) ||
        ProjectCodec::decodeHeader(headerBytes.data(), headerBytes.size(), &header) != ProjectCodec::Error::None) {
        FreeBuff();
        return false;
    }
    // Buffers of the same size are taken over as they are: every byte of them that
    // counts is written below. Fresh ones would cost a page fault per 4 KiB.
    const bool sameBuffers = header.width == width && header.height == height && originalbuff &&
                             blacksketchbuff && colorsketchbuff && workingbuff;
    height = header.height;
    width = header.width;
    picsize = header.picsize;
    if (!sameBuffers) {
        FreeBuff();
        if (!PrepareBuff(true))
            return false;
    }
    const qint64 n = qint64(ProjectCodec::imageBytes(header));
    if (!readAll(file, originalbuff.get(), n))
        return false;

    // The sketches are computed on a worker while this thread reads the working
    // image and shows it. The filter keeps its grey scratch to itself here, so the
    // two threads share nothing they write: the worker reads originalbuff and
    // writes the two sketch buffers, this thread reads originalbuff and writes
    // workingbuff. GL is used on this thread only. Every way out joins the worker
    // (std::jthread, destroyed before the count it publishes to), so the load
    // stays synchronous for its caller.
    std::atomic<int> sketchRowsFinal{0};
    std::jthread sketches = startSketchFilter(sketchBuffers(false), sketchRowsFinal);
    const auto finishSketches = [&sketches] {
        if (sketches.joinable())
            sketches.join();
    };
    if (!readAll(file, workingbuff.get(), n)) {
        finishSketches();
        ReloadFixTexture();  // the textures of the new original, as a load failing here always left them
        return false;
    }
    file.close();

    const FloatPoint c = center();
    centerx = std::int32_t(c.x);
    centery = std::int32_t(c.y - 70.0f);
    zoomlevel = ZoomToFit();
    loaded = true;
    ReloadCanvas();
    refillBufferTexture(originalpic, originalbuff.get());
    UpdateScreen();

    // The sketch textures get their pixels band by band as the filter finishes
    // rows, so little is left to upload when it ends.
    for (std::unique_ptr<Texture2D>* texture : {&blacksketchpic, &colorsketchpic})
        if (!bufferTextureFits(texture->get())) {
            texture->reset();
            *texture = makeBufferTexture(nullptr);
        }
    uploadRowsAsFinished(*blacksketchpic, *colorsketchpic, blacksketchbuff.get(), colorsketchbuff.get(), height,
                         sketchRowsFinal);
    finishSketches();
    resetHistory();

    if (mToolbar)
        mToolbar->setSelectedSegmentIndex(3);
    return true;
}

QByteArray CanvasView::CreateThumbNail() const
{
    if (!loaded)
        return QByteArray();
    // The picture image and whatever shares its packed copy are gone before the
    // JPEG is handed back, so releaseData frees the copy here.
    return thumbnailJpeg(makePictureImage(workingbuff.get(), width, picsize), picsize);
}
