#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// Reads a project file's two images, the original and then the working image, on
// a thread of its own, 64 rows at a time, and tells how far it got, so that the
// thread that made it can upload each band as soon as it is in. The file stays
// the caller's: it must stay open, and the buffers must outlive the reader, until
// awaitRows reports every row or a failure, or the reader is stopped.
class ProjectBandReader {
public:
    struct Source {
        int fd = -1;                      // read with pread: the file's position is left alone
        std::int64_t offset = 0;          // of the original's first byte; the working image follows
        std::uint8_t* original = nullptr;  // width x height x 4 bytes each
        std::uint8_t* working = nullptr;
        int width = 0;
        int height = 0;
    };

    // Starts reading. `originalRows` is told, on the reader's thread, how many rows
    // of the original are in after each band; `afterwards` runs there once every
    // row is read. Without a thread to be had, all of it runs here.
    ProjectBandReader(const Source& source, std::function<void(int)> originalRows, std::function<void()> afterwards);
    ~ProjectBandReader();  // stop()
    ProjectBandReader(const ProjectBandReader&) = delete;
    ProjectBandReader& operator=(const ProjectBandReader&) = delete;

    // Waits until the first `rows` rows are in, counting the original's rows and
    // then the working image's (2 x height in all); false when the read failed
    // (the file ended early or could not be read) before them. Rows read before a
    // failure still count.
    bool awaitRows(int rows);

    // Reads no further band, and waits for the thread, `afterwards` included.
    void stop();

private:
    void run(const std::function<void(int)>& originalRows, const std::function<void()>& afterwards);
    bool readBand(std::uint8_t* to, std::int64_t at, std::size_t bytes) const;

    Source mSource;
    std::atomic<int> mRowsRead{0};  // with a flag bit once a read failed
    std::atomic<bool> mStopped{false};
    std::thread mThread;
};
