// The channel later starts use to reach the running program: what a caller writes
// is answered only when its zero byte arrives within the size bound, and becomes a
// message only when the caller sends the answer back; the socket file is the
// user's alone and goes with the channel.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/LocalSocketChannel.h"

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
