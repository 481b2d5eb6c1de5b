#include <QDebug>
#include <QString>

#include "canvas/CanvasView.h"
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
    // The export works on its own packed copy, so the working image may be painted
    // on or replaced while the album writes.
    QImage picture = makePictureImage(workingbuff.get(), width, picsize);
    if (picture.isNull()) {
        showErrorAlert(this, QString::fromLatin1(kLowMemoryMessage));
        return;
    }
    PhotoAlbum::save(std::move(picture), this, [this](QImage image, const QString& error, const QString& path) {
        imageDidFinishSavingWithError(std::move(image), error, nullptr);
        if (error.isEmpty())
            emit exported(path);
    });
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
