// Work shared out between the calling thread and threads started for one call.
#pragma once

#include <functional>

// Runs `work` on this thread and on up to `helpers` threads started for this call,
// and returns when all have returned. A thread that cannot be had leaves its share
// to the others, so `work` must take its pieces from a common source.
void runOnNewThreads(int helpers, const std::function<void()>& work);
