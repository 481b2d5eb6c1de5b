#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "canvas/SketchFilter.h"

class Texture2D;

// The pencil sketch filter of one project running beside the thread that made it
// (the filter takes every core it is given), and how far its rows are final. The
// buffers must outlive it; it is joined, at the latest, when it is destroyed.
class SketchWorker {
public:
    // Starts the filter on every core, its bands published as they are final; or,
    // with `oneThread`, on its one thread, published at the end, leaving the other
    // cores to the caller. When no thread can be had it runs here, before this
    // returns.
    explicit SketchWorker(const SketchBuffers& buffers, bool oneThread = false);
    ~SketchWorker() = default;
    SketchWorker(const SketchWorker&) = delete;
    SketchWorker& operator=(const SketchWorker&) = delete;

    // Uploads the rows of the two sketch buffers into their textures band by band
    // as the filter publishes them, until all `height` rows are in; then joins
    // the filter. Called once.
    void uploadAsFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                          const std::uint8_t* colorRows, int height);
    // Waits for the filter to end.
    void join();

private:
    std::atomic<int> mRowsFinal{0};
    std::jthread mThread;  // declared last: joined before the count it publishes to goes
};
