#include <QFile>
#include <QString>

#include "canvas/CanvasView.h"
#include "project/ProjectSideFiles.h"
#include "widgets/ActionSheet.h"
#include "widgets/ErrorAlert.h"
#include "system/RegularFile.h"

const char* const CanvasView::kUnsupportedImageMessage = QT_TR_NOOP("Unsupported image format or image file.");

namespace {

// The photo file's bytes, kept for the drawing at full resolution; empty when
// there is no file or it cannot be read whole (the project is then drawn at its
// own size only).
QByteArray photoFileBytes(const QString& path)
{
    if (path.isEmpty())
        return QByteArray();
    QFile file(path);
    if (!openRegularFileForReading(file, nullptr) || file.size() > ProjectSideFiles::kMaxPhotoBytes)
        return QByteArray();
    QByteArray bytes = file.read(file.size());
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size() || !file.atEnd())
        return QByteArray();
    return bytes;
}

}  // namespace

void CanvasView::NewProject(const Image& image, const QString& photoPath)
{
    // The picture is imported into a buffer of its own first: one that cannot be
    // imported leaves the current project whole.
    const Image upright = scaleAndRotateImage(image);
    PixelBlock imported;
    std::unique_ptr<Texture2D> texture = Texture2D::initWithImage(upright, &imported);
    if (!texture || texture->pixelFormat() != Texture2D::RGBA8888) {
        showErrorAlert(this, tr(kUnsupportedImageMessage));
        return;
    }

    // Until the start image is chosen, workingbuff holds no picture: the document
    // keeps the complete project aside for the saves made meanwhile (the quit save
    // among them).
    mSketchWorker.reset();  // joined before the buffers it writes go
    if (!mDocument.isChoosingStartImage()) {
        mReplacedCenterX = centerx;
        mReplacedCenterY = centery;
        mReplacedZoom = zoomlevel;
        mReplacedAtFit = isAtFitPlacement();
    }
    mDocument.startNewProject(std::move(imported), std::int32_t(texture->pixelsWide()),
                              std::int32_t(texture->pixelsHigh()), texture->contentSize(),
                              photoFileBytes(photoPath));
    pic = std::move(texture);

    if (!PrepareBuff(false)) {
        mDocument.abandonNewProject();
        return;
    }
    BuildSketchBuff();
    mDocument.awaitStartImage();
    // The new picture behind the sheet, where it will start.
    showAtStart();
    UpdateScreen();

    // The sheet keeps itself alive while shown and deletes itself after the choice.
    auto* sheet = new ActionSheet(tr("Start New Project With"), this, this);
    sheet->addButtonWithTitle(tr("Black Pencil Sketch"));
    sheet->addButtonWithTitle(tr("Color Pencil Sketch"));
    sheet->addButtonWithTitle(tr("Original Picture"));
    if (mDocument.hasReplacedProject())
        sheet->addCancelButtonWithTitle(tr("Cancel"));
    sheet->setActionSheetStyle(0);
    sheet->showInView(this);
}

void CanvasView::actionSheetClickedButtonAtIndex(ActionSheet* sheet, int buttonIndex)
{
    if (sheet && buttonIndex == sheet->cancelButtonIndex()) {
        cancelNewProject();
        return;
    }
    finishLoading();  // the sketches are complete before one is copied
    if (!mDocument.chooseStartImage(buttonIndex))
        return;  // no project to start (a load or a failed new project came after the sheet)
    showAtStart();
    ReloadCanvas();
    UpdateScreen();
    resetHistory();
    if (mToolbar)
        mToolbar->setSelectedSegmentIndex(3);
    emit startImageChosen();
}

bool CanvasView::cancelNewProject()
{
    finishLoading();
    if (!mDocument.restoreReplacedProject()) {
        UpdateScreen();
        return false;
    }
    centerx = mReplacedCenterX;
    centery = mReplacedCenterY;
    zoomlevel = mReplacedZoom;
    if (mReplacedAtFit)
        rememberFitPlacement();
    ReloadFixTexture();
    ReloadCanvas();
    mWorkingTextureStale = false;
    UpdateScreen();
    emit newProjectCancelled();
    return true;
}
