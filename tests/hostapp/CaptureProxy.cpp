#include "CaptureProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// How often the relay looks whether it should stop.
constexpr int kStopCheckMs = 50;

sockaddr_in Loopback(std::uint16_t nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
} // namespace

TCaptureProxy::TCaptureProxy(std::uint16_t nTargetPort) : m_nTargetPort(nTargetPort)
{
    m_nListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t nSize = sizeof address;
    ::bind(m_nListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_nListenFd, 4);
    ::getsockname(m_nListenFd, reinterpret_cast<sockaddr*>(&address), &nSize);
    m_nPort = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

TCaptureProxy::~TCaptureProxy()
{
    m_bStop = true;
    m_thread.join();
    ::close(m_nListenFd);
}

std::string TCaptureProxy::Captured()
{
    std::lock_guard lock(m_mutex);
    return m_strCaptured;
}

void TCaptureProxy::Run()
{
    while (!m_bStop) {
        pollfd pfd{m_nListenFd, POLLIN, 0};
        if (::poll(&pfd, 1, kStopCheckMs) <= 0)
            continue;
        const int nGuestFd = ::accept4(m_nListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (nGuestFd >= 0)
            Relay(nGuestFd);
    }
}

void TCaptureProxy::Relay(int nGuestFd)
{
    const int nHostFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(m_nTargetPort);
    if (::connect(nHostFd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        pollfd fds[2] = {{nGuestFd, POLLIN, 0}, {nHostFd, POLLIN, 0}};
        char buffer[65536];
        bool bOpen = true;
        while (bOpen && !m_bStop) {
            if (::poll(fds, 2, kStopCheckMs) <= 0)
                continue;
            for (int i = 0; i < 2 && bOpen; ++i) {
                if (fds[i].revents == 0)
                    continue;
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                // Kept before it is passed on: what a side has received is always in the capture.
                if (n > 0) {
                    std::lock_guard lock(m_mutex);
                    m_strCaptured.append(buffer, static_cast<std::size_t>(n));
                }
                bOpen = n > 0 && ::send(fds[1 - i].fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
            }
        }
    }
    ::close(nHostFd);
    ::close(nGuestFd);
}
