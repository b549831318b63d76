#include "LFN.h"

#include "ClampedTime.h"
#include "MacTime.h"
#include "OVFile32.h"

namespace {

// A time through the clamps, raised to the floor when it is still before 1980.
CTime FlooredTime(const TimeFields32& fields)
{
    const CTime time = ClampedTime(fields);
    return time.GetYear() < 1980 ? FloorTime() : time;
}

} // namespace

BOOL LFN_SetFileTimeWithMacTime(const char* pszPath, DWORD dwMacTime)
{
    const DWORD dwSeconds = OVMacTimeToHostOrder(dwMacTime);
    CTime time = FloorTime();
    if (dwSeconds > kMacTimeTo1970) {
        TimeFields32 fields;
        if (LocalUCTToVskTime32(dwSeconds - kMacTimeTo1970, &fields))
            time = FlooredTime(fields);
    }
    CFileStatus status;
    if (!TFile::GetStatus(pszPath, status))
        return FALSE;
    status.m_ctime = status.m_mtime = status.m_atime = time;
    return TFile::TrySetStatus(pszPath, status);
}

void LFN_FileTimeToCTime(const FILETIME* pFileTime, CTime* pTime)
{
    TimeFields32 fields = FloorTimeFields();
    FileTimeToCTime32(pFileTime, &fields);
    *pTime = FlooredTime(fields);
}

void LFN_CTimeToFileTime(const CTime* pTime, FILETIME* pFileTime)
{
    const TimeFields32 fields = TimeFieldsOf(*pTime);
    CTimeToFileTime32(&fields, pFileTime);
}
