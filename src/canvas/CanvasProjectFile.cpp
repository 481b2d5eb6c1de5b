// Project slots on the view's side: the document saves and checks the files; a
// load's pixels are read here band by band, so that each band goes up into its
// texture while its bytes are still in the cache.
#include <QFile>
#include <algorithm>

#include "canvas/CanvasView.h"
#include "widgets/ErrorAlert.h"

namespace {

// The reader's bands: 256 KiB of a 1024-pixel-wide image, well inside a core's cache.
constexpr int kUploadBandRows = 64;

}  // namespace

bool CanvasView::sLeaveStartSketches = false;

bool CanvasView::SaveProject(int slot, SaveFailure* failure)
{
    return mDocument.saveSlot(slot, failure);
}

bool CanvasView::LoadProject(int slot)
{
    return loadProject(slot, false);
}

bool CanvasView::loadProject(int slot, bool leaveSketches)
{
    finishLoading();  // the worker of an earlier load reads the buffers replaced here
    const QString path = ProjectDocument::slotPath(slot);
    if (path.isEmpty())
        return false;
    ProjectDocument::PendingLoad load;
    switch (mDocument.checkLoad(path, load)) {
    case ProjectDocument::LoadCheck::Refused:
        return false;
    case ProjectDocument::LoadCheck::LowMemory:
        showErrorAlert(this, tr(kLowMemoryMessage));
        return false;
    case ProjectDocument::LoadCheck::Ready:
        break;
    }
    mDocument.adoptLoad(load);
    if (!readAndUploadBands(load, leaveSketches))
        return false;
    load.file.close();

    showAtStart();
    mDocument.setLoaded(true);
    UpdateScreen();  // the picture is shown before the textures it does not need
    if (!leaveSketches)
        finishLoading();
    resetHistory();
    mDocument.readSideFiles(load);
    if (mToolbar)
        mToolbar->setSelectedSegmentIndex(3);
    return true;
}

// A reader thread reads the file band by band and this thread uploads each band
// while it is still in the cache; the sketches follow the original's rows on other
// cores. GL stays on this thread. docs/project-files.md says who writes what.
bool CanvasView::readAndUploadBands(ProjectDocument::PendingLoad& load, bool leaveSketches)
{
    const int height = bufferHeight();
    std::uint8_t* original = mDocument.originalBuffer();
    std::uint8_t* working = mDocument.workingBuffer();
    const ProjectBandReader::Source source{load.file.handle(), std::int64_t(ProjectCodec::kHeaderSize), original,
                                           working, bufferWidth(), height};
    mSketchWorker = std::make_unique<SketchWorker>(mDocument.sketchBuffers(false), leaveSketches, source);
    const bool uploadAll = !leaveSketches;
    if (uploadAll) {
        for (std::unique_ptr<Texture2D>* texture : {&originalpic, &blacksketchpic, &colorsketchpic})
            makeFittingTexture(*texture);
        mSketchWorker->setOriginalUploaded();
    }
    makeFittingTexture(pic);
    for (int row = 0; row < height; row += kUploadBandRows) {
        const int rows = std::min(kUploadBandRows, height - row);
        if (!mSketchWorker->awaitRowsRead(row + rows)) {
            mSketchWorker.reset();  // stopped before the buffers are let go
            return false;
        }
        if (uploadAll)
            originalpic->replaceRows(original, std::uint32_t(row), std::uint32_t(rows));
    }
    for (int row = 0; row < height; row += kUploadBandRows) {
        const int rows = std::min(kUploadBandRows, height - row);
        if (!mSketchWorker->awaitRowsRead(height + row + rows)) {
            finishLoading();  // the textures of the new original, as a load failing here always left them
            return false;
        }
        pic->replaceRows(working, std::uint32_t(row), std::uint32_t(rows));
        if (uploadAll)
            mSketchWorker->uploadFinished(*blacksketchpic, *colorsketchpic, mDocument.blackSketchBuffer(),
                                          mDocument.colorSketchBuffer(), height);
    }
    return true;
}

void CanvasView::finishLoading()
{
    if (!mSketchWorker)
        return;
    const std::unique_ptr<SketchWorker> worker = std::move(mSketchWorker);
    if (context() && !isCurrentContext())
        setCurrentContext();
    if (!worker->originalUploaded())
        refillBufferTexture(originalpic, mDocument.originalBuffer());
    makeFittingTexture(blacksketchpic);
    makeFittingTexture(colorsketchpic);
    worker->uploadAsFinished(*blacksketchpic, *colorsketchpic, mDocument.blackSketchBuffer(),
                             mDocument.colorSketchBuffer(), bufferHeight());
}

QByteArray CanvasView::CreateThumbNail() const
{
    return mDocument.thumbnail();
}
