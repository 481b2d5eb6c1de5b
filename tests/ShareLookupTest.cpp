// The shares of falloff steps looked up 64 at a time (where the processor can)
// against the table read one entry at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "project/ShareLookup.h"

namespace {

struct PlainLoopsAfter {
    ~PlainLoopsAfter() { ShareLookup::setLoops(ShareLookup::Loops::Fastest); }
};

}  // namespace

TEST(ShareLookup, EveryStepOfEveryRunGetsItsTablesEntry)
{
    PlainLoopsAfter restore;
    std::vector<std::uint8_t> table(1025);
    for (int q = 0; q < 1025; ++q)
        table[std::size_t(q)] = std::uint8_t((q * 37 + q / 128 * 11) ^ (q >> 3));
    // Steps over every piece of the table and its last entry, in runs of many lengths.
    std::vector<int> steps(300);
    std::uint32_t seed = 12345;
    for (int& q : steps) {
        seed = seed * 1664525u + 1013904223u;
        q = int(seed >> 8) % 1025;
    }
    steps[0] = 0, steps[1] = 127, steps[2] = 128, steps[3] = 1023, steps[4] = 1024, steps[70] = 1024;
    for (ShareLookup::Loops loops : {ShareLookup::Loops::Fastest, ShareLookup::Loops::Plain}) {
        ShareLookup::setLoops(loops);
        for (int n : {0, 1, 7, 8, 31, 32, 63, 64, 65, 128, 200, 300})
            for (int offset : {0, 3}) {
                if (offset + n > int(steps.size()))
                    continue;
                std::vector<std::uint8_t> out(std::size_t(n) + 8, 0xab);
                ShareLookup::lookUp(table.data(), steps.data() + offset, n, out.data());
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(out[std::size_t(i)], table[std::size_t(steps[std::size_t(offset + i)])])
                        << "step " << i << " of " << n;
                for (std::size_t i = std::size_t(n); i < out.size(); ++i)
                    ASSERT_EQ(out[i], 0xab) << "written past the run of " << n;
            }
    }
}

// A soft round dab's tile row made at once against each pixel's step worked out
// on its own: every stretch of a row, wherever it starts in the tile.
TEST(ShareLookup, RoundRowsGiveEachPixelItsStepsEntryAndNothingBeside)
{
    PlainLoopsAfter restore;
    std::vector<std::uint8_t> table(1025);
    for (int q = 0; q < 1024; ++q)
        table[std::size_t(q)] = std::uint8_t(255 - q / 5 + (q & 1));
    table[1024] = 0;
    const struct {
        float cx, cy, r;
    } dabs[] = {{40.3f, 20.6f, 30.0f}, {100.0f, 100.0f, 70.5f}, {7.75f, -3.5f, 12.0f}, {1000.2f, 500.9f, 300.0f}};
    for (ShareLookup::Loops loops : {ShareLookup::Loops::Fastest, ShareLookup::Loops::Plain}) {
        ShareLookup::setLoops(loops);
        for (const auto& d : dabs) {
            const float r2 = d.r * d.r;
            for (int y = int(d.cy - d.r) - 1; y <= int(d.cy + d.r) + 1; y += 7) {
                const float dy = float(y) - d.cy;
                const ShareLookup::RoundRow row{d.cx, dy * dy, r2, 1024.0f / r2};
                for (int column = 0; column < 32; column += 5)
                    for (int length : {1, 9, 32 - column}) {
                        const int first = int(d.cx) - 20 + column;
                        std::uint8_t out[32];
                        ShareLookup::roundRow(row, table.data(), first, column, length, out);
                        for (int i = 0; i < 32; ++i) {
                            int want = 0;
                            if (i >= column && i < column + length) {
                                const float dx = float(first - column + i) - d.cx;
                                const float d2 = dy * dy + dx * dx;
                                want = d2 < r2 ? table[std::size_t(std::min(int(d2 * (1024.0f / r2)), 1023))] : 0;
                            }
                            ASSERT_EQ(out[i], want) << "column " << i << " of a stretch from " << column << ", "
                                                    << length << " long, row " << y;
                        }
                    }
            }
        }
    }
}
