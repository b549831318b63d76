#include "Connection.h"

#include "TlsContext.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QTimer>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Large reads keep the system calls few; the cap keeps a flooding peer from costing memory.
constexpr std::size_t kInputChunk = 256 * 1024;
// Completions run in one turn of the loop before other connections get theirs.
constexpr int kDeliveriesPerTurn = 256;
// How long a stopped connection may take to send what it has already taken.
constexpr int kLingerMs = 5000;
// How long the connection stays awake for the answer to what it has just sent.
constexpr auto kAwakeForAnswer = std::chrono::microseconds(200);
// TLS writes each record with a system call of its own: records gather in a buffer of this size
// while more follow in the same turn, and leave together.
constexpr int kTlsWriteBuffer = 128 * 1024;

// The connections of this process whose descriptors are open: a connection awake for its answer
// stops as soon as any of them has something to read.
std::vector<TConnection*>& OpenConnections()
{
    static std::vector<TConnection*> connections;
    return connections;
}

void MakeNonBlocking(int nFd)
{
    const int nFlags = fcntl(nFd, F_GETFL);
    if (nFlags >= 0)
        fcntl(nFd, F_SETFL, nFlags | O_NONBLOCK);
}

bool IsSocket(int nFd)
{
    struct stat st {};
    return fstat(nFd, &st) == 0 && S_ISSOCK(st.st_mode);
}
} // namespace

TConnection::TConnection(int nReadFd, int nWriteFd, std::string strPeer, QObject* pParent)
    : QObject(pParent), m_nReadFd(nReadFd), m_nWriteFd(nWriteFd), m_bSocket(IsSocket(nWriteFd)),
      m_strPeer(std::move(strPeer))
{
    if (m_bSocket) {
        // Requests and answers are small and gathered here already: no waiting for more. Only
        // a TCP socket takes this, and only TCP is told when more bytes follow (see Flush).
        const int nOne = 1;
        m_bTcp = setsockopt(m_nWriteFd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne) == 0;
    }
    MakeNonBlocking(m_nReadFd);
    if (m_nWriteFd != m_nReadFd)
        MakeNonBlocking(m_nWriteFd);
    m_pReadNotifier = new QSocketNotifier(m_nReadFd, QSocketNotifier::Read, this);
    connect(m_pReadNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    m_pWriteNotifier = new QSocketNotifier(m_nWriteFd, QSocketNotifier::Write, this);
    m_pWriteNotifier->setEnabled(false);
    connect(m_pWriteNotifier, &QSocketNotifier::activated, this, [this] { OnWritable(); });
    OpenConnections().push_back(this);
    static QAbstractEventDispatcher* s_pWatched = nullptr;
    if (QAbstractEventDispatcher* pDispatcher = QAbstractEventDispatcher::instance(); pDispatcher && pDispatcher != s_pWatched) {
        s_pWatched = pDispatcher;
        QObject::connect(pDispatcher, &QAbstractEventDispatcher::aboutToBlock, pDispatcher, [] {
            for (TConnection* pConnection : OpenConnections())
                pConnection->OnLoopAboutToBlock();
        });
    }
}

TConnection::~TConnection()
{
    m_fnClosed = nullptr;
    CloseDescriptors();
}

std::int32_t TConnection::Read(void* pBuffer, std::size_t nLength, std::function<void(std::int32_t)> fnDone)
{
    return Read(pBuffer, nLength, TCompletion{nullptr, nullptr, nullptr, std::move(fnDone)});
}

std::int32_t TConnection::Write(const void* pBuffer, std::size_t nLength, std::function<void(std::int32_t)> fnDone)
{
    return Write(pBuffer, nLength, TCompletion{nullptr, nullptr, nullptr, std::move(fnDone)});
}

std::int32_t TConnection::Read(void* pBuffer, std::size_t nLength, TCompletion completion)
{
    // One read at a time: the stream has one reader, and a second read could not be ordered.
    if (m_bStopped || m_bBroken || m_pendingRead)
        return 1;
    m_pendingRead = TPendingRead{static_cast<std::uint8_t*>(pBuffer), nLength, std::move(completion)};
    if (!SatisfyRead()) {
        // After the end nothing more comes: what TLS still holds then is a record the peer never
        // finished. Before it, bytes that TLS has read already wake no notifier.
        if (m_bEof)
            Break();
        else if (TlsHasPending())
            ReadAvailable();
    }
    UpdateReadNotifier();
    return 0;
}

std::int32_t TConnection::Write(const void* pBuffer, std::size_t nLength, TCompletion completion)
{
    if (m_bStopped || m_bBroken)
        return 1;
    if (m_nOutHead == m_out.size()) {
        m_out.clear();
        m_nOutHead = 0;
    } else if (m_nOutHead * 2 >= m_out.size()) {
        m_out.erase(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(m_nOutHead));
        m_nOutHead = 0;
    }
    const auto* pBytes = static_cast<const std::uint8_t*>(pBuffer);
    m_out.insert(m_out.end(), pBytes, pBytes + nLength);
    m_nOutTotal += nLength;
    if (Unsent() <= m_nOutputLimit)
        Queue(std::move(completion), 0);
    else
        m_heldWrites.push_back(THeldWrite{m_nOutTotal, std::move(completion)});
    SchedulePump();
    return 0;
}

void TConnection::SetOutputLimit(std::size_t nBytes)
{
    m_nOutputLimit = std::max(nBytes, m_nMinimumOutputLimit);
    ReleaseHeldWrites();
}

void TConnection::SetMinimumOutputLimit(std::size_t nBytes)
{
    m_nMinimumOutputLimit = nBytes;
    SetOutputLimit(m_nOutputLimit);
}

void TConnection::StartTls(ssl_st* pTls)
{
    m_pTls = pTls;
    if (!SSL_get_rbio(pTls))
        SSL_set_rfd(pTls, m_nReadFd);
    // Records leave through a buffer that the connection empties when nothing more follows in
    // this turn, also on a session whose handshake ran elsewhere (a guest's) on plain sockets.
    BIO* pBuffered = BIO_new(BIO_f_buffer());
    BIO* pSocket = BIO_new_socket(m_nWriteFd, BIO_NOCLOSE);
    if (pBuffered && pSocket && BIO_set_write_buffer_size(pBuffered, kTlsWriteBuffer) == 1) {
        SSL_set0_wbio(pTls, BIO_push(pBuffered, pSocket));
    } else {
        BIO_free(pBuffered);
        BIO_free(pSocket);
        if (!SSL_get_wbio(pTls))
            SSL_set_wfd(pTls, m_nWriteFd);
    }
    m_nClearUntil = m_nOutTotal;
    // A client speaks first: its handshake starts from the loop, with or without a read waiting.
    if (!SSL_is_init_finished(pTls))
        QMetaObject::invokeMethod(this, [this] { OnReadable(); }, Qt::QueuedConnection);
}

bool TConnection::PeerClosed() const
{
    if (Closed())
        return true;
    pollfd peer{m_nReadFd, POLLRDHUP, 0};
    return ::poll(&peer, 1, 0) == 1 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool TConnection::TlsHasPending() const { return m_pTls && !Closed() && SSL_has_pending(m_pTls) == 1; }

std::size_t TConnection::TlsBuffered() const
{
    BIO* pBio = m_pTls ? SSL_get_wbio(m_pTls) : nullptr;
    return pBio ? BIO_wpending(pBio) : 0;
}

TConnection::ETransfer TConnection::FlushTls()
{
    if (TlsBuffered() == 0)
        return ETransfer::Done;
    if (BIO_flush(SSL_get_wbio(m_pTls)) == 1)
        return ETransfer::Done;
    if (BIO_should_retry(SSL_get_wbio(m_pTls)))
        return ETransfer::WantsWrite;
    m_strFailure = errno ? std::strerror(errno) : "nothing could be sent";
    return ETransfer::Failed;
}

void TConnection::Stop()
{
    if (m_bStopped)
        return;
    m_bStopped = true;
    m_pendingRead.reset();
    m_heldWrites.clear();
    m_ready.clear();
    if (m_bBroken || AllSent() || Closed()) {
        CloseDescriptors();
        return;
    }
    if (m_pReadNotifier)
        m_pReadNotifier->setEnabled(false);
    m_pLingerTimer = new QTimer(this);
    m_pLingerTimer->setSingleShot(true);
    connect(m_pLingerTimer, &QTimer::timeout, this, [this] { CloseDescriptors(); });
    m_pLingerTimer->start(kLingerMs);
    SchedulePump();
}

void TConnection::Abort()
{
    m_bStopped = true;
    m_pendingRead.reset();
    m_heldWrites.clear();
    m_ready.clear();
    CloseDescriptors();
}

std::size_t TConnection::BufferedBytes() const { return m_in.capacity() + m_out.capacity(); }

void TConnection::Queue(TCompletion completion, std::int32_t nStatus)
{
    m_ready.emplace_back(std::move(completion), nStatus);
    SchedulePump();
}

void TConnection::SchedulePump()
{
    // While the connection pumps, it delivers what becomes ready before it returns to the loop.
    if (!m_bPumping)
        PostPump();
}

void TConnection::ReleaseDeliveries()
{
    if (m_nHolds > 0 && --m_nHolds == 0 && !m_ready.empty())
        PostPump();
}

void TConnection::PostPump()
{
    if (m_bPumpPosted || Closed())
        return;
    m_bPumpPosted = true;
    QMetaObject::invokeMethod(this, [this] { Pump(); }, Qt::QueuedConnection);
}

void TConnection::OnLoopAboutToBlock()
{
    // A loop that runs while this connection pumps is nested in one of its completions (a
    // modal dialog): that loop takes over the delivering and the sending meanwhile.
    // Bytes that wait for room are sent by the write notifier, not by turn after turn.
    const bool bUnsentUntried =
        !AllSent() && !m_bWriteWantsRead && !(m_pWriteNotifier && m_pWriteNotifier->isEnabled());
    if (m_bPumping && (Deliverable() || bUnsentUntried))
        PostPump();
}

void TConnection::Pump()
{
    m_bPumpPosted = false;
    const bool bNested = m_bPumping;
    m_bPumping = true;
    int nDelivered = 0;
    for (;;) {
        while (Deliverable() && !m_bStopped && nDelivered < kDeliveriesPerTurn) {
            auto [completion, nStatus] = std::move(m_ready.front());
            m_ready.pop_front();
            Deliver(completion, nStatus);
            ++nDelivered;
        }
        Flush();
        if (m_bStopped || nDelivered >= kDeliveriesPerTurn)
            break;
        if (!Deliverable() && (m_nHolds > 0 || !AwaitAnswerBriefly()))
            break;
    }
    m_bPumping = bNested;
    if (Deliverable() && !m_bStopped)
        PostPump();
}

bool TConnection::AwaitAnswerBriefly()
{
    // Only right after everything taken has been sent, with a read waiting: a stream still
    // going out waits for room instead, and is woken when there is.
    const bool bSent = m_nSentTotal != m_nSentAtLastWait;
    m_nSentAtLastWait = m_nSentTotal;
    if (!bSent || !m_pendingRead || !AllSent() || !m_heldWrites.empty() || m_bBroken || m_bEof || Closed())
        return false;
    // Any connection with something to read ends the wait: the others are not kept waiting.
    std::vector<pollfd> readable;
    readable.push_back({m_nReadFd, POLLIN, 0});
    for (const TConnection* pOther : OpenConnections())
        if (pOther != this)
            readable.push_back({pOther->m_nReadFd, POLLIN, 0});
    const auto deadline = std::chrono::steady_clock::now() + kAwakeForAnswer;
    do {
        if (::poll(readable.data(), readable.size(), 0) != 0) {
            if (readable[0].revents == 0)
                return false;
            ReadAvailable();
            return Deliverable();
        }
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void TConnection::Deliver(TCompletion& completion, std::int32_t nStatus)
{
    try {
        if (completion.pfnCompletion)
            completion.pfnCompletion(static_cast<HConnection>(this), completion.pSession, completion.hStream, nStatus);
        else if (completion.fnDone)
            completion.fnDone(nStatus);
    } catch (...) {
        // A completion has nowhere to report to; the module catches its own failures.
    }
}

void TConnection::OnReadable()
{
    // Called from the loop: what the bytes complete is delivered now, not in another turn.
    const auto readAndResumeWriting = [this] {
        ReadAvailable();
        if (m_bWriteWantsRead) {
            m_bWriteWantsRead = false;
            Flush();
        }
    };
    if (m_bPumping) {
        // A loop nested in one of this connection's completions: a posted turn delivers.
        readAndResumeWriting();
        if (Deliverable())
            PostPump();
        return;
    }
    m_bPumping = true;
    readAndResumeWriting();
    m_bPumping = false;
    if (Deliverable() && !m_bStopped)
        Pump();
}

void TConnection::ReadAvailable()
{
    if (m_bStopped || m_bBroken || m_bEof || Closed())
        return;
    if (m_nInHead == m_nInTail)
        m_nInHead = m_nInTail = 0;
    const std::size_t nWanted = std::max(kInputChunk, m_pendingRead ? m_pendingRead->nLength : 0);
    if (m_in.size() < nWanted)
        m_in.resize(nWanted);
    // One read from a plain descriptor; through TLS, on while it holds decrypted bytes, which
    // wake no notifier.
    for (;;) {
        if (m_nInTail == m_in.size()) {
            if (m_nInHead == 0)
                break;
            std::memmove(m_in.data(), m_in.data() + m_nInHead, m_nInTail - m_nInHead);
            m_nInTail -= m_nInHead;
            m_nInHead = 0;
        }
        std::size_t nGot = 0;
        const ETransfer eResult = Receive(m_in.data() + m_nInTail, m_in.size() - m_nInTail, nGot);
        if (eResult == ETransfer::Done) {
            m_nInTail += nGot;
            m_nReceivedTotal += nGot;
            if (TlsHasPending())
                continue;
        } else if (eResult == ETransfer::Closed) {
            m_bEof = true;
        } else if (eResult == ETransfer::WantsWrite) {
            m_bReadWantsWrite = true;
            if (m_pWriteNotifier)
                m_pWriteNotifier->setEnabled(true);
        } else if (eResult == ETransfer::Failed) {
            Break(m_strFailure);
            return;
        }
        break;
    }
    if (!SatisfyRead() && m_bEof && m_pendingRead)
        Break();
    UpdateReadNotifier();
}

bool TConnection::SatisfyRead()
{
    if (!m_pendingRead || m_nInTail - m_nInHead < m_pendingRead->nLength)
        return false;
    std::memcpy(m_pendingRead->pBuffer, m_in.data() + m_nInHead, m_pendingRead->nLength);
    m_nInHead += m_pendingRead->nLength;
    if (m_nInHead == m_nInTail)
        m_nInHead = m_nInTail = 0;
    TCompletion completion = std::move(m_pendingRead->completion);
    m_pendingRead.reset();
    Queue(std::move(completion), 0);
    return true;
}

void TConnection::UpdateReadNotifier()
{
    if (!m_pReadNotifier)
        return;
    const std::size_t nCapacity = std::max({kInputChunk, m_in.size(), m_pendingRead ? m_pendingRead->nLength : 0});
    const bool bRoom = m_nInTail - m_nInHead < nCapacity;
    m_pReadNotifier->setEnabled(!m_bStopped && !m_bBroken && !m_bEof && (bRoom || m_bWriteWantsRead));
}

void TConnection::OnWritable()
{
    if (m_bReadWantsWrite) {
        m_bReadWantsWrite = false;
        ReadAvailable();
    }
    Flush();
}

TConnection::ETransfer TConnection::Receive(std::uint8_t* pBuffer, std::size_t nLength, std::size_t& nDone)
{
    if (m_pTls) {
        ERR_clear_error();
        return TlsResult(SSL_read(m_pTls, pBuffer, static_cast<int>(std::min<std::size_t>(nLength, INT_MAX))), nDone);
    }
    for (;;) {
        const ssize_t n = ::read(m_nReadFd, pBuffer, nLength);
        if (n > 0) {
            nDone = static_cast<std::size_t>(n);
            return ETransfer::Done;
        }
        if (n == 0)
            return ETransfer::Closed;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return ETransfer::WantsRead;
        if (errno != EINTR) {
            m_strFailure = std::strerror(errno);
            return ETransfer::Failed;
        }
    }
}

TConnection::ETransfer TConnection::Send(const std::uint8_t* pData, std::size_t nLength, bool bMore, std::size_t& nDone)
{
    if (m_pTls && m_nSentTotal >= m_nClearUntil) {
        ERR_clear_error();
        return TlsResult(SSL_write(m_pTls, pData, static_cast<int>(std::min<std::size_t>(nLength, INT_MAX))), nDone);
    }
    if (m_pTls)
        nLength = std::min<std::size_t>(nLength, m_nClearUntil - m_nSentTotal);
    for (;;) {
        const ssize_t n = m_bSocket ? ::send(m_nWriteFd, pData, nLength, MSG_NOSIGNAL | (bMore ? MSG_MORE : 0))
                                    : ::write(m_nWriteFd, pData, nLength);
        if (n > 0) {
            nDone = static_cast<std::size_t>(n);
            return ETransfer::Done;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return ETransfer::WantsWrite;
        m_strFailure = n < 0 ? std::strerror(errno) : "nothing could be sent";
        return ETransfer::Failed;
    }
}

TConnection::ETransfer TConnection::TlsResult(int nResult, std::size_t& nDone)
{
    if (nResult > 0) {
        nDone = static_cast<std::size_t>(nResult);
        return ETransfer::Done;
    }
    switch (SSL_get_error(m_pTls, nResult)) {
    case SSL_ERROR_WANT_READ: return ETransfer::WantsRead;
    case SSL_ERROR_WANT_WRITE: return ETransfer::WantsWrite;
    case SSL_ERROR_ZERO_RETURN: return ETransfer::Closed;
    case SSL_ERROR_SYSCALL:
        if (errno == 0)
            return ETransfer::Closed;
        m_strFailure = std::strerror(errno);
        return ETransfer::Failed;
    default: m_strFailure = "TLS: " + TlsErrorText(); return ETransfer::Failed;
    }
}

void TConnection::Flush()
{
    if (m_bBroken || Closed())
        return;
    // While writes wait for room or completions wait for delivery, more bytes follow in this
    // turn of the loop: TCP may then hold back a partial segment for them, so that a stream of
    // 4 KB packets leaves in full segments, with a fraction of the sends and wake-ups.
    const bool bMore = m_bTcp && !m_bStopped && (!m_heldWrites.empty() || Deliverable());
    while (Unsent() > 0) {
        std::size_t nSent = 0;
        const ETransfer eResult = Send(m_out.data() + m_nOutHead, Unsent(), bMore, nSent);
        if (eResult == ETransfer::Done) {
            m_nOutHead += nSent;
            m_nSentTotal += nSent;
            m_bHeldBack = bMore && !m_pTls;
            continue;
        }
        if (eResult == ETransfer::WantsWrite)
            break;
        if (eResult == ETransfer::WantsRead) {
            m_bWriteWantsRead = true;
            UpdateReadNotifier();
            break;
        }
        if (m_bStopped) {
            CloseDescriptors();
            return;
        }
        Break(m_strFailure);
        return;
    }
    if (Unsent() == 0 && !bMore && FlushTls() == ETransfer::Failed) {
        Break(m_strFailure);
        return;
    }
    if (Unsent() == 0) {
        m_out.clear();
        m_nOutHead = 0;
        if (m_bHeldBack && !bMore) {
            // Nothing more follows now: setting the option again pushes out what TCP holds back.
            const int nOne = 1;
            setsockopt(m_nWriteFd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
            m_bHeldBack = false;
        }
    }
    if (m_pWriteNotifier)
        m_pWriteNotifier->setEnabled((!AllSent() && !m_bWriteWantsRead) || m_bReadWantsWrite);
    if (m_bStopped) {
        if (AllSent())
            CloseDescriptors();
        return;
    }
    ReleaseHeldWrites();
}

void TConnection::ReleaseHeldWrites()
{
    // A held write whose bytes have all gone already counts as within the limit.
    while (!m_heldWrites.empty() && m_heldWrites.front().nEndOffset <= m_nSentTotal + m_nOutputLimit) {
        Queue(std::move(m_heldWrites.front().completion), 0);
        m_heldWrites.pop_front();
    }
}

void TConnection::Break(std::string strWhy)
{
    if (m_bBroken || m_bStopped)
        return;
    m_bBroken = true;
    m_strFailure = std::move(strWhy);
    if (m_pendingRead) {
        Queue(std::move(m_pendingRead->completion), kConnectionLost);
        m_pendingRead.reset();
    }
    for (THeldWrite& held : m_heldWrites)
        Queue(std::move(held.completion), kConnectionLost);
    m_heldWrites.clear();
    m_out.clear();
    m_out.shrink_to_fit();
    m_nOutHead = 0;
    if (m_pReadNotifier)
        m_pReadNotifier->setEnabled(false);
    if (m_pWriteNotifier)
        m_pWriteNotifier->setEnabled(false);
}

void TConnection::CloseDescriptors()
{
    if (Closed())
        return;
    // Notifiers must be off before their descriptors go; this may run inside their own signal.
    for (QSocketNotifier* pNotifier : {m_pReadNotifier, m_pWriteNotifier}) {
        pNotifier->setEnabled(false);
        pNotifier->deleteLater();
    }
    m_pReadNotifier = m_pWriteNotifier = nullptr;
    std::erase(OpenConnections(), this);
    if (m_pLingerTimer)
        m_pLingerTimer->stop();
    if (m_pTls) {
        // The peer learns that the end is deliberate; nothing waits for its answer.
        if (!m_bBroken && SSL_is_init_finished(m_pTls)) {
            SSL_shutdown(m_pTls);
            FlushTls();
        }
        ERR_clear_error();
        SSL_free(m_pTls);
        m_pTls = nullptr;
    }
    ::close(m_nReadFd);
    if (m_nWriteFd != m_nReadFd)
        ::close(m_nWriteFd);
    m_nReadFd = m_nWriteFd = -1;
    m_in = {};
    m_out = {};
    m_nInHead = m_nInTail = m_nOutHead = 0;
    if (m_fnClosed)
        QMetaObject::invokeMethod(this, [this] {
            if (auto fnClosed = std::move(m_fnClosed))
                fnClosed();
        }, Qt::QueuedConnection);
}
