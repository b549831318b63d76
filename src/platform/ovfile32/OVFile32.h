// The file library: every file, search, path, volume and time operation that the file layer
// performs, over POSIX.
//
// Paths are Windows-style, in the ANSI code page (OVFCodePages.h), at most 259 characters:
//   "X:\a\b"   drive X, from its root          "\a\b"  the current drive, from its root
//   "X:a\b"    drive X, from its root          "a\b"   the current directory
// Consecutive backslashes count as one, "." is dropped and ".." stops at the drive's root.
// A name holding '/' or ':' is refused (EINVAL). Each element is looked up the Windows way: the
// exact name first, else a name that differs only in letter case (the same one every time: the
// smallest in byte order), else an entry's 8.3 alias, in any case.
//
// Names that are not legal 8.3 names get a deterministic upper-case alias such as "LONG~1Q3.HTM"
// (reported as cAlternateFileName). Entries that cannot be addressed through this namespace
// (a '\' or ':' in the name, bytes that are not valid in the ANSI code page, symbolic links)
// are left out of listings.
//
// Symbolic links are never followed: a path that runs through one fails (ELOOP or ENOTDIR), and
// a file cannot be opened through one.
//
// Attributes: read-only is the owner's write bit; names starting with "." are hidden; the whole
// attribute byte is kept in the user.DOSATTRIB extended attribute ("0x20" and a NUL); a file with
// none stored reports archive; folders always report 0x10. As on Windows, a read-only file cannot
// be opened for writing or removed.
//
// Failures: calls return the failure value given with each call (kOVF_invalid, FALSE or -1) and
// store an errno value in *pOsError when pOsError is not null; on success *pOsError is 0.
//
// File handles buffer their I/O: reads read ahead and writes are gathered in large blocks.
// Flush32 and Close32 of a written file write every byte out and make it durable (fsync); an
// error of a gathered write is reported by the call that writes it out.
#pragma once

#include "OVFCodePages.h"
#include "OVFDrives.h"
#include "OVFTesting.h"
#include "OVFTypes.h"

#include <cstdint>
#include <ctime>

// ---- Files --------------------------------------------------------------------------------
// nFlags: the framework's open flags (access in the low two bits: 0 read, 1 write, 2 read-write;
// 0x1000 create (truncating unless 0x2000); sharing bits are accepted and not enforced).
// Only regular files can be opened. Returns a handle (never 0), or kOVF_invalid.
DWORD Open32(const char* pszName, UINT nFlags, DWORD* pOsError);
DWORD Read32(DWORD hFile, void* pBuffer, DWORD nCount, DWORD* pOsError);          // bytes read; 0 at end
DWORD Write32(DWORD hFile, const void* pBuffer, DWORD nCount, DWORD* pOsError);   // nCount, or kOVF_invalid
DWORD Seek32(DWORD hFile, LONG lOffset, UINT nOrigin, DWORD* pOsError);            // origin 0 begin, 1 current, 2 end
DWORD GetPosition32(DWORD hFile, DWORD* pOsError);
// The position beyond 32 bits as well (how much was read or written of a sequential transfer);
// 0 for a handle that is not open.
std::uint64_t GetPosition64(DWORD hFile);
DWORD GetLength32(DWORD hFile, DWORD* pOsError);
BOOL SetLength32(DWORD hFile, DWORD dwLength, DWORD* pOsError);
BOOL Flush32(DWORD hFile, DWORD* pOsError);
// A failed close keeps the handle open (call again, or Abort32).
BOOL Close32(DWORD hFile, DWORD* pOsError);
// Closes without reporting anything (buffered data is written out on a best-effort basis).
void Abort32(DWORD hFile);
BOOL LockRange32(DWORD hFile, DWORD dwPos, DWORD dwCount, DWORD* pOsError);
BOOL UnlockRange32(DWORD hFile, DWORD dwPos, DWORD dwCount, DWORD* pOsError);
// A second handle on the same open file, starting at the same position.
DWORD Duplicate32(DWORD hFile, DWORD* pOsError);

// Renames within one drive; fails with EEXIST when the new name belongs to another file
// (a change of letter case only is allowed), EXDEV across drives.
BOOL Rename32(const char* pszOldName, const char* pszNewName, DWORD* pOsError);
// Removes a file (not a folder; not a read-only file).
BOOL Remove32(const char* pszName, DWORD* pOsError);
// Removes a file's name whatever its read-only attribute says, and changes nothing on the file
// itself (other names may lead to it): removing a name takes only its folder.
BOOL RemoveName32(const char* pszName, DWORD* pOsError);
// Fills the zeroed record for a file or folder: attributes, the three times as local time fields,
// the size (low 32 bits) and the full name with each element's real name. TRUE or FALSE.
BOOL GetStatus32(const char* pszName, FileStatus32Record* pRecord);
// The same for a file open by its handle, read from the open file (no lookup); *pnSize, when
// given, gets the size beyond 32 bits as well.
BOOL GetHandleStatus32(DWORD hFile, FileStatus32Record* pRecord, std::uint64_t* pnSize, DWORD* pOsError);
// What an entry is, told by one lookup (no times, no attributes): 1 a folder, 0 a file, -1 none
// (or unreachable, as GetStatus32 would fail).
int OVF_EntryKind(const char* pszName);
// Applies the record's attribute byte (read-only, hidden, system, archive) and its last-access and
// last-write times (a time whose fields are all 0 is left unchanged; the creation time cannot be
// set on this system and is ignored). The name is not changed.
BOOL SetStatus32(const char* pszName, const FileStatus32Record* pRecord, DWORD* pOsError);
// The same for a file open for writing, by its handle, with pLastWrite as its last-access and
// last-write times: its buffered data is written out first, so that the times stay. A file
// that is about to take its name gets both without a lookup.
BOOL SetHandleStatus32(DWORD hFile, const TimeFields32* pLastWrite, BYTE bAttribute, DWORD* pOsError);

// ---- Searches ------------------------------------------------------------------------------
// pszPattern: a folder path and a last element that is a name or a pattern with '*' and '?'
// (compared without regard to case, against long names and aliases; "*.*" matches every name).
// A folder other than a drive root lists "." and ".." first. Returns a search handle (never 0),
// or kOVF_invalid when nothing matches (ENOENT) or the folder cannot be listed.
DWORD FindFirstFile32(const char* pszPattern, WIN32_FIND_DATA* pData, DWORD* pOsError);
BOOL FindNextFile32(DWORD hFind, WIN32_FIND_DATA* pData, DWORD* pOsError);   // FALSE/ENOENT at the end
BOOL FindClose32(DWORD hFind, DWORD* pOsError);

// ---- Paths and folders ---------------------------------------------------------------------
// The path with each element replaced by its 8.3 form (the alias, or the name itself when it is
// a legal 8.3 name); every element must exist. Returns the length, or 0 (also when nSize is
// too small for the whole result and its terminator).
DWORD GetShortPathName32(const char* pszLongPath, char* pszShortPath, WORD nSize);
// The current directory into pBuffer (nSize bytes with the terminator); TRUE or FALSE (ERANGE).
BOOL getcwd32(char* pBuffer, WORD nSize, DWORD* pOsError);
int mkdir32(const char* pszPath, DWORD* pOsError = nullptr);   // 0 or -1 (EEXIST when it exists)
int rmdir32(const char* pszPath, DWORD* pOsError = nullptr);   // 0 or -1; the folder must be empty
// Splits a path like the C runtime's _splitpath. Each output may be null; sizes assumed:
// drive kOVF_maxDrive, folder and name and extension kOVF_maxElement (results are cut to fit).
int splitpath32(const char* pszPath, char* pszDrive, char* pszDir, char* pszName, char* pszExt,
                DWORD* pOsError = nullptr);
// Builds a path like the C runtime's _makepath into pszPath (MAX_PATH bytes; cut to fit).
int makepath32(char* pszPath, const char* pszDrive, const char* pszDir, const char* pszName,
               const char* pszExt, DWORD* pOsError = nullptr);
inline constexpr std::size_t kOVF_maxDrive = 3;
inline constexpr std::size_t kOVF_maxElement = 256;

// ---- Volumes -------------------------------------------------------------------------------
// pszRoot: "x:\" (either case) or "\" for the current drive.
// The drive's label into pBuffer (cut to fit); TRUE, or FALSE for an unknown drive.
BOOL GetVolumeName32(const char* pszRoot, char* pBuffer, WORD nSize);
// Free bytes available to the caller on drive nDrive (1 = A; 0 the current drive), clamped to
// 0xFFFFFFFF; 0 on failure.
DWORD GetFreeSpace32(int nDrive, DWORD* pOsError);
// The longest file name the volume allows (bytes); 0 for an unknown drive.
DWORD GetFileNameSizeOnVolume32(const char* pszRoot);

// ---- Times ---------------------------------------------------------------------------------
// Local time is the C library's, so TZ decides the zone.
// Seconds since 1970 already counted in the local frame -> fields (no zone applied). TRUE/FALSE.
BOOL LocalUCTToVskTime32(DWORD dwSeconds, TimeFields32* pFields);
// A file time (UTC) -> local time fields. TRUE or FALSE.
BOOL FileTimeToCTime32(const FILETIME* pFileTime, TimeFields32* pFields);
// Local time fields -> a file time (UTC). TRUE or FALSE.
BOOL CTimeToFileTime32(const TimeFields32* pFields, FILETIME* pFileTime);

// Local time fields of POSIX seconds; false when the C library cannot break them down.
bool OVF_UnixToTimeFields(std::time_t t, TimeFields32& fields);

// POSIX seconds (UTC) <-> file times.
FILETIME OVF_FileTimeFromUnix(std::time_t t, long nNanoseconds = 0);
std::time_t OVF_FileTimeToUnix(const FILETIME& ft);
