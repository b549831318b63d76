// Attribute bytes of entries (internal).
//
// Read-only is the owner's write bit; a name starting with "." is hidden; the whole byte is
// kept in the user.DOSATTRIB extended attribute as hex text ("0x21" and a NUL); without one a
// regular file reports archive; a folder always reports 0x10 from its type.
#pragma once

#include "WinTypes.h"

#include <sys/stat.h>

#include <string>

namespace ovf {

// The attribute byte of the entry strName of the folder dirFd (strName "" = the folder itself).
BYTE ReadAttributes(int dirFd, const std::string& strName, const struct stat& st);
// The same for a file open at fd (not O_PATH) whose name is strName.
BYTE ReadOpenFileAttributes(int fd, const std::string& strName, const struct stat& st);
// How a descriptor given to WriteAttributes reaches its entry.
enum class EEntryFd {
    path,  // an O_PATH descriptor of the entry itself, so that nothing is followed
    open,  // the file open for reading or writing
    fresh, // a file this library just made: nothing is stored on it yet
};
// Applies an attribute byte to the entry at entryFd. A fresh file stores nothing when the byte
// reads back the same without it. Returns 0 or errno.
int WriteAttributes(int entryFd, EEntryFd eFd, const struct stat& st, BYTE bAttributes);
// True when WriteAttributes would change nothing on a fresh regular file made writable by its
// owner (the process's umask leaves that bit), whatever its status: it need not be read.
bool FreshFileTakesAsItIs(BYTE bAttributes);

// "/proc/self/fd/N" or "/proc/self/fd/N/name": the path by which calls that take no descriptor
// reach exactly the entry that was resolved.
std::string DescriptorPath(int fd, const std::string& strName = std::string());

} // namespace ovf
