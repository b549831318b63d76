#include "SignalWatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_fds[2] = {-1, -1};
// Lock-free, so safe in a signal handler.
std::atomic<bool> g_bEndOnSecond{false};
std::atomic<int> g_nSignals{0};

extern "C" void OnSignal(int nSignal)
{
    if (g_bEndOnSecond && g_nSignals.fetch_add(1) > 0) {
        std::signal(nSignal, SIG_DFL);
        std::raise(nSignal);
        return;
    }
    const unsigned char c = static_cast<unsigned char>(nSignal);
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &c, 1);
}
} // namespace

TSignalWatcher::TSignalWatcher(std::function<void(int)> fnSignal, QObject* pParent, ESecondSignal eSecond)
    : QObject(pParent), m_fnSignal(std::move(fnSignal))
{
    g_bEndOnSecond = eSecond == ESecondSignal::EndProcess;
    g_nSignals = 0;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0)
        return;
    m_pNotifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        unsigned char c = 0;
        while (::read(g_fds[1], &c, 1) == 1)
            m_fnSignal(c);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

TSignalWatcher::~TSignalWatcher()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete m_pNotifier;
    for (int& fd : g_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
