#include "project/StrokeMask.h"

#include <algorithm>
#include <cstring>

void StrokeMask::reset(int bufferWidth, int bufferHeight)
{
    mWidth = std::max(bufferWidth, 0);
    mHeight = std::max(bufferHeight, 0);
    mTileColumns = (mWidth + kTileSide - 1) / kTileSide;
    const int tileRows = (mHeight + kTileSide - 1) / kTileSide;
    mIndex.assign(std::size_t(mTileColumns) * std::size_t(tileRows), -1);
    mTouched.clear();
    mActive = false;
}

void StrokeMask::reset()
{
    for (int position : mTouched)
        mIndex[std::size_t(position)] = -1;
    mTouched.clear();
    mActive = false;
}

StrokeMask::Tile& StrokeMask::tileAt(int tx, int ty, const std::uint8_t* working)
{
    const std::size_t position = std::size_t(ty) * std::size_t(mTileColumns) + std::size_t(tx);
    int& index = mIndex[position];
    if (index >= 0)
        return mTiles[std::size_t(index)];
    index = int(mTouched.size());
    mTouched.push_back(int(position));
    if (mTiles.size() < mTouched.size())
        mTiles.push_back(Tile{std::vector<std::uint8_t>(kTileSide * kTileSide),
                              std::vector<std::uint8_t>(kTileSide * kTileSide * 4)});
    Tile& tile = mTiles[std::size_t(index)];
    std::fill(tile.alpha.begin(), tile.alpha.end(), std::uint8_t(0));
    const int x0 = tx * kTileSide;
    const int y0 = ty * kTileSide;
    const int columns = std::min(kTileSide, mWidth - x0);
    const int rows = std::min(kTileSide, mHeight - y0);
    for (int y = 0; y < rows; ++y)
        std::memcpy(tile.base.data() + std::size_t(y) * kTileSide * 4,
                    working + (std::size_t(y0 + y) * std::size_t(mWidth) + std::size_t(x0)) * 4,
                    std::size_t(columns) * 4);
    return tile;
}

void StrokeMask::reveal(int y, int x0, int x1, const std::uint8_t* alphas, const std::uint8_t* sourceRow,
                        std::uint8_t* working)
{
    if (y < 0 || y >= mHeight)
        return;
    const int first = std::max(x0, 0);
    const int last = std::min(x1, mWidth - 1);
    const std::size_t row = std::size_t(y) * std::size_t(mWidth) * 4;
    const int ty = y / kTileSide;
    const int tileRow = y % kTileSide;
    // Tile by tile along the row; within a tile the pixels lie side by side.
    for (int x = first; x <= last;) {
        const int tx = x / kTileSide;
        const int end = std::min(last, tx * kTileSide + kTileSide - 1);
        Tile* tile = nullptr;
        for (; x <= end; ++x) {
            const unsigned a = alphas[x - x0];
            if (a == 0)
                continue;
            if (!tile)
                tile = &tileAt(tx, ty, working);
            const std::size_t at = std::size_t(tileRow) * kTileSide + std::size_t(x % kTileSide);
            // A full share copies the source, as the hard brush does, whatever
            // the stroke gave the pixel before; a partial one only adds to it.
            if (a <= tile->alpha[at] && a != 255u)
                continue;
            tile->alpha[at] = std::uint8_t(a);
            const std::uint8_t* b = tile->base.data() + at * 4;
            const std::uint8_t* s = sourceRow + std::size_t(x) * 4;
            std::uint8_t* w = working + row + std::size_t(x) * 4;
            for (int c = 0; c < 4; ++c) {
                // Rounded to nearest: x / 255 is never half-way for whole x.
                const unsigned v = unsigned(b[c]) * (255u - a) + unsigned(s[c]) * a + 127u;
                w[c] = std::uint8_t(v / 255u);
            }
        }
    }
}
