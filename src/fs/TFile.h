// The file object: the framework's file interface carried out by the file library.
//
// Every operation exists twice: the throwing form raises CFileException (cause derived from the
// library's OS error, which it carries; nothing is raised when that error is 0, and the
// library's failure value is returned instead), and the "try" form catches any CException
// and returns a result.
#pragma once

#include "File.h"
#include "OVFTypes.h"

#include <string>

class TFile : public CFile {
public:
    static constexpr DWORD kNoFile = 0xFFFFFFFFu;

    TFile() = default;
    explicit TFile(int /*ignored*/) {}
    // Opens at once; throws CFileException when the file cannot be opened.
    TFile(const char* pszName, UINT nOpenFlags);
    // Closes the file; a failure is not raised from here (the handle is released regardless).
    ~TFile() override;

    const CRuntimeClass* GetRuntimeClass() const override { return &classTFile; }
    static inline const CRuntimeClass classTFile{"TFile", &CFile::classCFile};

    DWORD GetPosition() const override;
    void SetFilePath(const char* pszNewName) override;
    // Sets m_strName first. On failure fills *pError and returns FALSE, or throws when pError is null.
    BOOL Open(const char* pszName, UINT nOpenFlags, CFileException* pError = nullptr) override;
    CFile* Duplicate() const override;
    LONG Seek(LONG lOffset, UINT nFrom) override;
    void SetLength(DWORD dwNewLen) override;
    DWORD GetLength() const override;
    UINT Read(void* lpBuffer, UINT nCount) override;
    void Write(const void* lpBuffer, UINT nCount) override;
    void LockRange(DWORD dwPos, DWORD dwCount) override;
    void UnlockRange(DWORD dwPos, DWORD dwCount) override;
    void Abort() override;      // closes, reports nothing; the object is closed afterwards
    void Flush() override;      // every byte written so far is durable afterwards
    void Close() override;      // a failed close keeps the handle

    virtual DWORD TryGetPosition() const;                         // 0 on failure
    virtual BOOL TryOpen(const char* pszName, UINT nOpenFlags, CFileException* pError = nullptr);
    virtual LONG TrySeek(LONG lOffset, UINT nFrom);               // -1 on failure
    virtual BOOL TrySetLength(DWORD dwNewLen);
    virtual DWORD TryGetLength() const;                           // 0 on failure
    virtual UINT TryRead(void* lpBuffer, UINT nCount);            // 0 on failure, like end of file
    virtual BOOL TryWrite(const void* lpBuffer, UINT nCount);
    virtual BOOL TryLockRange(DWORD dwPos, DWORD dwCount);
    virtual BOOL TryUnlockRange(DWORD dwPos, DWORD dwCount);
    virtual BOOL TryAbort();
    virtual BOOL TryFlush();
    virtual BOOL TryClose();

    static void Rename(const char* pszOldName, const char* pszNewName);
    static void Remove(const char* pszFileName);   // a failure is not reported
    // A drive root ("X:\" or "\") reports the volume attribute, size 0 and the current time.
    static BOOL GetStatus(const char* pszFileName, CFileStatus& rStatus);
    // An open file's status is read from the file itself, with no lookup of its name; *pnSize
    // (when given) gets the size beyond 32 bits as well.
    BOOL GetStatus(CFileStatus& rStatus, std::uint64_t* pnSize = nullptr) const;
    static void SetStatus(const char* pszFileName, const CFileStatus& status);
    static BOOL TryRename(const char* pszOldName, const char* pszNewName);
    static BOOL TryRemove(const char* pszFileName);   // TRUE even when nothing was removed
    static BOOL TrySetStatus(const char* pszFileName, const CFileStatus& status);
    // TRUE when the file can be opened for reading.
    static BOOL Exists(const char* pszFileName);

    DWORD m_hFile32 = kNoFile;
    std::string m_strName;
};

// A volume root for this layer: "X:\" or "Desktop:\" exactly, or "\". "X:" alone is not a root.
bool IsDriveRoot(const char* pszPath);
