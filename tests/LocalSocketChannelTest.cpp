// The channel later starts use to reach the running program: what a caller writes
// becomes a message only when its zero byte arrives within the size bound, and only
// then is it answered; the socket file is the user's alone and goes with the channel.
#include <gtest/gtest.h>

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

TEST(LocalSocketChannel, MessagesNeedTheirZeroWithinTheBound)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("channel");
    const struct {
        const char* name;
        QByteArray written;
        bool closeAfter;  // the caller closes its side once written
        QByteArray message;  // empty: none, and no answer
    } cases[] = {
        {"a message", QByteArray("photo\0", 6), false, "photo"},
        {"the longest message", QByteArray("12345678\0", 9), false, "12345678"},
        {"one byte too long", QByteArray("123456789\0", 10), false, {}},
        {"too long without a zero", QByteArray(64, 'x'), false, {}},
        {"closed before its zero", "photo", true, {}},
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
        if (c.closeAfter)
            ::shutdown(fd, SHUT_WR);
        // The channel ends every connection it has judged: the caller then reads its
        // answer, or nothing, and the end.
        char answer[2] = {};
        ssize_t count = -1;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            count = ::recv(fd, answer, sizeof answer, MSG_DONTWAIT);
            return count >= 0 || errno != EAGAIN;
        }, 30000));
        ::close(fd);
        EXPECT_EQ(received, c.message.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{c.message});
        EXPECT_EQ(QByteArray(answer, int(std::max<ssize_t>(count, 0))), c.message.isEmpty() ? "" : "y");
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
    char answer = 0;
    QString error;
    EXPECT_FALSE(LocalSocketChannel::send(dir.filePath("nobody"), "x", 0, 1000, &answer, &error));
    EXPECT_FALSE(error.isEmpty());
}
