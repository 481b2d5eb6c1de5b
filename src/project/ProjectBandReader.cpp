#include "project/ProjectBandReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

constexpr int kBandRows = 64;  // 256 KiB of a 1024-pixel-wide image: well inside a core's cache

bool readFully(int fd, std::uint8_t* to, std::int64_t at, std::size_t bytes)
{
    while (bytes > 0) {
        const ssize_t got = ::pread(fd, to, bytes, off_t(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;  // an error, or the file ended early
        to += got;
        at += got;
        bytes -= std::size_t(got);
    }
    return true;
}

}  // namespace

ProjectBandReader::ProjectBandReader(const Source& source, std::function<void(int)> originalRows,
                                     std::function<void()> afterwards)
    : mSource(source), mOriginalRows(std::move(originalRows)), mAfterwards(std::move(afterwards))
{
    mBandsPerImage = std::max(0, (source.height + kBandRows - 1) / kBandRows);
    mBands.assign(std::size_t(2 * mBandsPerImage), Band::Unread);
    try {
        mThread = std::thread([this] { runThread(); });
    } catch (const std::system_error&) {
        // awaitRows reads every band
    }
}

ProjectBandReader::~ProjectBandReader()
{
    stop();
}

int ProjectBandReader::unreadBand(int from) const
{
    for (int band = from; band < int(mBands.size()); ++band)
        if (mBands[std::size_t(band)] == Band::Unread)
            return band;
    return -1;
}

void ProjectBandReader::readClaimed(std::unique_lock<std::mutex>& lock, int band)
{
    mBands[std::size_t(band)] = Band::Reading;
    lock.unlock();
    const int image = band / mBandsPerImage;
    const int row = (band % mBandsPerImage) * kBandRows;
    const int rows = std::min(kBandRows, mSource.height - row);
    const std::size_t rowBytes = std::size_t(mSource.width) * 4;
    std::uint8_t* const buffer = image == 0 ? mSource.original : mSource.working;
    const std::int64_t at =
        mSource.offset + (std::int64_t(image) * mSource.height + row) * std::int64_t(rowBytes);
    const bool read = readFully(mSource.fd, buffer + std::size_t(row) * rowBytes, at, std::size_t(rows) * rowBytes);
    lock.lock();
    mBands[std::size_t(band)] = read ? Band::Read : Band::Failed;
    mFailed = mFailed || !read;
    if (read && image == 0) {
        int first = 0;
        while (first < mBandsPerImage && mBands[std::size_t(first)] == Band::Read)
            ++first;
        const int originalRows = std::min(mSource.height, first * kBandRows);
        if (originalRows > mOriginalRowsTold) {
            mOriginalRowsTold = originalRows;
            mOriginalRows(originalRows);
        }
    }
    mChanged.notify_all();
}

void ProjectBandReader::runThread()
{
    std::unique_lock lock(mMutex);
    for (;;) {
        if (mFailed)
            return;
        const int band = unreadBand(0);
        if (band < 0)
            break;
        if (mStopped)
            return;
        readClaimed(lock, band);
    }
    // Every band is read or being read: `afterwards` once all are in.
    const auto reading = [this] { return std::find(mBands.begin(), mBands.end(), Band::Reading) != mBands.end(); };
    mChanged.wait(lock, [&] { return !reading(); });
    if (mFailed)
        return;
    lock.unlock();
    mAfterwards();
}

bool ProjectBandReader::awaitRows(int rows)
{
    rows = std::clamp(rows, 0, 2 * mSource.height);
    if (rows == 0)
        return true;
    const int image = (rows - 1) / mSource.height;
    const int last = image * mBandsPerImage + ((rows - 1) % mSource.height) / kBandRows;
    std::unique_lock lock(mMutex);
    for (int band = 0; band <= last;) {
        const Band state = mBands[std::size_t(band)];
        if (state == Band::Read) {
            ++band;
        } else if (state == Band::Failed) {
            return false;
        } else if (state == Band::Unread) {
            readClaimed(lock, band);
        } else if (const int next = unreadBand(band + 1); next >= 0 && !mFailed) {
            readClaimed(lock, next);  // while another thread reads this one
        } else {
            mChanged.wait(lock);
        }
    }
    return true;
}

void ProjectBandReader::stop()
{
    {
        const std::lock_guard lock(mMutex);
        mStopped = true;
    }
    if (mThread.joinable())
        mThread.join();
}
