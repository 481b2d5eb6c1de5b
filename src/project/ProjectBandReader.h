#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reads a project file's two images, the original and then the working image, in
// bands of 64 rows, on a thread of its own and on the thread waiting for them:
// a band the waiter needs that nobody has started, or the next one while another
// thread reads that, it reads itself, so it never waits long on a thread that is
// not running. The file stays the caller's: it must stay open, and the buffers
// must outlive the reader, until awaitRows reports every row or a failure, or the
// reader is stopped.
class ProjectBandReader {
public:
    struct Source {
        int fd = -1;                       // read with pread: the file's position is left alone
        std::int64_t offset = 0;           // of the original's first byte; the working image follows
        std::uint8_t* original = nullptr;  // width x height x 4 bytes each
        std::uint8_t* working = nullptr;
        int width = 0;
        int height = 0;
    };

    // Starts reading. `originalRows` is told, on whichever thread read the band
    // that completed them and under the reader's lock (so one call at a time and
    // growing), how many rows from the top of the original are in;
    // `afterwards` runs on the reader's thread once every band is read (not when
    // one failed, nor when it was stopped before it started them all).
    // Without a thread to be had, the waiters read everything.
    ProjectBandReader(const Source& source, std::function<void(int)> originalRows, std::function<void()> afterwards);
    ~ProjectBandReader();  // stop()
    ProjectBandReader(const ProjectBandReader&) = delete;
    ProjectBandReader& operator=(const ProjectBandReader&) = delete;

    // Returns once the first `rows` rows are in, counting the original's rows and
    // then the working image's (2 x height in all): true, or false when a band
    // among them could not be read (the file ended early or a read failed). Rows
    // read before a failure still count. Reads bands itself meanwhile.
    bool awaitRows(int rows);

    // The reader's thread starts no further band; waits for it, `afterwards`
    // included.
    void stop();

private:
    enum class Band : std::uint8_t { Unread, Reading, Read, Failed };

    void runThread();
    // Reads band `band`, claimed under mMutex by the caller, with the lock let go.
    void readClaimed(std::unique_lock<std::mutex>& lock, int band);
    // Under mMutex: the first band nobody has started from `from` on, or -1.
    int unreadBand(int from) const;

    Source mSource;
    std::function<void(int)> mOriginalRows;
    std::function<void()> mAfterwards;
    int mBandsPerImage = 0;
    int mOriginalRowsTold = 0;

    std::mutex mMutex;
    std::condition_variable mChanged;
    std::vector<Band> mBands;  // the original's, then the working image's
    bool mFailed = false;       // the reader's thread then starts no further band
    bool mStopped = false;
    std::thread mThread;
};
