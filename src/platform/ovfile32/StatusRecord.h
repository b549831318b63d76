// The status record of an entry (internal), filled alike for a path and for an open file.
#pragma once

#include "OVFTypes.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <optional>
#include <string>

namespace ovf {

// The times as local time fields (the creation time from pBirth when it has one, else the
// last-write time), the size, the attributes and the full name (left empty when too long).
void FillStatusRecord(FileStatus32Record& record, const struct stat& st, const std::optional<struct timespec>& birth,
                      BYTE bAttributes, const std::string& strFullName);
// The creation time a statx read gave, where the disk keeps one.
std::optional<struct timespec> BirthOf(const struct statx& stx);
// The status a statx read gave, in the form the rest of the library reads.
struct stat StatOf(const struct statx& stx);

} // namespace ovf
