// Time conversions (internal).
#pragma once

#include "OVFTypes.h"

#include <ctime>

namespace ovf {

// Local time fields of a POSIX time; false when the C library cannot break it down.
bool UnixToFields(std::time_t t, TimeFields32& fields);
// POSIX time of local time fields; false when they make no time.
bool FieldsToUnix(const TimeFields32& fields, std::time_t& t);

} // namespace ovf
