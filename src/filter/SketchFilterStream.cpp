#include "filter/SketchFilterStream.h"

#include <algorithm>
#include <system_error>

#include "filter/SketchFilterRows.h"

namespace {

constexpr int kBandRows = 64;
constexpr int kReach = 2;  // rows a band reads beyond its own, above and below

}  // namespace

SketchFilterStream::SketchFilterStream(const SketchBuffers& buffers, int threads) : mBuffers(buffers)
{
    const bool usable = buffers.original && buffers.black && buffers.color && buffers.width > 0 && buffers.height > 0;
    if (usable) {
        mColumns = pictureExtent(buffers.picsize.width, buffers.width);
        mRows = pictureExtent(buffers.picsize.height, buffers.height);
    }
    if (mColumns == 0 || mRows == 0) {
        mRowsFinal.store(std::max(0, buffers.height), std::memory_order_release);
        return;  // nothing to filter
    }
    mBands = (mRows + kBandRows - 1) / kBandRows;
    mDone.assign(std::size_t(mBands), false);
    mFilter = sketchBandAvx2Available() ? sketchBandAvx2 : sketchBandPortable;
    for (int i = 0; i < std::min(threads, mBands); ++i) {
        try {
            mThreads.emplace_back([this] { workUntilDone(); });
        } catch (const std::system_error&) {
            break;  // the waiting callers do the bands
        }
    }
}

SketchFilterStream::~SketchFilterStream()
{
    stop();
    for (std::thread& thread : mThreads)
        thread.join();
}

void SketchFilterStream::originalRowsRead(int rows)
{
    {
        const std::lock_guard lock(mMutex);
        if (rows <= mRowsRead)
            return;
        mRowsRead = rows;
    }
    mChanged.notify_all();
}

int SketchFilterStream::startableBand() const
{
    if (mStopped || mNext >= mBands)
        return -1;
    const int needed = std::min(mRows, (mNext + 1) * kBandRows + kReach);
    return mRowsRead >= needed ? mNext : -1;
}

// Takes `band` (startableBand()) and runs it with the lock let go meanwhile.
void SketchFilterStream::runTaken(std::unique_lock<std::mutex>& lock, int band)
{
    ++mNext;
    ++mRunning;
    lock.unlock();
    mFilter(mBuffers, mColumns, mRows, band * kBandRows, std::min(mRows, (band + 1) * kBandRows));
    lock.lock();
    --mRunning;
    published(band);
    mChanged.notify_all();
}

// Under mMutex.
void SketchFilterStream::published(int band)
{
    mDone[std::size_t(band)] = true;
    const int before = mPublished;
    while (mPublished < mBands && mDone[std::size_t(mPublished)])
        ++mPublished;
    if (mPublished > before) {
        const int rows = mPublished == mBands ? mBuffers.height : mPublished * kBandRows;
        mRowsFinal.store(rows, std::memory_order_release);
    }
}

void SketchFilterStream::workUntilDone()
{
    std::unique_lock lock(mMutex);
    for (;;) {
        mChanged.wait(lock, [this] { return mStopped || mNext >= mBands || startableBand() >= 0; });
        const int band = startableBand();
        if (band < 0)
            return;  // stopped, or every band taken
        runTaken(lock, band);
    }
}

int SketchFilterStream::awaitRowsBeyond(int known)
{
    std::unique_lock lock(mMutex);
    for (;;) {
        const int rows = mRowsFinal.load(std::memory_order_relaxed);
        if (rows > known || mStopped)
            return rows;
        const int band = startableBand();
        if (band < 0) {
            mChanged.wait(lock);
            continue;
        }
        runTaken(lock, band);
    }
}

bool SketchFilterStream::runBand()
{
    std::unique_lock lock(mMutex);
    const int band = startableBand();
    if (band < 0)
        return false;
    runTaken(lock, band);
    return true;
}

void SketchFilterStream::stop()
{
    std::unique_lock lock(mMutex);
    mStopped = true;
    mChanged.notify_all();
    mChanged.wait(lock, [this] { return mRunning == 0; });
}
