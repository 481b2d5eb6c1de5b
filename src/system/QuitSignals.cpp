#include "system/QuitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is written by the handler, [1] read by the notifier.
int gPipe[2] = {-1, -1};

// The signals that end the program, and their handlers from before.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kQuitSignalCount = int(std::size(kQuitSignals));
struct sigaction gPrevious[kQuitSignalCount];
bool gHandled[kQuitSignalCount] = {};

extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Async-signal-safe; when the pipe is full a quit is already pending.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[0], &byte, 1);
    errno = savedErrno;
}

void restoreHandlers()
{
    for (int i = 0; i < kQuitSignalCount; ++i) {
        if (gHandled[i])
            ::sigaction(kQuitSignals[i], &gPrevious[i], nullptr);
        gHandled[i] = false;
    }
}

void closePipe()
{
    for (int& fd : gPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (gPipe[0] >= 0)
        return;  // another object holds the handlers
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    ::fcntl(gPipe[0], F_SETFL, ::fcntl(gPipe[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(gPipe[1], F_SETFL, ::fcntl(gPipe[1], F_GETFL) | O_NONBLOCK);

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kQuitSignalCount; ++i) {
        gHandled[i] = false;
        if (kQuitSignals[i] == SIGHUP && ::sigaction(SIGHUP, nullptr, &gPrevious[i]) == 0 &&
            gPrevious[i].sa_handler == SIG_IGN)
            continue;  // started to outlive its terminal (nohup): keep it so
        if (::sigaction(kQuitSignals[i], &action, &gPrevious[i]) != 0) {
            restoreHandlers();
            closePipe();
            return;
        }
        gHandled[i] = true;
    }
    mNotifier = new QSocketNotifier(gPipe[1], QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &QuitSignals::readSignal);
    mInstalled = true;
}

QuitSignals::~QuitSignals()
{
    if (!mInstalled)
        return;
    restoreHandlers();
    delete mNotifier;
    closePipe();
}

void QuitSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(gPipe[1], &byte, 1) == 1)
        emit quitRequested(int(byte));
}
