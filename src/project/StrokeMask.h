#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What one stroke of a partial or soft brush has revealed so far, so that the
// stroke as a whole reveals at most its strength however often its dabs overlap.
//
// For every pixel the stroke reaches it keeps the pixel as it was when the stroke
// first reached it (the base) and the largest share of the source any dab of the
// stroke gave it (its alpha, 0..255). A dab giving a pixel the share `a` larger
// than the one kept sets it to
//     (base x (255 - a) + source x a) / 255, rounded to nearest,
// for each of the four bytes (premultiplied RGBA blends as it is); a share no
// larger leaves the pixel alone. A share of 255 always sets the source exactly
// (and keeps 255), as the hard brush's copy does, whichever source it is.
//
// Kept in tiles of kTileSide x kTileSide pixels taken on first touch, so a stroke
// costs memory for what it reaches only; reset() lets them go for the next stroke
// (the tiles themselves are kept for reuse).
class StrokeMask {
public:
    static constexpr int kTileSide = 32;

    // Forgets the stroke; buffers of bufferWidth x bufferHeight pixels of 4 bytes,
    // rows top to bottom without gaps, from now on. Inactive afterwards.
    void reset(int bufferWidth, int bufferHeight);
    // Forgets the stroke over the same buffers (the rows limited as they were).
    void reset();
    // Only rows first..last are revealed and read from now on (the part of the
    // buffers a thread draws); a reset of the geometry lifts the limit.
    void limitRows(int first, int last);

    // A stroke starts inactive: its full-strength hard dabs copy the source and
    // need no mask. Its first partial or soft dab that reaches the picture turns
    // it on; from then on every dab of the stroke goes through reveal(), and the
    // pixels' bases are the pixels as they were then.
    bool active() const { return mActive; }
    void activate() { mActive = true; }

    // Pixels x0..x1 of row y: pixel x gets the share alphas[x - x0] of the
    // source over its base, as above. `sourceRow` is the source's row y (from
    // column 0); `working` is the whole working buffer, of the geometry of the
    // last reset, and is changed. Pixels outside the buffers are ignored.
    void reveal(int y, int x0, int x1, const std::uint8_t* alphas, const std::uint8_t* sourceRow,
                std::uint8_t* working);

    // Laying a record again need not show each dab: there the shares are only
    // marked (with the source, 0..2, of the dab that set each), and flush() blends
    // every marked pixel once from the picture as it still is, which is the
    // stroke's base as nothing else changes it meanwhile. Pixel for pixel the
    // same as reveal() dab by dab. Use one way or the other for a stroke.
    //
    // Pixels x0..x1 of row y: their shares are made a tile's stretch at a time,
    // `makeShares(x, length, row)` filling the tile's row of shares, row[0 ..
    // kTileSide): pixels x .. x + length - 1 at row[x % kTileSide ..], 0 on
    // either side (length at most kTileSide). `most(x, length)` is the largest
    // of those shares, or more: a stretch where it is 0, or below 255 and
    // reached by every share kept there, cannot change, and its shares are not
    // made at all.
    template <typename Most, typename MakeShares>
    void mark(int y, int x0, int x1, int source, Most most, MakeShares makeShares);
    // `sources[k]` holds buffer rows from sourceFirstRow on; then forgets the
    // marks, as reset() does.
    void flush(const std::uint8_t* const sources[3], int sourceFirstRow, std::uint8_t* working);

    // Tiles holding pixels of the current stroke.
    std::size_t tileCount() const { return mTouched.size(); }

private:
    struct Tile {
        std::vector<std::uint8_t> alpha;   // kTileSide x kTileSide
        std::vector<std::uint8_t> base;    // the same pixels, 4 bytes each (reveal)
        std::vector<std::uint8_t> source;  // of each pixel's share (mark)
        int position = 0;                  // in mIndex
    };
    // The tile, taken on first touch: its base copied from `working` when given.
    Tile& tileAt(int tx, int ty, const std::uint8_t* working);
    // The tile if the stroke has taken it, else null.
    Tile* takenTile(int tx, int ty)
    {
        const int index = mIndex[std::size_t(ty) * std::size_t(mTileColumns) + std::size_t(tx)];
        return index >= 0 ? &mTiles[std::size_t(index)] : nullptr;
    }
    // Whether every share kept in columns column .. column + length - 1 of the
    // tile's row starting at `row` is at least `ceiling`.
    static bool reached(const Tile& tile, std::size_t row, int column, int length, std::uint8_t ceiling);
    // A tile's row of shares (starting at `row` in the tile) marked with `source`
    // where they are larger than the one kept, or full; the tile (null: not
    // taken yet) taken when a share is not 0.
    void markRow(Tile* tile, int tx, int ty, std::size_t row, const std::uint8_t* shares, int source);
    // Pixels x0..x1 of row y (within the buffers and the rows allowed) tile by
    // tile: for each stretch of one tile's row holding a share, `apply(tile, at,
    // x, length, shares)`, `at` the stretch's first pixel in the tile. A stretch
    // of nothing is passed over without taking its tile.
    template <typename Apply>
    void forEachStretch(int y, int x0, int x1, const std::uint8_t* alphas, const std::uint8_t* working,
                        Apply apply);

    int mWidth = 0;
    int mHeight = 0;
    int mTileColumns = 0;
    int mFirstRow = 0;
    int mLastRow = -1;
    bool mActive = false;
    std::vector<int> mIndex;       // per tile of the buffers: its entry in mTiles, or -1
    std::vector<int> mTouched;     // the positions in mIndex set since the reset
    std::vector<Tile> mTiles;      // the first mTouched.size() are in use
};

template <typename Most, typename MakeShares>
void StrokeMask::mark(int y, int x0, int x1, int source, Most most, MakeShares makeShares)
{
    if (y < mFirstRow || y > mLastRow)
        return;
    const int first = x0 > 0 ? x0 : 0;
    const int last = x1 < mWidth - 1 ? x1 : mWidth - 1;
    const int ty = y / kTileSide;
    const std::size_t tileRow = std::size_t(y % kTileSide) * kTileSide;
    // A tile's row of shares, 0 outside the stretch: the row is marked whole.
    alignas(32) std::uint8_t shares[kTileSide];
    for (int x = first; x <= last;) {
        const int tx = x / kTileSide;
        const int column = x % kTileSide;
        const int length = (last - x + 1) < (kTileSide - column) ? (last - x + 1) : (kTileSide - column);
        const int ceiling = most(x, length);
        Tile* tile = takenTile(tx, ty);
        if (ceiling > 0 && !(ceiling < 255 && tile && reached(*tile, tileRow, column, length, std::uint8_t(ceiling)))) {
            makeShares(x, length, shares);
            markRow(tile, tx, ty, tileRow, shares, source);
        }
        x += length;
    }
}
