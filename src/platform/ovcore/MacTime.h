// Mac times: unsigned seconds since 1904-01-01 00:00:00 local time, the time form of the wire.
//
// Every Mac time these calls take or give is in wire order: its four bytes in memory are
// big-endian, so it is copied into a packet as it stands and handed on as it was copied out of
// one. Nothing else in the module swaps a Mac time; the file layer's setter turns a wire-order
// value back with OVMacTimeToHostOrder.
#pragma once

#include "OVFTypes.h"
#include "Time.h"
#include "WinTypes.h"

// Seconds from 1904-01-01 to 1970-01-01.
inline constexpr DWORD kMacTimeTo1970 = 2082844800u;

// Between wire order and a number that can be counted with (the same swap both ways).
DWORD OVMacTimeToHostOrder(DWORD dwWireOrder);
DWORD OVMacTimeToWireOrder(DWORD dwHostOrder);

// The Mac time of a framework time, in wire order. Moments outside the Mac range (before 1904,
// after 2040-02-06) give its nearest end.
void OVConvertCTimeToMacTime(const CTime* pTime, DWORD* pMacTime);
// The file time of a Mac time given in wire order.
void OVConvertMacTimeToFileTime(DWORD dwMacTime, FILETIME* pFileTime);
// The Mac time of a file time, in wire order; clamped to the Mac range as above.
void OVConvertFileTimeToMacTime(const FILETIME* pFileTime, DWORD* pMacTime);
