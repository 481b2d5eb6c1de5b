#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <unistd.h>

// Runs `read`, which must not block on the FIFO at `fifo`, on a worker thread.
// Should it still be waiting after 20 seconds (an open() that blocks for want of
// a writer), the FIFO's writing end is opened and closed, so that the reader sees
// the end of the data: the test then fails instead of hanging.
template <class Read>
auto readWithoutHanging(const QString& fifo, Read read) -> decltype(read())
{
    auto result = std::async(std::launch::async, read);
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "reading blocked on the FIFO " << fifo.toStdString();
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0)
            ::close(writer);
    }
    return result.get();
}
