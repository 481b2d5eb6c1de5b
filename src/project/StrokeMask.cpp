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
    mFirstRow = 0;
    mLastRow = mHeight - 1;
}

void StrokeMask::limitRows(int first, int last)
{
    mFirstRow = std::max(first, 0);
    mLastRow = std::min(last, mHeight - 1);
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
    // Only the rows this mask may change: others may be another thread's.
    const int from = std::max(y0, mFirstRow);
    const int to = std::min(y0 + kTileSide - 1, mLastRow);
    for (int y = from; y <= to; ++y)
        std::memcpy(tile.base.data() + std::size_t(y - y0) * kTileSide * 4,
                    working + (std::size_t(y) * std::size_t(mWidth) + std::size_t(x0)) * 4,
                    std::size_t(columns) * 4);
    return tile;
}

namespace {

// `length` pixels (at most a tile's row): where the share a is larger than the
// one kept (or full), the share is kept and the pixel becomes
// (base x (255 - a) + source x a) / 255 rounded; elsewhere both stay. The shares
// are compared all at once first; only the pixels that change are worked out.
void blendStretch(int length, const std::uint8_t* shares, std::uint8_t* kept, const std::uint8_t* base,
                  const std::uint8_t* source, std::uint8_t* working)
{
    std::uint8_t take[StrokeMask::kTileSide];
    for (int i = 0; i < length; ++i) {
        const std::uint8_t a = shares[i];
        const std::uint8_t old = kept[i];
        const std::uint8_t t = std::uint8_t((a > old) | (a == 255));
        take[i] = t;
        kept[i] = t ? a : old;
    }
    for (int i = 0; i < length; ++i) {
        if (!take[i])
            continue;
        const unsigned a = shares[i];
        for (int c = 0; c < 4; ++c) {
            const std::size_t k = std::size_t(i) * 4 + std::size_t(c);
            // Rounded to nearest: x / 255 is never half-way for whole x.
            working[k] = std::uint8_t((unsigned(base[k]) * (255u - a) + unsigned(source[k]) * a + 127u) / 255u);
        }
    }
}

}  // namespace

void StrokeMask::reveal(int y, int x0, int x1, const std::uint8_t* alphas, const std::uint8_t* sourceRow,
                        std::uint8_t* working)
{
    if (y < mFirstRow || y > mLastRow)
        return;
    const int first = std::max(x0, 0);
    const int last = std::min(x1, mWidth - 1);
    const std::size_t row = std::size_t(y) * std::size_t(mWidth) * 4;
    const int ty = y / kTileSide;
    const int tileRow = y % kTileSide;
    // Tile by tile along the row; within a tile the pixels lie side by side. A
    // stretch of nothing is passed over without taking its tile.
    for (int x = first; x <= last;) {
        const int tx = x / kTileSide;
        const int end = std::min(last, tx * kTileSide + kTileSide - 1);
        const int length = end - x + 1;
        const std::uint8_t* a = alphas + (x - x0);
        unsigned any = 0;
        for (int i = 0; i < length; ++i)
            any |= a[i];
        if (any != 0) {
            Tile& tile = tileAt(tx, ty, working);
            const std::size_t at = std::size_t(tileRow) * kTileSide + std::size_t(x % kTileSide);
            blendStretch(length, a, tile.alpha.data() + at, tile.base.data() + at * 4, sourceRow + std::size_t(x) * 4,
                         working + row + std::size_t(x) * 4);
        }
        x = end + 1;
    }
}
