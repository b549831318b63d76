#include "BufferedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ovf {

namespace {

int PreadAll(int fd, char* p, std::size_t nCount, off_t nOffset, std::size_t& nDone)
{
    nDone = 0;
    while (nDone < nCount) {
        const ssize_t n = pread(fd, p + nDone, nCount - nDone, nOffset + static_cast<off_t>(nDone));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        nDone += static_cast<std::size_t>(n);
        // A regular file comes back short only at its end: no second call to learn it.
        if (static_cast<std::size_t>(n) < nCount)
            break;
    }
    return 0;
}

int PwriteAll(int fd, const char* p, std::size_t nCount, off_t nOffset)
{
    std::size_t nDone = 0;
    while (nDone < nCount) {
        const ssize_t n = pwrite(fd, p + nDone, nCount - nDone, nOffset + static_cast<off_t>(nDone));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        nDone += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

TBufferedFile::TBufferedFile(TFd fd, std::string strFaultKey, bool bWritable, off_t nPosition)
    : m_fd(std::move(fd)), m_strFaultKey(std::move(strFaultKey)), m_bWritable(bWritable), m_nPosition(nPosition)
{
}

char* TBufferedFile::Buffer()
{
    if (!m_buffer)
        m_buffer.reset(new char[kBufferSize]);
    return m_buffer.get();
}

int TBufferedFile::WriteOut()
{
    if (!m_bDirty)
        return 0;
    if (const int nError = PwriteAll(m_fd.Get(), m_buffer.get(), m_nBufferLength, m_nBufferStart))
        return nError;   // the data stays buffered: a later write-out may still succeed
    m_bDirty = false;
    m_nBufferLength = 0;
    return 0;
}

int TBufferedFile::Read(void* pBuffer, std::size_t nCount, std::size_t& nRead)
{
    nRead = 0;
    if (const int nError = WriteOut())
        return nError;
    auto* p = static_cast<char*>(pBuffer);
    while (nRead < nCount) {
        const off_t nOffset = m_nPosition - m_nBufferStart;
        if (m_nBufferLength > 0 && nOffset >= 0 && static_cast<std::size_t>(nOffset) < m_nBufferLength) {
            const std::size_t n = std::min(nCount - nRead, m_nBufferLength - static_cast<std::size_t>(nOffset));
            std::memcpy(p + nRead, m_buffer.get() + nOffset, n);
            nRead += n;
            m_nPosition += static_cast<off_t>(n);
            continue;
        }
        if (m_nPosition == m_nKnownEnd) {
            // The last fill ended here: this read reports the end; the next one looks again.
            m_nKnownEnd = -1;
            break;
        }
        if (nCount - nRead >= kBufferSize) {
            std::size_t nDone = 0;
            const int nError = PreadAll(m_fd.Get(), p + nRead, nCount - nRead, m_nPosition, nDone);
            nRead += nDone;
            m_nPosition += static_cast<off_t>(nDone);
            return nError;
        }
        m_nBufferStart = m_nPosition;
        if (const int nError = PreadAll(m_fd.Get(), Buffer(), kBufferSize, m_nPosition, m_nBufferLength)) {
            m_nBufferLength = 0;
            return nError;
        }
        if (m_nBufferLength == 0)
            break;   // end of file
        if (m_nBufferLength < kBufferSize)
            m_nKnownEnd = m_nBufferStart + static_cast<off_t>(m_nBufferLength);
    }
    return 0;
}

int TBufferedFile::Write(const void* pBuffer, std::size_t nCount)
{
    if (!m_bWritable)
        return EBADF;
    m_nKnownEnd = -1;
    const auto* p = static_cast<const char*>(pBuffer);
    if (!m_bDirty)
        m_nBufferLength = 0;   // drop data read ahead
    const bool bAppends = m_bDirty && m_nPosition == m_nBufferStart + static_cast<off_t>(m_nBufferLength);
    if (!bAppends || m_nBufferLength + nCount > kBufferSize)
        if (const int nError = WriteOut())
            return nError;
    m_bWritten = true;
    if (nCount >= kBufferSize) {
        if (const int nError = PwriteAll(m_fd.Get(), p, nCount, m_nPosition))
            return nError;
        m_nPosition += static_cast<off_t>(nCount);
        return 0;
    }
    char* pData = Buffer();
    if (!m_bDirty) {
        m_nBufferStart = m_nPosition;
        m_nBufferLength = 0;
        m_bDirty = true;
    }
    std::memcpy(pData + m_nBufferLength, p, nCount);
    m_nBufferLength += nCount;
    m_nPosition += static_cast<off_t>(nCount);
    return 0;
}

int TBufferedFile::Length(off_t& nLength)
{
    struct stat st {};
    if (fstat(m_fd.Get(), &st) != 0)
        return errno;
    nLength = st.st_size;
    if (m_bDirty)
        nLength = std::max(nLength, m_nBufferStart + static_cast<off_t>(m_nBufferLength));
    return 0;
}

int TBufferedFile::Seek(off_t nOffset, int nOrigin, off_t& nNewPosition)
{
    off_t nBase = 0;
    if (nOrigin == SEEK_CUR) {
        nBase = m_nPosition;
    } else if (nOrigin == SEEK_END) {
        if (const int nError = Length(nBase))
            return nError;
    } else if (nOrigin != SEEK_SET) {
        return EINVAL;
    }
    if (nBase + nOffset < 0)
        return EINVAL;
    m_nPosition = nBase + nOffset;
    nNewPosition = m_nPosition;
    return 0;
}

int TBufferedFile::SetLength(off_t nLength)
{
    if (!m_bWritable)
        return EBADF;
    m_nKnownEnd = -1;
    if (const int nError = WriteOut())
        return nError;
    m_nBufferLength = 0;
    if (ftruncate(m_fd.Get(), nLength) != 0)
        return errno;
    m_bWritten = true;
    return 0;
}

int TBufferedFile::Sync()
{
    if (const int nError = WriteOut())
        return nError;
    if (m_bWritten && fsync(m_fd.Get()) != 0)
        return errno;
    m_bWritten = false;
    return 0;
}

int TBufferedFile::Close()
{
    if (const int nError = Sync())
        return nError;
    if (close(m_fd.Release()) != 0 && errno != EINTR)
        return errno;
    return 0;
}

void TBufferedFile::Abort()
{
    WriteOut();
    m_fd.Reset();
}

int TBufferedFile::Duplicate(std::unique_ptr<TBufferedFile>& copy)
{
    if (const int nError = WriteOut())
        return nError;
    TFd fd(fcntl(m_fd.Get(), F_DUPFD_CLOEXEC, 0));
    if (!fd.Valid())
        return errno;
    copy = std::make_unique<TBufferedFile>(std::move(fd), m_strFaultKey, m_bWritable, m_nPosition);
    copy->SetNames(m_strLeaf, m_strWinPath);
    return 0;
}

} // namespace ovf
