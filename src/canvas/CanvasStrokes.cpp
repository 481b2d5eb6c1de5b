// Strokes of the brush and their undo. A stroke opens with the first painting
// event and ends when the last finger is lifted (CanvasTouches); the history keeps
// what it changed. Undo and redo exchange those pixels with workingbuff and redraw
// only them.
#include <algorithm>
#include <cstring>
#include <vector>

#include "canvas/CanvasView.h"

void CanvasView::finishStroke()
{
    mFingers.clear();
    if (!mDocument.history().strokeOpen())
        return;
    const bool painted = mStrokePainted;
    mStrokePainted = false;
    mDocument.history().endStroke(mDocument.historyPixels());
    if (!painted)
        return;
    emit strokeFinished();
    emit historyChanged();
}

bool CanvasView::canUndo() const
{
    return isLoaded() && mDocument.history().canUndo();
}

bool CanvasView::canRedo() const
{
    return isLoaded() && mDocument.history().canRedo();
}

bool CanvasView::undo()
{
    finishStroke();
    std::vector<StrokeHistory::Rect> changed;
    if (!isLoaded() || !mDocument.history().undo(mDocument.historyPixels(), &changed))
        return false;
    drawWorkingRects(changed);
    emit historyChanged();
    return true;
}

bool CanvasView::redo()
{
    finishStroke();
    std::vector<StrokeHistory::Rect> changed;
    if (!isLoaded() || !mDocument.history().redo(mDocument.historyPixels(), &changed))
        return false;
    drawWorkingRects(changed);
    emit historyChanged();
    return true;
}

void CanvasView::resetHistory()
{
    mDocument.history().reset();
    mStrokePainted = false;
    mFingers.clear();
    emit historyChanged();
}

void CanvasView::uploadWorkingRect(int x0, int y0, int x1, int y1, std::vector<std::uint8_t>& packed)
{
    if (x0 >= x1 || y0 >= y1)
        return;
    const std::uint8_t* working = mDocument.workingBuffer();
    const std::size_t span = std::size_t(x1 - x0) * 4;
    packed.resize(span * std::size_t(y1 - y0));
    for (int y = y0; y < y1; ++y)
        std::memcpy(packed.data() + std::size_t(y - y0) * span,
                    working + (std::size_t(y) * std::size_t(bufferWidth()) + std::size_t(x0)) * 4, span);
    glBindTexture(GL_TEXTURE_2D, pic->name());
    glTexSubImage2D(GL_TEXTURE_2D, 0, x0, y0, x1 - x0, y1 - y0, GL_RGBA, GL_UNSIGNED_BYTE, packed.data());
}

void CanvasView::drawWorkingRects(const std::vector<StrokeHistory::Rect>& rects)
{
    mFingers.clear();  // a stroke going on continues from here, not across the change
    if (rects.empty())
        return;
    // A stroke over most of the picture costs less as one upload and redraw.
    std::size_t area = 0;
    for (const StrokeHistory::Rect& r : rects)
        area += std::size_t(r.width + 2) * std::size_t(r.height + 2);
    const int width = bufferWidth();
    if (!bufferTextureFits(pic.get()) || 2 * area >= std::size_t(width) * std::size_t(bufferHeight())) {
        ReloadCanvas();
        mWorkingTextureStale = false;
        UpdateScreen();
        return;
    }

    // Each rectangle with a pixel of margin, so that filtering at its edges blends
    // the working image's own neighbours, not what the texture held before. A
    // rectangle at least half as wide as the texture goes up as whole rows, straight
    // from workingbuff (bands of rows joined); a narrower one is packed first.
    const StrokeHistory::Pixels picture = mDocument.historyPixels();
    const std::uint8_t* working = mDocument.workingBuffer();
    std::vector<std::uint8_t> packed;
    int bandFirst = 0;
    int bandEnd = 0;  // rows bandFirst .. bandEnd - 1 still to go up whole; none when 0
    const auto uploadBand = [&] {
        if (bandEnd > bandFirst)
            pic->replaceRows(working, std::uint32_t(bandFirst), std::uint32_t(bandEnd - bandFirst));
        bandFirst = bandEnd = 0;
    };
    for (const StrokeHistory::Rect& r : rects) {
        const int x0 = std::max(r.x - 1, 0);
        const int y0 = std::max(r.y - 1, 0);
        const int x1 = std::min(r.x + r.width + 1, picture.columns);
        const int y1 = std::min(r.y + r.height + 1, picture.rows);
        if (x0 >= x1 || y0 >= y1)
            continue;
        if (2 * (x1 - x0) >= width) {
            if (y0 > bandEnd)
                uploadBand();
            if (bandEnd == 0)
                bandFirst = y0;
            bandEnd = std::max(bandEnd, y1);
            continue;
        }
        uploadWorkingRect(x0, y0, x1, y1, packed);
    }
    uploadBand();
    for (const StrokeHistory::Rect& r : rects)
        drawPatch(pic.get(), r.x, r.y, r.x + r.width, r.y + r.height);
    swapBuffers();
}
