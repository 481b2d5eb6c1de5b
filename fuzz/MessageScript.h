#pragma once

// Plays a script of connections against the single-instance socket and checks
// every step against a model of the message protocol. Shared by the message
// fuzzer and its regression test.
//
// The script is a list of steps, each one byte (kind = byte % 4, client =
// byte / 4 % Player::kClients) and what that kind takes:
//   0  the client connects (when it has no connection, queued or not);
//   1  the client sends: two bytes give a length (1 + value % 4096), one byte a
//      repeat count (1 + value % 32), then that many bytes (what is left, when
//      fewer), sent once per repeat, each send a step of its own;
//   2  the client shuts its sending side;
//   3  the client closes its connection.
// After each step the listener's events are processed; then every open client
// must see exactly what the model says: the one-byte answer when its message has
// just been completed, the end of the connection when the listener has dropped
// it, nothing otherwise; and the listener must have handed on exactly the message
// the model completes.
//
// The model: the listener serves at most `maxConnections` clients; the others
// wait in the socket's queue, in the order they connected, and what they send
// waits with them. A served client's message is what it sends up to a zero
// byte, answered when nothing follows the zero; more than the longest message
// before the zero, or anything behind it before the answer, drops it. Once
// answered, any byte it sends hands the message on; an end of its sending side
// drops it without. A script stops early (without a fault) before any
// connection nears the time the listener gives a caller.
//
// At the end every client closes, and the process must hold as many descriptors
// as it did before the script.
#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace MessageScript {

inline int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Runs the event loop until nothing is left to do now (deleting what was let go).
inline void processPendingEvents()
{
    for (int i = 0; i < 64; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents))
            break;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Listener {
    QString socketPath;
    int maxMessageBytes;
    int maxConnections;  // served at once
    int callerTimeoutMs;  // a served caller's time
    // The messages handed on since the last call, taken out.
    std::function<QList<QByteArray>()> takeMessages;
    // How a message reaches takeMessages, from its bytes (the single-instance
    // object hands on text).
    std::function<QByteArray(const QByteArray&)> asHandedOn;
};

class Player {
public:
    // Clients in a script: two more than are served at once.
    static constexpr int kClients = 6;

    explicit Player(const Listener& listener) : mListener(listener) {}

    // Empty when every step went as the model says, else what did not.
    QString play(const std::uint8_t* data, std::size_t size)
    {
        processPendingEvents();
        mListener.takeMessages();
        const int descriptors = openDescriptors();
        mClock.start();
        std::size_t at = 0;
        while (at < size && mFault.isEmpty() && !late()) {
            const std::uint8_t op = data[at++];
            const int client = (op / 4) % kClients;
            switch (op % 4) {
            case 0:
                if (mClients[client].fd == -1)
                    connectClient(client);
                step(nullptr);
                break;
            case 1: {
                if (size - at < 3) {
                    at = size;
                    break;
                }
                const std::size_t length = 1 + (data[at] | data[at + 1] << 8) % 4096;
                const int repeats = 1 + data[at + 2] % 32;
                at += 3;
                const QByteArray chunk(reinterpret_cast<const char*>(data + at),
                                       qsizetype(std::min(length, size - at)));
                at += std::size_t(chunk.size());
                for (int i = 0; i < repeats && !chunk.isEmpty() && mFault.isEmpty() && !late(); ++i)
                    sendFrom(client, chunk);
                break;
            }
            case 2:
                shutClient(client);
                break;
            default:
                closeClient(client);
                step(nullptr);
                break;
            }
        }
        for (int client = 0; client < kClients; ++client)
            closeClient(client);
        processPendingEvents();
        if (mFault.isEmpty() && openDescriptors() != descriptors)
            fail(QStringLiteral("%1 descriptors open after the script, %2 before").arg(openDescriptors()).arg(descriptors));
        return mFault;
    }

private:
    enum class State { Queued, Reading, Answered, Dropped };
    struct Client {
        int fd = -1;
        bool shut = false;      // its sending side (on a queued client: waiting to be read)
        State state = State::Queued;
        QByteArray pending;     // sent while queued
        QByteArray received;    // by the listener, as the model has it
        bool answerDue = false;
    };

    bool late() const { return mClock.elapsed() > mListener.callerTimeoutMs / 4; }

    void fail(const QString& what)
    {
        if (mFault.isEmpty())
            mFault = what;
    }

    void connectClient(int index)
    {
        Client& client = mClients[index];
        client = Client();
        const QByteArray path = QFile::encodeName(mListener.socketPath);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        client.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (client.fd < 0 || ::connect(client.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            fail(QStringLiteral("connect: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        mQueue.push_back(index);
    }

    void closeClient(int index)
    {
        Client& client = mClients[index];
        if (client.fd >= 0)
            ::close(client.fd);
        if (client.state == State::Queued && client.fd >= 0) {
            // It still waits in the socket's queue: once taken, it is dropped.
            client.shut = true;
            client.fd = -2;  // gone from here, still queued there
            return;
        }
        forget(index);
    }

    void forget(int index)
    {
        mClients[index] = Client();
        mQueue.erase(std::remove(mQueue.begin(), mQueue.end(), index), mQueue.end());
    }

    // The model of one read of `bytes` by the listener, and what it hands on.
    std::optional<QByteArray> receive(Client& client, const QByteArray& bytes)
    {
        if (client.state == State::Answered) {
            client.state = State::Dropped;
            return client.received;
        }
        const qsizetype start = client.received.size();
        client.received += bytes;
        const qsizetype zero = client.received.indexOf('\0', start);
        if (zero < 0) {
            if (client.received.size() > mListener.maxMessageBytes)
                client.state = State::Dropped;
        } else if (zero > mListener.maxMessageBytes || zero + 1 != client.received.size()) {
            client.state = State::Dropped;
        } else {
            client.received.truncate(zero);
            client.state = State::Answered;
            client.answerDue = true;
        }
        return std::nullopt;
    }

    void shutClient(int index)
    {
        Client& client = mClients[index];
        if (client.fd >= 0 && !client.shut) {
            ::shutdown(client.fd, SHUT_WR);
            client.shut = true;
            if (client.state != State::Queued)
                client.state = State::Dropped;
        }
        step(nullptr);
    }

    void sendFrom(int index, const QByteArray& chunk)
    {
        Client& client = mClients[index];
        // What the listener will never read is not sent (nor piled up in the queue).
        const bool unread = client.fd < 0 || client.shut || client.state == State::Dropped ||
                            (client.state == State::Queued && client.pending.size() > mListener.maxMessageBytes);
        if (unread) {
            step(nullptr);
            return;
        }
        if (::send(client.fd, chunk.constData(), std::size_t(chunk.size()), MSG_NOSIGNAL) != chunk.size()) {
            fail(QStringLiteral("a send on a connection the listener should keep failed"));
            return;
        }
        if (client.state == State::Queued) {
            client.pending += chunk;
            step(nullptr);
            return;
        }
        const std::optional<QByteArray> handedOn = receive(client, chunk);
        step(handedOn ? &*handedOn : nullptr);
    }

    // Queued clients taken while places are free: what they sent is read at once,
    // and a client whose sending side has ended is then dropped.
    void admit()
    {
        for (;;) {
            const int served = int(std::count_if(mClients, mClients + kClients, [](const Client& c) {
                return c.state == State::Reading || c.state == State::Answered;
            }));
            const auto next = std::find_if(mQueue.begin(), mQueue.end(),
                                           [this](int i) { return mClients[i].state == State::Queued; });
            if (served >= mListener.maxConnections || next == mQueue.end())
                return;
            const int index = *next;
            mQueue.erase(next);
            Client& client = mClients[index];
            client.state = State::Reading;
            if (!client.pending.isEmpty())
                receive(client, std::exchange(client.pending, {}));
            if (client.shut)
                client.state = State::Dropped;
            if (client.fd == -2)
                forget(index);
        }
    }

    // After one step: what the clients see and what the listener handed on.
    void step(const QByteArray* handedOn)
    {
        // Dropped clients free their places at once.
        admit();
        processPendingEvents();
        const QList<QByteArray> messages = mListener.takeMessages();
        if (handedOn) {
            if (messages.size() != 1 || messages.front() != mListener.asHandedOn(*handedOn))
                fail(QStringLiteral("%1 messages handed on where one was due").arg(messages.size()));
        } else if (!messages.isEmpty()) {
            fail(QStringLiteral("a message handed on where none was due"));
        }
        for (int index = 0; index < kClients; ++index) {
            Client& client = mClients[index];
            if (client.fd < 0)
                continue;
            QByteArray bytes;
            bool ended = false;
            for (;;) {
                char buffer[64];
                const ssize_t count = ::recv(client.fd, buffer, sizeof buffer, 0);
                if (count > 0) {
                    bytes.append(buffer, count);
                    continue;
                }
                ended = count == 0 || errno == ECONNRESET;
                if (count < 0 && !ended && errno != EAGAIN && errno != EWOULDBLOCK)
                    fail(QStringLiteral("recv: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
                break;
            }
            const QString who = QStringLiteral("client %1: ").arg(index);
            if (bytes.size() != (client.answerDue ? 1 : 0))
                fail(who + QStringLiteral("%1 bytes came back where %2 were due").arg(bytes.size()).arg(client.answerDue));
            if (client.answerDue) {
                if (mAnswer.isEmpty())
                    mAnswer = bytes;
                else if (bytes != mAnswer)
                    fail(who + QStringLiteral("another answer than before"));
            }
            client.answerDue = false;
            if (ended != (client.state == State::Dropped))
                fail(who + (ended ? QStringLiteral("the listener dropped a connection it should keep")
                                  : QStringLiteral("the listener kept a connection it should drop")));
            if (ended)
                closeClient(index);
        }
    }

    Listener mListener;
    Client mClients[kClients];
    std::deque<int> mQueue;  // connected and not yet taken, first come first
    QByteArray mAnswer;
    QElapsedTimer mClock;
    QString mFault;
};

}  // namespace MessageScript
