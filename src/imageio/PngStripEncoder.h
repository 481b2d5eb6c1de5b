#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "imageio/PngStrips.h"

// A PNG file made while its picture is still being made: rows are handed in by
// bands, top to bottom, and each strip of 128 rows is compressed as soon as it is
// whole, on threads of the encoder's own while the caller goes on making the next
// rows, and its bytes go out (to a file, or into memory) as soon as it and the
// strips above it are done. Neither the picture nor its file is ever held, only a
// few strips under way. The file is byte for byte the one fastPngBytes
// (fastGreyPngBytes) makes of the whole picture, for RGB: an opaque picture of
// 4-byte pixels (R, G, B, unused) whose pixels are not all grey.
class PngStripEncoder;

// Starts a PNG file anew (any file begun before by the same start is dropped) and
// gives where its bytes go, in order (see PngStripEncoder::Out); empty when it
// cannot be started.
using PngFileStart = std::function<std::function<bool(const char* bytes, qint64 size)>()>;

class PngStripEncoder {
public:
    enum class Pixels {
        Rgb,   // colour type 2, rows filtered by their left neighbour, matched in runs
        Grey,  // colour type 0, one byte a pixel (R; every pixel must be grey)
    };
    // Takes the file's next bytes, in order; false when they cannot be taken (a
    // full disk), which ends the file. Called on the encoder's threads, one call
    // at a time.
    using Out = std::function<bool(const char* bytes, qint64 size)>;

    // Strips are compressed on up to `threads` threads at once (at most the
    // processor's cores). Without `out` the file is kept in memory for finish().
    // `matching` other than the usual gives other bytes, for the same pixels.
    PngStripEncoder(int width, int height, Pixels pixels, int threads = 4, Out out = {},
                    PngMatching matching = PngMatching::Usual);
    ~PngStripEncoder();  // a file not ended is given up: no more of it goes out
    PngStripEncoder(const PngStripEncoder&) = delete;
    PngStripEncoder& operator=(const PngStripEncoder&) = delete;

    // The next `count` rows of the picture, `width` 4-byte pixels each, `stride`
    // bytes apart from `rows`, copied before it returns. The strips they complete
    // are compressed meanwhile; it waits only while several are under way, and
    // for all once the last row is in. False once a strip could not be made
    // (memory ran out, a pixel of a grey picture is not grey) or could not go
    // out, or rows go past the picture's height.
    bool add(const std::uint8_t* rows, std::ptrdiff_t stride, int count);

    // Once every row has been added (and once only): waits for the strips under
    // way and ends the file. True when the whole file went out.
    bool end();

    // Without `out`: end() and the file; empty when it fails.
    QByteArray finish();

private:
    struct Job {
        std::size_t index = 0;
        int first = 0;
        int end = 0;
        std::vector<std::uint8_t> pixels;  // the strip's PNG pixels, packed
    };
    void submit();                                    // the strip filled so far
    void work();                                      // an encoder thread
    void compressNext(std::unique_lock<std::mutex>& lock);  // the first job queued
    void putDone(std::unique_lock<std::mutex>& lock);  // finished strips out, in order
    bool send(const QByteArray& bytes);
    void stopThreads();

    const int mWidth;
    const int mHeight;
    const Pixels mPixels;
    const int mThreads;
    Out mOut;
    const PngMatching mMatching;
    QByteArray mFile;  // without `out`

    // The caller's side.
    int mRows = 0;                      // rows added
    std::vector<std::uint8_t> mFill;    // rows of the strip being filled, as PNG pixels
    std::size_t mSubmitted = 0;         // strips handed to the threads

    // Shared with the threads.
    std::mutex mMutex;
    std::condition_variable mWorkReady;  // a job queued, or stopping
    std::condition_variable mSpace;      // a strip went out
    std::deque<Job> mQueue;
    std::map<std::size_t, PngStrip> mDone;  // compressed, waiting for the strips above
    std::size_t mPut = 0;                   // strips gone out
    unsigned long mAdler = 1;               // of the rows of the strips put
    bool mOk = true;
    bool mStopping = false;
    bool mEnded = false;
    std::vector<std::thread> mWorkers;
};
