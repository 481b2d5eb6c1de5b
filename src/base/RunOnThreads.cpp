#include "base/RunOnThreads.h"

#include <system_error>
#include <thread>
#include <vector>

void runOnNewThreads(int helpers, const std::function<void()>& work)
{
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no thread to be had: the others do its share
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}
