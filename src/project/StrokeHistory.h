#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Geometry.h"

// The undo history of brush strokes over the working image, as plain data: no GL
// and no widgets.
//
// A stroke keeps only the pixels it changed, in tiles of kTileSide x kTileSide
// pixels (smaller at the picture's right and bottom edges): while a stroke is open
// each tile is copied once, before the first dab that may reach it paints; when the
// stroke ends, tiles whose pixels came out unchanged are let go. Undo and redo
// exchange a stroke's tiles with the buffer, so one copy serves both directions.
//
// Every dab laid is recorded with its stroke (centre and radius in picture pixels,
// shape, source, hardness and alpha), so that the picture can be painted again from the record. The
// record follows undo and redo: dabs() lists the dabs of the strokes that are on
// the picture, in the order they were laid.
//
// Memory: the pixels and dabs of the strokes that can be undone or redone stay
// within the byte limit; ending a stroke that goes over it first forgets the redo
// side and then makes the oldest strokes permanent (no longer undoable). Their dabs
// are kept, outside the limit (24 bytes a dab), as the start of the record.
//
// The record has bounds, so that laying it again (which checks it) stays within a
// second or two whatever it holds: kMaxRecordDabs dabs (24 MiB), and a cost of
// kMaxRecordCost in all (dabCost, the work of laying a dab). An evening of
// painting lays a few thousand dabs; the largest brush at one pixel a point costs
// about 29,000 a dab, so the cost bound is some 300,000 such dabs (84,000 at the
// smallest zoom). When the dabs on the picture pass either bound, the record is
// given up for good (recordKept() turns false, its dabs are let go): the strokes
// and their undo stay as they are, only the picture can no longer be drawn again
// from its record.
class StrokeHistory {
public:
    // The pixels strokes change: bufferWidth x bufferHeight pixels of 4 bytes, rows
    // top to bottom without gaps; only the top-left columns x rows area (the
    // picture) is ever read or written.
    struct Pixels {
        std::uint8_t* data = nullptr;
        int bufferWidth = 0;
        int bufferHeight = 0;
        int columns = 0;
        int rows = 0;
    };

    // Pixels x .. x + width - 1, y .. y + height - 1.
    struct Rect {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        friend bool operator==(const Rect&, const Rect&) = default;
    };

    struct Dab {
        FloatPoint centre;  // picture pixels, y down from the top row
        float radius = 0.0f;
        int shape = 0;
        int drawType = 0;
        // A soft or partial dab (BlendedDab): hardness in percent, the share of
        // the source at full coverage. 100 and 255 are the hard brush's copy.
        std::uint8_t hardness = 100;
        std::uint8_t alpha = 255;
        // The first dab of a stroke that laid soft or partial dabs: the stroke's
        // mask (StrokeMask) starts anew here when the record is laid again. Only
        // such strokes mark their start; the copy of plain dabs needs no mask.
        bool startsStroke = false;
        bool plain() const { return hardness >= 100 && alpha >= 255; }
        friend bool operator==(const Dab&, const Dab&) = default;
    };

    static constexpr int kTileSide = 32;
    static constexpr std::size_t kDefaultByteLimit = std::size_t(64) << 20;
    static constexpr std::size_t kMaxRecordDabs = std::size_t(1) << 20;
    static constexpr std::uint64_t kMaxRecordCost = std::uint64_t(1) << 33;

    // The work of laying the dab again over a picture in a buffer of bufferWidth x
    // bufferHeight pixels, in pixels: its box (BrushDab::boundingBox) clipped to
    // the buffer, each row counted kRowCost pixels longer for the work of
    // starting it (a row costs about as much as copying 512 pixels).
    static constexpr std::uint64_t kRowCost = 512;
    static std::uint64_t dabCost(const Dab& dab, int bufferWidth, int bufferHeight);

    explicit StrokeHistory(std::size_t byteLimit = kDefaultByteLimit);

    // Forgets every stroke, the open one included, and the dab record.
    void reset();

    // Opens a stroke over these pixels. Pixels of another geometry than the
    // history's strokes start a new history. Nothing happens while one is open.
    void beginStroke(const Pixels& pixels);
    bool strokeOpen() const { return mOpen; }
    // Before pixels in columns x0..x1 and rows y0..y1 (inclusive) change during the
    // open stroke; the part outside the picture is ignored. Without an open stroke,
    // or for other pixels than the stroke's, nothing is kept.
    void aboutToChange(const Pixels& pixels, int x0, int y0, int x1, int y1);
    void addDab(const Dab& dab);
    // Closes the open stroke. It is kept when it laid at least one dab; a kept
    // stroke drops everything that could be redone. Answers whether it was kept.
    bool endStroke(const Pixels& pixels);

    bool canUndo() const { return !mDone.empty(); }
    bool canRedo() const { return !mUndone.empty(); }
    // Exchange the pixels of the last stroke done (undo) or undone (redo) with the
    // buffer. `changed` receives the rectangles whose pixels were exchanged, rows
    // of tiles joined where they touch. NO, with nothing changed, when there is no
    // such stroke, a stroke is open or the pixels are not the strokes' geometry.
    bool undo(const Pixels& pixels, std::vector<Rect>* changed);
    bool redo(const Pixels& pixels, std::vector<Rect>* changed);

    std::size_t byteCount() const { return mBytes; }
    std::size_t byteLimit() const { return mLimit; }
    std::size_t undoCount() const { return mDone.size(); }

    // The state the strokes leave the pixels in: equal positions are equal pixels.
    // Every kept stroke makes a new position, never given before; undo and redo go
    // back to the positions they had; a new history starts at kFreshPosition.
    // (Strokes made permanent keep their positions.)
    static constexpr std::uint64_t kFreshPosition = 0;
    std::uint64_t position() const { return mDone.empty() ? mBasePosition : mDone.back().position; }

    // Every dab on the picture in the order laid: the permanent ones, then those
    // of the strokes that can be undone. Empty once the record is given up.
    std::vector<Dab> dabs() const;

    // dabs() and then those of the open stroke: every dab the pixels show.
    std::vector<Dab> recordedDabs() const;

    // Whether the record still holds every dab the pixels show (see above).
    bool recordKept() const { return !mRecordLost; }
    // The dabs the pixels show, the open stroke's included, and their cost,
    // while the record is kept.
    std::size_t recordedDabCount() const { return mRecordDabs; }
    std::uint64_t recordedCost() const { return mRecordCost; }

    // Starts a new history over pixels of this geometry whose record begins with
    // `dabs`, permanent (a loaded project's record): nothing can be undone yet.
    void restoreRecord(const Pixels& pixels, std::vector<Dab> dabs);

private:
    struct Tile {
        Rect rect;
        std::vector<std::uint8_t> pixels;  // the other state of the rectangle, rows without gaps
    };
    struct Stroke {
        std::vector<Tile> tiles;
        std::vector<Dab> dabs;
        std::uint64_t cost = 0;  // of its dabs
        bool laid = false;  // a dab was laid (its dabs are let go with the record)
        std::uint64_t position = 0;  // of the pixels once it is laid
        std::size_t bytes() const;
    };

    bool sameGeometry(const Pixels& pixels) const;
    bool exchange(std::vector<Stroke>& from, std::vector<Stroke>& to, const Pixels& pixels,
                  std::vector<Rect>* changed);
    void settleOldest();
    void giveUpRecord();

    std::size_t mLimit;
    std::size_t mBytes = 0;
    Pixels mGeometry;  // data unused
    std::vector<Stroke> mDone;  // oldest first
    std::vector<Stroke> mUndone;  // most recently undone last
    std::vector<Dab> mSettled;
    std::size_t mRecordDabs = 0;  // on the picture, the open stroke's included
    std::uint64_t mRecordCost = 0;
    bool mRecordLost = false;
    std::uint64_t mBasePosition = kFreshPosition;  // with no stroke to undo
    std::uint64_t mLastPosition = kFreshPosition;  // the newest given

    bool mOpen = false;
    Stroke mStroke;
    std::vector<int> mTileIndex;  // per tile of the picture: index in mStroke.tiles, or -1
    int mTileColumns = 0;
};
