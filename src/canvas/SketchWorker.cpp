#include "canvas/SketchWorker.h"

#include <algorithm>
#include <thread>

#include "gl/Texture2D.h"

namespace {

// Filter threads beside the caller's and the reader's, which joins the filter
// once it has read the file.
int filterThreads(bool oneThread)
{
    if (oneThread)
        return 0;
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores - 2, 0, 2);
}

}  // namespace

SketchWorker::SketchWorker(const SketchBuffers& buffers, bool oneThread, const ProjectBandReader::Source& source)
    : mStream(buffers, filterThreads(oneThread)),
      mReader(
          source, [this](int rows) { mStream.originalRowsRead(rows); },
          [this] {
              while (mStream.runBand()) {
              }
          })
{
}

SketchWorker::~SketchWorker()
{
    mStream.stop();
    mReader.stop();
}

void SketchWorker::upload(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                          const std::uint8_t* colorRows, int final)
{
    if (final <= mUploaded)
        return;
    const auto first = std::uint32_t(mUploaded);
    const auto count = std::uint32_t(final - mUploaded);
    black.replaceRows(blackRows, first, count);
    color.replaceRows(colorRows, first, count);
    mUploaded = final;
}

int SketchWorker::uploadFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                                 const std::uint8_t* colorRows, int height)
{
    upload(black, color, blackRows, colorRows, std::min(mStream.rowsFinal(), height));
    return mUploaded;
}

void SketchWorker::uploadAsFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                                    const std::uint8_t* colorRows, int height)
{
    while (mUploaded < height)
        upload(black, color, blackRows, colorRows, std::min(mStream.awaitRowsBeyond(mUploaded), height));
}
