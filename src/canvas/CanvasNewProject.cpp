#include <QFile>
#include <QString>
#include <cstring>

#include "canvas/CanvasView.h"
#include "canvas/ProjectSideFiles.h"
#include "platform/ActionSheet.h"
#include "platform/ErrorAlert.h"
#include "platform/RegularFile.h"

const char* const CanvasView::kUnsupportedImageMessage = "Unsupported image format or image file.";

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
        showErrorAlert(this, QString::fromLatin1(kUnsupportedImageMessage));
        return;
    }

    // Until the start image is chosen, workingbuff holds no picture: the complete
    // project is kept aside for the saves made meanwhile (the quit save among them).
    // A second new project before the choice keeps the one already set aside.
    if (!choosing) {
        replacedProject.reset();
        if (loaded && originalbuff && workingbuff)
            replacedProject.reset(new ReplacedProject{std::move(originalbuff), std::move(workingbuff), width,
                                                      height, picsize});
    }
    choosing = false;
    mPendingPhoto = photoFileBytes(photoPath);
    pic = std::move(texture);
    FreeBuff();
    originalbuff = std::move(imported);

    height = std::int32_t(pic->pixelsHigh());
    width = std::int32_t(pic->pixelsWide());
    picsize = pic->contentSize();

    if (!PrepareBuff(false)) {
        replacedProject.reset();  // memory is short: the old project goes too
        loaded = false;
        return;
    }
    BuildSketchBuff();
    choosing = true;

    // The sheet keeps itself alive while shown and deletes itself after the choice.
    auto* sheet = new ActionSheet(QStringLiteral("Start New Project With"), this, this);
    sheet->addButtonWithTitle(QStringLiteral("Black Pencil Sketch"));
    sheet->addButtonWithTitle(QStringLiteral("Color Pencil Sketch"));
    sheet->addButtonWithTitle(QStringLiteral("Original Picture"));
    sheet->setActionSheetStyle(0);
    sheet->showInView(this);
}

void CanvasView::actionSheetClickedButtonAtIndex(ActionSheet*, int buttonIndex)
{
    const std::uint8_t* source = (buttonIndex == 0 || buttonIndex == 1) ? sourceBuffer(buttonIndex)
                                                                         : originalbuff.get();
    if (!choosing || !source || !workingbuff)
        return;  // no project to start (a load or a failed new project came after the sheet)

    // The picture area only, row by row; the spare area keeps what it holds.
    for (int y = 0; float(y) < picsize.height && y < height; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(width) * 4;
        int columns = 0;
        while (float(columns) < picsize.width && columns < width)
            ++columns;
        std::memcpy(workingbuff.get() + row, source + row, std::size_t(columns) * 4);
    }
    loaded = true;
    choosing = false;
    replacedProject.reset();
    mPhoto = std::move(mPendingPhoto);
    mPendingPhoto = QByteArray();
    mStartSource = (buttonIndex == 0 || buttonIndex == 1) ? buttonIndex : 2;

    const FloatPoint c = center();
    centerx = std::int32_t(c.x);
    centery = std::int32_t(c.y - 70.0f);
    zoomlevel = ZoomToFit();
    ReloadCanvas();
    UpdateScreen();
    resetHistory();
    if (mToolbar)
        mToolbar->setSelectedSegmentIndex(3);
}

CanvasView::ProjectImages CanvasView::projectToSave() const
{
    if (choosing) {
        if (!replacedProject)
            return {};
        const ReplacedProject& p = *replacedProject;
        return {p.original.get(), p.working.get(), p.width, p.height, p.picsize};
    }
    if (!loaded || !originalbuff || !workingbuff)
        return {};
    return {originalbuff.get(), workingbuff.get(), width, height, picsize};
}
