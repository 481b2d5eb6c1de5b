#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A few threads kept parked between runs of a pixel filter, so that a run over
// a million pixels does not pay for starting threads, their stacks and their
// scratch rows every time. One run at a time has them; a run that finds them
// busy starts threads of its own for that run.
class FilterThreads {
public:
    static constexpr int kMaxHelpers = 7;

    FilterThreads() = default;
    ~FilterThreads();  // waits for a run in progress, then ends the parked threads
    FilterThreads(const FilterThreads&) = delete;
    FilterThreads& operator=(const FilterThreads&) = delete;

    // Runs `work` on the calling thread and on `helpers` more threads at the same
    // time (at most kMaxHelpers), and returns when every one of them has returned.
    // Where no thread can be had, fewer take part (at the least the calling one).
    void run(int helpers, const std::function<void()>& work);

    // The threads of the filters of this process, ended at its exit.
    static FilterThreads& shared();

private:
    void park(int index);

    // Each parked thread sleeps on its own counter; a new value sends it to work.
    struct Slot {
        alignas(64) std::atomic<unsigned> go{0};
    };

    std::mutex mRun;  // held by the run that has the parked threads
    std::vector<std::thread> mThreads;
    std::array<Slot, kMaxHelpers> mSlots;
    std::atomic<int> mPending{0};  // helpers of the current run still working
    const std::function<void()>* mWork = nullptr;
    std::atomic<bool> mStopping{false};
};
