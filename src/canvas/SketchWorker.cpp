#include "canvas/SketchWorker.h"

#include <algorithm>
#include <system_error>

#include "gl/Texture2D.h"

SketchWorker::SketchWorker(const SketchBuffers& buffers, bool oneThread)
{
    const auto run = [this, buffers, oneThread] {
        if (!oneThread) {
            buildSketchWithProgress(buffers, mRowsFinal);
            return;
        }
        buildSketchOnThreads(buffers, 1);
        mRowsFinal.store(buffers.height, std::memory_order_release);
        mRowsFinal.notify_all();
    };
    try {
        mThread = std::jthread(run);
    } catch (const std::system_error&) {
        run();
    }
}

void SketchWorker::uploadAsFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                                    const std::uint8_t* colorRows, int height)
{
    int uploaded = 0;
    while (uploaded < height) {
        const int finished = mRowsFinal.load(std::memory_order_acquire);
        if (finished > uploaded) {
            const auto first = std::uint32_t(uploaded);
            const auto count = std::uint32_t(std::min(finished, height) - uploaded);
            black.replaceRows(blackRows, first, count);
            color.replaceRows(colorRows, first, count);
            uploaded += int(count);
        } else {
            mRowsFinal.wait(finished, std::memory_order_acquire);
        }
    }
    join();
}

void SketchWorker::join()
{
    if (mThread.joinable())
        mThread.join();
}
