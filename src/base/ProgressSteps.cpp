#include "base/ProgressSteps.h"

#include <algorithm>

std::optional<int> ProgressSteps::next(long long done, long long total)
{
    if (total <= 0 || mTold >= 100)
        return std::nullopt;
    const int percent = int(std::clamp(done * 100 / total, 0LL, 100LL));
    if (percent == 100 || percent >= mTold + mStep) {
        mTold = percent;
        return percent;
    }
    return std::nullopt;
}
