#include "gl/ReadbackRows.h"

#include <cstring>

void copyReadbackRows(const std::uint8_t* bottomUp, int width, int height, std::uint8_t* topDown,
                      std::size_t destinationStride)
{
    if (width <= 0 || height <= 0)
        return;
    const std::size_t rowBytes = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = bottomUp + std::size_t(height - 1 - y) * rowBytes;
        std::uint8_t* dst = topDown + std::size_t(y) * destinationStride;
        std::memcpy(dst, src, rowBytes);
        for (std::size_t i = 3; i < rowBytes; i += 4)
            dst[i] = 0xFF;
    }
}
