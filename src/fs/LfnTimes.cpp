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

// The file time a Mac time stands for.
CTime TimeOfMacTime(DWORD dwMacTime)
{
    const DWORD dwSeconds = OVMacTimeToHostOrder(dwMacTime);
    TimeFields32 fields;
    if (dwSeconds > kMacTimeTo1970 && LocalUCTToVskTime32(dwSeconds - kMacTimeTo1970, &fields))
        return FlooredTime(fields);
    return FloorTime();
}

} // namespace

BOOL LFN_SetFileTimeWithMacTime(const char* pszPath, DWORD dwMacTime)
{
    return LFN_SetFileTimeAndAttributes(pszPath, dwMacTime, 0xFF, 0);
}

BOOL LFN_SetFileTimeAndAttributes(const char* pszPath, DWORD dwMacTime, BYTE bKeep, BYTE bSet)
{
    const CTime time = TimeOfMacTime(dwMacTime);
    CFileStatus status;
    if (!TFile::GetStatus(pszPath, status))
        return FALSE;
    status.m_ctime = status.m_mtime = status.m_atime = time;
    status.m_attribute = static_cast<BYTE>((status.m_attribute & bKeep) | bSet);
    return TFile::TrySetStatus(pszPath, status);
}

BOOL LFN_SetOpenFileTimeAndAttributes(DWORD hFile32, DWORD dwMacTime, BYTE bAttributes)
{
    const TimeFields32 fields = TimeFieldsOf(TimeOfMacTime(dwMacTime));
    DWORD dwError = 0;
    return SetHandleStatus32(hFile32, &fields, bAttributes, &dwError);
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
