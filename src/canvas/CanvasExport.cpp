#include <QDebug>
#include <QGuiApplication>
#include <QPointer>
#include <QString>
#include <memory>

#include "canvas/CanvasView.h"
#include "project/PictureImage.h"
#include "base/ConsoleLog.h"
#include "widgets/ErrorAlert.h"
#include "imageio/PhotoAlbum.h"

const char* const CanvasView::kNoDataMessage = QT_TR_NOOP("No data in the working space.");

void CanvasView::ExportToPhotoAlbum()
{
    if (!isLoaded()) {
        showErrorAlert(this, tr(kNoDataMessage));
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
    // it is made on the album's worker and written to the file band by band as it
    // is drawn, the window going on meanwhile with a busy cursor.
    auto full = mDocument.fullResolutionPngExport(fallback, exportProgressReporter());
    if (full) {
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        PhotoAlbum::saveStreamed(std::move(full), this, [finished](QImage image, const QString& error,
                                                                   const QString& path) {
            QGuiApplication::restoreOverrideCursor();
            finished(std::move(image), error, path);
        });
        return;
    }
    // Else the working picture, from a packed copy of its own, so the working
    // image may be painted on or replaced while the album writes.
    QImage picture = makePictureImage(workingBuffer(), bufferWidth(), pictureSize());
    if (picture.isNull()) {
        showErrorAlert(this, tr(kLowMemoryMessage));
        return;
    }
    PhotoAlbum::save(std::move(picture), this, finished);
}

std::function<void(int)> CanvasView::exportProgressReporter()
{
    return [view = QPointer<CanvasView>(this)](int percent) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [view, percent] {
                if (view)
                    emit view->exportProgress(percent);
            },
            Qt::QueuedConnection);
    };
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
