// Export As: a dialog for folder, name, format and size, then the picture written
// on a worker thread while the window goes on.
#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QThreadPool>
#include <memory>

#include "app/CharcolinoViewController.h"
#include "app/ExportDialog.h"
#include "app/ExportOptions.h"
#include "app/FeedbackLabel.h"
#include "canvas/CanvasView.h"
#include "project/PictureImage.h"
#include "widgets/ErrorAlert.h"

void CharcolinoViewController::exportAs()
{
    if (!myview || !myview->isLoaded()) {
        showErrorAlert(mView, QCoreApplication::translate("CanvasView", CanvasView::kNoDataMessage));
        return;
    }
    if (mExportDialog) {
        mExportDialog->raise();
        return;
    }
    ExportOptions initial;
    initial.folder = picturesFolder();
    initial.name = QStringLiteral("Charcolino ") +
                   QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"));
    auto* dialog = new ExportDialog(mView, initial, myview->document().hasPhoto());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { exportWith(dialog->options()); });
    mExportDialog = dialog;
    dialog->open();
}

void CharcolinoViewController::exportWith(const ExportOptions& options)
{
    if (!myview || !myview->isLoaded()) {
        showErrorAlert(mView, QCoreApplication::translate("CanvasView", CanvasView::kNoDataMessage));
        return;
    }
    // The drawing at the photo's size is made on the worker too; the project's size
    // is a packed copy, so the working image may be painted on meanwhile.
    auto fallback = std::make_shared<QString>();
    // A PNG at the photo's size is written to its file band by band as it is drawn.
    const bool png = options.format == ExportOptions::Png;
    std::function<bool(const PngFileStart&)> streamed =
        options.fullSize && png ? myview->document().fullResolutionPngExport(fallback, myview->exportProgressReporter())
                                : nullptr;
    std::function<QImage()> full = options.fullSize && !png ? myview->document().fullResolutionExport(fallback, myview->exportProgressReporter())
                                                     : nullptr;
    QImage picture;
    if (!full && !streamed) {
        picture = makePictureImage(myview->workingBuffer(), myview->bufferWidth(), myview->pictureSize());
        if (picture.isNull()) {
            showErrorAlert(mView, QCoreApplication::translate("CanvasView", CanvasView::kLowMemoryMessage));
            return;
        }
        if (!options.fullSize)
            fallback->clear();
    }
    mExportingLine = tr("Exporting to %1 …").arg(options.path());
    mFeedback->showMessage(mExportingLine);
    QPointer<CharcolinoViewController> self(this);
    QThreadPool::globalInstance()->start([self, options, streamed, full, picture, fallback] {
        QString error;
        if (streamed) {
            error = options.writeStreamed(streamed);
        } else {
            const QImage image = full ? full() : picture;
            error = image.isNull() ? tr("out of memory") : options.write(image);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path = options.path(), error, fallback, ownSize = !options.fullSize] {
                if (!self)
                    return;
                self->mExportingLine.clear();
                if (!error.isEmpty())
                    showErrorAlert(self->mView, tr("Cannot export to %1: %2").arg(path, error));
                else if (self->myview)
                    emit self->myview->exported(path, ownSize ? QString() : *fallback);
                emit self->exportAsFinished(path, error);
            },
            Qt::QueuedConnection);
    });
}
