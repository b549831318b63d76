// Blocking reads and writes over a pair of descriptors, in the clear or through TLS, each
// bounded by a deadline: the guest's handshake, before its connection joins the event loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include <openssl/ssl.h>

class TBlockingChannel {
public:
    using TClock = std::chrono::steady_clock;

    // The descriptors stay the caller's; they are made non-blocking.
    TBlockingChannel(int nReadFd, int nWriteFd, TClock::time_point deadline);
    ~TBlockingChannel();
    TBlockingChannel(const TBlockingChannel&) = delete;
    TBlockingChannel& operator=(const TBlockingChannel&) = delete;

    void SetDeadline(TClock::time_point deadline) { m_deadline = deadline; }
    // The bytes of one read, waiting for them as long as the deadline allows; 0 at the end of
    // the stream, on a failure or at the deadline.
    std::size_t ReadUpTo(std::uint8_t* pBuffer, std::size_t nLength);
    // The bytes read before the deadline, the end of the stream or a failure.
    std::size_t ReadSome(std::uint8_t* pBuffer, std::size_t nLength);
    bool Read(std::uint8_t* pBuffer, std::size_t nLength) { return ReadSome(pBuffer, nLength) == nLength; }
    bool Write(const std::uint8_t* pBytes, std::size_t nLength);

    // Runs a TLS client handshake; from then on reads and writes go through it. On failure
    // strError says why.
    bool StartTlsClient(SSL_CTX* pContext, std::string& strError);
    SSL* Tls() const { return m_pTls; }
    // Hands the session over (to the connection that goes on with it).
    SSL* ReleaseTls();

private:
    // Waits until the descriptor of the direction that the last call asked for is ready.
    bool WaitFor(bool bWrite);
    // After a TLS call: true to try again (after waiting), false when it failed.
    bool TlsShouldRetry(int nResult);

    int m_nReadFd;
    int m_nWriteFd;
    TClock::time_point m_deadline;
    SSL* m_pTls = nullptr;
};
