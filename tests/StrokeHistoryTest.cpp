#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "project/StrokeHistory.h"

namespace {

// A buffer of random bytes whose top-left columns x rows area is the picture.
struct Buffer {
    int width, height, columns, rows;
    std::vector<std::uint8_t> bytes;
    Buffer(int w, int h, int c, int r) : width(w), height(h), columns(c), rows(r), bytes(std::size_t(w) * h * 4)
    {
        std::mt19937 random(7);
        for (std::uint8_t& b : bytes)
            b = std::uint8_t(random());
    }
    StrokeHistory::Pixels pixels() { return {bytes.data(), width, height, columns, rows}; }
    // A stroke that sets columns x0..x1, rows y0..y1 to `value`, as the brush
    // would: announced first, then written.
    void stroke(StrokeHistory& h, int x0, int y0, int x1, int y1, std::uint8_t value)
    {
        h.beginStroke(pixels());
        h.aboutToChange(pixels(), x0, y0, x1, y1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                for (int i = 0; i < 4; ++i)
                    bytes[(std::size_t(y) * width + x) * 4 + i] = value;
        h.addDab({{float(x0), float(y0)}, 1.0f, 0, value});
        h.endStroke(pixels());
    }
};

}  // namespace

TEST(StrokeHistory, UndoAndRedoRestoreExactBytesAndReportOnlyChangedTiles)
{
    struct Case {
        const char* name;
        int x0, y0, x1, y1;  // the stroke, inclusive; may reach past the picture
        std::vector<StrokeHistory::Rect> changed;
    };
    // A 100 x 70 picture in a 128 x 128 buffer; tiles are 32 pixels.
    const Case cases[] = {
        {"one pixel", 40, 40, 40, 40, {{32, 32, 32, 32}}},
        {"a row of tiles joins", 10, 5, 70, 6, {{0, 0, 96, 32}}},
        {"right and bottom edge tiles are cut at the picture", 90, 60, 99, 69, {{64, 32, 36, 32}, {64, 64, 36, 6}}},
        {"announced past the picture, written inside", 95, 65, 99, 69, {{64, 64, 36, 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer b(128, 128, 100, 70);
        StrokeHistory h;
        const std::vector<std::uint8_t> before = b.bytes;
        h.beginStroke(b.pixels());
        // Announce a larger box than is written, as a round dab's box is.
        h.aboutToChange(b.pixels(), c.x0 - 40, c.y0 - 40, c.x1 + 40, c.y1 + 40);
        for (int y = c.y0; y <= c.y1; ++y)
            for (int x = c.x0; x <= c.x1; ++x)
                b.bytes[(std::size_t(y) * b.width + x) * 4] ^= 0xFF;
        h.addDab({{1, 2}, 3, 0, 1});
        ASSERT_TRUE(h.endStroke(b.pixels()));
        const std::vector<std::uint8_t> after = b.bytes;

        std::vector<StrokeHistory::Rect> changed;
        ASSERT_TRUE(h.undo(b.pixels(), &changed));
        EXPECT_EQ(b.bytes, before);
        EXPECT_EQ(changed, c.changed);
        EXPECT_TRUE(h.dabs().empty());
        ASSERT_TRUE(h.redo(b.pixels(), &changed));
        EXPECT_EQ(b.bytes, after);
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(h.dabs().size(), 1u);
        EXPECT_FALSE(h.redo(b.pixels(), &changed));
        EXPECT_TRUE(changed.empty());
    }
}

TEST(StrokeHistory, MemoryLimitMakesTheOldestStrokesPermanentKeepingTheirDabs)
{
    Buffer b(128, 128, 128, 128);
    // Room for about three one-tile strokes.
    StrokeHistory h(3 * (32 * 32 * 4 + 200));
    const std::vector<std::uint8_t> start = b.bytes;
    for (int i = 0; i < 6; ++i)
        b.stroke(h, i * 20, 0, i * 20, 0, std::uint8_t(i));  // one tile each (0..100 by 20)
    EXPECT_LE(h.byteCount(), h.byteLimit());
    EXPECT_EQ(h.undoCount(), 3u);
    // Every dab is still recorded, in order, the permanent ones first.
    ASSERT_EQ(h.dabs().size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(h.dabs()[std::size_t(i)].drawType, i);

    while (h.undo(b.pixels(), nullptr)) {
    }
    EXPECT_EQ(h.dabs().size(), 3u);
    // The three oldest strokes stay painted; the others are gone.
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(b.bytes[std::size_t(i) * 20 * 4], i < 3 ? std::uint8_t(i) : start[std::size_t(i) * 20 * 4]) << i;

    // A new stroke drops what could be redone; the history stays within its limit.
    ASSERT_TRUE(h.canRedo());
    b.stroke(h, 5, 100, 5, 100, 9);
    EXPECT_FALSE(h.canRedo());
    EXPECT_LE(h.byteCount(), h.byteLimit());
}

TEST(StrokeHistory, StrokesWithoutDabsAndPixelsOfAnotherGeometryAreNotUndone)
{
    Buffer b(64, 64, 64, 64);
    StrokeHistory h;
    h.beginStroke(b.pixels());
    h.aboutToChange(b.pixels(), 0, 0, 10, 10);
    EXPECT_FALSE(h.endStroke(b.pixels())) << "a stroke that laid no dab";
    EXPECT_FALSE(h.canUndo());

    b.stroke(h, 0, 0, 3, 3, 1);
    ASSERT_TRUE(h.canUndo());
    Buffer other(32, 64, 32, 64);
    const std::vector<std::uint8_t> otherBytes = other.bytes;
    EXPECT_FALSE(h.undo(other.pixels(), nullptr));
    EXPECT_EQ(other.bytes, otherBytes);
    EXPECT_TRUE(h.canUndo());

    // A stroke over another geometry starts a new history.
    other.stroke(h, 0, 0, 1, 1, 2);
    EXPECT_EQ(h.undoCount(), 1u);
    EXPECT_EQ(h.dabs().size(), 1u);
}

TEST(StrokeHistory, EqualPositionsAreEqualPixelsThroughStrokesUndoRedoAndSettling)
{
    // Random strokes (each with a value of its own), undos and redos, with room for
    // only a few strokes, so that old ones settle; after every step the position
    // and the pixels. Within one history, positions agree exactly when pixels do.
    Buffer b(96, 64, 96, 64);
    StrokeHistory h(3 * (32 * 32 * 4 + 200));
    EXPECT_EQ(h.position(), StrokeHistory::kFreshPosition);
    std::mt19937 random(11);
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> states{{h.position(), b.bytes}};
    std::uint8_t value = 0;
    for (int step = 0; step < 200; ++step) {
        const unsigned pick = unsigned(random() % 4);
        if (pick == 0) {
            const int x = int(random() % 96), y = int(random() % 64);
            b.stroke(h, x, y, std::min(x + 8, 95), y, ++value);
        } else if (pick == 1 || pick == 2) {
            (pick == 1 ? h.undo(b.pixels(), nullptr) : h.redo(b.pixels(), nullptr));
        } else {
            b.stroke(h, 0, 0, 0, 0, ++value);
            h.undo(b.pixels(), nullptr);
        }
        states.emplace_back(h.position(), b.bytes);
    }
    int equalPairs = 0;
    for (std::size_t i = 0; i < states.size(); ++i)
        for (std::size_t j = i + 1; j < states.size(); ++j) {
            const bool samePosition = states[i].first == states[j].first;
            ASSERT_EQ(samePosition, states[i].second == states[j].second) << i << " " << j;
            equalPairs += samePosition;
        }
    EXPECT_GT(equalPairs, 100) << "undo and redo came back to earlier states";

    // A new history starts fresh; its first stroke takes a position never given.
    const std::uint64_t last = h.position();
    h.reset();
    EXPECT_EQ(h.position(), StrokeHistory::kFreshPosition);
    b.stroke(h, 1, 1, 2, 2, ++value);
    for (const auto& [position, bytes] : states)
        EXPECT_NE(h.position(), position);
    EXPECT_NE(h.position(), last);
}
