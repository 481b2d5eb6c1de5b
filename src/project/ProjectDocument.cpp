#include "project/ProjectDocument.h"

#include <QDebug>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "project/FullResolutionRecord.h"
#include "filter/SketchFilter.h"

ProjectDocument::ProjectDocument() = default;
ProjectDocument::~ProjectDocument() = default;

void ProjectDocument::setGeometry(std::int32_t bufferWidth, std::int32_t bufferHeight, FloatSize pictureSize)
{
    width = bufferWidth;
    height = bufferHeight;
    picsize = pictureSize;
}

const std::uint8_t* ProjectDocument::sourceBuffer(int drawType) const
{
    switch (drawType) {
    case 0: return blacksketchbuff.get();
    case 1: return colorsketchbuff.get();
    default: return originalbuff.get();
    }
}

bool ProjectDocument::allocateBuffers(bool withOriginal)
{
    // 32-bit arithmetic as the buffers' sides are at most 1024.
    const std::int32_t n = height * width * 4;
    if (withOriginal)
        originalbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    blacksketchbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    colorsketchbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    workingbuff = PixelMemory::allocate(static_cast<std::size_t>(n));
    if (originalbuff && blacksketchbuff && colorsketchbuff && workingbuff)
        return true;
    freeBuffers();
    return false;
}

void ProjectDocument::freeBuffers()
{
    originalbuff.reset();
    blacksketchbuff.reset();
    colorsketchbuff.reset();
    workingbuff.reset();
}

SketchBuffers ProjectDocument::sketchBuffers(bool greyScratch) const
{
    SketchBuffers buffers;
    buffers.original = originalbuff.get();
    buffers.working = greyScratch ? workingbuff.get() : nullptr;
    buffers.black = blacksketchbuff.get();
    buffers.color = colorsketchbuff.get();
    buffers.width = width;
    buffers.height = height;
    buffers.picsize = picsize;
    return buffers;
}

void ProjectDocument::buildSketches()
{
    buildSketch(sketchBuffers(true));
}

StrokeHistory::Pixels ProjectDocument::historyPixels() const
{
    StrokeHistory::Pixels pixels;
    pixels.data = workingbuff.get();
    pixels.bufferWidth = width;
    pixels.bufferHeight = height;
    // The picture area: the columns and rows a dab may reach.
    const auto extent = [](float side, int buffer) {
        if (!(side > 0.0f))
            return 0;
        return int(std::min(std::ceil(double(side)), double(buffer)));
    };
    pixels.columns = extent(picsize.width, width);
    pixels.rows = extent(picsize.height, height);
    return pixels;
}

void ProjectDocument::beginStroke()
{
    mHistory.beginStroke(historyPixels());
    mStrokeMask.reset(width, height);
}

void ProjectDocument::recordDab(const StrokeHistory::Dab& dab)
{
    mHistory.addDab(dab);
    if (!mHistory.recordKept() && !mPhoto.isEmpty()) {
        // Painting goes on as ever; only the drawing at the photo's size is given
        // up: the photo goes, so saves keep no side files and exports give the
        // working picture.
        mPhoto = QByteArray();
        qWarning().noquote() << "The drawing record passed its bounds (" << StrokeHistory::kMaxRecordDabs
                             << "dabs ): the picture is saved and exported at its own size from now on";
    }
}

void ProjectDocument::startNewProject(PixelBlock original, std::int32_t bufferWidth, std::int32_t bufferHeight,
                                      FloatSize pictureSize, QByteArray photo)
{
    if (!mChoosing) {
        mReplacedProject.reset();
        if (loaded && originalbuff && workingbuff)
            mReplacedProject.reset(new ReplacedProject{std::move(originalbuff), std::move(workingbuff), width,
                                                      height, picsize});
    }
    mChoosing = false;
    mPendingPhoto = std::move(photo);
    freeBuffers();
    originalbuff = std::move(original);
    setGeometry(bufferWidth, bufferHeight, pictureSize);
}

void ProjectDocument::abandonNewProject()
{
    mReplacedProject.reset();
    loaded = false;
}

bool ProjectDocument::restoreReplacedProject()
{
    if (!hasReplacedProject())
        return false;
    std::unique_ptr<ReplacedProject> p = std::move(mReplacedProject);
    freeBuffers();
    setGeometry(p->width, p->height, p->picsize);
    originalbuff = std::move(p->original);
    workingbuff = std::move(p->working);
    const std::size_t n = std::size_t(height) * std::size_t(width) * 4;
    blacksketchbuff = PixelMemory::allocate(n);
    colorsketchbuff = PixelMemory::allocate(n);
    mChoosing = false;
    mPendingPhoto = QByteArray();
    if (!blacksketchbuff || !colorsketchbuff) {
        freeBuffers();
        loaded = false;
        return false;
    }
    // The working image stays: the filter keeps its greys to itself.
    buildSketch(sketchBuffers(false));
    loaded = true;
    return true;
}

bool ProjectDocument::chooseStartImage(int source)
{
    const std::uint8_t* from = (source == 0 || source == 1) ? sourceBuffer(source) : originalbuff.get();
    if (!mChoosing || !from || !workingbuff)
        return false;

    // The picture area only, row by row; the spare area keeps what it holds.
    for (int y = 0; float(y) < picsize.height && y < height; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(width) * 4;
        int columns = 0;
        while (float(columns) < picsize.width && columns < width)
            ++columns;
        std::memcpy(workingbuff.get() + row, from + row, std::size_t(columns) * 4);
    }
    loaded = true;
    mChoosing = false;
    mReplacedProject.reset();
    mPhoto = std::move(mPendingPhoto);
    mPendingPhoto = QByteArray();
    mStartSource = (source == 0 || source == 1) ? source : FullResolutionRecord::Photo;
    return true;
}

ProjectDocument::ProjectImages ProjectDocument::projectToSave() const
{
    if (mChoosing) {
        if (!mReplacedProject)
            return {};
        const ReplacedProject& p = *mReplacedProject;
        return {p.original.get(), p.working.get(), p.width, p.height, p.picsize};
    }
    if (!loaded || !originalbuff || !workingbuff)
        return {};
    return {originalbuff.get(), workingbuff.get(), width, height, picsize};
}
