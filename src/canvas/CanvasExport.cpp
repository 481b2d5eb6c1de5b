#include <QDebug>
#include <QGuiApplication>
#include <QDir>
#include <QTemporaryFile>
#include <QString>
#include <memory>
#include <new>
#include <vector>

#include "canvas/CanvasView.h"
#include "canvas/FullResolutionPicture.h"
#include "canvas/FullResolutionRecord.h"
#include "canvas/FullResolutionRender.h"
#include "canvas/PictureImage.h"
#include "platform/ConsoleLog.h"
#include "platform/ErrorAlert.h"
#include "platform/PhotoAlbum.h"

const char* const CanvasView::kNoDataMessage = "No data in the working space.";

void CanvasView::ExportToPhotoAlbum()
{
    if (!loaded) {
        showErrorAlert(this, QString::fromLatin1(kNoDataMessage));
        return;
    }
    // Why the album gets the working picture instead of the drawing at the photo's
    // size, when it does: written before the save starts or by the album's worker,
    // read once the save is done.
    auto fallback = std::make_shared<QString>();
    const auto finished = [this, fallback](QImage image, const QString& error, const QString& path) {
        imageDidFinishSavingWithError(std::move(image), error, nullptr);
        if (error.isEmpty())
            emit exported(path, *fallback);
    };
    // The drawing at the photo's full resolution when the project has its photo;
    // it is made on the album's worker, the window going on meanwhile with a busy
    // cursor.
    std::function<QImage()> full = fullResolutionExport(fallback);
    if (full) {
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        PhotoAlbum::save(std::move(full), this, [finished](QImage image, const QString& error, const QString& path) {
            QGuiApplication::restoreOverrideCursor();
            finished(std::move(image), error, path);
        });
        return;
    }
    // Else the working picture, from a packed copy of its own, so the working
    // image may be painted on or replaced while the album writes.
    QImage picture = makePictureImage(workingbuff.get(), width, picsize);
    if (picture.isNull()) {
        showErrorAlert(this, QString::fromLatin1(kLowMemoryMessage));
        return;
    }
    PhotoAlbum::save(std::move(picture), this, finished);
}

void CanvasView::imageDidFinishSavingWithError(QImage image, const QString& error, void* /*contextInfo*/)
{
    qCInfo(consoleLog).noquote() << "Save finished";
    // The album has let go of the picture; this was the last reference, so the
    // packed copy goes now.
    image = QImage();
    if (!error.isEmpty())
        showErrorAlert(this, error);
}

std::function<QImage()> CanvasView::fullResolutionExport(const std::shared_ptr<QString>& fallback) const
{
    if (!loaded || choosing || !originalbuff || !workingbuff)
        return nullptr;
    if (mPhoto.isEmpty()) {
        *fallback = mHistory.recordKept() ? QStringLiteral("the project has no full-size drawing")
                                          : QStringLiteral("the drawing record passed its bounds");
        return nullptr;
    }
    auto record = std::make_shared<FullResolutionRecord>();
    record->picsize = picsize;
    record->startSource = mStartSource;
    record->dabs = mHistory.recordedDabs();
    if (!replayGivesWorking(originalbuff.get(), workingbuff.get(), width, height, picsize, record->startSource,
                            record->dabs)) {
        qWarning().noquote() << "The drawing record does not give the working picture: exporting it at its own size";
        *fallback = QStringLiteral("the drawing record does not give the picture");
        return nullptr;
    }
    // The working picture as it is now, for when the drawing cannot be made: kept
    // plain, and packed (the album's picture) only then.
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    auto working = std::make_shared<std::vector<std::uint8_t>>();
    try {
        working->assign(workingbuff.get(), workingbuff.get() + bytes);
    } catch (const std::bad_alloc&) {
        *fallback = QStringLiteral("not enough memory");
        return nullptr;
    }
    return [photo = mPhoto, record, working, w = width, size = picsize, fallback]() {
        QImage full;
        // The photo is decoded from a file, as every photo is.
        QTemporaryFile photoFile(QDir(QDir::tempPath()).filePath(QStringLiteral("charcolino-photo-XXXXXX")));
        if (!photoFile.open() || photoFile.write(photo) != photo.size() || !photoFile.flush()) {
            qWarning().noquote() << "Cannot keep the photo for the full-size export:" << photoFile.errorString();
            *fallback = QStringLiteral("the photo could not be kept: %1").arg(photoFile.errorString());
        } else {
            QString error = QStringLiteral("not enough memory");
            try {
                full = fullResolutionPicture(photoFile.fileName(), *record, &error);
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
