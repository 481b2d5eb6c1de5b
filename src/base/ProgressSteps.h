#pragma once

#include <optional>

// The share of a job done, as whole percents worth telling: the first share at
// least `step` percent past the last one told, and 100 once when the job is whole.
// Between them nothing, so a listener on another thread gets at most 100 / step + 1
// messages however many pieces the job has.
class ProgressSteps {
public:
    explicit ProgressSteps(int step = 5) : mStep(step) {}

    // `done` of `total` pieces are finished (total > 0, done never going down).
    std::optional<int> next(long long done, long long total);

private:
    int mStep;
    int mTold = 0;
};
