// The shares of falloff steps looked up 64 at a time (where the processor can)
// against the table read one entry at a time.
#include <gtest/gtest.h>

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
