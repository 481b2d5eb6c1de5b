// The pencil sketch filter as the canvas runs it, over up to a million pixels
// while the user waits: bands of 64 rows shared out between the cores, each worked
// through by the AVX2 row loops where the processor has them and by the portable
// ones elsewhere (SketchFilterRows.h). Same bytes as buildSketchReference.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "canvas/SketchFilter.h"
#include "canvas/SketchFilterRows.h"

namespace {

constexpr int kBandRows = 64;                      // rows a thread takes at a time
constexpr std::int64_t kMinPixelsPerThread = 1 << 16;
constexpr int kMaxThreads = 4;

// Bands of rows handed out top first to the threads of one run; finished bands
// are published in order, as the count of final rows from the top.
class BandQueue {
public:
    BandQueue(int rows, std::atomic<int>* rowsFinal)
        : mRows(rows), mBands((rows + kBandRows - 1) / kBandRows), mDone(std::size_t(mBands), false),
          mRowsFinal(rowsFinal)
    {
    }

    int bands() const { return mBands; }

    // The next band to compute; bands() or more when all are taken.
    int take() { return mNext.fetch_add(1, std::memory_order_relaxed); }
    int first(int band) const { return band * kBandRows; }
    int end(int band) const { return std::min(mRows, (band + 1) * kBandRows); }

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
            mRowsFinal->store(std::min(mRows, mPublished * kBandRows), std::memory_order_release);
            mRowsFinal->notify_all();
        }
    }

private:
    const int mRows;
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
// small picture, where starting a thread costs more than it saves.
int threadsFor(int columns, int rows, int bands, int maxThreads)
{
    if (std::int64_t(columns) * rows < kMinPixelsPerThread * 2 || maxThreads <= 1)
        return 1;
    const int cores = std::min(maxThreads, int(std::max(1u, std::thread::hardware_concurrency())));
    return std::max(1, std::min({cores, bands, int(std::int64_t(columns) * rows / kMinPixelsPerThread)}));
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

    BandQueue queue(rows, rowsFinal);
    const BandFilter filter = bandFilter();
    std::vector<std::thread> helpers;
    const int threads = threadsFor(columns, rows, queue.bands(), maxThreads);
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&] { filterBands(buffers, columns, rows, queue, filter); });
        } catch (const std::system_error&) {
            break;  // no thread to be had: the bands are done here
        }
    }
    filterBands(buffers, columns, rows, queue, filter);
    for (std::thread& helper : helpers)
        helper.join();
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
