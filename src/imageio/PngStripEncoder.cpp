#include "imageio/PngStripEncoder.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace {

PngLayout layoutOf(PngStripEncoder::Pixels pixels)
{
    return pixels == PngStripEncoder::Pixels::Grey ? PngLayout::GreyChannel : PngLayout::Rgb;
}

}  // namespace

PngStripEncoder::PngStripEncoder(int width, int height, Pixels pixels, int threads, Out out, PngMatching matching)
    : mWidth(width),
      mHeight(height),
      mPixels(pixels),
      mThreads(std::max(1, std::min(threads, int(std::max(1u, std::thread::hardware_concurrency()))))),
      mOut(std::move(out)),
      mMatching(matching)
{
    mOk = width > 0 && height > 0;
    if (!mOut)
        mOut = [this](const char* bytes, qint64 size) {
            if (mFile.isEmpty()) {
                // Room for the rows as they are (the file is rarely larger) taken at
                // once: pages not yet written cost no memory, and the file never
                // grows by copying itself into a larger block.
                const qsizetype channels = mPixels == Pixels::Grey ? 1 : 3;
                mFile.reserve(qsizetype(mHeight) * (qsizetype(mWidth) * channels + 1) + 1024);
            }
            mFile.append(bytes, size);
            return true;
        };
}

PngStripEncoder::~PngStripEncoder()
{
    {
        const std::lock_guard lock(mMutex);
        mOk = false;  // given up: the strips still queued are dropped
    }
    stopThreads();
}

void PngStripEncoder::stopThreads()
{
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
    }
    mWorkReady.notify_all();
    for (std::thread& worker : mWorkers)
        worker.join();
    mWorkers.clear();
}

bool PngStripEncoder::add(const std::uint8_t* rows, std::ptrdiff_t stride, int count)
{
    {
        const std::lock_guard lock(mMutex);
        if (!mOk || mEnded || count < 0 || count > mHeight - mRows) {
            mOk = false;
            return false;
        }
    }
    PngSource source;
    source.bits = rows;
    source.stride = stride;
    source.firstRow = mRows;
    source.width = mWidth;
    source.inBytes = 4;
    source.layout = layoutOf(mPixels);
    const std::size_t rowBytes = std::size_t(mWidth) * std::size_t(source.outBytes());
    try {
        for (int y = mRows; y < source.firstRow + count; ++y) {
            const int stripFirst = y / kPngStripRows * kPngStripRows;
            if (mFill.empty())
                mFill.reserve(rowBytes * std::size_t(std::min(mHeight - stripFirst, kPngStripRows)));
            const std::size_t at = mFill.size();
            mFill.resize(at + rowBytes);
            if (!source.row(y, mFill.data() + at)) {
                const std::lock_guard lock(mMutex);
                mOk = false;  // a pixel of a grey picture that is not grey
                return false;
            }
            ++mRows;
            if (mRows == mHeight || mRows % kPngStripRows == 0)
                submit();
        }
    } catch (const std::bad_alloc&) {
        const std::lock_guard lock(mMutex);
        mOk = false;
        return false;
    }
    std::unique_lock lock(mMutex);
    if (mRows == mHeight)
        mSpace.wait(lock, [this] { return mPut == mSubmitted; });
    return mOk;
}

void PngStripEncoder::submit()
{
    Job job;
    job.index = mSubmitted;
    job.end = mRows;
    job.first = (mRows - 1) / kPngStripRows * kPngStripRows;
    job.pixels = std::move(mFill);
    mFill = {};
    {
        std::unique_lock lock(mMutex);
        // A few strips under way at most: one for each thread and one waiting.
        mSpace.wait(lock, [this] { return !mOk || mSubmitted - mPut <= std::size_t(mThreads); });
        if (!mOk)
            return;
        mQueue.push_back(std::move(job));
        ++mSubmitted;
    }
    try {
        if (mWorkers.size() < std::size_t(mThreads))
            mWorkers.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: those there are do the work, or this one.
        if (mWorkers.empty()) {
            std::unique_lock lock(mMutex);
            while (!mQueue.empty())
                compressNext(lock);
            return;
        }
    }
    mWorkReady.notify_one();
}

void PngStripEncoder::work()
{
    std::unique_lock lock(mMutex);
    for (;;) {
        mWorkReady.wait(lock, [this] { return mStopping || !mQueue.empty(); });
        if (mQueue.empty())
            return;
        compressNext(lock);
    }
}

void PngStripEncoder::compressNext(std::unique_lock<std::mutex>& lock)
{
    Job job = std::move(mQueue.front());
    mQueue.pop_front();
    const bool wanted = mOk;
    lock.unlock();
    PngStrip strip;
    if (wanted) {
        PngSource source;
        source.bits = job.pixels.data();
        source.layout = layoutOf(mPixels);
        source.inBytes = source.outBytes();
        source.stride = std::ptrdiff_t(mWidth) * source.inBytes;
        source.firstRow = job.first;
        source.width = mWidth;
        compressPngStrip(source, job.first, job.end, job.end == mHeight, &strip, mMatching);
    }
    job.pixels = {};
    lock.lock();
    mDone.emplace(job.index, std::move(strip));
    putDone(lock);
}

void PngStripEncoder::putDone(std::unique_lock<std::mutex>&)
{
    // Under the lock: strips go out one call at a time, in order.
    for (auto next = mDone.find(mPut); next != mDone.end(); next = mDone.find(mPut)) {
        PngStrip& strip = next->second;
        mOk = mOk && strip.ok;
        if (mOk) {
            try {
                QByteArray bytes;
                if (mPut == 0)
                    pngFileStart(bytes, mWidth, mHeight, layoutOf(mPixels));
                const bool last = std::size_t(mHeight - 1) / kPngStripRows == mPut;
                pngFilePutStrip(bytes, strip, mPut == 0, last, &mAdler);
                mOk = send(bytes);
            } catch (const std::bad_alloc&) {
                mOk = false;
            }
        }
        mDone.erase(next);
        ++mPut;
    }
    mSpace.notify_all();
}

bool PngStripEncoder::send(const QByteArray& bytes) { return mOut(bytes.constData(), bytes.size()); }

bool PngStripEncoder::end()
{
    {
        std::unique_lock lock(mMutex);
        mSpace.wait(lock, [this] { return mPut == mSubmitted; });
        if (mEnded || mRows != mHeight)
            mOk = false;
        mEnded = true;
    }
    stopThreads();
    if (!mOk)
        return false;
    try {
        QByteArray bytes;
        pngFileEnd(bytes);
        mOk = send(bytes);
    } catch (const std::bad_alloc&) {
        mOk = false;
    }
    return mOk;
}

QByteArray PngStripEncoder::finish()
{
    if (!end())
        mFile = QByteArray();
    return std::move(mFile);
}
