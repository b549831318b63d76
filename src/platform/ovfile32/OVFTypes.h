// Types shared by the file library's calls and its callers.
#pragma once

#include "WinTypes.h"

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "the library's records are little-endian");

// The platform's file time: 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

// One directory entry as a search reports it. Names are in the ANSI code page.
struct WIN32_FIND_DATA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    DWORD dwReserved0 = 0;
    DWORD dwReserved1 = 0;
    char cFileName[MAX_PATH] = {};
    char cAlternateFileName[14] = {};   // the 8.3 alias; empty when the name is a legal 8.3 name
};

#pragma pack(push, 1)
// Local date and time, the time form of every time call of the library.
struct TimeFields32 {
    WORD wYear = 0;     // four digits
    WORD wMonth = 0;    // 1-12
    WORD wDay = 0;      // 1-31
    WORD wHour = 0;     // 0-23
    WORD wMinute = 0;   // 0-59
    WORD wSecond = 0;   // 0-59
};

// The status record of GetStatus32 and SetStatus32 (302 bytes, fixed layout).
struct FileStatus32Record {
    BYTE bAttribute = 0;
    BYTE bPadding = 0;
    TimeFields32 tfCreation;
    TimeFields32 tfLastAccess;
    TimeFields32 tfLastWrite;
    DWORD dwSize = 0;
    char szFullName[MAX_PATH] = {};
};
#pragma pack(pop)

static_assert(sizeof(TimeFields32) == 12);
static_assert(sizeof(FileStatus32Record) == 302);
static_assert(offsetof(FileStatus32Record, tfCreation) == 2);
static_assert(offsetof(FileStatus32Record, tfLastAccess) == 14);
static_assert(offsetof(FileStatus32Record, tfLastWrite) == 26);
static_assert(offsetof(FileStatus32Record, dwSize) == 38);
static_assert(offsetof(FileStatus32Record, szFullName) == 42);

// Attribute bits.
inline constexpr BYTE kOVF_attrReadOnly = 0x01;
inline constexpr BYTE kOVF_attrHidden = 0x02;
inline constexpr BYTE kOVF_attrSystem = 0x04;
inline constexpr BYTE kOVF_attrVolume = 0x08;
inline constexpr BYTE kOVF_attrDirectory = 0x10;
inline constexpr BYTE kOVF_attrArchive = 0x20;
inline constexpr BYTE kOVF_attrNormal = 0x80;

// Open flags (the framework's file open flags, passed through unchanged).
inline constexpr UINT kOVF_modeRead = 0x0000;
inline constexpr UINT kOVF_modeWrite = 0x0001;
inline constexpr UINT kOVF_modeReadWrite = 0x0002;
inline constexpr UINT kOVF_modeCreate = 0x1000;
inline constexpr UINT kOVF_modeNoTruncate = 0x2000;

// The failure value of the calls that return a handle, a count or a position.
inline constexpr DWORD kOVF_invalid = 0xFFFFFFFFu;

// Drive kinds (0 = none); drive index 0 = A.
enum class OVFDriveKind : int { none = 0, removable = 1, fixed = 2, remote = 3, cdrom = 4, diskette = 5 };
