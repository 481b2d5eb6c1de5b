// The channel later starts use to reach the running program: what a caller writes
// is answered only when its zero byte arrives within the size bound, and becomes a
// message only when the caller sends the answer back; the socket file is the
// user's alone and goes with the channel.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "system/LocalSocketChannel.h"

namespace {

constexpr int kMax = 8;

int connectTo(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

TEST(LocalSocketChannel, MessagesNeedTheirZeroWithinTheBoundAndTheAnswerSentBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("channel");
    enum Caller { SendsBack, ClosesItsSide, GivesUpUnread, GivesUpAnswered };
    const struct {
        const char* name;
        QByteArray written;
        Caller caller;
        QByteArray message;  // empty: none
        QByteArray answer;   // what the caller reads
    } cases[] = {
        {"a message", QByteArray("photo\0", 6), SendsBack, "photo", "y"},
        {"the longest message", QByteArray("12345678\0", 9), SendsBack, "12345678", "y"},
        {"one byte too long", QByteArray("123456789\0", 10), SendsBack, {}, ""},
        {"too long without a zero", QByteArray(64, 'x'), SendsBack, {}, ""},
        {"closed before its zero", "photo", ClosesItsSide, {}, ""},
        // A caller that waited in vain while the program was stopped, then left.
        {"gave up before it was read", QByteArray("photo\0", 6), GivesUpUnread, {}, {}},
        {"gave up after the answer", QByteArray("photo\0", 6), GivesUpAnswered, {}, "y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalSocketChannel channel(kMax, 'y', 60000);
        QList<QByteArray> received;
        QObject::connect(&channel, &LocalSocketChannel::messageReceived,
                         [&](const QByteArray& message) { received << message; });
        ASSERT_TRUE(channel.listen(path)) << channel.errorString().toStdString();
        const int fd = connectTo(path);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, c.written.constData(), size_t(c.written.size())), c.written.size());
        if (c.caller == ClosesItsSide)
            ::shutdown(fd, SHUT_WR);
        if (c.caller != GivesUpUnread) {
            // The channel answers a message, or ends a connection it refused.
            char answer[2] = {};
            ssize_t count = -1;
            EXPECT_TRUE(QTest::qWaitFor([&] {
                count = ::recv(fd, answer, sizeof answer, MSG_DONTWAIT);
                return count >= 0 || errno != EAGAIN;
            }, 30000));
            EXPECT_EQ(QByteArray(answer, int(std::max<ssize_t>(count, 0))), c.answer);
            if (count == 1 && c.caller == SendsBack) {
                ASSERT_EQ(::write(fd, "y", 1), 1);
            }
        }
        if (!c.message.isEmpty()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 30000));
        }
        ::close(fd);
        QCoreApplication::processEvents();  // whatever is left of the caller, read
        EXPECT_EQ(received, c.message.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{c.message});
    }
}

TEST(LocalSocketChannel, SocketFileIsPrivateRefusedWhenPresentAndRemovedAtClose)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("channel");
    {
        LocalSocketChannel channel(kMax, 'y', 60000);
        ASSERT_TRUE(channel.listen(path));
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
        EXPECT_TRUE(S_ISSOCK(status.st_mode));
        EXPECT_EQ(status.st_mode & 0777, 0600u);
        LocalSocketChannel second(kMax, 'y', 60000);
        EXPECT_FALSE(second.listen(path)) << "a socket in use is never taken over";
        EXPECT_FALSE(second.errorString().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(path));

    // A file left behind by a program that is gone: taken only once removed.
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    LocalSocketChannel channel(kMax, 'y', 60000);
    EXPECT_FALSE(channel.listen(path));
    LocalSocketChannel::removeSocketFile(path);
    EXPECT_TRUE(channel.listen(path));
    QString error;
    EXPECT_FALSE(LocalSocketChannel::send(dir.filePath("nobody"), "x", 'y', 0, 1000, &error));
    EXPECT_FALSE(error.isEmpty());
}

namespace {

// What came back on a caller's connection so far: its bytes, and whether the
// channel has ended it.
struct Heard {
    QByteArray bytes;
    bool ended = false;
};

Heard hear(int fd)
{
    Heard heard;
    char chunk[64];
    for (;;) {
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (count > 0) {
            heard.bytes.append(chunk, int(count));
            continue;
        }
        heard.ended = count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        return heard;
    }
}

}  // namespace

// A message is all its caller sends before the answer: bytes behind its zero are
// refused however the channel's reads split them (a read holds 4096 bytes).
TEST(LocalSocketChannel, BytesAfterTheZeroRefuseTheMessageWhereverReadsSplitThem)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("channel");
    const struct {
        int length;  // of the message, without its zero
        QByteArray after;
    } cases[] = {
        {5, ""},       {5, "y"},       {5, QByteArray(5000, 'x')},
        {4095, ""},    {4095, "y"},    {4095, QByteArray("\0", 1)},
        {4096, ""},    {4096, "y"},    {8191, "y"},
        {8191, ""},    {100, QByteArray(4096 - 101, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " bytes, then " << c.after.size());
        LocalSocketChannel channel(64 * 1024, 'y', 60000);
        QList<QByteArray> received;
        QObject::connect(&channel, &LocalSocketChannel::messageReceived,
                         [&](const QByteArray& message) { received << message; });
        ASSERT_TRUE(channel.listen(path));
        const int fd = connectTo(path);
        ASSERT_GE(fd, 0);
        const QByteArray message(c.length, 'm');
        const QByteArray written = message + '\0' + c.after;
        // All of it is queued before the channel reads any.
        ASSERT_EQ(::write(fd, written.constData(), size_t(written.size())), written.size());
        Heard heard;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            heard = hear(fd);
            return heard.ended || !heard.bytes.isEmpty();
        }, 30000));
        const bool refused = !c.after.isEmpty();
        EXPECT_EQ(heard.bytes, refused ? QByteArray() : QByteArray("y"));
        if (!refused) {
            ASSERT_EQ(::write(fd, "y", 1), 1);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return hear(fd).ended; }, 30000));
        ::close(fd);
        QCoreApplication::processEvents();
        EXPECT_EQ(received, refused ? QList<QByteArray>() : QList<QByteArray>{message});
    }
}

// A flood of callers that send nothing, or never confirm the answer, cannot hold
// the channel: a few are served at once, each for a bounded time, and a real
// sender queued behind them still gets through.
TEST(LocalSocketChannel, ServesAFewCallersAtOnceEachForABoundedTime)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("channel");
    constexpr int kTimeoutMs = 200;
    LocalSocketChannel channel(kMax, 'y', kTimeoutMs);
    QList<QByteArray> received;
    QObject::connect(&channel, &LocalSocketChannel::messageReceived,
                     [&](const QByteArray& message) { received << message; });
    ASSERT_TRUE(channel.listen(path));

    // A caller answered that never confirms: closed when its time is up, and a
    // confirmation sent after that fails at its end.
    const int silent = connectTo(path);
    ASSERT_GE(silent, 0);
    ASSERT_EQ(::write(silent, "late\0", 5), 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return channel.connectionCount() == 1 && hear(silent).bytes == "y"; }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return channel.connectionCount() == 0; }, 30000));
    EXPECT_TRUE(hear(silent).ended);
    EXPECT_LT(::send(silent, "y", 1, MSG_NOSIGNAL), 0);
    ::close(silent);

    constexpr int kIdle = 3 * LocalSocketChannel::kMaxConnections + 1;
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) {
        idle.push_back(connectTo(path));
        ASSERT_GE(idle.back(), 0);
    }
    QString error;
    std::thread sender([&] { EXPECT_TRUE(LocalSocketChannel::send(path, "real", 'y', 0, 60000, &error)); });
    int most = 0;
    const bool allEnded = QTest::qWaitFor([&] {
        most = std::max(most, channel.connectionCount());
        return std::all_of(idle.begin(), idle.end(), [](int fd) { return hear(fd).ended; }) && !received.isEmpty();
    }, 60000);
    sender.join();
    EXPECT_TRUE(allEnded) << error.toStdString();
    EXPECT_EQ(most, LocalSocketChannel::kMaxConnections);
    EXPECT_EQ(received, QList<QByteArray>{"real"});
    EXPECT_EQ(received.size(), 1) << "the silent caller's message is not acted on";
    for (int fd : idle)
        ::close(fd);
}

// Once stopped, the channel holds no connection and takes none: callers wait in
// the queue until the socket closes.
TEST(LocalSocketChannel, StoppedChannelDropsItsCallersAndLeavesTheRestQueued)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("channel");
    LocalSocketChannel channel(kMax, 'y', 60000);
    ASSERT_TRUE(channel.listen(path));
    const int answered = connectTo(path);
    const int midway = connectTo(path);
    ASSERT_GE(answered, 0);
    ASSERT_GE(midway, 0);
    ASSERT_EQ(::write(answered, "a\0", 2), 2);
    ASSERT_EQ(::write(midway, "b", 1), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return channel.connectionCount() == 2 && hear(answered).bytes == "y"; }, 30000));

    channel.stopAccepting();
    EXPECT_EQ(channel.connectionCount(), 0);
    EXPECT_TRUE(hear(answered).ended);
    EXPECT_TRUE(hear(midway).ended);
    const int queued = connectTo(path);
    ASSERT_GE(queued, 0);
    ASSERT_EQ(::write(queued, "c\0", 2), 2);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(channel.connectionCount(), 0);
    const Heard waiting = hear(queued);
    EXPECT_TRUE(waiting.bytes.isEmpty() && !waiting.ended);
    channel.close();
    EXPECT_TRUE(hear(queued).ended);
    for (int fd : {answered, midway, queued})
        ::close(fd);
}
