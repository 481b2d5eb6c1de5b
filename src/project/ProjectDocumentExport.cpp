#include "project/ProjectDocument.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryFile>
#include <atomic>
#include <memory>
#include <new>
#include <vector>

#include "base/ProgressSteps.h"
#include "project/FullResolutionPicture.h"
#include "project/FullResolutionRecord.h"
#include "project/FullResolutionRender.h"
#include "project/PictureImage.h"
#include "imageio/FastPng.h"

bool ProjectDocument::fullResolutionExportParts(const std::shared_ptr<QString>& fallback,
                                                std::shared_ptr<FullResolutionRecord>* recordOut,
                                                std::shared_ptr<std::vector<std::uint8_t>>* workingOut) const
{
    if (!loaded || mChoosing || !originalbuff || !workingbuff)
        return false;
    if (mPhoto.isEmpty()) {
        *fallback = mHistory.recordKept() ? QStringLiteral("the project has no full-size drawing")
                                          : QStringLiteral("the drawing record passed its bounds");
        return false;
    }
    auto record = std::make_shared<FullResolutionRecord>();
    record->picsize = picsize;
    record->startSource = mStartSource;
    record->dabs = mHistory.recordedDabs();
    if (!replayGivesWorking(originalbuff.get(), workingbuff.get(), width, height, picsize, record->startSource,
                            record->dabs)) {
        qWarning().noquote() << "The drawing record does not give the working picture: exporting it at its own size";
        *fallback = QStringLiteral("the drawing record does not give the picture");
        return false;
    }
    // The working picture as it is now, for when the drawing cannot be made: kept
    // plain, and packed (the album's picture) only then.
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    auto working = std::make_shared<std::vector<std::uint8_t>>();
    try {
        working->assign(workingbuff.get(), workingbuff.get() + bytes);
    } catch (const std::bad_alloc&) {
        *fallback = QStringLiteral("not enough memory");
        return false;
    }
    *recordOut = std::move(record);
    *workingOut = std::move(working);
    return true;
}

namespace {

// Percents of the drawing told as it goes, rising by steps.
RowsDone percentsOf(ProgressSteps& steps, const std::function<void(int)>& percentDone)
{
    if (!percentDone)
        return {};
    return [&steps, &percentDone](int rows, int height) {
        if (const auto percent = steps.next(rows, height))
            percentDone(*percent);
    };
}

}  // namespace

std::function<bool(const PngFileStart& start)> ProjectDocument::fullResolutionPngExport(
    const std::shared_ptr<QString>& fallback, std::function<void(int percent)> percentDone) const
{
    std::shared_ptr<FullResolutionRecord> record;
    std::shared_ptr<std::vector<std::uint8_t>> working;
    if (!fullResolutionExportParts(fallback, &record, &working))
        return nullptr;
    return [photo = mPhoto, record, working, w = width, size = picsize, fallback,
            percentDone = std::move(percentDone)](const PngFileStart& start) {
        // Whether a file started took every byte given to it: a file that cannot
        // be written is not tried again with the working picture.
        auto written = std::make_shared<std::atomic<bool>>(true);
        const PngFileStart watched = [&start, written]() -> PngStripEncoder::Out {
            PngStripEncoder::Out out = start();
            *written = bool(out);
            if (!out)
                return {};
            return [out, written](const char* bytes, qint64 size) {
                if (!out(bytes, size))
                    *written = false;
                return bool(*written);
            };
        };
        // The photo is decoded from a file, as every photo is.
        QTemporaryFile photoFile(QDir(QDir::tempPath()).filePath(QStringLiteral("charcolino-photo-XXXXXX")));
        if (!photoFile.open() || photoFile.write(photo) != photo.size() || !photoFile.flush()) {
            qWarning().noquote() << "Cannot keep the photo for the full-size export:" << photoFile.errorString();
            *fallback = QStringLiteral("the photo could not be kept: %1").arg(photoFile.errorString());
        } else {
            QString error = QStringLiteral("not enough memory");
            bool drawn = false;
            try {
                ProgressSteps steps;
                drawn = fullResolutionPng(photoFile.fileName(), *record, watched, &error,
                                          percentsOf(steps, percentDone));
            } catch (const std::bad_alloc&) {
                drawn = false;
            }
            if (drawn)
                return true;
            if (!*written)
                return false;
            qWarning().noquote() << "Cannot draw the picture at the photo's size:" << error;
            *fallback = QStringLiteral("the full-size drawing failed: %1").arg(error);
        }
        const QByteArray png = fastPngBytes(makePictureImage(working->data(), w, size));
        const PngStripEncoder::Out out = start();
        return !png.isEmpty() && out && out(png.constData(), png.size());
    };
}

std::function<QImage()> ProjectDocument::fullResolutionExport(const std::shared_ptr<QString>& fallback,
                                                              std::function<void(int percent)> percentDone) const
{
    std::shared_ptr<FullResolutionRecord> record;
    std::shared_ptr<std::vector<std::uint8_t>> working;
    if (!fullResolutionExportParts(fallback, &record, &working))
        return nullptr;
    return [photo = mPhoto, record, working, w = width, size = picsize, fallback,
            percentDone = std::move(percentDone)]() {
        QImage full;
        // The photo is decoded from a file, as every photo is.
        QTemporaryFile photoFile(QDir(QDir::tempPath()).filePath(QStringLiteral("charcolino-photo-XXXXXX")));
        if (!photoFile.open() || photoFile.write(photo) != photo.size() || !photoFile.flush()) {
            qWarning().noquote() << "Cannot keep the photo for the full-size export:" << photoFile.errorString();
            *fallback = QStringLiteral("the photo could not be kept: %1").arg(photoFile.errorString());
        } else {
            QString error = QStringLiteral("not enough memory");
            try {
                ProgressSteps steps;
                RowsDone rowsDone;
                if (percentDone)
                    rowsDone = [&steps, &percentDone](int rows, int height) {
                        if (const auto percent = steps.next(rows, height))
                            percentDone(*percent);
                    };
                full = fullResolutionPicture(photoFile.fileName(), *record, &error, rowsDone);
            } catch (const std::bad_alloc&) {
                full = QImage();
            }
            if (full.isNull()) {
                qWarning().noquote() << "Cannot draw the picture at the photo's size:" << error;
                *fallback = QStringLiteral("the full-size drawing failed: %1").arg(error);
            }
        }
        return full.isNull() ? makePictureImage(working->data(), w, size) : full;
    };
}
