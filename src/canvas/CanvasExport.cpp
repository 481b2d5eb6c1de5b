#include <QDebug>
#include <QDir>
#include <QTemporaryFile>
#include <QString>

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
    // The export works on its own packed copy, so the working image may be painted
    // on or replaced while the album writes.
    // The drawing at the photo's full resolution when the project has its photo,
    // else (or when that cannot be made) the working picture.
    QImage picture = fullResolutionExport();
    if (picture.isNull())
        picture = makePictureImage(workingbuff.get(), width, picsize);
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

QImage CanvasView::fullResolutionExport() const
{
    if (mPhoto.isEmpty() || !loaded || choosing || !originalbuff || !workingbuff)
        return QImage();
    FullResolutionRecord record;
    record.picsize = picsize;
    record.startSource = mStartSource;
    record.dabs = mHistory.recordedDabs();
    if (!replayGivesWorking(originalbuff.get(), workingbuff.get(), width, height, picsize, record.startSource,
                            record.dabs)) {
        qWarning().noquote() << "The drawing record does not give the working picture: exporting it at its own size";
        return QImage();
    }
    // The photo is decoded from a file, as every photo is.
    QTemporaryFile photoFile(QDir(QDir::tempPath()).filePath(QStringLiteral("charcolino-photo-XXXXXX")));
    if (!photoFile.open() || photoFile.write(mPhoto) != mPhoto.size() || !photoFile.flush()) {
        qWarning().noquote() << "Cannot keep the photo for the full-size export:" << photoFile.errorString();
        return QImage();
    }
    QString error;
    QImage full = fullResolutionPicture(photoFile.fileName(), record, &error);
    if (full.isNull())
        qWarning().noquote() << "Cannot draw the picture at the photo's size:" << error;
    return full;
}
