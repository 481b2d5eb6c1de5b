#include "imageio/PngStripEncoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>

#include "base/RunOnThreads.h"
#include "imageio/PngStrips.h"

PngStripEncoder::PngStripEncoder(int width, int height, Pixels pixels)
    : mWidth(width), mHeight(height), mPixels(pixels)
{
    mOk = width > 0 && height > 0;
}

PngStripEncoder::~PngStripEncoder() = default;

PngSource PngStripEncoder::source(const std::uint8_t* bits, std::ptrdiff_t stride, int firstRow) const
{
    PngSource source;
    source.bits = bits;
    source.stride = stride;
    source.firstRow = firstRow;
    source.width = mWidth;
    source.inBytes = 4;
    source.layout = mPixels == Pixels::Grey ? PngLayout::GreyChannel : PngLayout::Rgb;
    return source;
}

bool PngStripEncoder::add(const std::uint8_t* rows, std::ptrdiff_t stride, int count, int threads)
{
    if (!mOk || count < 0 || count > mHeight - mRows) {
        mOk = false;
        return false;
    }
    const std::size_t rowBytes = std::size_t(mWidth) * 4;
    const auto stripEnd = [this](int row) { return std::min(mHeight, (row / kPngStripRows + 1) * kPngStripRows); };
    try {
        // The rest of a strip begun by an earlier call: copied to its first rows.
        if (mRows > mCompressed) {
            const int take = std::min(count, stripEnd(mCompressed) - mRows);
            append(rows, stride, take);
            rows += stride * take;
            count -= take;
            if (mRows == stripEnd(mCompressed)) {
                mStrips.emplace_back();
                compressPngStrip(source(mPending.data(), std::ptrdiff_t(rowBytes), mCompressed), mCompressed, mRows,
                                 mRows == mHeight, &mStrips.back());
                mOk = mStrips.back().ok;
                mCompressed = mRows;
                mPending.clear();
            }
        }
        // Whole strips straight from the rows given, on the threads.
        int whole = 0;
        while (mOk && stripEnd(mRows + whole) - mRows <= count && mRows + whole < mHeight)
            whole = stripEnd(mRows + whole) - mRows;
        if (mOk && whole > 0) {
            const int first = mRows;
            const std::size_t from = mStrips.size();
            const int strips = (whole + kPngStripRows - 1) / kPngStripRows;
            mStrips.resize(from + std::size_t(strips));
            const PngSource given = source(rows, stride, first);
            std::atomic<int> next{0};
            const auto work = [&] {
                for (int i = next++; i < strips; i = next++) {
                    const int y = first + i * kPngStripRows;
                    compressPngStrip(given, y, stripEnd(y), stripEnd(y) == mHeight, &mStrips[from + std::size_t(i)]);
                }
            };
            const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
            runOnNewThreads(std::max(1, std::min({cores, threads, strips})) - 1, work);
            for (std::size_t i = from; i < mStrips.size(); ++i)
                mOk = mOk && mStrips[i].ok;
            rows += stride * whole;
            count -= whole;
            mRows += whole;
            mCompressed = mRows;
        }
        // The first rows of a strip the next call finishes.
        if (mOk && count > 0)
            append(rows, stride, count);
        putStrips();
    } catch (const std::bad_alloc&) {
        mOk = false;
    }
    return mOk;
}

void PngStripEncoder::putStrips()
{
    if (!mOk)
        return;
    if (mFile.isEmpty()) {
        // Room for the rows as they are (the file is rarely larger) taken at once:
        // pages not yet written cost no memory, and the file never grows by copying
        // itself into a larger block while the first is still held.
        const qsizetype channels = mPixels == Pixels::Grey ? 1 : 3;
        mFile.reserve(qsizetype(mHeight) * (qsizetype(mWidth) * channels + 1) + 1024);
        pngFileStart(mFile, mWidth, mHeight, mPixels == Pixels::Grey ? PngLayout::GreyChannel : PngLayout::Rgb);
    }
    for (PngStrip& strip : mStrips) {
        pngFilePutStrip(mFile, strip, mStripsPut == 0, mCompressed == mHeight && &strip == &mStrips.back(), &mAdler);
        ++mStripsPut;
    }
    mStrips.clear();
}

void PngStripEncoder::append(const std::uint8_t* rows, std::ptrdiff_t stride, int count)
{
    const std::size_t rowBytes = std::size_t(mWidth) * 4;
    const std::size_t at = mPending.size();
    mPending.resize(at + std::size_t(count) * rowBytes);
    for (int y = 0; y < count; ++y)
        std::memcpy(mPending.data() + at + std::size_t(y) * rowBytes, rows + stride * y, rowBytes);
    mRows += count;
}

QByteArray PngStripEncoder::finish()
{
    if (!mOk || mRows != mHeight)
        return QByteArray();
    try {
        pngFileEnd(mFile);
    } catch (const std::bad_alloc&) {
        mOk = false;
        mFile = QByteArray();
        return QByteArray();
    }
    mOk = false;  // finished: the file is handed over
    return std::move(mFile);
}
