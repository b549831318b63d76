#include "HostMacTimes.h"

#include "ClampedTime.h"
#include "MacTime.h"

DWORD WireMacTime(const FILETIME& fileTime)
{
    DWORD nMacTime = 0;
    if (fileTime.dwLowDateTime == 0 && fileTime.dwHighDateTime == 0) {
        const CTime floor = FloorTime();
        OVConvertCTimeToMacTime(&floor, &nMacTime);
    } else {
        OVConvertFileTimeToMacTime(&fileTime, &nMacTime);
    }
    return nMacTime;
}
