#include "Acceptor.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Connections taken in one wake-up before the loop gets its turn again.
constexpr int kAcceptsPerWakeup = 64;

std::string NumericHost(const std::string& strHost)
{
    if (strHost == "localhost")
        return "127.0.0.1";
    if (strHost == "*")
        return "0.0.0.0";
    return strHost;
}

std::string HostAndPort(const sockaddr_storage& address)
{
    char szHost[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6) {
        const auto* pIn6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &pIn6->sin6_addr, szHost, sizeof szHost);
        return "[" + std::string(szHost) + "]:" + std::to_string(ntohs(pIn6->sin6_port));
    }
    const auto* pIn = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &pIn->sin_addr, szHost, sizeof szHost);
    return std::string(szHost) + ":" + std::to_string(ntohs(pIn->sin_port));
}

bool OutOfDescriptors(int nError)
{
    return nError == EMFILE || nError == ENFILE || nError == ENOBUFS || nError == ENOMEM;
}
} // namespace

TAcceptor::TAcceptor(std::function<void(int)> fnAccept, std::function<void(const std::string&)> fnLog)
    : m_fnAccept(std::move(fnAccept)), m_fnLog(std::move(fnLog))
{
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        if (m_pNotifier)
            m_pNotifier->setEnabled(true);
    });
}

TAcceptor::~TAcceptor() { Close(); }

std::string TAcceptor::Listen(const std::string& strHost, std::uint16_t nPort)
{
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pList = nullptr;
    const std::string strNumeric = NumericHost(strHost);
    if (getaddrinfo(strNumeric.c_str(), std::to_string(nPort).c_str(), &hints, &pList) != 0 || !pList)
        return "cannot listen on '" + strHost + "': not an IP address";
    const std::string strAsked = strHost + ":" + std::to_string(nPort);
    m_nFd = ::socket(pList->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int nOne = 1;
    const bool bListening = m_nFd >= 0 && setsockopt(m_nFd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne) == 0 &&
                            ::bind(m_nFd, pList->ai_addr, pList->ai_addrlen) == 0 && ::listen(m_nFd, SOMAXCONN) == 0;
    const int nError = errno;
    freeaddrinfo(pList);
    if (!bListening) {
        Close();
        return "cannot listen on " + strAsked + ": " + std::strerror(nError);
    }
    sockaddr_storage bound{};
    socklen_t nLength = sizeof bound;
    getsockname(m_nFd, reinterpret_cast<sockaddr*>(&bound), &nLength);
    m_strWhere = HostAndPort(bound);
    m_nPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                                : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    m_pNotifier = new QSocketNotifier(m_nFd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    return {};
}

void TAcceptor::Close()
{
    m_resume.stop();
    delete m_pNotifier;
    m_pNotifier = nullptr;
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
}

void TAcceptor::OnReadable()
{
    ++m_stats.nWakeups;
    for (int i = 0; i < kAcceptsPerWakeup && m_nFd >= 0; ++i) {
        const int nFd = ::accept4(m_nFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (nFd >= 0) {
            m_bShort = false;
            ++m_stats.nAccepted;
            m_fnAccept(nFd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (OutOfDescriptors(errno)) {
            // The connection waits in the queue; looking again at once would find it again.
            ++m_stats.nPauses;
            if (!m_bShort && m_fnLog)
                m_fnLog("out of descriptors (" + std::string(std::strerror(errno)) +
                        "): new guests wait until some are free");
            m_bShort = true;
            m_pNotifier->setEnabled(false);
            m_resume.start(kPauseMs);
        }
        return;
    }
}
