#include "platform/SignalBridge.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kestovar {

namespace {

// Written by the handler, read on the GUI thread. Set once and never closed: a
// handler may run at any moment until the process ends.
std::atomic<int> g_writeFd { -1 };
int g_readFd = -1;
bool g_installed = false;
SignalBridge* g_bridge = nullptr;

constexpr int kSignals[] = { SIGTERM, SIGINT, SIGUSR1, SIGUSR2 };

extern "C" void OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe means a signal is already waiting; losing a repeat is fine.
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

bool SignalBridge::InstallHandlers()
{
    if (g_installed)
        return true;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    g_readFd = fds[0];
    g_writeFd.store(fds[1]);

    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    g_installed = true;
    return true;
}

SignalBridge::SignalBridge(QObject* parent)
    : QObject(parent)
{
    Q_ASSERT(!g_bridge);
    g_bridge = this;
    if (!InstallHandlers())
        return;
    notifier_ = std::make_unique<QSocketNotifier>(g_readFd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalBridge::ReadPipe);
    // Signals that arrived before this object existed are already in the pipe; the
    // notifier reports them as soon as the event loop runs.
}

SignalBridge::~SignalBridge()
{
    if (g_bridge == this)
        g_bridge = nullptr;
}

void SignalBridge::ReadPipe()
{
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = ::read(g_readFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i) {
            switch (buffer[i]) {
            case SIGTERM:
            case SIGINT:
                emit terminateRequested(buffer[i]);
                break;
            case SIGUSR1:
                emit cameraPullRequested();
                break;
            case SIGUSR2:
                emit cameraPlugRequested();
                break;
            default:
                break;
            }
        }
    }
}

} // namespace kestovar
