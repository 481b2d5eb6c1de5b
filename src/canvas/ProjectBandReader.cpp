#include "canvas/ProjectBandReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

constexpr int kBandRows = 64;  // 256 KiB of a 1024-pixel-wide image: well inside a core's cache
constexpr int kFailed = 1 << 30;  // set in the count of rows read when a read failed

}  // namespace

ProjectBandReader::ProjectBandReader(const Source& source, std::function<void(int)> originalRows,
                                     std::function<void()> afterwards)
    : mSource(source)
{
    try {
        mThread = std::thread([this, originalRows, afterwards] { run(originalRows, afterwards); });
    } catch (const std::system_error&) {
        run(originalRows, afterwards);
    }
}

ProjectBandReader::~ProjectBandReader()
{
    stop();
}

bool ProjectBandReader::readBand(std::uint8_t* to, std::int64_t at, std::size_t bytes) const
{
    while (bytes > 0) {
        const ssize_t got = ::pread(mSource.fd, to, bytes, off_t(at));
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

void ProjectBandReader::run(const std::function<void(int)>& originalRows, const std::function<void()>& afterwards)
{
    const std::size_t rowBytes = std::size_t(mSource.width) * 4;
    const std::int64_t imageBytes = std::int64_t(rowBytes) * mSource.height;
    for (int image = 0; image < 2; ++image) {
        std::uint8_t* const buffer = image == 0 ? mSource.original : mSource.working;
        const std::int64_t start = mSource.offset + image * imageBytes;
        for (int row = 0; row < mSource.height; row += kBandRows) {
            if (mStopped.load(std::memory_order_relaxed))
                return;
            const int rows = std::min(kBandRows, mSource.height - row);
            if (!readBand(buffer + std::size_t(row) * rowBytes, start + std::int64_t(row) * std::int64_t(rowBytes),
                          std::size_t(rows) * rowBytes)) {
                mRowsRead.fetch_or(kFailed, std::memory_order_release);
                mRowsRead.notify_all();
                return;
            }
            if (image == 0)
                originalRows(row + rows);
            mRowsRead.store(image * mSource.height + row + rows, std::memory_order_release);
            mRowsRead.notify_all();
        }
    }
    afterwards();
}

bool ProjectBandReader::awaitRows(int rows)
{
    for (;;) {
        const int read = mRowsRead.load(std::memory_order_acquire);
        if ((read & ~kFailed) >= rows)
            return true;
        if (read & kFailed)
            return false;
        mRowsRead.wait(read, std::memory_order_acquire);
    }
}

void ProjectBandReader::stop()
{
    mStopped.store(true, std::memory_order_relaxed);
    if (mThread.joinable())
        mThread.join();
}
