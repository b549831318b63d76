// The framework's file class. It holds the shared state of a file object (the framework's own
// handle, the close-on-delete flag and the file's path) and declares the file operations in the
// framework's order. This framework carries no file system of its own: a derived class that
// replaces an operation supplies its I/O, and an operation left unreplaced raises
// CNotSupportedException.
#pragma once

#include "Exceptions.h"
#include "Object.h"
#include "Time.h"
#include "WinTypes.h"

#include <string>

// A file's information as the framework reports it.
struct CFileStatus {
    CTime m_ctime;                 // creation
    CTime m_mtime;                 // last write
    CTime m_atime;                 // last access
    DWORD m_size = 0;
    BYTE m_attribute = 0;
    BYTE m_padding = 0;
    char m_szFullName[MAX_PATH] = {};
};

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
    enum Attribute : BYTE {
        normal = 0x00,
        readOnly = 0x01,
        hidden = 0x02,
        system = 0x04,
        volume = 0x08,
        directory = 0x10,
        archive = 0x20,
    };
    static constexpr UINT hFileNull = 0xFFFFFFFFu;

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() override = default;

    const CRuntimeClass* GetRuntimeClass() const override { return &classCFile; }
    static inline const CRuntimeClass classCFile{"CFile", &CObject::classCObject};

    virtual DWORD GetPosition() const { return Unsupported<DWORD>(); }
    virtual std::string GetFileName() const;   // the last element of the path
    virtual std::string GetFileTitle() const;  // the last element without its extension
    virtual std::string GetFilePath() const { return m_strFileName; }
    virtual void SetFilePath(const char* pszNewName) { m_strFileName = pszNewName ? pszNewName : ""; }
    virtual BOOL Open(const char*, UINT, CFileException* = nullptr) { return Unsupported<BOOL>(); }
    virtual CFile* Duplicate() const { return Unsupported<CFile*>(); }
    virtual LONG Seek(LONG, UINT) { return Unsupported<LONG>(); }
    virtual void SetLength(DWORD) { Unsupported<int>(); }
    virtual DWORD GetLength() const { return Unsupported<DWORD>(); }
    virtual UINT Read(void*, UINT) { return Unsupported<UINT>(); }
    virtual void Write(const void*, UINT) { Unsupported<int>(); }
    virtual void LockRange(DWORD, DWORD) { Unsupported<int>(); }
    virtual void UnlockRange(DWORD, DWORD) { Unsupported<int>(); }
    virtual void Abort() { Unsupported<int>(); }
    virtual void Flush() { Unsupported<int>(); }
    virtual void Close() { Unsupported<int>(); }
    // Direct buffer access is a facility of memory files only.
    virtual UINT GetBufferPtr(UINT, UINT = 0, void** = nullptr, void** = nullptr) { return 0; }

    // Non-virtual helpers of the framework, built on the virtual operations.
    DWORD SeekToEnd() { return static_cast<DWORD>(Seek(0, end)); }
    void SeekToBegin() { Seek(0, begin); }
    DWORD ReadHuge(void* lpBuffer, DWORD dwCount) { return Read(lpBuffer, dwCount); }
    void WriteHuge(const void* lpBuffer, DWORD dwCount) { Write(lpBuffer, dwCount); }

    UINT m_hFile = hFileNull;
    BOOL m_bCloseOnDelete = 0;
    std::string m_strFileName;

private:
    template <typename T>
    [[noreturn]] static T Unsupported() { throw CNotSupportedException(); }
};
