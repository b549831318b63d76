// Local date and time fields to a moment, as mktime with tm_isdst < 0 gives it.
#pragma once

#include <ctime>

// The moment the local fields name (out-of-range fields carry over as mktime carries them);
// -1 when there is none. The C library's mktime checks the zone file on every call when TZ is
// unset, which is a system call per conversion; a time whose zone offset is the same for a day
// on each side names exactly one moment, found here from localtime_r alone. Times near an
// offset change, and fields that ask for a daylight-saving setting, go to mktime itself.
std::time_t LocalMakeTime(const std::tm& fields);
