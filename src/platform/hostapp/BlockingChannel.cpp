#include "BlockingChannel.h"

#include "TlsContext.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <openssl/err.h>

namespace {
void MakeNonBlocking(int nFd)
{
    const int nFlags = fcntl(nFd, F_GETFL);
    if (nFlags >= 0)
        fcntl(nFd, F_SETFL, nFlags | O_NONBLOCK);
}

int Clamp(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT_MAX)); }
} // namespace

TBlockingChannel::TBlockingChannel(int nReadFd, int nWriteFd, TClock::time_point deadline)
    : m_nReadFd(nReadFd), m_nWriteFd(nWriteFd), m_deadline(deadline)
{
    MakeNonBlocking(m_nReadFd);
    MakeNonBlocking(m_nWriteFd);
}

TBlockingChannel::~TBlockingChannel() { SSL_free(m_pTls); }

SSL* TBlockingChannel::ReleaseTls()
{
    SSL* pTls = m_pTls;
    m_pTls = nullptr;
    return pTls;
}

bool TBlockingChannel::WaitFor(bool bWrite)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - TClock::now()).count();
        pollfd pfd{bWrite ? m_nWriteFd : m_nReadFd, static_cast<short>(bWrite ? POLLOUT : POLLIN), 0};
        const int n = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

bool TBlockingChannel::TlsShouldRetry(int nResult)
{
    switch (SSL_get_error(m_pTls, nResult)) {
    case SSL_ERROR_WANT_READ: return WaitFor(false);
    case SSL_ERROR_WANT_WRITE: return WaitFor(true);
    default: return false;
    }
}

std::size_t TBlockingChannel::ReadUpTo(std::uint8_t* pBuffer, std::size_t nLength)
{
    for (;;) {
        if (m_pTls) {
            ERR_clear_error();
            const int n = SSL_read(m_pTls, pBuffer, Clamp(nLength));
            if (n > 0)
                return static_cast<std::size_t>(n);
            if (!TlsShouldRetry(n))
                return 0;
            continue;
        }
        const ssize_t n = ::read(m_nReadFd, pBuffer, nLength);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n == 0 || (errno != EINTR && (errno != EAGAIN || !WaitFor(false))))
            return 0;
    }
}

std::size_t TBlockingChannel::ReadSome(std::uint8_t* pBuffer, std::size_t nLength)
{
    std::size_t nGot = 0;
    while (nGot < nLength) {
        const std::size_t n = ReadUpTo(pBuffer + nGot, nLength - nGot);
        if (n == 0)
            break;
        nGot += n;
    }
    return nGot;
}

bool TBlockingChannel::Write(const std::uint8_t* pBytes, std::size_t nLength)
{
    while (nLength > 0) {
        ssize_t n = 0;
        if (m_pTls) {
            ERR_clear_error();
            n = SSL_write(m_pTls, pBytes, Clamp(nLength));
            if (n <= 0 && TlsShouldRetry(static_cast<int>(n)))
                continue;
        } else {
            n = ::write(m_nWriteFd, pBytes, nLength);
            if (n < 0 && (errno == EINTR || (errno == EAGAIN && WaitFor(true))))
                continue;
        }
        if (n <= 0)
            return false;
        pBytes += n;
        nLength -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TBlockingChannel::StartTlsClient(SSL_CTX* pContext, std::string& strError)
{
    m_pTls = pContext ? SSL_new(pContext) : nullptr;
    if (!m_pTls || SSL_set_rfd(m_pTls, m_nReadFd) != 1 || SSL_set_wfd(m_pTls, m_nWriteFd) != 1) {
        strError = TlsErrorText("cannot start TLS");
        return false;
    }
    SSL_set_connect_state(m_pTls);
    for (;;) {
        ERR_clear_error();
        const int n = SSL_do_handshake(m_pTls);
        if (n == 1)
            return true;
        const int nError = SSL_get_error(m_pTls, n);
        if (nError == SSL_ERROR_SSL) {
            strError = TlsErrorText();
            return false;
        }
        if (!TlsShouldRetry(n)) {
            strError = nError == SSL_ERROR_WANT_READ || nError == SSL_ERROR_WANT_WRITE
                           ? "the host did not answer in time"
                           : "the host closed the connection";
            return false;
        }
    }
}
