// The pencil sketch filter as the canvas runs it, over up to a million pixels
// while the user waits: bands of rows shared out between the cores (threads kept
// parked between runs), each worked through by the AVX2 row loops where the
// processor has them and by the portable ones elsewhere (SketchFilterRows.h).
// Same bytes as buildSketchReference.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "filter/FilterThreads.h"
#include "filter/SketchFilter.h"
#include "filter/SketchFilterRows.h"

namespace {

constexpr int kPublishedBandRows = 64;  // rows a thread takes at a time when a reader waits on them
constexpr int kBandsPerThread = 4;      // otherwise bands as large as this leaves enough of them
constexpr std::int64_t kMinPixelsPerThread = 1 << 16;
constexpr int kMaxThreads = 4;

// Bands of rows handed out top first to the threads of one run; finished bands
// are published in order, as the count of final rows from the top.
class BandQueue {
public:
    BandQueue(int rows, int bandRows, std::atomic<int>* rowsFinal)
        : mRows(rows), mBandRows(bandRows), mBands((rows + bandRows - 1) / bandRows),
          mDone(std::size_t(mBands), false), mRowsFinal(rowsFinal)
    {
    }

    int bands() const { return mBands; }

    // The next band to compute; bands() or more when all are taken.
    int take() { return mNext.fetch_add(1, std::memory_order_relaxed); }
    int first(int band) const { return band * mBandRows; }
    int end(int band) const { return std::min(mRows, (band + 1) * mBandRows); }

    void finished(int band)
    {
        if (!mRowsFinal)
            return;
        const std::lock_guard lock(mMutex);
        mDone[std::size_t(band)] = true;
        const int before = mPublished;
        while (mPublished < mBands && mDone[std::size_t(mPublished)])
            ++mPublished;
        if (mPublished > before) {
            mRowsFinal->store(std::min(mRows, mPublished * mBandRows), std::memory_order_release);
            mRowsFinal->notify_all();
        }
    }

private:
    const int mRows;
    const int mBandRows;
    const int mBands;
    std::atomic<int> mNext{0};
    std::mutex mMutex;
    std::vector<bool> mDone;
    int mPublished = 0;
    std::atomic<int>* mRowsFinal;
};

std::atomic<SketchRowLoops> rowLoops{SketchRowLoops::Fastest};

using BandFilter = void (*)(const SketchBuffers&, int columns, int rows, int first, int end);

BandFilter bandFilter()
{
    if (rowLoops.load(std::memory_order_relaxed) == SketchRowLoops::Fastest && sketchBandAvx2Available())
        return sketchBandAvx2;
    return sketchBandPortable;
}

void filterBands(const SketchBuffers& buffers, int columns, int rows, BandQueue& queue, BandFilter filter)
{
    for (int band = queue.take(); band < queue.bands(); band = queue.take()) {
        filter(buffers, columns, rows, queue.first(band), queue.end(band));
        queue.finished(band);
    }
}

// How many threads a picture is worth: one per core (at most maxThreads), fewer for a
// small picture, where waking a thread costs more than it saves.
int threadsFor(int columns, int rows, int maxThreads)
{
    if (std::int64_t(columns) * rows < kMinPixelsPerThread * 2 || maxThreads <= 1)
        return 1;
    const int cores = std::min(maxThreads, int(std::max(1u, std::thread::hardware_concurrency())));
    const int bands = (rows + kPublishedBandRows - 1) / kPublishedBandRows;
    return std::max(1, std::min({cores, bands, int(std::int64_t(columns) * rows / kMinPixelsPerThread)}));
}

// Rows per band: 64 while a reader waits on them; otherwise a few bands per thread,
// so that fewer band edges read their neighbours' greys again while a thread that
// is held up still leaves enough bands to the others.
int bandRowsFor(int rows, int threads, bool published)
{
    if (published)
        return kPublishedBandRows;
    if (threads == 1)
        return rows;
    const int bands = threads * kBandsPerThread;
    const int rowsPerBand = (rows + bands - 1) / bands;
    return std::max(kPublishedBandRows, (rowsPerBand + kPublishedBandRows - 1) / kPublishedBandRows * kPublishedBandRows);
}

// The filter; with `rowsFinal`, finished rows are published there.
void runFilter(const SketchBuffers& buffers, std::atomic<int>* rowsFinal, int maxThreads = kMaxThreads)
{
    if (!buffers.original || !buffers.black || !buffers.color || buffers.width <= 0 || buffers.height <= 0)
        return;
    const int columns = pictureExtent(buffers.picsize.width, buffers.width);
    const int rows = pictureExtent(buffers.picsize.height, buffers.height);
    if (columns == 0 || rows == 0)
        return;

    const int threads = threadsFor(columns, rows, maxThreads);
    BandQueue queue(rows, bandRowsFor(rows, threads, rowsFinal != nullptr), rowsFinal);
    const BandFilter filter = bandFilter();
    FilterThreads::shared().run(threads - 1, [&] { filterBands(buffers, columns, rows, queue, filter); });
}

}  // namespace

void buildSketch(const SketchBuffers& buffers)
{
    runFilter(buffers, nullptr);
}

void buildSketchOnThreads(const SketchBuffers& buffers, int threads)
{
    runFilter(buffers, nullptr, threads);
}

void buildSketchWithProgress(const SketchBuffers& buffers, std::atomic<int>& rowsFinal)
{
    runFilter(buffers, &rowsFinal);
    rowsFinal.store(buffers.height, std::memory_order_release);
    rowsFinal.notify_all();
}

SketchRowLoops sketchRowLoops()
{
    return rowLoops.load(std::memory_order_relaxed);
}

void setSketchRowLoops(SketchRowLoops loops)
{
    rowLoops.store(loops, std::memory_order_relaxed);
}

int pictureExtent(float size, int limit)
{
    if (!(size > 0.0f))
        return 0;
    if (size >= float(limit))
        return limit;
    return int(std::ceil(size));
}
