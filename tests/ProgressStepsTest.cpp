// The percents told of a job in pieces: rising by steps, 100 once at the end.
#include <gtest/gtest.h>

#include <vector>

#include "base/ProgressSteps.h"

namespace {

std::vector<int> told(int step, long long total, const std::vector<long long>& dones)
{
    ProgressSteps steps(step);
    std::vector<int> out;
    for (long long done : dones)
        if (const auto percent = steps.next(done, total))
            out.push_back(*percent);
    return out;
}

}  // namespace

TEST(ProgressSteps, TellsEachStepPastTheLastAndTheEndOnce)
{
    struct Case {
        int step;
        long long total;
        std::vector<long long> dones;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // Five bands of a 1200-row picture (256 rows each, the last short).
        {5, 1200, {256, 512, 768, 1024, 1200}, {21, 42, 64, 85, 100}},
        // Row by row: a percent at least 5 past the last told, then 100.
        {5, 1000, {10, 40, 49, 50, 51, 99, 100, 960, 999, 1000}, {5, 10, 96, 100}},
        {5, 100, {1, 2, 3, 4, 5, 6, 9, 10, 14, 15, 97, 100}, {5, 10, 15, 97, 100}},
        // Nothing past the end, not even a second 100.
        {5, 10, {10, 10, 11}, {100}},
        // A step of 1 tells each new percent.
        {1, 4, {1, 1, 2, 3, 4}, {25, 50, 75, 100}},
        // No pieces: nothing to tell.
        {5, 0, {0, 1}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(told(c.step, c.total, c.dones), c.expected) << c.total;
}
