#include "filter/FilterThreads.h"

#include "base/RunOnThreads.h"

#include <algorithm>
#include <system_error>

FilterThreads::~FilterThreads()
{
    const std::lock_guard lock(mRun);
    mStopping.store(true, std::memory_order_release);
    for (std::size_t i = 0; i < mThreads.size(); ++i) {
        mSlots[i].go.fetch_add(1, std::memory_order_release);
        mSlots[i].go.notify_one();
    }
    for (std::thread& thread : mThreads)
        thread.join();
}

FilterThreads& FilterThreads::shared()
{
    static FilterThreads threads;
    return threads;
}

void FilterThreads::run(int helpers, const std::function<void()>& work)
{
    helpers = std::clamp(helpers, 0, kMaxHelpers);
    if (helpers == 0) {
        work();
        return;
    }
    std::unique_lock lock(mRun, std::try_to_lock);
    if (!lock.owns_lock()) {
        runOnNewThreads(helpers, work);
        return;
    }
    while (int(mThreads.size()) < helpers) {
        try {
            mThreads.emplace_back([this, index = int(mThreads.size())] { park(index); });
        } catch (const std::system_error&) {
            break;
        }
    }
    helpers = std::min(helpers, int(mThreads.size()));
    mWork = &work;
    mPending.store(helpers, std::memory_order_relaxed);
    for (int i = 0; i < helpers; ++i) {
        mSlots[std::size_t(i)].go.fetch_add(1, std::memory_order_release);
        mSlots[std::size_t(i)].go.notify_one();
    }
    // The helpers must be done with `work` before this returns, also by a throw.
    struct WaitForHelpers {
        std::atomic<int>& pending;
        ~WaitForHelpers()
        {
            for (int left = pending.load(std::memory_order_acquire); left != 0;
                 left = pending.load(std::memory_order_acquire))
                pending.wait(left, std::memory_order_acquire);
        }
    } waitForHelpers{mPending};
    work();
}

void FilterThreads::park(int index)
{
    std::atomic<unsigned>& go = mSlots[std::size_t(index)].go;
    for (unsigned seen = 0;; ++seen) {
        go.wait(seen, std::memory_order_acquire);
        if (mStopping.load(std::memory_order_acquire))
            return;
        (*mWork)();
        if (mPending.fetch_sub(1, std::memory_order_acq_rel) == 1)
            mPending.notify_one();
    }
}
