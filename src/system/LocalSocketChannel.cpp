#include "system/LocalSocketChannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// How long a refused connection waits before it is tried again.
constexpr int kRetryMs = 50;

QString systemError(const char* what, int code)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(code)));
}

// The socket address for a file path; false when the path does not fit one.
bool socketAddress(const QString& path, sockaddr_un* address)
{
    const QByteArray encoded = QFile::encodeName(path);
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (encoded.isEmpty() || encoded.size() >= qsizetype(sizeof address->sun_path))
        return false;
    std::memcpy(address->sun_path, encoded.constData(), size_t(encoded.size()));
    return true;
}

// Whether more bytes wait to be read on a non-blocking socket.
bool bytesWaiting(int fd)
{
    char next;
    ssize_t count;
    do
        count = ::recv(fd, &next, 1, MSG_PEEK | MSG_DONTWAIT);
    while (count < 0 && errno == EINTR);
    return count > 0;
}

void closeDescriptor(int fd)
{
    // On Linux the descriptor is released even when close is interrupted.
    ::close(fd);
}

// Waits for `events` on `fd` until the deadline; 0 on time-out, -1 with errno on error.
int waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
        if (ready >= 0)
            return ready;
        if (errno != EINTR)
            return -1;
    }
}

// One attempt to connect: the connected descriptor, or -1 with errno.
int connectOnce(const sockaddr_un& address)
{
    // Non-blocking: a listener whose queue is full refuses at once instead of stalling.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int result;
    do
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (result < 0 && errno == EINTR);
    if (result < 0 && errno != EISCONN) {
        const int code = errno;
        closeDescriptor(fd);
        errno = code;
        return -1;
    }
    return fd;
}

}  // namespace

LocalSocketChannel::LocalSocketChannel(int maxMessageBytes, char answer, int idleTimeoutMs, QObject* parent)
    : QObject(parent), mMaxMessageBytes(maxMessageBytes), mAnswer(answer), mIdleTimeoutMs(idleTimeoutMs)
{
}

LocalSocketChannel::~LocalSocketChannel()
{
    close();
}

QString LocalSocketChannel::socketPath(const QString& name)
{
    return name.contains(QLatin1Char('/')) ? name : QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + name;
}

void LocalSocketChannel::removeSocketFile(const QString& name)
{
    QFile::remove(socketPath(name));
}

bool LocalSocketChannel::listen(const QString& name)
{
    close();
    mError.clear();
    const QString path = socketPath(name);
    sockaddr_un address;
    if (!socketAddress(path, &address)) {
        mError = QStringLiteral("the socket path is too long");
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        mError = systemError("socket", errno);
        return false;
    }
    // The file is made for this user only from the start, and kept so.
    const mode_t previousMask = ::umask(0177);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bindError = errno;
    ::umask(previousMask);
    if (bound < 0) {
        mError = systemError("bind", bindError);
        closeDescriptor(fd);
        return false;
    }
    if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) < 0 || ::listen(fd, SOMAXCONN) < 0) {
        mError = systemError("listen", errno);
        ::unlink(address.sun_path);
        closeDescriptor(fd);
        return false;
    }
    mListenFd = fd;
    mPath = path;
    mStopped = false;
    mWaitingForDescriptors = false;
    mListenNotifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(mListenNotifier, &QSocketNotifier::activated, this, &LocalSocketChannel::acceptConnections);
    return true;
}

void LocalSocketChannel::close()
{
    while (!mConnections.empty())
        drop(mConnections.begin()->first);
    if (mListenFd < 0)
        return;
    delete mListenNotifier;
    mListenNotifier = nullptr;
    closeDescriptor(mListenFd);
    mListenFd = -1;
    QFile::remove(mPath);
    mPath.clear();
}

void LocalSocketChannel::acceptConnections()
{
    while (mListenFd >= 0 && !mStopped && int(mConnections.size()) < kMaxConnections) {
        const int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Out of descriptors (or memory): the callers stay queued and are
                // tried again a little later, not at every pass of the event loop.
                mWaitingForDescriptors = true;
                QTimer::singleShot(kRetryMs, this, [this] {
                    mWaitingForDescriptors = false;
                    updateAccepting();
                });
            }
            break;
        }
        Connection& connection = mConnections[fd];
        connection.notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(connection.notifier, &QSocketNotifier::activated, this, [this, fd] { readFrom(fd); });
        // A caller is served for a bounded time, whatever it does.
        connection.timer = new QTimer(this);
        connection.timer->setSingleShot(true);
        connect(connection.timer, &QTimer::timeout, this, [this, fd] { expire(fd); });
        connection.timer->start(mIdleTimeoutMs);
        // A receiver of the message may end this object.
        const QPointer<LocalSocketChannel> alive(this);
        readFrom(fd);
        if (!alive)
            return;
    }
    updateAccepting();
}

void LocalSocketChannel::readFrom(int fd)
{
    const auto found = mConnections.find(fd);
    if (found == mConnections.end())
        return;
    Connection& connection = found->second;
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;  // the rest comes later
        if (count <= 0) {
            drop(fd);  // closed before its message was complete or taken, or broken
            return;
        }
        if (connection.answered) {
            // The answer came back: the sender has reported the message taken.
            const QByteArray message = connection.received;
            drop(fd);
            // Last: a receiver may end this object.
            emit messageReceived(message);
            return;
        }
        const qsizetype start = connection.received.size();
        connection.received.append(chunk, count);
        const qsizetype end = connection.received.indexOf('\0', start);
        if (end < 0 && connection.received.size() <= mMaxMessageBytes)
            continue;
        // Too long, or more than the message before its answer, in this read or
        // waiting for the next.
        if (end < 0 || end > mMaxMessageBytes || end + 1 != connection.received.size() || bytesWaiting(fd)) {
            drop(fd);
            return;
        }
        connection.received.truncate(end);
        ssize_t sent;
        do
            sent = ::send(fd, &mAnswer, 1, MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        if (sent != 1) {
            drop(fd);  // the sender gave up and is gone
            return;
        }
        // The sender sends the answer back, or closes, at once; one that has not by
        // the time it is up is told so by the close (see expire).
        connection.answered = true;
    }
}

void LocalSocketChannel::expire(int fd)
{
    // Shut first: a byte the caller sent before is still read; one it sends from
    // now on fails at its end, so it never reports taken a message not acted on.
    ::shutdown(fd, SHUT_RD);
    const QPointer<LocalSocketChannel> alive(this);
    readFrom(fd);
    if (alive)
        drop(fd);
}

void LocalSocketChannel::drop(int fd)
{
    const auto found = mConnections.find(fd);
    if (found == mConnections.end())
        return;
    // They may be the sender of the call that arrives here: deleted once it returned.
    found->second.notifier->setEnabled(false);
    found->second.notifier->deleteLater();
    found->second.timer->stop();
    found->second.timer->deleteLater();
    mConnections.erase(found);
    closeDescriptor(fd);
    updateAccepting();
}

void LocalSocketChannel::stopAccepting()
{
    mStopped = true;
    while (!mConnections.empty())
        drop(mConnections.begin()->first);
    updateAccepting();
}

void LocalSocketChannel::updateAccepting()
{
    if (mListenNotifier)
        mListenNotifier->setEnabled(!mStopped && !mWaitingForDescriptors &&
                                    int(mConnections.size()) < kMaxConnections);
}

bool LocalSocketChannel::send(const QString& name, const QByteArray& message, char answer, int connectTimeoutMs,
                              int answerTimeoutMs, QString* error)
{
    sockaddr_un address;
    if (!socketAddress(socketPath(name), &address)) {
        *error = QStringLiteral("the socket path is too long");
        return false;
    }
    // The running program may hold the lock an instant before it listens.
    const QDeadlineTimer connectDeadline(connectTimeoutMs);
    int fd;
    for (;;) {
        fd = connectOnce(address);
        if (fd >= 0)
            break;
        const int code = errno;
        if (connectDeadline.hasExpired()) {
            *error = systemError("connect", code);
            return false;
        }
        ::poll(nullptr, 0, int(std::min<qint64>(kRetryMs, connectDeadline.remainingTime())));
    }

    const QDeadlineTimer answerDeadline(answerTimeoutMs);
    const QString noAnswer = QStringLiteral("no answer within %1 seconds").arg(answerTimeoutMs / 1000);
    const QByteArray pending = message + '\0';
    qsizetype written = 0;
    while (written < pending.size()) {
        const ssize_t count = ::send(fd, pending.constData() + written, size_t(pending.size() - written), MSG_NOSIGNAL);
        if (count >= 0) {
            written += count;
            continue;
        }
        if (errno == EINTR)
            continue;
        const int ready = errno == EAGAIN || errno == EWOULDBLOCK ? waitFor(fd, POLLOUT, answerDeadline) : -1;
        if (ready <= 0) {
            *error = ready == 0 ? noAnswer : systemError("send", errno);
            closeDescriptor(fd);
            return false;
        }
    }
    char received = 0;
    for (;;) {
        const ssize_t count = ::recv(fd, &received, 1, 0);
        if (count == 1)
            break;
        if (count == 0) {
            *error = QStringLiteral("the connection was closed without an answer");
            closeDescriptor(fd);
            return false;
        }
        if (errno == EINTR)
            continue;
        const int ready = errno == EAGAIN || errno == EWOULDBLOCK ? waitFor(fd, POLLIN, answerDeadline) : -1;
        if (ready <= 0) {
            *error = ready == 0 ? noAnswer : systemError("recv", errno);
            closeDescriptor(fd);
            return false;
        }
    }
    if (received != answer) {
        *error = QStringLiteral("an unexpected answer");
        closeDescriptor(fd);
        return false;
    }
    // Sent back, the answer lets the listener act on the message: from here on the
    // caller reports it taken.
    ssize_t sent;
    do
        sent = ::send(fd, &received, 1, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    const int code = errno;
    closeDescriptor(fd);
    if (sent != 1) {
        *error = systemError("send", code);
        return false;
    }
    return true;
}
