#include "gl/ReadbackRows.h"

#include <cstring>

namespace {

// One row; R and B at byte offsets `red` and `blue` of each source pixel. Words
// are put together from bytes, so this holds on any byte order, and the loop has
// no dependence between pixels, so that the compiler vectorises it.
template <int red, int blue>
void convertRow(const std::uint8_t* __restrict src, std::uint32_t* __restrict dst, int width)
{
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = src + 4 * x;
        dst[x] = 0xFF000000u | std::uint32_t(p[red]) << 16 | std::uint32_t(p[1]) << 8 | std::uint32_t(p[blue]);
    }
}

}  // namespace

void copyReadbackRows(const std::uint8_t* bottomUp, ReadbackOrder order, int width, int height,
                      std::uint8_t* topDown, std::size_t destinationStride)
{
    if (width <= 0 || height <= 0)
        return;
    const std::size_t rowBytes = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = bottomUp + std::size_t(height - 1 - y) * rowBytes;
        // Format_RGB32 rows are word-aligned; the destination row is one.
        auto* dst = reinterpret_cast<std::uint32_t*>(topDown + std::size_t(y) * destinationStride);
        if (order == ReadbackOrder::Bgra)
            convertRow<2, 0>(src, dst, width);
        else
            convertRow<0, 2>(src, dst, width);
    }
}
