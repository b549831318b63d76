// An open file with read-ahead and gathered writes (internal).
//
// The protocol moves files in 4 KB pieces; one buffer per handle turns them into large reads
// and writes. The buffer holds either data read ahead (clean) or data written and not yet
// written out (dirty), never both.
#pragma once

#include "Fd.h"
#include "OVFTypes.h"

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

namespace ovf {

class TBufferedFile {
public:
    static constexpr std::size_t kBufferSize = 256 * 1024;

    TBufferedFile(TFd fd, std::string strFaultKey, bool bWritable, off_t nPosition = 0);

    // Each returns 0 or errno.
    int Read(void* pBuffer, std::size_t nCount, std::size_t& nRead);
    int Write(const void* pBuffer, std::size_t nCount);
    int Seek(off_t nOffset, int nOrigin, off_t& nNewPosition);
    int Length(off_t& nLength);
    int SetLength(off_t nLength);
    int WriteOut();     // writes the dirty buffer out
    int Sync();         // writes out and makes every written byte durable
    int Close();        // Sync when anything was written, then close; the file stays open on failure
    void Abort();       // best-effort write-out, then close
    int Duplicate(std::unique_ptr<TBufferedFile>& copy);

    int Fd() const { return m_fd.Get(); }
    off_t Position() const { return m_nPosition; }
    const std::string& FaultKey() const { return m_strFaultKey; }
    bool Writable() const { return m_bWritable; }
    // The file's name (disk encoding) and its full Windows-style path with real names, for its
    // status read by handle.
    void SetNames(std::string strLeaf, std::string strWinPath)
    {
        m_strLeaf = std::move(strLeaf);
        m_strWinPath = std::move(strWinPath);
    }
    const std::string& Leaf() const { return m_strLeaf; }
    const std::string& WinPath() const { return m_strWinPath; }
    // Made by this library a moment ago (O_EXCL): nothing but its data is stored on it. Asked
    // once: after its attributes are written the file is no longer fresh.
    void MarkFresh() { m_bFresh = true; }
    bool TakeFresh() { return std::exchange(m_bFresh, false); }

private:
    TFd m_fd;
    std::string m_strFaultKey;
    bool m_bWritable;
    bool m_bWritten = false;             // written since the last Sync
    bool m_bFresh = false;
    std::string m_strLeaf;
    std::string m_strWinPath;
    off_t m_nPosition;
    // Allocated on first use and never cleared: a small file needs no 256 KB of zeroes.
    std::unique_ptr<char[]> m_buffer;
    off_t m_nBufferStart = 0;
    std::size_t m_nBufferLength = 0;
    off_t m_nKnownEnd = -1;               // where a fill of the buffer last came back short
    bool m_bDirty = false;

    char* Buffer();
};

// Registers an open file with the library; returns its handle for the file calls.
DWORD AddHandle(std::unique_ptr<TBufferedFile> file);

} // namespace ovf
