#include <QString>
#include <cstring>

#include "canvas/CanvasView.h"
#include "platform/ActionSheet.h"
#include "platform/ErrorAlert.h"

const char* const CanvasView::kUnsupportedImageMessage = "Unsupported image format or image file.";

void CanvasView::NewProject(const Image& image)
{
    pic.reset();
    FreeBuff();  // the old project is gone from here on, whatever follows

    const Image upright = scaleAndRotateImage(image);
    pic = Texture2D::initWithImage(upright, &originalbuff);
    if (!pic || pic->pixelFormat() != Texture2D::RGBA8888) {
        showErrorAlert(this, QString::fromLatin1(kUnsupportedImageMessage));
        pic.reset();
        originalbuff.reset();
        loaded = false;
        return;
    }

    height = std::int32_t(pic->pixelsHigh());
    width = std::int32_t(pic->pixelsWide());
    picsize = pic->contentSize();

    if (!PrepareBuff(false)) {
        loaded = false;
        return;
    }
    BuildSketchBuff();

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
    if (!source || !workingbuff)
        return;  // no project to start (the sheet outlived a failed load or import)

    // The picture area only, row by row; the spare area keeps what it holds.
    for (int y = 0; float(y) < picsize.height && y < height; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(width) * 4;
        int columns = 0;
        while (float(columns) < picsize.width && columns < width)
            ++columns;
        std::memcpy(workingbuff.get() + row, source + row, std::size_t(columns) * 4);
    }
    loaded = true;

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
