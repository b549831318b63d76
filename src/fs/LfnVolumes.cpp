#include "LFN.h"

#include "OVFile32.h"

#include <string>

namespace {

// "x:\" for drives 1..26 (lower-case letter), "\" for the current drive.
std::string RootOf(int nDrive)
{
    if (nDrive < 1 || nDrive > 26)
        return "\\";
    return std::string(1, static_cast<char>('a' + nDrive - 1)) + ":\\";
}

} // namespace

BOOL LFN_GetVolumeName(int nDrive, char* pBuffer, int nSize)
{
    if (pBuffer == nullptr || nSize <= 0)
        return FALSE;
    const std::string strRoot = RootOf(nDrive > 26 ? 0 : nDrive);
    pBuffer[0] = '\0';
    if (strRoot == "a:\\" || strRoot == "b:\\")
        return 1;   // diskette drives are never touched for a label
    return GetVolumeName32(strRoot.c_str(), pBuffer, static_cast<WORD>(nSize));
}

DWORD LFN_GetFreeSpace(int nDrive) { return GetFreeSpace32(nDrive > 26 ? 0 : nDrive, nullptr); }

DWORD LFN_GetFileNameSizeOnVolume(int nDrive) { return GetFileNameSizeOnVolume32(RootOf(nDrive).c_str()); }
