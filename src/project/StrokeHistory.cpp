#include "project/StrokeHistory.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "project/BrushDab.h"

namespace {

std::size_t rowBytes(const StrokeHistory::Pixels& p)
{
    return std::size_t(p.bufferWidth) * 4;
}

std::uint8_t* pixelAt(const StrokeHistory::Pixels& p, int x, int y)
{
    return p.data + std::size_t(y) * rowBytes(p) + std::size_t(x) * 4;
}

bool usable(const StrokeHistory::Pixels& p)
{
    return p.data && p.bufferWidth > 0 && p.bufferHeight > 0 && p.columns > 0 && p.rows > 0 &&
           p.columns <= p.bufferWidth && p.rows <= p.bufferHeight;
}

}  // namespace

std::size_t StrokeHistory::Stroke::bytes() const
{
    std::size_t n = dabs.capacity() * sizeof(Dab);
    for (const Tile& tile : tiles)
        n += tile.pixels.capacity() + sizeof(Tile);
    return n;
}

StrokeHistory::StrokeHistory(std::size_t byteLimit) : mLimit(byteLimit) {}

std::uint64_t StrokeHistory::dabCost(const Dab& dab, int bufferWidth, int bufferHeight)
{
    const BrushDab::Box box = BrushDab::boundingBox(
        dab.centre, dab.radius, FloatSize{float(bufferWidth), float(bufferHeight)}, bufferWidth, bufferHeight);
    if (box.empty())
        return 0;
    return (std::uint64_t(std::int64_t(box.xe) - box.xs + 1) + kRowCost) *
           std::uint64_t(std::int64_t(box.ye) - box.ys + 1);
}

void StrokeHistory::reset()
{
    mBytes = 0;
    mGeometry = Pixels{};
    mDone.clear();
    mUndone.clear();
    mSettled.clear();
    mRecordDabs = 0;
    mRecordCost = 0;
    mRecordLost = false;
    mBasePosition = kFreshPosition;
    mOpen = false;
    mStroke = Stroke{};
    mTileIndex.clear();
    mTileColumns = 0;
}

bool StrokeHistory::sameGeometry(const Pixels& p) const
{
    return usable(p) && p.bufferWidth == mGeometry.bufferWidth && p.bufferHeight == mGeometry.bufferHeight &&
           p.columns == mGeometry.columns && p.rows == mGeometry.rows;
}

void StrokeHistory::beginStroke(const Pixels& pixels)
{
    if (mOpen || !usable(pixels))
        return;
    if (!sameGeometry(pixels)) {
        reset();
        mGeometry = pixels;
        mGeometry.data = nullptr;
    }
    mOpen = true;
    mStroke = Stroke{};
    mTileColumns = (pixels.columns + kTileSide - 1) / kTileSide;
    const int tileRows = (pixels.rows + kTileSide - 1) / kTileSide;
    mTileIndex.assign(std::size_t(mTileColumns) * std::size_t(tileRows), -1);
}

void StrokeHistory::aboutToChange(const Pixels& pixels, int x0, int y0, int x1, int y1)
{
    if (!mOpen || !sameGeometry(pixels))
        return;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, pixels.columns - 1);
    y1 = std::min(y1, pixels.rows - 1);
    if (x0 > x1 || y0 > y1)
        return;
    for (int ty = y0 / kTileSide; ty <= y1 / kTileSide; ++ty)
        for (int tx = x0 / kTileSide; tx <= x1 / kTileSide; ++tx) {
            int& index = mTileIndex[std::size_t(ty) * std::size_t(mTileColumns) + std::size_t(tx)];
            if (index >= 0)
                continue;
            Tile tile;
            tile.rect.x = tx * kTileSide;
            tile.rect.y = ty * kTileSide;
            tile.rect.width = std::min(kTileSide, pixels.columns - tile.rect.x);
            tile.rect.height = std::min(kTileSide, pixels.rows - tile.rect.y);
            const std::size_t span = std::size_t(tile.rect.width) * 4;
            tile.pixels.resize(span * std::size_t(tile.rect.height));
            for (int y = 0; y < tile.rect.height; ++y)
                std::memcpy(tile.pixels.data() + std::size_t(y) * span, pixelAt(pixels, tile.rect.x, tile.rect.y + y),
                            span);
            index = int(mStroke.tiles.size());
            mStroke.tiles.push_back(std::move(tile));
        }
}

void StrokeHistory::addDab(const Dab& dab)
{
    if (!mOpen)
        return;
    mStroke.laid = true;
    if (mRecordLost)
        return;
    const std::uint64_t cost = dabCost(dab, mGeometry.bufferWidth, mGeometry.bufferHeight);
    mStroke.dabs.push_back(dab);
    mStroke.dabs.back().startsStroke = false;
    // A stroke with a soft or partial dab marks its first dab, which is where its
    // mask starts when the record is laid again.
    if (!dab.plain())
        mStroke.dabs.front().startsStroke = true;
    mStroke.cost += cost;
    mRecordDabs += 1;
    mRecordCost += cost;
    if (mRecordDabs > kMaxRecordDabs || mRecordCost > kMaxRecordCost)
        giveUpRecord();
}

void StrokeHistory::giveUpRecord()
{
    mRecordLost = true;
    mRecordDabs = 0;
    mRecordCost = 0;
    mSettled = std::vector<Dab>();
    mStroke.dabs = std::vector<Dab>();
    mStroke.cost = 0;
    mBytes = 0;
    for (std::vector<Stroke>* side : {&mDone, &mUndone})
        for (Stroke& stroke : *side) {
            stroke.dabs = std::vector<Dab>();
            stroke.cost = 0;
            mBytes += stroke.bytes();
        }
}

bool StrokeHistory::endStroke(const Pixels& pixels)
{
    if (!mOpen)
        return false;
    mOpen = false;
    mTileIndex.clear();
    Stroke stroke = std::move(mStroke);
    mStroke = Stroke{};
    if (!stroke.laid)
        return false;
    if (!sameGeometry(pixels)) {
        // The pixels went away under the stroke: nothing of it can be undone.
        reset();
        return false;
    }

    // Only tiles that changed are kept, in rows from the top, left to right.
    std::erase_if(stroke.tiles, [&](const Tile& tile) {
        const std::size_t span = std::size_t(tile.rect.width) * 4;
        for (int y = 0; y < tile.rect.height; ++y)
            if (std::memcmp(tile.pixels.data() + std::size_t(y) * span, pixelAt(pixels, tile.rect.x, tile.rect.y + y),
                            span) != 0)
                return false;
        return true;
    });
    std::sort(stroke.tiles.begin(), stroke.tiles.end(), [](const Tile& a, const Tile& b) {
        return a.rect.y != b.rect.y ? a.rect.y < b.rect.y : a.rect.x < b.rect.x;
    });
    stroke.tiles.shrink_to_fit();
    stroke.dabs.shrink_to_fit();

    for (const Stroke& undone : mUndone)
        mBytes -= undone.bytes();
    mUndone.clear();
    mBytes += stroke.bytes();
    stroke.position = ++mLastPosition;
    mDone.push_back(std::move(stroke));
    while (mBytes > mLimit && !mDone.empty())
        settleOldest();
    return true;
}

void StrokeHistory::settleOldest()
{
    Stroke& oldest = mDone.front();
    mBytes -= oldest.bytes();
    mBasePosition = oldest.position;
    mSettled.insert(mSettled.end(), oldest.dabs.begin(), oldest.dabs.end());
    mDone.erase(mDone.begin());
}

bool StrokeHistory::exchange(std::vector<Stroke>& from, std::vector<Stroke>& to, const Pixels& pixels,
                             std::vector<Rect>* changed)
{
    if (changed)
        changed->clear();
    if (from.empty() || mOpen || !sameGeometry(pixels))
        return false;
    Stroke stroke = std::move(from.back());
    from.pop_back();
    for (Tile& tile : stroke.tiles) {
        const std::size_t span = std::size_t(tile.rect.width) * 4;
        for (int y = 0; y < tile.rect.height; ++y) {
            std::uint8_t* kept = tile.pixels.data() + std::size_t(y) * span;
            std::uint8_t* shown = pixelAt(pixels, tile.rect.x, tile.rect.y + y);
            std::swap_ranges(kept, kept + span, shown);
        }
        if (!changed)
            continue;
        // Tiles of one row that touch are told as one rectangle.
        Rect* last = changed->empty() ? nullptr : &changed->back();
        if (last && last->y == tile.rect.y && last->height == tile.rect.height &&
            last->x + last->width == tile.rect.x)
            last->width += tile.rect.width;
        else
            changed->push_back(tile.rect);
    }
    to.push_back(std::move(stroke));
    return true;
}

bool StrokeHistory::undo(const Pixels& pixels, std::vector<Rect>* changed)
{
    if (!exchange(mDone, mUndone, pixels, changed))
        return false;
    mRecordDabs -= mUndone.back().dabs.size();
    mRecordCost -= mUndone.back().cost;
    return true;
}

bool StrokeHistory::redo(const Pixels& pixels, std::vector<Rect>* changed)
{
    if (!exchange(mUndone, mDone, pixels, changed))
        return false;
    mRecordDabs += mDone.back().dabs.size();
    mRecordCost += mDone.back().cost;
    return true;
}

std::vector<StrokeHistory::Dab> StrokeHistory::dabs() const
{
    std::vector<Dab> all = mSettled;
    for (const Stroke& stroke : mDone)
        all.insert(all.end(), stroke.dabs.begin(), stroke.dabs.end());
    return all;
}

void StrokeHistory::restoreRecord(const Pixels& pixels, std::vector<Dab> dabs)
{
    reset();
    if (!usable(pixels))
        return;
    mGeometry = pixels;
    mGeometry.data = nullptr;
    mSettled = std::move(dabs);
    mRecordDabs = mSettled.size();
    for (std::size_t i = 0; i < mSettled.size() && mRecordCost <= kMaxRecordCost; ++i)
        mRecordCost += dabCost(mSettled[i], pixels.bufferWidth, pixels.bufferHeight);
    if (mRecordDabs > kMaxRecordDabs || mRecordCost > kMaxRecordCost)
        giveUpRecord();
}

std::vector<StrokeHistory::Dab> StrokeHistory::recordedDabs() const
{
    std::vector<Dab> all = dabs();
    if (mOpen)
        all.insert(all.end(), mStroke.dabs.begin(), mStroke.dabs.end());
    return all;
}
