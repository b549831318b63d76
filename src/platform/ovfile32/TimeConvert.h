// Time conversions (internal).
#pragma once

#include "OVFTypes.h"

#include <ctime>
#include <sys/stat.h>

namespace ovf {

// Local time fields of a POSIX time; false when the C library cannot break it down.
bool UnixToFields(std::time_t t, TimeFields32& fields);
// POSIX time of local time fields; false when they make no time.
bool FieldsToUnix(const TimeFields32& fields, std::time_t& t);
// A time to set from local time fields: UTIME_OMIT (left unchanged) when every field is 0 or
// the fields make no time.
struct timespec TimeToSet(const TimeFields32& fields);

} // namespace ovf
