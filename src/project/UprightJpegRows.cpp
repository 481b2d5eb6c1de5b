#include "project/UprightJpegRows.h"

#include <algorithm>

#include "imageio/Image.h"

bool UprightJpegRows::open(const QString& path)
{
    if (!mStrips.open(path))
        return false;
    const int tag = mStrips.orientation();
    mMirrored = tag == ImageOrientationUpMirrored;
    return tag == ImageOrientationUp || mMirrored;
}

bool UprightJpegRows::read(std::uint8_t* rows, std::ptrdiff_t stride, int count)
{
    if (!mStrips.read(rows, stride, count))
        return false;
    if (mMirrored) {
        const int w = mStrips.size().width();
        for (int y = 0; y < count; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(rows + stride * y);
            std::reverse(row, row + w);
        }
    }
    return true;
}
