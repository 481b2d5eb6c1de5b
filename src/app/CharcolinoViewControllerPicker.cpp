// The photo picker of the main screen: a window-modal file dialog on the user's
// Pictures folder. A picked file goes to the canvas as a new project while the
// dialog is still up; cancelling, or a file that cannot be read, leaves the current
// project as it is.
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QThreadPool>
#include <memory>

#include "app/CharcolinoViewController.h"
#include "app/FeedbackLabel.h"
#include "app/PhotoPicker.h"
#include "canvas/CanvasView.h"
#include "project/ImportFile.h"
#include "widgets/ErrorAlert.h"

bool CharcolinoViewController::isSourceTypeAvailable(unsigned sourceType)
{
    // Both the library and the saved photos are the Pictures folder; no camera.
    return sourceType == kSourceTypePhotoLibrary || sourceType == kSourceTypeSavedPhotosAlbum;
}

QString CharcolinoViewController::picturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QDir(pictures).exists())
        return pictures;
    return QDir::homePath();  // no Pictures folder (yet): start at home
}

QString CharcolinoViewController::imageNameFilter()
{
    QStringList patterns;
    for (const QString& suffix : ImageFile::readableSuffixes())
        patterns << QStringLiteral("*.") + suffix << QStringLiteral("*.") + suffix.toUpper();
    return tr("Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

QString CharcolinoViewController::importFailedMessage(const QString& path, const QString& reason)
{
    const QString name = QFileInfo(path).fileName();
    return QCoreApplication::translate("CanvasView", CanvasView::kUnsupportedImageMessage) + QLatin1Char('\n') +
           (reason.isEmpty() ? name : QStringLiteral("%1: %2").arg(name, reason));
}

QString CharcolinoViewController::importIncompleteMessage(const QString& path, const QString& reason)
{
    return tr("Only part of the photo could be read; the rest is left grey.\n%1: %2")
        .arg(QFileInfo(path).fileName(), reason);
}

Image CharcolinoViewController::imageFromFile(const QString& path, QString* failure, QString* warning)
{
    return imageFromResult(path, readImportFile(path), failure, warning);
}

Image CharcolinoViewController::imageFromResult(const QString& path, const ImageFileResult& result, QString* failure,
                                                QString* warning)
{
    if (!result.ok()) {
        qInfo().noquote() << QStringLiteral("Cannot read %1: %2").arg(path, result.error);
        if (failure)
            *failure = importFailedMessage(path, result.error);
    } else if (!result.warning.isEmpty()) {
        qInfo().noquote() << QStringLiteral("Read in part %1: %2").arg(path, result.warning);
        if (warning)
            *warning = importIncompleteMessage(path, result.warning);
    }
    return result.image;  // without a bitmap when unreadable
}

bool CharcolinoViewController::startCameraPickerFromViewController(CharcolinoViewController* presenter,
                                                                   unsigned sourceType,
                                                                   CharcolinoViewController* delegate)
{
    if (!isSourceTypeAvailable(sourceType) || !delegate || !presenter)
        return false;
    QWidget* over = presenter->view();
    auto* picker = new PhotoPicker(over, tr("Choose a Photo"), picturesFolder());
    picker->setObjectName(QStringLiteral("photoPicker"));
    picker->setFileMode(QFileDialog::ExistingFile);
    picker->setAcceptMode(QFileDialog::AcceptOpen);
    picker->setNameFilter(imageNameFilter());
    picker->setWindowModality(Qt::WindowModal);
    QPointer<QFileDialog> guard(picker);
    connect(picker, &QFileDialog::fileSelected, delegate, [delegate, guard](const QString& path) {
        if (guard)
            delegate->imagePickerControllerDidFinishPickingFile(guard, path);
    });
    connect(picker, &QDialog::rejected, delegate, [delegate, guard] {
        if (guard)
            delegate->imagePickerControllerDidCancel(guard);
    });
    presenter->mPicker = picker;
    picker->open();
    return true;
}

void CharcolinoViewController::imagePickerControllerDidFinishPickingFile(QFileDialog* picker, const QString& path)
{
    // The picker goes as after any pick, once the new project has started.
    useImageFile(path, [this, guard = QPointer<QFileDialog>(picker)] { imagePickerControllerDidCancel(guard); });
}

void CharcolinoViewController::imagePickerControllerDidFinishPickingImage(QFileDialog* picker, const Image& image)
{
    useImage(image);  // the new project starts while the picker is still shown
    if (picker) {
        picker->hide();
        picker->deleteLater();
    }
    mPicker = nullptr;
}

void CharcolinoViewController::imagePickerControllerDidCancel(QFileDialog* picker)
{
    if (picker) {
        picker->hide();
        picker->deleteLater();
    }
    mPicker = nullptr;
}

void CharcolinoViewController::useImage(const Image& image, const QString& photoPath)
{
    if (!myview) {
        setUnsaved(false);
        return;
    }
    // A second photo before the start image is chosen replaces the same project.
    if (!myview->isChoosingStartImage()) {
        mReplacedUnsaved = mUnsaved;
        mReplacedSavedPosition = mSavedPosition;
    }
    myview->NewProject(image, photoPath);
    // The strokes went with the project they were on, unless the picture could not
    // be imported and that project stays.
    if (myview->isChoosingStartImage() || !myview->isLoaded())
        setUnsaved(false);
    // The new project has no strokes until it starts on a fresh history.
    if (myview->isChoosingStartImage())
        mSavedPosition = StrokeHistory::kFreshPosition;
}

void CharcolinoViewController::openImageFile(const QString& path)
{
    // The same state as after "New Project": menu hidden, then the new project.
    if (NewButton && !NewButton->isHidden())
        ToggleMenu();
    proceedDiscarding([this, path] { useImageFile(path); });
}

void CharcolinoViewController::useImageFile(const QString& path, std::function<void()> afterUse)
{
    const std::uint64_t serial = ++mOpenSerial;
    mOpeningPath = path;
    const QString line = tr("Opening %1 …").arg(QFileInfo(path).fileName());
    mFeedback->showMessage(line);
    QPointer<CharcolinoViewController> self(this);
    QThreadPool::globalInstance()->start([self, path, serial, line, afterUse = std::move(afterUse)] {
        auto result = std::make_shared<ImageFileResult>(readImportFile(path));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, serial, line, result, afterUse] {
                if (!self)
                    return;
                // Replaced by a later file: this picture is not wanted.
                if (serial != self->mOpenSerial) {
                    if (afterUse)
                        afterUse();
                    return;
                }
                self->mOpeningPath.reset();
                if (self->mFeedback->isVisible() && self->mFeedback->text() == line)
                    self->mFeedback->hide();
                self->useReadImageFile(path, *result);
                if (afterUse)
                    afterUse();
                emit self->imageFileOpened(path);
            },
            Qt::QueuedConnection);
    });
}

void CharcolinoViewController::useReadImageFile(const QString& path, const ImageFileResult& result)
{
    QString failure;
    QString warning;
    const Image image = imageFromResult(path, result, &failure, &warning);
    if (!image.hasBitmap()) {
        showErrorAlert(mView, failure);  // the current project stays
        // A first start with a photo that cannot be read: the built-in picture.
        if (myview && !myview->isLoaded() && !myview->isChoosingStartImage())
            myview->startWithStartPicture();
        return;
    }
    useImage(image, path);
    // Over the start sheet, so it is read before the start image is chosen.
    if (!warning.isEmpty() && myview && myview->isChoosingStartImage())
        showErrorAlert(mView, warning);
}
