// The layer's time rules: no time before 1980-01-01 00:00:00 is written or reported.
#pragma once

#include "OVFTypes.h"
#include "Time.h"

// A framework time from local time fields, each field clamped first: a year outside 1970..2038
// becomes 1980, a month outside 1..12, a day outside 1..31 become 1, an hour, minute or second
// out of range becomes 0. Daylight saving is left to the C library.
CTime ClampedTime(const TimeFields32& fields);
// Local time fields of a framework time; a year before 1980 (or a time that cannot be broken
// down) gives 1980-01-01 00:00:00.
TimeFields32 TimeFieldsOf(const CTime& time);
// 1980-01-01 00:00:00 local time, the floor of every time of the layer.
TimeFields32 FloorTimeFields();
CTime FloorTime();
// The current time, or 1980-01-01 00:00:00 when it cannot be broken down into local time.
CTime LayerCurrentTime();
