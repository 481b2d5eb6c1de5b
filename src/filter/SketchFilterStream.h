#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "filter/SketchFilter.h"

// The pencil sketch filter (buildSketch's bytes) run while the original is still
// arriving: a band of 64 rows starts as soon as the original's rows it reads (its
// own and two below) are in. It runs on threads of its own and on any thread that
// waits for its rows, so a caller with nothing else to do lends its core instead
// of sleeping. Finished bands are published in order from the top.
//
// The buffers must outlive it; the grey scratch (`working`) may be null, as for
// buildSketch. Destroying it stops it: bands already running finish, no other
// starts, and its threads are joined.
class SketchFilterStream {
public:
    // `threads` threads of its own (0: only the callers of awaitRowsBeyond work).
    SketchFilterStream(const SketchBuffers& buffers, int threads);
    ~SketchFilterStream();
    SketchFilterStream(const SketchFilterStream&) = delete;
    SketchFilterStream& operator=(const SketchFilterStream&) = delete;

    // The first `rows` rows of the original hold their final bytes; only ever grows.
    void originalRowsRead(int rows);

    // How many rows from the top of both sketches hold their final bytes: the
    // buffers' height once every band is done (rows below the picture are never
    // written).
    int rowsFinal() const { return mRowsFinal.load(std::memory_order_acquire); }

    // Waits until more than `known` rows are final, running bands on this thread
    // meanwhile whenever one can start; returns rowsFinal(). Returns at once after
    // stop(). All rows must be read in the end, or this waits for them.
    int awaitRowsBeyond(int known);

    // Runs one band that can start now on this thread; false when none can.
    bool runBand();

    // No band starts from now on; returns when none is running.
    void stop();

private:
    // Under mMutex: the next band when it can start now, else -1.
    int startableBand() const;
    void runTaken(std::unique_lock<std::mutex>& lock, int band);
    void published(int band);
    void workUntilDone();

    SketchBuffers mBuffers;
    int mColumns = 0;
    int mRows = 0;  // of the picture
    int mBands = 0;
    void (*mFilter)(const SketchBuffers&, int, int, int, int) = nullptr;

    mutable std::mutex mMutex;
    std::condition_variable mChanged;  // rows read, a band finished, stopped
    int mRowsRead = 0;
    int mNext = 0;  // bands before it are taken
    int mRunning = 0;
    int mPublished = 0;  // bands before it are finished
    bool mStopped = false;
    std::vector<bool> mDone;
    std::atomic<int> mRowsFinal{0};
    std::vector<std::thread> mThreads;  // declared last: joined before the rest goes
};
