#include "TFile.h"

#include "ClampedTime.h"
#include "OVFile32.h"

#include <algorithm>
#include <cstring>

namespace {

// The framework's status of a library record.
void StatusOfRecord(const FileStatus32Record& record, CFileStatus& rStatus)
{
    rStatus.m_ctime = ClampedTime(record.tfCreation);
    rStatus.m_mtime = ClampedTime(record.tfLastWrite);
    rStatus.m_atime = ClampedTime(record.tfLastAccess);
    rStatus.m_size = record.dwSize;
    rStatus.m_attribute = record.bAttribute;
    std::memcpy(rStatus.m_szFullName, record.szFullName, sizeof rStatus.m_szFullName);
    rStatus.m_szFullName[sizeof rStatus.m_szFullName - 1] = '\0';
    if (rStatus.m_ctime.GetTime() == 0)
        rStatus.m_ctime = rStatus.m_mtime;
    if (rStatus.m_atime.GetTime() == 0)
        rStatus.m_atime = rStatus.m_mtime;
}

// Raises the file exception of a failed library call; an OS error of 0 raises nothing.
void ThrowIfError(DWORD dwOsError)
{
    if (dwOsError != 0)
        throw CFileException(CFileException::OsErrorToCause(static_cast<long>(dwOsError)),
                             static_cast<long>(dwOsError));
}

template <typename TResult, typename TCall>
TResult Try(TResult failure, TCall call)
{
    try {
        return call();
    } catch (const CException&) {
        return failure;
    }
}

} // namespace

bool IsDriveRoot(const char* pszPath)
{
    if (pszPath == nullptr)
        return false;
    if (std::strcmp(pszPath, "\\") == 0)
        return true;
    // "X:\" or "Desktop:\": a volume name never holds a backslash, and no name holds a colon.
    const char* pColon = std::strchr(pszPath, ':');
    return pColon != nullptr && pColon[1] == '\\' && pColon[2] == '\0' &&
           std::find(static_cast<const char*>(pszPath), pColon, '\\') == pColon;
}

TFile::TFile(const char* pszName, UINT nOpenFlags)
{
    CFileException error;
    if (!Open(pszName, nOpenFlags, &error))
        throw CFileException(error.m_cause, error.m_lOsError);
}

TFile::~TFile()
{
    try {
        Close();
    } catch (const CException&) {
        Abort32(m_hFile32);   // release the handle; the failure has nowhere to go
        m_hFile32 = kNoFile;
    }
}

DWORD TFile::GetPosition() const
{
    DWORD dwError = 0;
    const DWORD dwPosition = GetPosition32(m_hFile32, &dwError);
    if (dwPosition == kOVF_invalid)
        ThrowIfError(dwError);
    return dwPosition;
}

void TFile::SetFilePath(const char* pszNewName) { m_strFileName = pszNewName ? pszNewName : ""; }

BOOL TFile::Open(const char* pszName, UINT nOpenFlags, CFileException* pError)
{
    m_strName = pszName ? pszName : "";
    if (m_hFile32 != kNoFile)
        Close();   // one file at a time: the previous one is closed, not leaked
    DWORD dwError = 0;
    const DWORD hFile = Open32(m_strName.c_str(), nOpenFlags, &dwError);
    if (hFile == kOVF_invalid) {
        if (pError != nullptr) {
            pError->m_lOsError = static_cast<long>(dwError);
            pError->m_cause = CFileException::OsErrorToCause(static_cast<long>(dwError));
            return FALSE;
        }
        ThrowIfError(dwError);
        return FALSE;
    }
    m_hFile32 = hFile;
    return 1;
}

CFile* TFile::Duplicate() const
{
    auto* pFile = new TFile();
    DWORD dwError = 0;
    const DWORD hFile = Duplicate32(m_hFile32, &dwError);
    if (hFile == kOVF_invalid) {
        delete pFile;
        throw CFileException(CFileException::OsErrorToCause(static_cast<long>(dwError)), static_cast<long>(dwError));
    }
    pFile->m_hFile32 = hFile;
    pFile->m_hFile = m_hFile;
    pFile->m_bCloseOnDelete = m_bCloseOnDelete;
    pFile->m_strName = m_strName;
    return pFile;
}

LONG TFile::Seek(LONG lOffset, UINT nFrom)
{
    DWORD dwError = 0;
    const DWORD dwPosition = Seek32(m_hFile32, lOffset, nFrom, &dwError);
    if (dwPosition == kOVF_invalid)
        ThrowIfError(dwError);
    return static_cast<LONG>(dwPosition);
}

void TFile::SetLength(DWORD dwNewLen)
{
    DWORD dwError = 0;
    if (!SetLength32(m_hFile32, dwNewLen, &dwError))
        ThrowIfError(dwError);
}

DWORD TFile::GetLength() const
{
    DWORD dwError = 0;
    const DWORD dwLength = GetLength32(m_hFile32, &dwError);
    if (dwLength == kOVF_invalid)
        ThrowIfError(dwError);
    return dwLength;
}

UINT TFile::Read(void* lpBuffer, UINT nCount)
{
    if (nCount == 0)
        return 0;
    DWORD dwError = 0;
    const DWORD dwRead = Read32(m_hFile32, lpBuffer, nCount, &dwError);
    if (dwRead == kOVF_invalid)
        ThrowIfError(dwError);
    return dwRead;
}

void TFile::Write(const void* lpBuffer, UINT nCount)
{
    if (nCount == 0)
        return;
    DWORD dwError = 0;
    if (Write32(m_hFile32, lpBuffer, nCount, &dwError) == kOVF_invalid)
        ThrowIfError(dwError);
}

void TFile::LockRange(DWORD dwPos, DWORD dwCount)
{
    if (dwCount == 0)
        return;
    DWORD dwError = 0;
    if (!LockRange32(m_hFile32, dwPos, dwCount, &dwError))
        ThrowIfError(dwError);
}

void TFile::UnlockRange(DWORD dwPos, DWORD dwCount)
{
    if (dwCount == 0)
        return;
    DWORD dwError = 0;
    if (!UnlockRange32(m_hFile32, dwPos, dwCount, &dwError))
        ThrowIfError(dwError);
}

void TFile::Abort()
{
    if (m_hFile == hFileNull && m_hFile32 == kNoFile)
        return;
    Abort32(m_hFile32);
    m_hFile32 = kNoFile;
}

void TFile::Flush()
{
    DWORD dwError = 0;
    if (!Flush32(m_hFile32, &dwError))
        ThrowIfError(dwError);
}

void TFile::Close()
{
    if (m_hFile32 == kNoFile)
        return;
    DWORD dwError = 0;
    if (!Close32(m_hFile32, &dwError))
        ThrowIfError(dwError);   // the handle stays: the close may be tried again
    m_hFile32 = kNoFile;
}

DWORD TFile::TryGetPosition() const { return Try<DWORD>(0, [&] { return GetPosition(); }); }

BOOL TFile::TryOpen(const char* pszName, UINT nOpenFlags, CFileException* pError)
{
    return Try<BOOL>(FALSE, [&] { return Open(pszName, nOpenFlags, pError); });
}

LONG TFile::TrySeek(LONG lOffset, UINT nFrom) { return Try<LONG>(-1, [&] { return Seek(lOffset, nFrom); }); }

BOOL TFile::TrySetLength(DWORD dwNewLen)
{
    return Try<BOOL>(FALSE, [&] { SetLength(dwNewLen); return BOOL{1}; });
}

DWORD TFile::TryGetLength() const { return Try<DWORD>(0, [&] { return GetLength(); }); }

UINT TFile::TryRead(void* lpBuffer, UINT nCount) { return Try<UINT>(0, [&] { return Read(lpBuffer, nCount); }); }

BOOL TFile::TryWrite(const void* lpBuffer, UINT nCount)
{
    return Try<BOOL>(FALSE, [&] { Write(lpBuffer, nCount); return BOOL{1}; });
}

BOOL TFile::TryLockRange(DWORD dwPos, DWORD dwCount)
{
    return Try<BOOL>(FALSE, [&] { LockRange(dwPos, dwCount); return BOOL{1}; });
}

BOOL TFile::TryUnlockRange(DWORD dwPos, DWORD dwCount)
{
    return Try<BOOL>(FALSE, [&] { UnlockRange(dwPos, dwCount); return BOOL{1}; });
}

BOOL TFile::TryAbort() { return Try<BOOL>(FALSE, [&] { Abort(); return BOOL{1}; }); }
BOOL TFile::TryFlush() { return Try<BOOL>(FALSE, [&] { Flush(); return BOOL{1}; }); }
BOOL TFile::TryClose() { return Try<BOOL>(FALSE, [&] { Close(); return BOOL{1}; }); }

void TFile::Rename(const char* pszOldName, const char* pszNewName)
{
    DWORD dwError = 0;
    if (!Rename32(pszOldName, pszNewName, &dwError))
        ThrowIfError(dwError);
}

void TFile::Remove(const char* pszFileName)
{
    DWORD dwError = 0;
    Remove32(pszFileName, &dwError);
}

BOOL TFile::GetStatus(const char* pszFileName, CFileStatus& rStatus)
{
    if (IsDriveRoot(pszFileName)) {
        const CTime now = LayerCurrentTime();
        rStatus.m_ctime = rStatus.m_mtime = rStatus.m_atime = now;
        rStatus.m_size = 0;
        rStatus.m_attribute = CFile::volume;
        std::strncpy(rStatus.m_szFullName, pszFileName, sizeof rStatus.m_szFullName - 1);
        rStatus.m_szFullName[sizeof rStatus.m_szFullName - 1] = '\0';
        return 1;
    }
    FileStatus32Record record{};
    if (!GetStatus32(pszFileName, &record))
        return FALSE;
    StatusOfRecord(record, rStatus);
    return 1;
}

BOOL TFile::GetStatus(CFileStatus& rStatus, std::uint64_t* pnSize) const
{
    if (m_hFile32 == kNoFile) {
        if (!GetStatus(m_strName.c_str(), rStatus))
            return FALSE;
        if (pnSize)
            *pnSize = rStatus.m_size;
        return 1;
    }
    FileStatus32Record record{};
    DWORD dwError = 0;
    if (!GetHandleStatus32(m_hFile32, &record, pnSize, &dwError))
        return FALSE;
    StatusOfRecord(record, rStatus);
    return 1;
}

void TFile::SetStatus(const char* pszFileName, const CFileStatus& status)
{
    FileStatus32Record record{};
    record.tfCreation = TimeFieldsOf(status.m_ctime);
    record.tfLastAccess = TimeFieldsOf(status.m_atime);
    record.tfLastWrite = TimeFieldsOf(status.m_mtime);
    record.dwSize = status.m_size;
    record.bAttribute = status.m_attribute;
    std::memcpy(record.szFullName, status.m_szFullName, sizeof record.szFullName);
    record.szFullName[sizeof record.szFullName - 1] = '\0';
    DWORD dwError = 0;
    if (!SetStatus32(pszFileName, &record, &dwError))
        ThrowIfError(dwError);
}

BOOL TFile::TryRename(const char* pszOldName, const char* pszNewName)
{
    return Try<BOOL>(FALSE, [&] { Rename(pszOldName, pszNewName); return BOOL{1}; });
}

BOOL TFile::TryRemove(const char* pszFileName)
{
    return Try<BOOL>(FALSE, [&] { Remove(pszFileName); return BOOL{1}; });
}

BOOL TFile::TrySetStatus(const char* pszFileName, const CFileStatus& status)
{
    return Try<BOOL>(FALSE, [&] { SetStatus(pszFileName, status); return BOOL{1}; });
}

BOOL TFile::Exists(const char* pszFileName)
{
    TFile file;
    if (!file.TryOpen(pszFileName, CFile::modeRead, nullptr))
        return FALSE;
    file.TryClose();
    return 1;
}
