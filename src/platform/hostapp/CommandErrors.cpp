#include "CommandErrors.h"

#include <QSocketNotifier>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {
constexpr std::size_t kKeptBytes = 1024; // the end of a long complaint says what went wrong
} // namespace

TCommandErrors::TCommandErrors(int nReadFd) : m_nFd(nReadFd) {}

TCommandErrors::~TCommandErrors()
{
    m_pNotifier.reset();
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool TCommandErrors::ReadAvailable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t nRead = ::read(m_nFd, buffer, sizeof buffer);
        if (nRead > 0) {
            if (m_bPassOn) {
                std::fwrite(buffer, 1, static_cast<std::size_t>(nRead), stderr);
                std::fflush(stderr);
            } else {
                m_strSaid.append(buffer, static_cast<std::size_t>(nRead));
                if (m_strSaid.size() > kKeptBytes)
                    m_strSaid.erase(0, m_strSaid.size() - kKeptBytes);
            }
            continue;
        }
        if (nRead < 0 && errno == EINTR)
            continue;
        return nRead < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

std::string TCommandErrors::Collect(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        if (!ReadAvailable())
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd readable{m_nFd, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            break;
    }
    std::string strSaid = m_strSaid;
    while (!strSaid.empty() && (strSaid.back() == '\n' || strSaid.back() == '\r' || strSaid.back() == ' '))
        strSaid.pop_back();
    std::replace(strSaid.begin(), strSaid.end(), '\r', ' ');
    return strSaid;
}

void TCommandErrors::PassOn()
{
    m_bPassOn = true;
    if (!m_strSaid.empty()) {
        std::fwrite(m_strSaid.data(), 1, m_strSaid.size(), stderr);
        m_strSaid.clear();
    }
    m_pNotifier = std::make_unique<QSocketNotifier>(m_nFd, QSocketNotifier::Read);
    QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, m_pNotifier.get(), [this] {
        if (!ReadAvailable())
            m_pNotifier->setEnabled(false); // the command has ended its output
    });
}
